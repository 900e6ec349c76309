#include "download/ProbeQueue.h"

#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"
#include "platform/WorkerThreads.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <random>
#include <thread>
#include <set>

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// Holds the server's answers until the test lets them go, and counts how
// many requests are waiting for an answer at once.
class Gate {
public:
    ScriptedReply Hold(const HttpExchange& exchange)
    {
        const int id = std::stoi(exchange.target.substr(2));  // "/f<id>.mp3"
        std::unique_lock lock(m_mutex);
        m_arrivals.push_back(id);
        m_maxInFlight = std::max(m_maxInFlight, ++m_inFlight);
        m_changed.notify_all();
        m_changed.wait_for(lock, 60s, [&] { return m_all || m_released.count(id) != 0; });
        --m_inFlight;
        return ScriptedReply{HttpResponse(200, std::string(static_cast<std::size_t>(id) + 1, 'm'))};
    }

    bool WaitForArrivals(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 20s, [&] { return m_arrivals.size() >= count; });
    }

    void Release(int id)
    {
        std::lock_guard lock(m_mutex);
        m_released.insert(id);
        m_changed.notify_all();
    }

    void ReleaseAll()
    {
        std::lock_guard lock(m_mutex);
        m_all = true;
        m_changed.notify_all();
    }

    std::vector<int> Arrivals() const
    {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }

    int MaxInFlight() const
    {
        std::lock_guard lock(m_mutex);
        return m_maxInFlight;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_arrivals;
    std::set<int> m_released;
    bool m_all = false;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
};

// Lets a held server go before it is destroyed, whatever the test did.
struct ReleaseOnExit {
    Gate& gate;
    ~ReleaseOnExit() { gate.ReleaseAll(); }
};

DownloadItem Item(const ScriptedHttpServer& server, int id, std::uint64_t search)
{
    DownloadItem item;
    item.nItem = id;
    item.strUrl = server.Url("/f" + std::to_string(id) + ".mp3");
    item.strFileName = "f" + std::to_string(id) + ".mp3";
    item.nSearchId = search;
    return item;
}

bool IsAvailable(const ProbeReceiver::Record& r, std::uint64_t search)
{
    return r.message == WM_FILE_STATUS && r.text == "Avaliable" && r.item.nSearchId == search;
}

TEST(ProbeQueue, RunsAtMostSixteenProbesAndTheRestInArrivalOrder)
{
    ClearProxyEnvironment();
    ProbeReceiver receiver;
    Gate gate;
    ScriptedHttpServer server([&](const HttpExchange& e) { return gate.Hold(e); });
    ReleaseOnExit release{gate};
    ProbeQueue queue;
    std::stop_source search;

    constexpr int kProbes = 40;
    for (int i = 0; i < kProbes; ++i)
        queue.Start(Item(server, i, 1), search.get_token());
    EXPECT_EQ(queue.RunningCount(), ProbeQueue::kMaxRunningProbes);
    EXPECT_GE(queue.WaitingCount(), static_cast<std::size_t>(kProbes - ProbeQueue::kMaxRunningProbes));

    ASSERT_TRUE(gate.WaitForArrivals(16));
    auto arrivals = gate.Arrivals();
    std::set<int> first(arrivals.begin(), arrivals.end());
    EXPECT_EQ(first.size(), 16u);
    EXPECT_EQ(*first.rbegin(), 15);

    // Each answer frees one worker, which takes the oldest waiting probe.
    for (int next = 16; next < kProbes; ++next) {
        gate.Release(gate.Arrivals()[static_cast<std::size_t>(next - 16)]);
        ASSERT_TRUE(gate.WaitForArrivals(static_cast<std::size_t>(next) + 1));
        EXPECT_EQ(gate.Arrivals()[static_cast<std::size_t>(next)], next);
    }
    gate.ReleaseAll();
    ASSERT_TRUE(receiver.WaitFor([](const auto& r) { return IsAvailable(r, 1); }, kProbes));
    EXPECT_EQ(gate.MaxInFlight(), ProbeQueue::kMaxRunningProbes);

    // Every row got its own size, before its "Avaliable".
    std::set<int> sized;
    for (const auto& r : receiver.Records()) {
        if (r.message == WM_FILE_SIZE_PROBED) {
            EXPECT_EQ(r.value, static_cast<std::uint64_t>(r.item.nItem + 1));
            sized.insert(r.item.nItem);
        } else if (IsAvailable(r, 1)) {
            EXPECT_EQ(sized.count(r.item.nItem), 1u);
        }
    }
    EXPECT_EQ(sized.size(), static_cast<std::size_t>(kProbes));
    EXPECT_TRUE(platform::WaitForWorkers(20s));
    EXPECT_EQ(queue.RunningCount(), 0);
}

