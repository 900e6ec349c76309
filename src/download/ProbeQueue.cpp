#include "download/ProbeQueue.h"

#include "download/HttpDownloadInfo.h"
#include "platform/WorkerThreads.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace {

struct Job {
    DownloadItem item;
    std::stop_token stopToken;
};

}  // namespace

// Shared with the workers, so that it outlives a queue destroyed while they run.
struct ProbeQueue::State {
    ProbeQueue::Runner runner;
    mutable std::mutex mutex;
    std::deque<Job> waiting;
    int running = 0;
    bool closed = false;

    void DropStopped()
    {
        std::erase_if(waiting, [](const Job& job) { return job.stopToken.stop_requested(); });
    }

    // The worker's loop: the next live job, or the end of the worker.
    static unsigned Work(const std::shared_ptr<State>& state)
    {
        for (;;) {
            Job job;
            {
                std::lock_guard lock(state->mutex);
                state->DropStopped();
                if (state->waiting.empty() || state->closed || platform::IsShuttingDown()) {
                    if (platform::IsShuttingDown())
                        state->waiting.clear();
                    --state->running;
                    return 0;
                }
                job = std::move(state->waiting.front());
                state->waiting.pop_front();
            }
            state->runner(job.item, job.stopToken);
        }
    }
};

ProbeQueue::ProbeQueue(Runner runner)
    : m_state(std::make_shared<State>())
{
    if (!runner)
        runner = [](const DownloadItem& item, std::stop_token token) { ProbeThreadProc(item, std::move(token)); };
    m_state->runner = std::move(runner);
}

ProbeQueue::~ProbeQueue()
{
    std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
    m_state->waiting.clear();
}

void ProbeQueue::Start(const DownloadItem& item, std::stop_token stopToken)
{
    if (stopToken.stop_requested() || platform::IsShuttingDown())
        return;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->DropStopped();
        m_state->waiting.push_back({item, std::move(stopToken)});
        if (m_state->running >= kMaxRunningProbes)
            return;
        ++m_state->running;
    }
    // Started outside the lock: a worker that is already running may pick
    // the job up first, and the new one then simply finds less to do.
    if (!platform::AfxBeginThread([state = m_state] { return State::Work(state); })) {
        // No thread to be had: the job waits for the next worker that starts.
        std::lock_guard lock(m_state->mutex);
        --m_state->running;
    }
}

int ProbeQueue::RunningCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

std::size_t ProbeQueue::WaitingCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->waiting.size();
}
