#include "platform/WorkerThreads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {
namespace {

std::mutex g_mutex;
std::condition_variable g_allDone;
int g_running = 0;
std::atomic<bool> g_shuttingDown{false};

void WorkerEnded()
{
    std::lock_guard lock(g_mutex);
    if (--g_running == 0)
        g_allDone.notify_all();
}

}  // namespace

bool AfxBeginThread(std::function<unsigned()> proc)
{
    {
        std::lock_guard lock(g_mutex);
        ++g_running;
    }
    try {
        std::thread([proc = std::move(proc)]() mutable {
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
