#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <type_traits>
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

// --- Typed messages
//
// A worker's message is a small struct, carried by value, that names its
// number:
//     struct DownloadProgress {
//         static constexpr unsigned kMessage = WM_DOWNLOAD_PROGRESS;
//         int slot = 0;
//         std::uint64_t bytes = 0;
//     };
// On the wire wParam says the message is typed and lParam points to the
// struct: the sender's own while a send is handled (the sender waits), the
// channel's copy for a post. Receivers read it through MessageCast only, so
// no handler casts the raw parameters itself.

// (A trait rather than a concept: Qt's moc reads this header and does not
// parse concepts.)
template <class M, class = void>
inline constexpr bool kIsMessage = false;
template <class M>
inline constexpr bool kIsMessage<M, std::void_t<decltype(M::kMessage)>> =
    std::is_copy_constructible_v<M> && std::is_convertible_v<decltype(M::kMessage), unsigned>;

// wParam of every typed message: a raw message with the same number is not
// taken for one.
inline constexpr WPARAM kTypedMessage = 0x7479'7065;

// The struct behind the raw parameters, or null when they do not carry an `M`.
template <class M>
const M* MessageCast(unsigned message, WPARAM wParam, LPARAM lParam)
{
    static_assert(kIsMessage<M>, "a message struct names its number as kMessage");
    if (message != M::kMessage || wParam != kTypedMessage || lParam == 0)
        return nullptr;
    return reinterpret_cast<const M*>(lParam);
}

// SendMessage with a struct; the handler's result comes back.
template <class M>
LRESULT Send(const M& message, std::stop_token token = {})
{
    static_assert(kIsMessage<M>, "a message struct names its number as kMessage");
    return SendMessage(M::kMessage, kTypedMessage, reinterpret_cast<LPARAM>(&message), std::move(token));
}

// PostMessage with a struct, which the channel keeps until it has been
// handled or dropped.
template <class M>
void Post(M message, std::stop_token token = {})
{
    static_assert(kIsMessage<M>, "a message struct names its number as kMessage");
    auto kept = std::make_shared<const M>(std::move(message));
    const auto lParam = reinterpret_cast<LPARAM>(kept.get());
    PostMessage(M::kMessage, kTypedMessage, lParam, std::move(kept), std::move(token));
}

// SendMessages for a run of structs, in order and by the same rules; the
// run stays the sender's while it waits.
template <class M>
SendRun SendEach(std::span<const M> run, std::stop_token token = {})
{
    return SendMessages(
        M::kMessage, run.size(),
        [run](std::size_t i) { return std::pair{kTypedMessage, reinterpret_cast<LPARAM>(&run[i])}; },
        std::move(token));
}

// Hands `message` to `receiver` on this thread, as the channel would: for a
// window that passes a message on to one of its parts, and for tests.
template <class M>
LRESULT Deliver(MessageReceiver& receiver, const M& message)
{
    return receiver.OnMessage(M::kMessage, kTypedMessage, reinterpret_cast<LPARAM>(&message));
}

// Calls `handler` with the struct when the message carries one of `Ms`, and
// returns its result (0 for a handler without one, or no match).
template <class... Ms, class Handler>
LRESULT Dispatch(unsigned message, WPARAM wParam, LPARAM lParam, Handler&& handler)
{
    LRESULT result = 0;
    auto one = [&]<class M>() {
        const M* typed = MessageCast<M>(message, wParam, lParam);
        if (typed == nullptr)
            return false;
        if constexpr (std::is_void_v<std::invoke_result_t<Handler&, const M&>>)
            handler(*typed);
        else
            result = handler(*typed);
        return true;
    };
    (one.template operator()<Ms>() || ...);
    return result;
}

// Handlers for Dispatch, one per struct: Overloaded{[](const A&) {...}, [](const B&) {...}}.
template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
// Spelled out: clang 14 does not deduce an aggregate's arguments by itself.
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// A window's message map: one entry per message, naming its handler, a
// member `LRESULT Receiver::Handler(const M&)`.
template <class Receiver>
struct MessageMapEntry {
    unsigned message;
    LRESULT (*handle)(Receiver&, WPARAM, LPARAM);
    const char* name;
};

namespace detail {
template <class>
struct HandlerOf;
template <class Receiver, class M>
struct HandlerOf<LRESULT (Receiver::*)(const M&)> {
    using Class = Receiver;
    using Message = M;
};
}  // namespace detail

template <class M, auto Handler>
constexpr MessageMapEntry<typename detail::HandlerOf<decltype(Handler)>::Class> Entry(const char* name)
{
    using Receiver = typename detail::HandlerOf<decltype(Handler)>::Class;
    static_assert(std::is_same_v<typename detail::HandlerOf<decltype(Handler)>::Message, M>,
                  "the handler takes the struct its entry names");
    return {M::kMessage,
            [](Receiver& receiver, WPARAM wParam, LPARAM lParam) -> LRESULT {
                const M* typed = MessageCast<M>(M::kMessage, wParam, lParam);
                return typed != nullptr ? (receiver.*Handler)(*typed) : 0;
            },
            name};
}

template <class Receiver>
const MessageMapEntry<Receiver>* FindEntry(std::span<const MessageMapEntry<Receiver>> map, unsigned message)
{
    for (const MessageMapEntry<Receiver>& entry : map) {
        if (entry.message == message)
            return &entry;
    }
    return nullptr;
}

}  // namespace platform
