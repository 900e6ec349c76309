#include "window/HistoryCombo.h"

#include "platform/AppProfile.h"
#include "platform/IniFile.h"

#include <QAccessibleWidget>
#include <QLineEdit>

namespace {

// The clean-up of stored items never looks further than this key.
constexpr int kLastKey = 999;

std::string TrimBlanks(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Qt's own combo box reports its text as its name on this desktop and
// leaves the caption to a relation, so a screen reader walking the tree
// would call the keyword box by the last keyword. This one keeps the name
// (the accessible name or the buddy label's text) and gives the text as
// the value.
class CHistoryComboAccessible final : public QAccessibleWidget {
public:
    explicit CHistoryComboAccessible(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<const QComboBox*>(widget())->currentText();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }

    void doAction(const QString& actionName) override
    {
        if (actionName == showMenuAction())
            static_cast<QComboBox*>(widget())->showPopup();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

QAccessibleInterface* HistoryComboAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String(CHistoryCombo::staticMetaObject.className()))
        return nullptr;
    return new CHistoryComboAccessible(static_cast<CHistoryCombo*>(object));
}

}  // namespace

CHistoryCombo::CHistoryCombo(bool bAllowSort, QWidget* parent)
    : QComboBox(parent)
    , m_bAllowSort(bAllowSort)
{
    static const bool installed = [] {
        QAccessible::installFactory(HistoryComboAccessible);
        return true;
    }();
    (void)installed;
    setEditable(true);
    // Only PushHistoryItem adds entries; Enter must not add one of its own.
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
}

std::string CHistoryCombo::ItemKey(int index) const
{
    return m_strKeyPrefix + std::to_string(index);
}

std::string CHistoryCombo::CurrentTextKey() const
{
    if (!m_strCurrentKey.empty())
        return m_strCurrentKey;
    if (!m_strKeyPrefix.empty())
        return m_strKeyPrefix;
    return "Last";
}

int CHistoryCombo::FindStringExact(int start, const QString& text) const
{
    const int n = count();
    if (n == 0)
        return -1;
    if (start < -1 || start >= n)
        start = -1;
    for (int k = 1; k <= n; ++k) {
        const int index = (start + k) % n;
        if (itemText(index).compare(text, Qt::CaseInsensitive) == 0)
            return index;
    }
    return -1;
}

int CHistoryCombo::AddString(const QString& text)
{
    return InsertString(count(), text);
}

int CHistoryCombo::InsertString(int index, const QString& text)
{
    const QString edit = currentText();
    insertItem(index, text);
    setEditText(edit);
    return index;
}

void CHistoryCombo::DeleteString(int index)
{
    const QString edit = currentText();
    removeItem(index);
    setEditText(edit);
}

void CHistoryCombo::SetCurSel(int index)
{
    if (index >= 0 && index < count())
        setCurrentIndex(index);
}

void CHistoryCombo::ReadHistory(const std::string& section, const std::string& keyPrefix, bool bRememberCurrent,
                                const std::string& currentKey)
{
    if (section.empty())
        return;
    m_strSection = section;
    m_strKeyPrefix = keyPrefix;
    m_strCurrentKey = currentKey;
    m_bRememberCurrent = bRememberCurrent;

    // The profile is read once for all the keys.
    const platform::CProfileText profile(platform::AppProfilePath());
    for (int i = 0; i < m_nLimit; ++i) {
        const std::string text = profile.Get(m_strSection, ItemKey(i), "");
        if (text.empty())
            break;
        AddString(QString::fromStdString(text));
    }
    if (m_bRememberCurrent) {
        const QString text = QString::fromStdString(profile.Get(m_strSection, CurrentTextKey(), ""));
        if (!text.isEmpty()) {
            const int found = FindStringExact(-1, text);
            if (found >= 0)
                SetCurSel(found);
            else
                setEditText(text);
        }
    }
}

int CHistoryCombo::PushHistoryItem(const std::string& text)
{
    if (m_strSection.empty() || m_strKeyPrefix.empty())
        return AddString(QString::fromStdString(text));

    const QString item = QString::fromStdString(TrimBlanks(text));
    const int index = InsertString(0, item);
    // Searching after the new entry wraps round to it when there is no older
    // one, so only a true duplicate is removed.
    const int duplicate = FindStringExact(index, item);
    if (duplicate > 0)
        DeleteString(duplicate);
    while (count() > m_nLimit)
        DeleteString(m_nLimit);
    SetCurSel(index);
    return index;
}

void CHistoryCombo::DeleteStoredItemsFrom(int first, platform::ProfileChanges& changes) const
{
    const platform::CProfileText profile(platform::AppProfilePath());
    for (int i = first; i <= kLastKey; ++i) {
        if (profile.Get(m_strSection, ItemKey(i), "").empty())
            break;
        changes.emplace_back(ItemKey(i), std::nullopt);
    }
}

void CHistoryCombo::WriteHistory(bool bAddCurrent)
{
    if (m_strSection.empty())
        return;
    if (bAddCurrent) {
        const std::string text = currentText().trimmed().toStdString();
        if (!text.empty())
            PushHistoryItem(text);
    }
    // Every key of the save goes into one write of the profile: each write
    // replaces the whole file and flushes it to the disk.
    platform::ProfileChanges changes;
    const int n = static_cast<int>(std::min<long long>(count(), static_cast<long long>(m_nLimit) + 1));
    for (int j = 0; j < n; ++j)
        changes.emplace_back(ItemKey(j), itemText(j).toStdString());
    DeleteStoredItemsFrom(n, changes);
    if (m_bRememberCurrent)
        changes.emplace_back(CurrentTextKey(), currentText().toStdString());
    platform::WriteProfileStrings(m_strSection, changes);
}

void CHistoryCombo::EraseHistory(bool bDeleteStored)
{
    clear();
    clearEditText();
    if (m_strSection.empty() || !bDeleteStored)
        return;
    platform::ProfileChanges changes;
    DeleteStoredItemsFrom(0, changes);
    changes.emplace_back(CurrentTextKey(), std::nullopt);
    platform::WriteProfileStrings(m_strSection, changes);
}

void CHistoryCombo::SetHistoryLimit(int nLimit)
{
    // A negative limit, which the settings store accepts, keeps nothing
    // rather than looping for ever on an index that does not exist.
    m_nLimit = std::max(nLimit, 0);
    while (count() > m_nLimit)
        DeleteString(m_nLimit);
}
