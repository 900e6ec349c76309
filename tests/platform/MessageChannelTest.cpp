#include "platform/MessageBox.h"
#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

// The event loop a queued-mode test runs the window's side on.
struct TestApplication {
    int argc = 1;
    char name[5] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
};

class CountingReceiver final : public MessageReceiver {
public:
    LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override
    {
        ++count;
        lastMessage = message;
        handlerThread = QThread::currentThread();
        return static_cast<LRESULT>(wParam) + lParam;
    }
    std::atomic<int> count{0};
    std::atomic<unsigned> lastMessage{0};
    std::atomic<QThread*> handlerThread{nullptr};
};

// Spins the event loop of this thread until `done` holds or two seconds pass.
template <typename Pred>
bool ProcessUntil(Pred done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(MessageChannel, DirectModeDeliversOnTheSendersThreadAndHonoursStop)
{
    EXPECT_EQ(SendMessage(WM_USER + 1, 1, 2), 0) << "no main window: nothing runs";

    CountingReceiver receiver;
    SetMainWindow(&receiver);
    LRESULT result = 0;
    std::thread([&] { result = SendMessage(WM_USER + 1, 40, 2); }).join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(receiver.count, 1);

    std::stop_source search;
    search.request_stop();
    EXPECT_EQ(SendMessage(WM_USER + 2, 1, 1, search.get_token()), 0);
    PostMessage(WM_USER + 3, 0, 0, search.get_token());
    PostMessage(WM_USER + 4);
    EXPECT_EQ(receiver.count, 2);
    EXPECT_EQ(receiver.lastMessage, WM_USER + 4);
    ClearMainWindow(&receiver);
    EXPECT_EQ(SendMessage(WM_USER + 1, 1, 2), 0);
}

TEST(MessageChannel, QueuedModeRunsOnTheWindowThreadAndReleasesSendersWhenTheWindowGoes)
{
    TestApplication app;
    QObject window;
    auto receiver = std::make_unique<CountingReceiver>();
    SetMainWindow(receiver.get(), &window);

    // A worker's send is handled on this thread and the worker gets the result.
    std::atomic<LRESULT> result{0};
    std::atomic<bool> returned{false};
    ASSERT_TRUE(AfxBeginThread([&] {
        result = SendMessage(WM_USER + 5, 7, 0);
        returned = true;
        return 0u;
    }));
    ASSERT_TRUE(ProcessUntil([&] { return returned.load(); }));
    EXPECT_EQ(result, 7);
    EXPECT_EQ(receiver->handlerThread, QThread::currentThread());

    // A send from the window's own thread runs at once.
    EXPECT_EQ(SendMessage(WM_USER + 6, 3, 0), 3);

    // The window goes away while a worker waits: the worker comes back at
    // once and its message is never handled.
    returned = false;
    ASSERT_TRUE(AfxBeginThread([&] {
        result = SendMessage(WM_USER + 7, 9, 0);
        returned = true;
        return 0u;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int before = receiver->count;
    ClearMainWindow(receiver.get());
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(2)));
    EXPECT_TRUE(returned);
    EXPECT_EQ(result, 0);
    // A later message reaches the next window; the dropped one never arrives.
    CountingReceiver next;
    SetMainWindow(&next, &window);
    ASSERT_TRUE(AfxBeginThread([] {
        SendMessage(WM_USER + 9);
        return 0u;
    }));
    ASSERT_TRUE(ProcessUntil([&] { return next.count.load() == 1; }));
    EXPECT_EQ(next.lastMessage, WM_USER + 9);
    EXPECT_EQ(receiver->count, before);
    ClearMainWindow(&next);

    // Shut-down releases a waiting sender even though nobody runs the loop.
    SetMainWindow(receiver.get(), &window);
    returned = false;
    ASSERT_TRUE(AfxBeginThread([&] {
        SendMessage(WM_USER + 8);
        returned = true;
        return 0u;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    BeginShutdown();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(2)));
    EXPECT_TRUE(returned);
    ResetShutdownForTesting();
    ClearMainWindow(receiver.get());
}

// A posted message whose parameters point into a payload: the worker is long
// gone when the window reads them; a stopped search's message is dropped and
// its payload freed.
TEST(MessageChannel, PostedPayloadsOutliveTheirSenderUntilHandled)
{
    TestApplication app;
    QObject window;
    struct TextReceiver final : MessageReceiver {
        LRESULT OnMessage(unsigned message, WPARAM, LPARAM lParam) override
        {
            texts.push_back(std::to_string(message - WM_USER) + " " + reinterpret_cast<const char*>(lParam));
            return 0;
        }
        std::vector<std::string> texts;
    } receiver;
    SetMainWindow(&receiver, &window);
    std::stop_source stopped;
    stopped.request_stop();
    std::weak_ptr<const void> dropped;
    ASSERT_TRUE(AfxBeginThread([&] {
        for (int i = 1; i <= 3; ++i) {
            auto text = std::make_shared<std::string>("text " + std::to_string(i));
            const auto lParam = reinterpret_cast<LPARAM>(text->c_str());
            if (i == 2)
                dropped = text;
            PostMessage(WM_USER + static_cast<unsigned>(i), 0, lParam, std::move(text),
                        i == 2 ? stopped.get_token() : std::stop_token{});
        }
        return 0u;
    }));
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(2)));
    ASSERT_TRUE(ProcessUntil([&] { return receiver.texts.size() == 2; }));
    EXPECT_EQ(receiver.texts, (std::vector<std::string>{"1 text 1", "3 text 3"}));
    EXPECT_TRUE(dropped.expired());
    ClearMainWindow(&receiver);
}

struct Note {
    static constexpr unsigned kMessage = WM_USER + 50;
    std::string text;
    int number = 0;
};

// The typed doors: a send's struct is the sender's while it waits and the
// handler's result comes back; a posted struct is the channel's copy, read
// after its sender has gone; a run goes in order; a raw message of the same
// number is not taken for the struct.
TEST(MessageChannel, TypedMessagesTravelByValueThroughTheOneDispatcher)
{
    TestApplication app;
    QObject window;
    struct NoteReceiver final : MessageReceiver {
        LRESULT OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override
        {
            return Dispatch<Note>(message, wParam, lParam, [this](const Note& note) {
                seen.push_back(note.text + " " + std::to_string(note.number));
                return LRESULT{note.number == 21 ? 42 : 0};  // a run pauses at a result
            });
        }
        std::vector<std::string> seen;
    } receiver;
    SetMainWindow(&receiver, &window);
    std::atomic<LRESULT> result{0};
    ASSERT_TRUE(AfxBeginThread([&] {
        result = Send(Note{"sent", 21});
        Post(Note{std::string(100, 'p'), 1});  // longer than a short string, so it lives on the heap
        const std::vector<Note> run{{"run", 2}, {"run", 3}};
        SendEach(std::span<const Note>(run));
        PostMessage(Note::kMessage, 0, 0);  // raw: handled by nothing
        Post(Note{"last", 4});
        return 0u;
    }));
    ASSERT_TRUE(ProcessUntil([&] { return RunningWorkerCount() == 0 && receiver.seen.size() >= 5; }));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(receiver.seen,
              (std::vector<std::string>{"sent 21", std::string(100, 'p') + " 1", "run 2", "run 3", "last 4"}));
    ClearMainWindow(&receiver);
}

// A run of messages reaches the window in one trip, in order; it pauses
// after a handler that asks the sender to wait for something, and a stopped
// token ends it.
TEST(MessageChannel, ARunOfMessagesStopsAtAResultAndAtAStop)
{
    TestApplication app;
    QObject window;
    struct RunReceiver final : MessageReceiver {
        LRESULT OnMessage(unsigned, WPARAM wParam, LPARAM) override
        {
            seen.push_back(static_cast<int>(wParam));
            if (static_cast<int>(wParam) == stopAt)
                search.request_stop();
            return static_cast<int>(wParam) == waitAt ? 99 : 0;
        }
        std::vector<int> seen;
        int waitAt = 3;
        int stopAt = 6;
        std::stop_source search;
    } receiver;
    SetMainWindow(&receiver, &window);
    const auto params = [](std::size_t i) { return std::pair{static_cast<WPARAM>(i), LPARAM{0}}; };
    std::vector<SendRun> runs;
    ASSERT_TRUE(AfxBeginThread([&] {
        std::size_t sent = 0;
        for (;;) {
            const SendRun run = SendMessages(WM_USER + 40, 10 - sent, [&](std::size_t i) { return params(sent + i); },
                                             receiver.search.get_token());
            runs.push_back(run);
            sent += run.handled;
            if (run.handled == 0 || sent == 10)
                return 0u;
        }
    }));
    ASSERT_TRUE(ProcessUntil([&] { return RunningWorkerCount() == 0; }));
    // 0..3 (3 asks to wait), 4..6 (6 stops the search), then nothing more.
    EXPECT_EQ(receiver.seen, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].handled, 4u);
    EXPECT_EQ(runs[0].lastResult, 99);
    EXPECT_EQ(runs[1].handled, 3u);
    EXPECT_EQ(runs[2].handled, 0u);
    ClearMainWindow(&receiver);
}

