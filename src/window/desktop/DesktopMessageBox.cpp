#include "window/desktop/DesktopMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

namespace platform {

int DesktopMessageBox::Show(const std::string& text, unsigned type)
{
    const bool question = (type & 0xF) == MB_YESNO;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread() || qobject_cast<QApplication*>(app) == nullptr) {
        std::fprintf(stderr, "message\t%s\n", text.c_str());
        return question ? IDNO : IDOK;
    }
    // As the framework does, a box without an icon of its own gets the
    // exclamation mark, a question the question mark.
    QMessageBox box(question ? QMessageBox::Question : QMessageBox::Warning, QApplication::applicationName(),
                    QString::fromStdString(text), question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (question)
        return answer == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

}  // namespace platform
