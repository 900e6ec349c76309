#include "platform/LoginPrompt.h"

#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"

#include <atomic>
#include <mutex>

namespace platform {
namespace {

class DecliningResponder final : public LoginResponder {
public:
    bool Ask(const std::string&, bool, Credentials&) override { return false; }
};

DecliningResponder g_decliningResponder;
std::atomic<LoginResponder*> g_responder{&g_decliningResponder};
std::mutex g_directMutex;

}  // namespace

LoginResponder* SetLoginResponder(LoginResponder* responder)
{
    return g_responder.exchange(responder != nullptr ? responder : &g_decliningResponder);
}

int InternetErrorDlg(const std::string& server, bool forProxy, Credentials& out, std::stop_token token)
{
    if (token.stop_requested())
        return ERROR_CANCELLED;
    bool given = false;
    Credentials answer;
    const CallResult result = CallOnMainThread(
        [&] {
            const ModalLoopScope modal;
            given = g_responder.load()->Ask(server, forProxy, answer);
        },
        token);
    if (result == CallResult::NoMainWindow && !IsShuttingDown()) {
        // Command-line use and engine tests answer on this thread.
        std::lock_guard lock(g_directMutex);
        if (!token.stop_requested())
            given = g_responder.load()->Ask(server, forProxy, answer);
    }
    if (!given)
        return ERROR_CANCELLED;
    out = std::move(answer);
    return ERROR_INTERNET_FORCE_RETRY;
}

}  // namespace platform
