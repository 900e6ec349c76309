#include "download/ProbeQueue.h"

#include "download/HttpDownloadInfo.h"
#include "platform/Http.h"
#include "platform/WorkerThreads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <semaphore>

namespace {

struct Job {
    DownloadItem item;
    std::stop_token stopToken;
    Job* next = nullptr;  // in the inbox: the job queued just before this one
};

// An idle worker ends after this long without work; it looks at the process's
// shut-down, which notifies nobody, at every slice.
constexpr auto kIdleLinger = std::chrono::milliseconds(1000);
constexpr auto kIdleSlice = std::chrono::milliseconds(100);

// Takes one from `count` unless it is 0; true when it did.
bool TakeOne(std::atomic<int>& count)
{
    int n = count.load();
    while (n > 0 && !count.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0;
}

// Adds one to `count` unless it has reached `limit`; true when it did.
bool AddOne(std::atomic<int>& count, int limit)
{
    int n = count.load();
    while (n < limit && !count.compare_exchange_weak(n, n + 1)) {
    }
    return n < limit;
}

}  // namespace

// Shared with the workers, so that it outlives a queue destroyed while they run.
//
// The caller (the window) never takes a lock that a worker may hold: a worker
// that loses the processor while holding it would hold the window as well. It
// pushes jobs onto `inbox` and settles the counts with atomic operations; the
// workers move the inbox into `waiting`, in arrival order, under a mutex of
// their own.
//
// Every worker is either running (counted in `running`, with the slots handed
// to workers that are still to be started or woken) or idle (counted in
// `idle`, waiting for a permit of `wake`). `running` never exceeds
// kMaxRunningProbes. A job queued while every slot is taken is left to the
// running workers: each looks for work again after giving its slot back.
struct ProbeQueue::State {
    ProbeQueue::Runner runner;  // empty: ProbeThreadProc
    std::atomic<Job*> inbox{nullptr};  // newest first
    mutable std::mutex mutex;          // the workers' own, and WaitingCount's
    std::deque<std::unique_ptr<Job>> waiting;  // oldest first; under `mutex`
    std::atomic<int> running{0};
    std::atomic<int> idle{0};
    std::counting_semaphore<> wake{0};  // one permit per idle worker handed a slot
    std::atomic<int> startsDue{0};      // slots whose worker is still to be started
    std::atomic<bool> starting{false};  // a thread start is under way and will pass on `startsDue`
    std::atomic<bool> closed{false};

    ~State() { DropInbox(); }

    bool Ending() const { return closed || platform::IsShuttingDown(); }

    void Push(std::unique_ptr<Job> job)
    {
        Job* node = job.release();
        node->next = inbox.load();
        while (!inbox.compare_exchange_weak(node->next, node)) {
        }
    }

    // Under `mutex`: the inbox joins the end of `waiting`, oldest first.
    void MoveInbox()
    {
        Job* newest = inbox.exchange(nullptr);
        Job* oldest = nullptr;
        while (newest != nullptr) {
            Job* next = newest->next;
            newest->next = oldest;
            oldest = newest;
            newest = next;
        }
        while (oldest != nullptr) {
            Job* next = oldest->next;
            waiting.emplace_back(oldest);
            oldest = next;
        }
    }

    void DropInbox()
    {
        for (Job* job = inbox.exchange(nullptr); job != nullptr;) {
            Job* next = job->next;
            delete job;
            job = next;
        }
    }

    // Under `mutex`. Jobs of a stopped search are dropped as they come to the
    // front, so that queueing a job costs the same however many wait behind a stop.
    std::unique_ptr<Job> TakeJob()
    {
        MoveInbox();
        while (!waiting.empty() && waiting.front()->stopToken.stop_requested())
            waiting.pop_front();
        if (waiting.empty())
            return nullptr;
        std::unique_ptr<Job> job = std::move(waiting.front());
        waiting.pop_front();
        return job;
    }

    bool HasWork()
    {
        if (inbox.load() != nullptr)
            return true;
        std::lock_guard lock(mutex);
        return !waiting.empty();
    }

    // A slot that was just counted in `running` goes to an idle worker, or to
    // a worker yet to be started.
    static void HandOutSlot(const std::shared_ptr<State>& state)
    {
        if (TakeOne(state->idle)) {
            state->wake.release();
            return;
        }
        state->startsDue.fetch_add(1);
        PassOnStart(state);
    }

