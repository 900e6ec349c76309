#include "platform/MessageChannel.h"

#include "platform/WorkerThreads.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace platform {
namespace {

// A queued call and the handshake between its sender and the main thread:
// whoever moves it out of Pending first decides whether it runs. The sender
// only gives up a call that has not started, so the pointers it passed are
// valid whenever a handler runs.
struct Call {
    enum class State { Pending, Running, Done, Abandoned };
    State state = State::Pending;
    bool ran = false;
};

std::mutex g_mutex;                 // guards everything below and each Call's state
std::condition_variable g_changed;  // a call finished, or the main window changed
MessageReceiver* g_receiver = nullptr;
QObject* g_context = nullptr;       // lives as long as the process, see SetMainWindow
std::uint64_t g_generation = 0;     // bumped whenever the main window changes
std::recursive_mutex g_directMutex; // serialises handlers in direct mode

bool IsCurrent(std::uint64_t generation)
{
    return g_generation == generation && g_receiver != nullptr && !IsShuttingDown();
}

}  // namespace

void SetMainWindow(MessageReceiver* receiver, QObject* threadContext)
{
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
    g_changed.notify_all();
}

void ClearMainWindow(MessageReceiver* receiver)
{
    std::lock_guard lock(g_mutex);
    if (g_receiver != receiver)
        return;
    g_receiver = nullptr;
    ++g_generation;
    g_changed.notify_all();
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
    QMetaObject::invokeMethod(
        context,
        [call, &fn, token, generation] {
            {
                std::lock_guard guard(g_mutex);
                if (call->state != Call::State::Pending)
                    return;  // the sender has given up and `fn` may be gone
                if (!IsCurrent(generation) || token.stop_requested()) {
                    call->state = Call::State::Done;
                    g_changed.notify_all();
                    return;
                }
                call->state = Call::State::Running;
            }
            fn();
            std::lock_guard guard(g_mutex);
            call->ran = true;
            call->state = Call::State::Done;
            g_changed.notify_all();
        },
        Qt::QueuedConnection);

    lock.lock();
    for (;;) {
        if (call->state == Call::State::Done)
            return call->ran ? CallResult::Ran : CallResult::Dropped;
        if (call->state == Call::State::Pending && !IsCurrent(generation)) {
            call->state = Call::State::Abandoned;
            return CallResult::Dropped;
        }
        // Shut-down is announced without a notification, so look again now and then.
        g_changed.wait_for(lock, std::chrono::milliseconds(50));
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

void PostMessage(unsigned message, WPARAM wParam, LPARAM lParam, std::stop_token token)
{
    std::unique_lock lock(g_mutex);
    if (g_receiver == nullptr || IsShuttingDown())
        return;
    const std::uint64_t generation = g_generation;
    QObject* context = g_context;
    lock.unlock();
    auto deliver = [message, wParam, lParam, token, generation] {
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
        QMetaObject::invokeMethod(context, deliver, Qt::QueuedConnection);
    }
}

}  // namespace platform
