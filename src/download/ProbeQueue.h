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
// running. Workers never wait for work: each one runs queued probes until the
// queue is empty and then ends, so no thread is ever left behind.
class ProbeQueue final {
public:
    static constexpr int kMaxRunningProbes = 16;

    // Runs one probe on the calling worker thread; ProbeThreadProc by default.
    using Runner = std::function<void(const DownloadItem&, std::stop_token)>;

    explicit ProbeQueue(Runner runner = {});
    // Queued probes are dropped; running ones go on to their end.
    ~ProbeQueue();
    ProbeQueue(const ProbeQueue&) = delete;
    ProbeQueue& operator=(const ProbeQueue&) = delete;

    // Queues a probe of `item` for the search that `stopToken` belongs to
    // and returns at once; the queue keeps its own copy of the item.
    void Start(const DownloadItem& item, std::stop_token stopToken);

    int RunningCount() const;
    std::size_t WaitingCount() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
