#pragma once

#include "platform/MessageBox.h"

namespace platform {

// Shows AfxMessageBox texts in modal desktop message boxes titled with the
// application's name. A box belongs to the user-interface thread: asked on
// any other thread (which only happens when there is no main window left to
// queue the request to) it shows nothing, writes the text to standard error
// and gives the cautious answer, OK or No.
class DesktopMessageBox final : public MessageBoxResponder {
public:
    int Show(const std::string& text, unsigned type) override;
};

}  // namespace platform
