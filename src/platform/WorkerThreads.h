#pragma once

#include <chrono>
#include <functional>

namespace platform {

inline constexpr int THREAD_PRIORITY_NORMAL = 0;
// Background work that may wait while the window and the page walk run: the
// thread gets a small share of a busy processor (10 steps of nice above the
// thread that starts it). A thread started from such a thread stays at that
// share at least, whatever it asks for.
inline constexpr int THREAD_PRIORITY_LOWEST = -2;

// Starts `proc` on a new worker thread at `priority`. The thread is detached
// and never joined by the program, but it is counted, so that tests and the
// end of the process can wait until every worker has returned. Returns false
// when no thread could be started.
bool AfxBeginThread(std::function<unsigned()> proc, int priority = THREAD_PRIORITY_NORMAL);

int RunningWorkerCount();

// Waits until no worker runs or the time is up; true when none runs.
bool WaitForWorkers(std::chrono::milliseconds timeout);

// Process shut-down: from here on every network wait of the platform layer
// gives up at its next check, message sends return at once, and workers run
// to their end without reporting anything.
void BeginShutdown();
bool IsShuttingDown();

// Tests run several programs' lives in one process.
void ResetShutdownForTesting();

}  // namespace platform