// Handlers that take longer than one drain slice make the drain hand the
// rest to a fresh event while workers keep queuing (ThreadSanitizer checks
// that the drain's context is read under its lock).
class SlowReceiver final : public MessageReceiver {
public:
    LRESULT OnMessage(unsigned, WPARAM, LPARAM) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(6));
        ++count;
        return 0;
    }
    std::atomic<int> count{0};
};

TEST(MessageChannel, SlowHandlersAndBusyWorkersDeliverEveryMessage)
{
    TestApplication app;
    QObject window;
    SlowReceiver receiver;
    SetMainWindow(&receiver, &window);
    for (int worker = 0; worker < 3; ++worker) {
        ASSERT_TRUE(AfxBeginThread([] {
            for (int i = 0; i < 10; ++i)
                PostMessage(WM_USER + 30);
            return 0u;
        }));
    }
    ASSERT_TRUE(ProcessUntil([&] { return receiver.count.load() == 30; }));
    ClearMainWindow(&receiver);
}

}  // namespace

namespace {

// A message box opened by a handler runs a nested event loop; messages that
// other workers send meanwhile are handled inside it, as the system does.
class NestedLoopResponder final : public MessageBoxResponder {
public:
    int Show(const std::string&, unsigned) override
    {
        sawOtherMessage = ProcessUntil([this] { return otherHandled.load(); });
        return IDOK;
    }
    std::atomic<bool> otherHandled{false};
    bool sawOtherMessage = false;
};

class BoxOpeningReceiver final : public MessageReceiver {
public:
    explicit BoxOpeningReceiver(NestedLoopResponder& responder) : m_responder(responder) {}
    LRESULT OnMessage(unsigned message, WPARAM, LPARAM) override
    {
        if (message == WM_USER + 20)
            AfxMessageBox("a box");
        else
            m_responder.otherHandled = true;
        return 0;
    }

private:
    NestedLoopResponder& m_responder;
};

TEST(MessageChannel, MessagesQueuedBehindAModalBoxAreHandledInsideIt)
{
    TestApplication app;
    QObject window;
    NestedLoopResponder responder;
    MessageBoxResponder* previous = SetMessageBoxResponder(&responder);
    BoxOpeningReceiver receiver(responder);
    SetMainWindow(&receiver, &window);

    std::atomic<bool> firstQueued{false};
    ASSERT_TRUE(AfxBeginThread([&] {
        firstQueued = true;
        SendMessage(WM_USER + 20);
        return 0u;
    }));
    ASSERT_TRUE(AfxBeginThread([&] {
        while (!firstQueued)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SendMessage(WM_USER + 21);
        return 0u;
    }));
    ASSERT_TRUE(ProcessUntil([&] { return RunningWorkerCount() == 0; }));
    EXPECT_TRUE(responder.sawOtherMessage);
    ClearMainWindow(&receiver);
    SetMessageBoxResponder(previous);
}

}  // namespace
