#include "window/desktop/DesktopMessageBox.h"

#include "resources/Resource.h"
#include "window/settings/Translate.h"

#include <QAbstractButton>

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
    // The buttons speak the language in force, as every other text does.
    const std::pair<QMessageBox::StandardButton, unsigned> captions[] = {
        {QMessageBox::Ok, IDS_OK}, {QMessageBox::Yes, IDS_YES}, {QMessageBox::No, IDS_NO}};
    for (const auto& [which, id] : captions) {
        if (QAbstractButton* button = box.button(which))
            button->setText(LanguageText(id));
    }
    const int answer = box.exec();
    if (question)
        return answer == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

}  // namespace platform
