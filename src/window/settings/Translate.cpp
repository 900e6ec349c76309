#include "window/settings/Translate.h"

#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/CommandTables.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// A picture label keeps its picture; its text is the title nobody sees.
bool ShowsPicture(const QLabel* label)
{
    return !label->pixmap().isNull();
}

constexpr int kCancelId = 2;  // IDCANCEL

// The caption a control is named after, kept on the control itself so that a
// language pass over the window finds both.
constexpr char kCaptionProperty[] = "accessibleCaption";

QString Lookup(int id, const QString& current)
{
    const std::string text = LookupLanguageText(static_cast<unsigned>(id), current.toStdString());
    return QString::fromStdString(text);
}

}  // namespace

QString LanguageText(unsigned id, std::initializer_list<QString> args)
{
    const QString text = QString::fromStdString(LoadLanguageString(id));
    if (args.size() == 0)
        return text;
    // One pass, as FormatString does, so an argument holding "%2" stays as it is.
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
            const auto n = static_cast<std::size_t>(text[i + 1].unicode() - u'1');
            if (n < args.size()) {
                out += *(args.begin() + n);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

int ControlId(const QWidget* widget)
{
    const QVariant id = widget->property("controlId");
    return id.isValid() ? id.toInt() : -1;
}

QString WindowText(const QWidget* window)
{
    if (const auto* label = qobject_cast<const QLabel*>(window); label != nullptr && !ShowsPicture(label))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(window))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(window))
        return group->title();
    if (const auto* combo = qobject_cast<const QComboBox*>(window); combo != nullptr && combo->isEditable())
        return combo->currentText();
    if (const auto* edit = qobject_cast<const QLineEdit*>(window))
        return edit->text();
    if (const auto* edit = qobject_cast<const QTextEdit*>(window))
        return edit->toPlainText();
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(window))
        return edit->toPlainText();
    return window->windowTitle();
}

void SetWindowText(QWidget* window, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(window); label != nullptr && !ShowsPicture(label)) {
        // Language files are passed around like any download: a caption is
        // shown as typed, never as rich text that could load pictures.
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
    }
    else if (auto* button = qobject_cast<QAbstractButton*>(window))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(window))
        group->setTitle(text);
    else if (auto* combo = qobject_cast<QComboBox*>(window); combo != nullptr && combo->isEditable())
        combo->setEditText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(window))
        edit->setText(text);
    else if (auto* edit = qobject_cast<QTextEdit*>(window))
        edit->setPlainText(text);
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(window))
        edit->setPlainText(text);
    else
        window->setWindowTitle(text);
}

void TranslateWindow(QWidget* window, int dialogId)
{
    if (window == nullptr)
        return;
    if (dialogId != 0) {
        const QString title = Lookup(dialogId, window->windowTitle());
        if (!title.isEmpty())
            window->setWindowTitle(title);
    }
    // From the top of the stacking order down, as the window system lists them.
    const QList<QWidget*> children = window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        QWidget* child = *it;
        const int id = ControlId(child);
        if (id < 0 || child->isWindow())
            continue;
        // The artist box shares the Cancel buttons' id 2, so no language file
        // has that key: a Cancel button takes its text from a string of its own.
        QString current = WindowText(child);
        if (id == kCancelId && qobject_cast<QAbstractButton*>(child) != nullptr)
            current = LanguageText(IDS_CANCEL);
        const QString text = Lookup(id, current);
        if (!text.isEmpty())
            SetWindowText(child, text);
    }
    RefreshCaptionNames(window);
}

QString AccessibleCaption(const QString& caption)
{
    QString name = TipDisplayText(caption).trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    return name.trimmed();
}

QString CommandName(unsigned id)
{
    // A built-in text is "prompt\ntip"; a language file gives the tip alone.
    const QString text = QString::fromStdString(LoadLanguageString(id));
    const qsizetype tip = text.indexOf(u'\n');
    return TipDisplayText(tip >= 0 ? text.mid(tip + 1) : text).trimmed();
}

namespace {

// An editable box takes the focus in its text field, which is what a screen
// reader then reads: the field carries the box's name too.
void SetControlName(QWidget* control, const QString& name)
{
    control->setAccessibleName(name);
    if (auto* box = qobject_cast<QComboBox*>(control); box != nullptr && box->lineEdit() != nullptr)
        box->lineEdit()->setAccessibleName(name);
}

}  // namespace

void NameAfterCaption(QWidget* control, QWidget* caption)
{
    if (control == nullptr || caption == nullptr)
        return;
    if (auto* label = qobject_cast<QLabel*>(caption))
        label->setBuddy(control);
    control->setProperty(kCaptionProperty, QVariant::fromValue(QPointer<QObject>(caption)));
    SetControlName(control, AccessibleCaption(WindowText(caption)));
}

void RefreshCaptionNames(QWidget* window)
{
    if (window == nullptr)
        return;
    for (QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant caption = child->property(kCaptionProperty);
        if (!caption.isValid())
            continue;
        if (const auto* widget = qobject_cast<const QWidget*>(caption.value<QPointer<QObject>>().data()))
            SetControlName(child, AccessibleCaption(WindowText(widget)));
    }
}

void TranslateMenu(QMenuBar* menu)
{
    if (menu == nullptr)
        return;
    CMenuKeyGenerator generator;
    const std::vector<DropDown>& builtIn = MainMenu();
    const QList<QAction*> tops = menu->actions();
    for (int p = 0; p < tops.size(); ++p) {
        const std::size_t index = static_cast<std::size_t>(p);
        const std::string english = index < builtIn.size() ? builtIn[index].text : std::string();
        const int number = generator.Next();
        if (english.empty())
            continue;
        const std::string text = LookupLanguageText(MenuKey(english, number, p), english);
        tops[p]->setText(QString::fromStdString(text.empty() ? english : text));
    }
    for (QAction* top : tops) {
        QMenu* dropDown = top->menu();
        if (dropDown == nullptr)
            break;
        for (QAction* entry : dropDown->actions()) {
            const unsigned id = entry->property("commandId").toUInt();
            if (id == 0 || entry->isSeparator())
                continue;
            const QString current = entry->text();
            if (current.isEmpty())
                continue;
            const QString text = Lookup(static_cast<int>(id), current);
            entry->setText(text.isEmpty() ? current : text);
        }
    }
}

QString PlainToolTip(const QString& text)
{
    // A tool tip that looks like rich text is drawn as rich text; escaped
    // into a paragraph of its own it shows exactly as typed. Other tips are
    // drawn as plain text already.
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
}

QString TipDisplayText(const QString& tip)
{
    QString out;
    out.reserve(tip.size());
    for (qsizetype i = 0; i < tip.size(); ++i) {
        if (tip[i] == u'&' && i + 1 < tip.size()) {
            out += tip[++i];
            continue;
        }
        if (tip[i] != u'&')
            out += tip[i];
    }
    return out;
}
