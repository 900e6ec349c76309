#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <utility>

class QObject;

namespace platform {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr unsigned WM_USER = 0x400;
inline constexpr unsigned WM_APP = 0x8000;

// The main window's side of the channel: every numbered message of a worker
// ends here, on the thread that registered the receiver.
class MessageReceiver {
public:
    virtual ~MessageReceiver() = default;
    virtual LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) = 0;
};

// Makes `receiver` the application's main window. With a `threadContext`
// (a QObject of the receiving thread, normally the window itself) messages
// from other threads are queued to that thread's event loop; without one
// they are handled on the sender's thread, one at a time, which is what
// command-line tools and engine tests use.
void SetMainWindow(MessageReceiver* receiver, QObject* threadContext = nullptr);

// Detaches `receiver` if it is the main window. Senders that are waiting for
// it return 0 at once and their handlers never run.
void ClearMainWindow(MessageReceiver* receiver);

enum class CallResult {
    Ran,           // `fn` ran on the main window's thread
    NoMainWindow,  // no main window is set, or the process shuts down
    Dropped,       // the window went away while waiting, or `token` was stopped
};

// Runs `fn` on the main window's thread and waits until it has run. Called on
// that thread it runs directly. `fn` does not run when no main window is set,
// the window goes away, the process shuts down, or `token` has been stopped
// by the time the main thread would run it: a stopped search reports nothing
// more.
CallResult CallOnMainThread(const std::function<void()>& fn, std::stop_token token = {});

// SendMessageA: the sender waits until the main window has handled the
// message. Pointers passed in wParam/lParam stay valid during the call only.
LRESULT SendMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0, std::stop_token token = {});

// Sends `message` `count` times in one trip to the main window's thread,
// message i with the parameters `params(i)`, in order, so that a worker with
// many messages to send wakes the window once instead of once per message.
// The run stops after a handler that returns a result other than 0 (that
// result is passed back, for the sender to act on before it sends the rest),
// once `token` is stopped, and after a few milliseconds of handlers, so that
// the window stays responsive. Returns how many messages were handled; 0 when
// none could be (no main window, the window went away, `token` stopped).
struct SendRun {
    std::size_t handled = 0;
    LRESULT lastResult = 0;
};
SendRun SendMessages(unsigned message, std::size_t count, const std::function<std::pair<WPARAM, LPARAM>(std::size_t)>& params,
                     std::stop_token token = {});

// Calls from workers reach the main thread in batches. A handler that opens a
// modal event loop (a message box) holds one of these while the loop runs, so
// that calls queued behind it are delivered inside that loop, as the system
// would deliver them.
class ModalLoopScope final {
public:
    ModalLoopScope();
    ~ModalLoopScope();
    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;
};

// Slow work a handler hands to another thread (a sound) instead of doing it on
// the window's thread: the handler returns BeginCompletion()'s id as its
// result, whoever does the work calls EndCompletion(id) when done, and the
// sender passes the result to WaitForCompletion, so that it is held as long as
// if the handler had done the work itself while the window stays free.
LRESULT BeginCompletion();
void EndCompletion(LRESULT id);
// Returns at once for 0 or an id already ended; else when it ends, `token` is
// stopped or the process shuts down.
void WaitForCompletion(LRESULT id, std::stop_token token = {});

// PostMessageA: queued, the sender goes on at once. Only values may travel.
void PostMessage(unsigned message, WPARAM wParam = 0, LPARAM lParam = 0, std::stop_token token = {});

// PostMessageA for a message whose wParam/lParam point into `payload`, which
// the channel keeps until the message has been handled or dropped: a worker
// that only reports goes on at once instead of waiting for the window.
void PostMessage(unsigned message, WPARAM wParam, LPARAM lParam, std::shared_ptr<const void> payload,
                 std::stop_token token);

}  // namespace platform
