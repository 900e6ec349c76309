#include "download/ProbeQueue.h"

#include "download/HttpDownloadInfo.h"
#include "platform/Http.h"
#include "platform/WorkerThreads.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

struct Job {
    DownloadItem item;
    std::stop_token stopToken;
};

// An idle worker ends after this long without work; it looks at the process's
// shut-down, which notifies nobody, at every slice.
constexpr auto kIdleLinger = std::chrono::milliseconds(1000);
constexpr auto kIdleSlice = std::chrono::milliseconds(100);

}  // namespace

// Shared with the workers, so that it outlives a queue destroyed while they run.
//
// Every worker is either running (counted in `running`, with the slots handed
// to workers that are still to be started or woken) or idle (counted in
// `idle`, waiting for `wakeUps`). `running` never exceeds kMaxRunningProbes.
struct ProbeQueue::State {
    ProbeQueue::Runner runner;  // empty: ProbeThreadProc
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> waiting;
    int running = 0;
    int idle = 0;
    int wakeUps = 0;     // idle workers told to take a job
    int startsDue = 0;   // workers counted in `running` whose thread is still to be started
    bool starting = false;  // a thread start is under way and will pass on `startsDue`
    bool closed = false;

    // Jobs of a stopped search are dropped as they come to the front, so that
    // queueing a job costs the same however many wait behind a stop.
    void DropStoppedAtFront()
    {
        while (!waiting.empty() && waiting.front().stopToken.stop_requested())
            waiting.pop_front();
    }

    bool Ending() const { return closed || platform::IsShuttingDown(); }

    // Starts one more worker; on failure its slot and those still due go back.
    static void StartWorker(const std::shared_ptr<State>& state)
    {
        // Probes yield the processor to the window and the page walk: the
        // rows come first, their sizes as soon as there is time.
        if (platform::AfxBeginThread([state] { return Work(state); }, platform::THREAD_PRIORITY_LOWEST))
            return;
        // No thread to be had: the jobs wait for a worker that frees itself.
        std::lock_guard lock(state->mutex);
        state->running -= 1 + state->startsDue;
        state->startsDue = 0;
        state->starting = false;
    }

    // The worker's life: first pass on the start of the next worker that is
    // due, then run jobs, idle a while when there are none, and end.
    static unsigned Work(const std::shared_ptr<State>& state)
    {
        bool startNext = false;
        {
            std::lock_guard lock(state->mutex);
            startNext = state->startsDue > 0 && !state->Ending();
            if (startNext)
                --state->startsDue;
            else
                state->starting = false;
        }
        if (startNext)
            StartWorker(state);

        // The connections live as long as the worker, from probe to probe.
        platform::HttpConnections connections;
        std::unique_lock lock(state->mutex);
        for (;;) {
            state->DropStoppedAtFront();
            if (state->Ending()) {
                if (platform::IsShuttingDown())
                    state->waiting.clear();
                --state->running;
                return 0;
            }
            if (!state->waiting.empty()) {
                Job job = std::move(state->waiting.front());
                state->waiting.pop_front();
                lock.unlock();
                if (state->runner)
                    state->runner(job.item, job.stopToken);
                else
                    ProbeThreadProc(std::move(job.item), job.stopToken, &connections);
                lock.lock();
                continue;
            }
            // Nothing to do: idle until woken, or end.
            --state->running;
            ++state->idle;
            const auto until = std::chrono::steady_clock::now() + kIdleLinger;
            for (;;) {
                if (state->wakeUps > 0) {
                    --state->wakeUps;  // whoever woke us counted us as running again
                    break;
                }
                if (state->Ending() || std::chrono::steady_clock::now() >= until) {
                    --state->idle;
                    return 0;
                }
                state->wake.wait_for(lock, kIdleSlice);
            }
        }
    }
};

ProbeQueue::ProbeQueue(Runner runner)
    : m_state(std::make_shared<State>())
{
    m_state->runner = std::move(runner);
}

ProbeQueue::~ProbeQueue()
{
    std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
    m_state->waiting.clear();
    m_state->wake.notify_all();
}

void ProbeQueue::Start(const DownloadItem& item, std::stop_token stopToken)
{
    if (stopToken.stop_requested() || platform::IsShuttingDown())
        return;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->waiting.push_back({item, std::move(stopToken)});
        if (m_state->running >= kMaxRunningProbes)
            return;  // a running worker takes it when its probe is done
        ++m_state->running;
        if (m_state->idle > 0) {
            --m_state->idle;
            ++m_state->wakeUps;
            m_state->wake.notify_one();
            return;
        }
        ++m_state->startsDue;
        if (m_state->starting)
            return;  // the worker being started passes the start on
        --m_state->startsDue;
        m_state->starting = true;
    }
    State::StartWorker(m_state);
}

int ProbeQueue::RunningCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

std::size_t ProbeQueue::WaitingCount() const
{
    std::lock_guard lock(m_state->mutex);
    return static_cast<std::size_t>(std::count_if(m_state->waiting.begin(), m_state->waiting.end(),
                                                  [](const Job& job) { return !job.stopToken.stop_requested(); }));
}
