#include "window/settings/LanguageDlg.h"

#include "window/settings/SettingsMessages.h"
#include "window/Pictures.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/settings/Translate.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLocale>
#include <QPushButton>

namespace {

constexpr int kFlagSize = 16;

// Dialog units of the 8-point dialog font in pixels.
int Dx(int units) { return units * 3 / 2; }
int Dy(int units) { return units * 13 / 8; }
QRect DialogRect(int x, int y, int w, int h) { return QRect(Dx(x), Dy(y), Dx(w), Dy(h)); }

void MarkControl(QWidget* widget, int id, const char* name)
{
    widget->setProperty("controlId", id);
    widget->setObjectName(QString::fromLatin1(name));
}

}  // namespace

CLanguageDlg::CLanguageDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("languageDialog"));
    setProperty("controlId", IDD_LANGUAGE);
    setWindowTitle(QStringLiteral("S e t t i n g"));
    setFixedSize(Dx(305), Dy(86));

    m_grpLanguage = new QGroupBox(QStringLiteral("Language"), this);
    MarkControl(m_grpLanguage, IDC_LANGUAGE_GROUP, "languageGroup");
    m_grpLanguage->setGeometry(DialogRect(7, 7, 236, 65));

    m_cbLanguages = new QComboBox(this);
    MarkControl(m_cbLanguages, IDC_LANGUAGE_COMBO, "languages");
    m_cbLanguages->setGeometry(Dx(13), Dy(20), Dx(222), 24);
    m_cbLanguages->setIconSize(QSize(kFlagSize, kFlagSize));
    m_cbLanguages->setMaxVisibleItems(8);
    NameAfterCaption(m_cbLanguages, m_grpLanguage);

    m_btnOk = new QPushButton(QStringLiteral("OK"), this);
    MarkControl(m_btnOk, 1, "languageOk");  // IDOK
    m_btnOk->setGeometry(DialogRect(248, 7, 50, 14));
    m_btnOk->setDefault(true);
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    MarkControl(m_btnCancel, 2, "languageCancel");  // IDCANCEL
    m_btnCancel->setGeometry(DialogRect(248, 24, 50, 14));
    connect(m_btnOk, &QPushButton::clicked, this, &CLanguageDlg::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &CLanguageDlg::reject);
}

int CLanguageDlg::DoModal()
{
    OnInitDialog();
    return exec();
}

bool CLanguageDlg::OnInitDialog()
{
    FillLanguages();
    m_strOldLanguage = GetLanguage();
    TranslateWindow(this, IDD_LANGUAGE);
    // Only the user's choices switch the language, not the preselection above.
    connect(m_cbLanguages, &QComboBox::currentIndexChanged, this, &CLanguageDlg::OnSelChangeLanguage,
            Qt::UniqueConnection);
    return true;
}

void CLanguageDlg::FillLanguages()
{
    m_imageList.clear();
    m_arrLanguages.clear();
    m_cbLanguages->clear();
    // The folder listing in name order, the pattern matched without regard to case.
    QDir folder(QString::fromStdString(GetLanguageDir()));
    folder.setNameFilters({QStringLiteral("*.ini")});
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    const QLocale locale;
    for (const QFileInfo& entry : entries) {
        if (entry.suffix().compare(QStringLiteral("ini"), Qt::CaseInsensitive) != 0)
            continue;
        const QString name = entry.completeBaseName();
        AddFlag(name.toStdString() + ".bmp");
        const int n = m_cbLanguages->count();
        m_cbLanguages->addItem(QIcon(m_imageList[static_cast<std::size_t>(n)]), locale.toUpper(name));
        m_arrLanguages.push_back(name.toStdString());
    }
    const std::string language = GetLanguage();
    const QString current = QString::fromStdString(language);
    int selection = -1;
    for (std::size_t i = 0; i < m_arrLanguages.size(); ++i) {
        if (QString::fromStdString(m_arrLanguages[i]).compare(current, Qt::CaseInsensitive) == 0) {
            selection = static_cast<int>(i);
            break;
        }
    }
    m_cbLanguages->setCurrentIndex(selection);
}

void CLanguageDlg::AddFlag(const std::string& fileName)
{
    // Every call adds exactly one picture, so picture n stays the flag of item n.
    QImageReader reader(QString::fromStdString(GetFlagsDir() + fileName));
    QImage flag = reader.read();
    if (flag.isNull())
        flag = LoadBitmap(IDB_FLAG).toImage();
    if (!flag.isNull() && flag.size() != QSize(kFlagSize, kFlagSize))
        flag = flag.scaled(kFlagSize, kFlagSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_imageList.push_back(QPixmap::fromImage(flag));
}

void CLanguageDlg::OnSelChangeLanguage()
{
    const int index = m_cbLanguages->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= m_arrLanguages.size())
        return;
    SetLanguage(m_arrLanguages[static_cast<std::size_t>(index)]);
    TranslateWindow(this, IDD_LANGUAGE);
    platform::Send(ApplyLanguage{});
}

void CLanguageDlg::OnOK()
{
    const std::string language = GetLanguage();
    platform::Send(LanguageChosen{language});
    QDialog::accept();
}

void CLanguageDlg::OnCancel()
{
    SetLanguage(m_strOldLanguage);
    platform::Send(ApplyLanguage{});
    QDialog::reject();
}

void CLanguageDlg::accept()
{
    OnOK();
}

void CLanguageDlg::reject()
{
    OnCancel();
}
