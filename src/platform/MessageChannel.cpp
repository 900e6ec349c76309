#include "platform/MessageChannel.h"

#include "platform/WorkerThreads.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>

namespace platform {
namespace {

// A queued call and the handshake between its sender and the main thread:
// whoever moves it out of Pending first decides whether it runs. The sender
// only gives up a call that has not started, so the pointers it passed are
// valid whenever a handler runs.
// Each call has its own lock and wake-up, so that finishing one call wakes
// only its sender and not every worker that waits.
struct Call {
    enum class State { Pending, Running, Done, Abandoned };
    std::mutex mutex;  // taken before g_mutex where both are needed
    std::condition_variable changed;
    State state = State::Pending;
    bool ran = false;
};

std::mutex g_mutex;                 // guards the main window's registration below
MessageReceiver* g_receiver = nullptr;
QObject* g_context = nullptr;       // lives as long as the process, see SetMainWindow
std::uint64_t g_generation = 0;     // bumped whenever the main window changes
std::recursive_mutex g_directMutex; // serialises handlers in direct mode

bool IsCurrent(std::uint64_t generation)
{
    return g_generation == generation && g_receiver != nullptr && !IsShuttingDown();
}

// Calls queued for the main thread. One posted event drains everything that
// has queued up by then, so a busy search costs the event loop one wake-up per
// batch instead of one per message, and the order of all calls is kept.
std::mutex g_queueMutex;
std::deque<std::function<void()>> g_queue;
QObject* g_drainContext = nullptr;
bool g_drainPosted = false;
int g_modalLoops = 0;  // modal loops open inside queued calls; each arrival then posts
constexpr auto kDrainSlice = std::chrono::milliseconds(5);

void Drain();

// `context` is read under g_queueMutex by the caller: a new window may be
// setting it from another thread at the same time.
void PostDrain(QObject* context)
{
    QMetaObject::invokeMethod(context, &Drain, Qt::QueuedConnection);
}

void Enqueue(QObject* context, std::function<void()> fn)
{
    bool post = false;
    {
        std::lock_guard lock(g_queueMutex);
        g_queue.push_back(std::move(fn));
        g_drainContext = context;
        // Inside a modal loop the outer drain is stuck in a handler, so every
        // arrival needs an event of its own.
        post = !g_drainPosted || g_modalLoops > 0;
        g_drainPosted = true;
    }
    if (post)
        PostDrain(context);
}

// Runs queued calls for a few milliseconds at most, then gives the event loop
// back for painting and input and carries on from a fresh event.
void Drain()
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(g_queueMutex);
            if (g_queue.empty()) {
                g_drainPosted = false;
                return;
            }
            fn = std::move(g_queue.front());
            g_queue.pop_front();
        }
        fn();
        if (std::chrono::steady_clock::now() - start > kDrainSlice) {
            QObject* context = nullptr;
            {
                std::lock_guard lock(g_queueMutex);
                context = g_drainContext;
            }
            PostDrain(context);
            return;
        }
    }
}

}  // namespace

ModalLoopScope::ModalLoopScope()
{
    bool post = false;
    QObject* context = nullptr;
    {
        std::lock_guard lock(g_queueMutex);
        ++g_modalLoops;
        context = g_drainContext;
        post = !g_queue.empty() && context != nullptr;
        g_drainPosted = g_drainPosted || post;
    }
    if (post)
        PostDrain(context);
}

ModalLoopScope::~ModalLoopScope()
{
    std::lock_guard lock(g_queueMutex);
    --g_modalLoops;
}

// Calls queued for a window that is gone would be dropped when drained; they
// are dropped here, so that a drain event lost with an old event loop cannot
// hold up the new window.
static void ForgetQueuedCalls()
{
    std::lock_guard lock(g_queueMutex);
    g_queue.clear();
    g_drainPosted = false;
}

void SetMainWindow(MessageReceiver* receiver, QObject* threadContext)
{
    ForgetQueuedCalls();
    std::lock_guard lock(g_mutex);
    g_receiver = receiver;
    ++g_generation;
    g_context = nullptr;
    if (threadContext != nullptr) {
        // Senders may still hold the context pointer after the window is gone,
        // so the context is a small object of our own that is never deleted.
        static QObject* ownContext = nullptr;
        if (ownContext == nullptr || ownContext->thread() != threadContext->thread()) {
            ownContext = new QObject;
            ownContext->moveToThread(threadContext->thread());
        }
        g_context = ownContext;
    }
}

void ClearMainWindow(MessageReceiver* receiver)
{
    {
        std::lock_guard lock(g_mutex);
        if (g_receiver != receiver)
            return;
        g_receiver = nullptr;
        ++g_generation;
    }
    ForgetQueuedCalls();
}

