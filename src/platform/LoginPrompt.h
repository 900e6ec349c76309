#pragma once

#include <stop_token>
#include <string>

namespace platform {

// Results of InternetErrorDlg, numbered as the Internet layer numbers them.
inline constexpr int ERROR_CANCELLED = 1223;
inline constexpr int ERROR_INTERNET_INCORRECT_PASSWORD = 12014;
inline constexpr int ERROR_INTERNET_FORCE_RETRY = 12032;

struct Credentials {
    std::string userName;
    std::string password;
};

// Whoever answers a server's request for a login: the desktop shows a small
// dialog, the command-line tool answers from its arguments, tests from a script.
class LoginResponder {
public:
    virtual ~LoginResponder() = default;
    // Called on the main window's thread when there is one, else on the
    // caller's. True with `out` filled when the user gave a login.
    virtual bool Ask(const std::string& server, bool forProxy, Credentials& out) = 0;
};

// Installs the responder and returns the previous one. Null restores the
// default, which declines every request.
LoginResponder* SetLoginResponder(LoginResponder* responder);

// The password step of a request that was answered 401 (or 407 from a proxy):
// asks for a user name and password for `server`. ERROR_INTERNET_FORCE_RETRY
// when the user gave them (in `out`), ERROR_CANCELLED otherwise, also when no
// one can be asked (no main window any more, shut-down, `token` stopped).
int InternetErrorDlg(const std::string& server, bool forProxy, Credentials& out, std::stop_token token = {});

}  // namespace platform
