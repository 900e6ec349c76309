#include "window/AboutDlg.h"

#include "window/Pictures.h"
#include "resources/Resource.h"
#include "window/settings/Translate.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setProperty("controlId", IDD_ABOUTBOX);
    setWindowTitle(QStringLiteral("About Tunorva"));
    setFixedSize(354, 92);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setProperty("controlId", IDC_STATIC);
    icon->setGeometry(17, 17, 32, 32);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));

    auto* version = new QLabel(QStringLiteral("Tunorva Versions 3.0"), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setProperty("controlId", IDC_ABOUT_VERSION);
    version->setGeometry(60, 16, 200, 16);

    auto* line2 = new QLabel(QStringLiteral("Finds MP3 files on the web and downloads them."), this);
    line2->setObjectName(QStringLiteral("aboutLine2"));
    line2->setProperty("controlId", IDC_ABOUT_LINE2);
    line2->setGeometry(60, 40, 200, 32);
    line2->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setProperty("controlId", 1);  // IDOK
    ok->setGeometry(267, 11, 75, 23);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool CAboutDlg::OnInitDialog()
{
    TranslateWindow(this, IDD_ABOUTBOX);
    return true;
}

int CAboutDlg::DoModal()
{
    OnInitDialog();
    return exec();
}