CallResult CallOnMainThread(const std::function<void()>& fn, std::stop_token token)
{
    std::unique_lock lock(g_mutex);
    if (g_receiver == nullptr || IsShuttingDown())
        return CallResult::NoMainWindow;
    const std::uint64_t generation = g_generation;
    QObject* context = g_context;

    if (context == nullptr) {
        lock.unlock();
        std::lock_guard direct(g_directMutex);
        {
            std::lock_guard check(g_mutex);
            if (!IsCurrent(generation))
                return CallResult::Dropped;
        }
        if (token.stop_requested())
            return CallResult::Dropped;
        fn();
        return CallResult::Ran;
    }

    if (QThread::currentThread() == context->thread()) {
        lock.unlock();
        if (token.stop_requested())
            return CallResult::Dropped;
        fn();
        return CallResult::Ran;
    }

    auto call = std::make_shared<Call>();
    lock.unlock();
    Enqueue(
        context,
        [call, &fn, token, generation] {
            {
                std::lock_guard guard(call->mutex);
                if (call->state != Call::State::Pending)
                    return;  // the sender has given up and `fn` may be gone
                bool current = false;
                {
                    std::lock_guard registration(g_mutex);
                    current = IsCurrent(generation);
                }
                if (!current || token.stop_requested()) {
                    call->state = Call::State::Done;
                    call->changed.notify_one();
                    return;
                }
                call->state = Call::State::Running;
            }
            fn();
            std::lock_guard guard(call->mutex);
            call->ran = true;
            call->state = Call::State::Done;
            call->changed.notify_one();
        });

    std::unique_lock wait(call->mutex);
    for (;;) {
        if (call->state == Call::State::Done)
            return call->ran ? CallResult::Ran : CallResult::Dropped;
        if (call->state == Call::State::Pending) {
            bool current = false;
            {
                std::lock_guard registration(g_mutex);
                current = IsCurrent(generation);
            }
            // A stopped sender need not wait for a call that would be dropped
            // anyway; the window may be waiting for it to end (shut-down).
            if (!current || token.stop_requested()) {
                call->state = Call::State::Abandoned;
                return CallResult::Dropped;
            }
        }
        // A window that goes away, a shut-down or a stop notifies nobody: look again now and then.
        call->changed.wait_for(wait, std::chrono::milliseconds(50));
    }
}

LRESULT SendMessage(unsigned message, WPARAM wParam, LPARAM lParam, std::stop_token token)
{
    LRESULT result = 0;
    CallOnMainThread(
        [&] {
            MessageReceiver* receiver = nullptr;
            {
                std::lock_guard lock(g_mutex);
                receiver = g_receiver;
            }
            if (receiver != nullptr)
                result = receiver->OnMessage(message, wParam, lParam);
        },
        std::move(token));
    return result;
}

SendRun SendMessages(unsigned message, std::size_t count,
                     const std::function<std::pair<WPARAM, LPARAM>(std::size_t)>& params, std::stop_token token)
{
    // A window thread busy this long with one run leaves the rest to the next.
    constexpr auto kRunBudget = std::chrono::milliseconds(4);
    SendRun run;
    if (count == 0)
        return run;
    CallOnMainThread(
        [&] {
            const auto start = std::chrono::steady_clock::now();
            while (run.handled < count) {
                MessageReceiver* receiver = nullptr;
                {
                    std::lock_guard lock(g_mutex);
                    receiver = g_receiver;
                }
                if (receiver == nullptr || (run.handled > 0 && token.stop_requested()))
                    return;
                const auto [wParam, lParam] = params(run.handled);
                run.lastResult = receiver->OnMessage(message, wParam, lParam);
                ++run.handled;
                if (run.lastResult != 0 || std::chrono::steady_clock::now() - start > kRunBudget)
                    return;
            }
        },
        token);
    return run;
}

namespace {

std::mutex g_completionMutex;
std::condition_variable_any g_completionEnded;
std::set<LRESULT> g_openCompletions;
LRESULT g_lastCompletion = 0;

}  // namespace

LRESULT BeginCompletion()
{
    std::lock_guard lock(g_completionMutex);
    if (++g_lastCompletion <= 0)
        g_lastCompletion = 1;
    g_openCompletions.insert(g_lastCompletion);
    return g_lastCompletion;
}

void EndCompletion(LRESULT id)
{
    std::lock_guard lock(g_completionMutex);
    g_openCompletions.erase(id);
    g_completionEnded.notify_all();
}

void WaitForCompletion(LRESULT id, std::stop_token token)
{
    if (id == 0)
        return;
    std::unique_lock lock(g_completionMutex);
    // A shut-down notifies nobody: look again now and then.
    while (g_openCompletions.count(id) != 0 && !IsShuttingDown()) {
        if (g_completionEnded.wait_for(lock, token, std::chrono::milliseconds(50),
                                       [&] { return g_openCompletions.count(id) == 0; }) ||
            token.stop_requested())
            return;
    }
}

void PostMessage(unsigned message, WPARAM wParam, LPARAM lParam, std::stop_token token)
{
    PostMessage(message, wParam, lParam, nullptr, std::move(token));
}

void PostMessage(unsigned message, WPARAM wParam, LPARAM lParam, std::shared_ptr<const void> payload,
                 std::stop_token token)
{
    std::unique_lock lock(g_mutex);
    if (g_receiver == nullptr || IsShuttingDown())
        return;
    const std::uint64_t generation = g_generation;
    QObject* context = g_context;
    lock.unlock();
    auto deliver = [message, wParam, lParam, token, generation, payload = std::move(payload)] {
        MessageReceiver* receiver = nullptr;
        {
            std::lock_guard guard(g_mutex);
            if (!IsCurrent(generation) || token.stop_requested())
                return;
            receiver = g_receiver;
        }
        receiver->OnMessage(message, wParam, lParam);
    };
    if (context == nullptr) {
        std::lock_guard direct(g_directMutex);
        deliver();
    } else {
        Enqueue(context, deliver);
    }
}

}  // namespace platform
