#pragma once

#include <stop_token>
#include <string>

namespace platform {

// Button sets and answers, numbered as the window system numbers them.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Whoever answers message boxes: the desktop shows a modal box, the
// command-line tools print the text, tests record it and answer from a script.
class MessageBoxResponder {
public:
    virtual ~MessageBoxResponder() = default;
    // Called on the main window's thread when there is one, else on the caller's.
    virtual int Show(const std::string& text, unsigned type) = 0;
};

// Installs the responder; returns the previous one. Null restores the default,
// which writes "message<TAB>text" to standard error and answers OK / No.
MessageBoxResponder* SetMessageBoxResponder(MessageBoxResponder* responder);

// Shows a modal message box from any thread and returns the answer. A worker
// waits until the box is closed. When the box cannot be shown (no main window
// any more, shut-down, or `token` stopped) the answer is IDOK for MB_OK and
// IDNO for MB_YESNO, so a question is never taken as agreed to.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK, std::stop_token token = {});

}  // namespace platform
