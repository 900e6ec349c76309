#pragma once

#include "download/DownloadItem.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <stop_token>

// Runs the probes of found files on worker threads, a bounded number at a
// time: a search can report hundreds of files within seconds, and one thread
// and one connection per file would swamp both this machine and the servers.
// Probes wait in arrival order; those of a stopped search are dropped without
// running.
//
// A worker keeps its connections open from one probe to the next and, once
// the queue is empty, waits a little for more work before it ends, so that a
// search's stream of found files is served by the same few threads over the
// same few connections, and no thread is left behind once the stream stops.
// Starting a probe never waits for a worker, nor for a lock a worker holds: it
// queues the probe and wakes an idle worker; new workers are started by the
// worker started before them, so a burst of found files costs the caller at
// most one thread start. Workers run below the caller's priority.
class ProbeQueue final {
public:
    static constexpr int kMaxRunningProbes = 16;

    // Runs one probe on the calling worker thread; ProbeThreadProc over the
    // worker's connections by default.
    using Runner = std::function<void(const DownloadItem&, std::stop_token)>;

    explicit ProbeQueue(Runner runner = {});
    // Replaces the runner; only before the first Start (a benchmark compares
    // probes of different kinds through the same window).
    void SetRunner(Runner runner);
    // Queued probes are dropped; running ones go on to their end and idle
    // workers end at once.
    ~ProbeQueue();
    ProbeQueue(const ProbeQueue&) = delete;
    ProbeQueue& operator=(const ProbeQueue&) = delete;

    // Queues a probe of `item` for the search that `stopToken` belongs to
    // and returns at once; the queue keeps its own copy of the item.
    void Start(const DownloadItem& item, std::stop_token stopToken);

    // Workers busy with a probe or about to take one.
    int RunningCount() const;
    // Queued jobs still to run; those of a stopped search do not count.
    std::size_t WaitingCount() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
