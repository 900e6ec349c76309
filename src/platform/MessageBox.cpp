#include "platform/MessageBox.h"

#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace platform {
namespace {

class StderrResponder final : public MessageBoxResponder {
public:
    int Show(const std::string& text, unsigned type) override
    {
        std::fprintf(stderr, "message\t%s\n", text.c_str());
        return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
    }
};

StderrResponder g_stderrResponder;
std::atomic<MessageBoxResponder*> g_responder{&g_stderrResponder};
std::mutex g_directMutex;  // one box at a time when there is no main thread to queue on

int FallbackAnswer(unsigned type)
{
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

}  // namespace

MessageBoxResponder* SetMessageBoxResponder(MessageBoxResponder* responder)
{
    return g_responder.exchange(responder != nullptr ? responder : &g_stderrResponder);
}

int AfxMessageBox(const std::string& text, unsigned type, std::stop_token token)
{
    if (token.stop_requested())
        return FallbackAnswer(type);
    int answer = FallbackAnswer(type);
    const CallResult result = CallOnMainThread(
        [&] {
            const ModalLoopScope modal;
            answer = g_responder.load()->Show(text, type);
        },
        token);
    if (result != CallResult::NoMainWindow || IsShuttingDown())
        return answer;
    // No main window: command-line use and engine tests answer on this thread.
    std::lock_guard lock(g_directMutex);
    if (token.stop_requested())
        return FallbackAnswer(type);
    return g_responder.load()->Show(text, type);
}

}  // namespace platform
