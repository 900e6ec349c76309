#include "platform/WorkerThreads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex g_mutex;
std::condition_variable g_allDone;
int g_running = 0;
std::atomic<bool> g_shuttingDown{false};

// Linux keeps a nice value per thread. It is raised from the thread's own,
// never lowered, which would need a right the program may have (as root) but
// should not use.
void LowerThisThread()
{
    constexpr int kLowestStep = 10;
    constexpr int kMaxNice = 19;
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);
    if (current == -1 && errno != 0)
        return;
    setpriority(PRIO_PROCESS, self, std::min(current + kLowestStep, kMaxNice));
}

void WorkerEnded()
{
    std::lock_guard lock(g_mutex);
    if (--g_running == 0)
        g_allDone.notify_all();
}

}  // namespace

bool AfxBeginThread(std::function<unsigned()> proc, int priority)
{
    {
        std::lock_guard lock(g_mutex);
        ++g_running;
    }
    try {
        std::thread([proc = std::move(proc), priority]() mutable {
            if (priority <= THREAD_PRIORITY_LOWEST)
                LowerThisThread();
            proc();
            proc = nullptr;  // release what the procedure captured before counting down
            WorkerEnded();
        }).detach();
    } catch (const std::system_error&) {
        WorkerEnded();
        return false;
    }
    return true;
}

int RunningWorkerCount()
{
    std::lock_guard lock(g_mutex);
    return g_running;
}

bool WaitForWorkers(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(g_mutex);
    return g_allDone.wait_for(lock, timeout, [] { return g_running == 0; });
}

void BeginShutdown()
{
    g_shuttingDown = true;
}

bool IsShuttingDown()
{
    return g_shuttingDown;
}

void ResetShutdownForTesting()
{
    g_shuttingDown = false;
}

}  // namespace platform