TEST(ProbeQueue, AStoppedSearchReportsNothingMoreAndItsWaitingProbesNeverRun)
{
    ClearProxyEnvironment();
    ProbeReceiver receiver;
    Gate gate;
    ScriptedHttpServer old([&](const HttpExchange& e) { return gate.Hold(e); });
    ReleaseOnExit release{gate};
    ScriptedHttpServer fresh([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "abcd")}; });
    ProbeQueue queue;

    std::stop_source first;
    for (int i = 0; i < 20; ++i)
        queue.Start(Item(old, i, 1), first.get_token());
    ASSERT_TRUE(gate.WaitForArrivals(16));

    // A new search empties the list: the old one's token is stopped.
    first.request_stop();
    EXPECT_EQ(queue.WaitingCount(), 0u) << "the four behind the running ones count no more";
    platform::SendMessage(platform::WM_USER + 999);  // waits out a handler already running
    const auto fromOld = [](const ProbeReceiver::Record& r) { return r.item.nSearchId == 1; };
    const auto stopped = receiver.Records();
    const auto before = std::count_if(stopped.begin(), stopped.end(), fromOld);

    std::stop_source second;
    for (int i = 0; i < 3; ++i)
        queue.Start(Item(fresh, i, 2), second.get_token());
    ASSERT_TRUE(receiver.WaitFor([](const auto& r) { return IsAvailable(r, 2); }, 3));
    // The stopped probes give up their held requests without an answer.
    EXPECT_TRUE(platform::WaitForWorkers(20s));

    const auto records = receiver.Records();
    EXPECT_EQ(std::count_if(records.begin(), records.end(), fromOld), before);
    EXPECT_LE(before, 16 * 4);  // connection steps at most, never a size
    EXPECT_EQ(gate.Arrivals().size(), 16u);
    EXPECT_EQ(fresh.RequestCount(), 3u);
}

TEST(ProbeQueue, AProbeQueuedAsWorkersFallIdleIsNeverLeftBehind)
{
    // Each probe is queued just as the workers may be giving their slots
    // back, and must run without a later probe to wake anyone.
    struct Runs {
        std::mutex mutex;
        std::condition_variable changed;
        int count = 0;
    };
    auto runs = std::make_shared<Runs>();
    ProbeQueue queue([runs](const DownloadItem&, std::stop_token) {
        std::lock_guard lock(runs->mutex);
        ++runs->count;
        runs->changed.notify_all();
    });
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pause(0, 400);
    int queued = 0;
    for (int round = 0; round < 300; ++round) {
        const int burst = 1 + round % 3;
        for (int i = 0; i < burst; ++i)
            queue.Start(DownloadItem{}, {});
        queued += burst;
        std::unique_lock lock(runs->mutex);
        ASSERT_TRUE(runs->changed.wait_for(lock, 5s, [&] { return runs->count == queued; })) << "round " << round;
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
    }
    EXPECT_LE(queue.RunningCount(), ProbeQueue::kMaxRunningProbes);
    EXPECT_TRUE(platform::WaitForWorkers(20s));
    EXPECT_EQ(queue.RunningCount(), 0);
}

TEST(ProbeQueue, ProbesYieldTheProcessorToTheThreadThatStartsThem)
{
    errno = 0;
    const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    ASSERT_EQ(errno, 0);
    auto seen = std::make_shared<std::atomic<int>>(-100);
    {
        ProbeQueue queue([seen](const DownloadItem&, std::stop_token) {
            *seen = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        });
        queue.Start(DownloadItem{}, {});
        ASSERT_TRUE(platform::WaitForWorkers(20s));
    }
    EXPECT_EQ(seen->load(), std::min(own + 10, 19));
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), own);
}

TEST(ProbeQueue, DropsWaitingProbesWhenDestroyedOrShuttingDown)
{
    struct Blocker {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int runs = 0;
    };
    auto blocker = std::make_shared<Blocker>();
    const auto runner = [blocker](const DownloadItem&, std::stop_token) {
        std::unique_lock lock(blocker->mutex);
        ++blocker->runs;
        blocker->changed.notify_all();
        blocker->changed.wait_for(lock, 30s, [&] { return blocker->open; });
    };
    const auto open = [blocker] {
        std::lock_guard lock(blocker->mutex);
        blocker->open = true;
        blocker->changed.notify_all();
    };
    const auto runsReach = [blocker](int n) {
        std::unique_lock lock(blocker->mutex);
        return blocker->changed.wait_for(lock, 20s, [&] { return blocker->runs >= n; });
    };

    {
        auto queue = std::make_unique<ProbeQueue>(runner);
        for (int i = 0; i < 30; ++i)
            queue->Start(DownloadItem{}, {});
        ASSERT_TRUE(runsReach(16));
        queue.reset();  // the view goes away while its probes run
        open();
        ASSERT_TRUE(platform::WaitForWorkers(20s));
        EXPECT_EQ(blocker->runs, 16);
    }

    blocker->open = false;
    blocker->runs = 0;
    ProbeQueue queue(runner);
    for (int i = 0; i < 30; ++i)
        queue.Start(DownloadItem{}, {});
    ASSERT_TRUE(runsReach(16));
    platform::BeginShutdown();
    queue.Start(DownloadItem{}, {});
    open();
    EXPECT_TRUE(platform::WaitForWorkers(20s));
    platform::ResetShutdownForTesting();
    EXPECT_EQ(blocker->runs, 16);
    EXPECT_EQ(queue.WaitingCount(), 0u);
}

}  // namespace
