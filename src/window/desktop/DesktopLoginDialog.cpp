#include "window/desktop/DesktopLoginDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QThread>

namespace platform {

bool DesktopLoginDialog::Ask(const std::string& server, bool forProxy, Credentials& out)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread() || qobject_cast<QApplication*>(app) == nullptr)
        return false;

    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName("loginDialog");
    dialog.setWindowTitle(QObject::tr("Enter Network Password"));
    auto* layout = new QFormLayout(&dialog);
    const QString where = QString::fromStdString(server);
    auto* prompt = new QLabel(forProxy ? QObject::tr("The proxy %1 asks for a login.").arg(where)
                                       : QObject::tr("The server %1 asks for a login.").arg(where),
                              &dialog);
    prompt->setTextFormat(Qt::PlainText);
    layout->addRow(prompt);
    auto* user = new QLineEdit(&dialog);
    user->setObjectName("userName");
    layout->addRow(QObject::tr("&User name:"), user);
    auto* password = new QLineEdit(&dialog);
    password->setObjectName("password");
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(QObject::tr("&Password:"), password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
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
