#include "window/desktop/DesktopLoginDialog.h"

#include "resources/Resource.h"
#include "window/settings/Translate.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

namespace platform {

bool DesktopLoginDialog::Ask(const std::string& server, bool forProxy, Credentials& out)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread() || qobject_cast<QApplication*>(app) == nullptr)
        return false;

    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName("loginDialog");
    dialog.setWindowTitle(LanguageText(IDS_LOGIN_TITLE));
    auto* layout = new QFormLayout(&dialog);
    const QString where = QString::fromStdString(server);
    auto* prompt = new QLabel(LanguageText(forProxy ? IDS_LOGIN_PROXY : IDS_LOGIN_SERVER, {where}),
                              &dialog);
    prompt->setTextFormat(Qt::PlainText);
    layout->addRow(prompt);
    auto* user = new QLineEdit(&dialog);
    user->setObjectName("userName");
    layout->addRow(LanguageText(IDS_LOGIN_USER), user);
    auto* password = new QLineEdit(&dialog);
    password->setObjectName("password");
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(LanguageText(IDS_LOGIN_PASSWORD), password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(LanguageText(IDS_OK));
    buttons->button(QDialogButtonBox::Cancel)->setText(LanguageText(IDS_CANCEL));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);

    if (dialog.exec() != QDialog::Accepted)
        return false;
    out.userName = user->text().toStdString();
    out.password = password->text().toStdString();
    return true;
}

}  // namespace platform
