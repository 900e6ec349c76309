#pragma once

#include "platform/LoginPrompt.h"

namespace platform {

// Asks for a server's login in a small modal dialog: user name, password,
// OK and Cancel. Like the message boxes it belongs to the user-interface
// thread; asked on any other thread it declines.
class DesktopLoginDialog final : public LoginResponder {
public:
    bool Ask(const std::string& server, bool forProxy, Credentials& out) override;
};

}  // namespace platform
