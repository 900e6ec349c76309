#pragma once

#include <chrono>
#include <functional>

namespace platform {

// Starts `proc` on a new worker thread at normal priority. The thread is
// detached and never joined by the program, but it is counted, so that tests
// and the end of the process can wait until every worker has returned.
// Returns false when no thread could be started.
bool AfxBeginThread(std::function<unsigned()> proc);

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