    // Starts one more worker when one is due and no start is under way; the
    // new worker passes on the next start, so a burst of jobs costs whoever
    // queues them one thread start at most.
    static void PassOnStart(const std::shared_ptr<State>& state)
    {
        for (;;) {
            if (state->startsDue.load() == 0 || state->starting.exchange(true))
                return;
            if (TakeOne(state->startsDue)) {
                // Probes yield the processor to the window and the page walk:
                // the rows come first, their sizes as soon as there is time.
                if (platform::AfxBeginThread([state] { return Work(state); }, platform::THREAD_PRIORITY_LOWEST))
                    return;
                // No thread to be had: the slots go back, and the jobs wait
                // for a running worker.
                state->running.fetch_sub(1 + state->startsDue.exchange(0));
                state->starting = false;
                return;
            }
            state->starting = false;  // taken meanwhile: look again
        }
    }

    // The worker's life: pass on the start of the next worker that is due,
    // then run jobs, idle a while when there are none, and end.
    static unsigned Work(const std::shared_ptr<State>& state)
    {
        state->starting = false;
        PassOnStart(state);

        // The connections live as long as the worker, from probe to probe.
        platform::HttpConnections connections;
        for (;;) {
            std::unique_ptr<Job> job;
            bool ending = false;
            {
                std::lock_guard lock(state->mutex);
                ending = state->Ending();
                if (ending && platform::IsShuttingDown()) {
                    state->waiting.clear();
                    state->DropInbox();
                } else if (!ending) {
                    job = state->TakeJob();
                }
            }
            if (ending) {
                state->running.fetch_sub(1);
                return 0;
            }
            if (job) {
                if (state->runner)
                    state->runner(job->item, job->stopToken);
                else
                    ProbeThreadProc(std::move(job->item), job->stopToken, &connections);
                continue;
            }
            // Nothing to do: give the slot back and idle until woken, or end.
            state->running.fetch_sub(1);
            state->idle.fetch_add(1);
            // A job queued while this slot still counted was left to the
            // running workers: this one takes it after all.
            if (state->HasWork() && TakeOne(state->idle)) {
                if (AddOne(state->running, kMaxRunningProbes))
                    continue;
                state->idle.fetch_add(1);
            }
            if (!Idle(state))
                return 0;
        }
    }

    // Waits for a slot as an idle worker; false when the worker ends instead.
    static bool Idle(const std::shared_ptr<State>& state)
    {
        const auto until = std::chrono::steady_clock::now() + kIdleLinger;
        for (;;) {
            if (state->wake.try_acquire_for(kIdleSlice))
                return true;  // whoever released it counted this worker as running
            if (state->Ending() || std::chrono::steady_clock::now() >= until) {
                if (TakeOne(state->idle))
                    return false;
                // Handed a slot meanwhile: its permit is on the way.
                state->wake.acquire();
                return true;
            }
        }
    }
};

ProbeQueue::ProbeQueue(Runner runner)
    : m_state(std::make_shared<State>())
{
    m_state->runner = std::move(runner);
}

void ProbeQueue::SetRunner(Runner runner)
{
    m_state->runner = std::move(runner);
}

ProbeQueue::~ProbeQueue()
{
    m_state->closed = true;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->waiting.clear();
        m_state->DropInbox();
    }
    // Idle workers wake to end at once.
    while (TakeOne(m_state->idle)) {
        m_state->running.fetch_add(1);
        m_state->wake.release();
    }
}

void ProbeQueue::Start(const DownloadItem& item, std::stop_token stopToken)
{
    if (stopToken.stop_requested() || platform::IsShuttingDown())
        return;
    m_state->Push(std::make_unique<Job>(Job{item, std::move(stopToken)}));
    // A slot for it when one is free; else a running worker takes it when
    // its probe is done.
    if (AddOne(m_state->running, kMaxRunningProbes))
        State::HandOutSlot(m_state);
}

int ProbeQueue::RunningCount() const
{
    return m_state->running.load();
}

std::size_t ProbeQueue::WaitingCount() const
{
    std::lock_guard lock(m_state->mutex);
    const auto live = [](const Job& job) { return !job.stopToken.stop_requested(); };
    std::size_t count = 0;
    for (const std::unique_ptr<Job>& job : m_state->waiting)
        count += live(*job) ? 1 : 0;
    // Jobs leave the inbox only under the mutex; new ones come in front.
    for (const Job* job = m_state->inbox.load(); job != nullptr; job = job->next)
        count += live(*job) ? 1 : 0;
    return count;
}
