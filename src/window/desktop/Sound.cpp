#include "window/desktop/Sound.h"

#include "platform/WorkerThreads.h"

#include <canberra.h>
#include <pulse/context.h>
#include <pulse/mainloop.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

// A sound that is still playing after this long is cut off, so a stuck sound
// server can never hold up the caller for good.
constexpr auto kLongestSound = std::chrono::seconds(10);

class CanberraBackend final : public SoundBackend {
public:
    bool PlayFile(const std::string& path) override { return Play(CA_PROP_MEDIA_FILENAME, path); }
    bool PlayEvent(const std::string& eventId) override { return Play(CA_PROP_EVENT_ID, eventId); }

private:
    struct Playing {
        bool done = false;
    };

    static void Finished(ca_context*, uint32_t id, int, void*)
    {
        std::lock_guard lock(s_mutex);
        auto it = s_playing.find(id);
        if (it == s_playing.end())
            return;  // the caller has stopped waiting
        it->second->done = true;
        s_finished.notify_all();
    }

    bool Play(const char* property, const std::string& value)
    {
        std::unique_lock lock(s_mutex);
        if (m_context == nullptr && !m_contextFailed) {
            if (ca_context_create(&m_context) != CA_SUCCESS) {
                m_context = nullptr;
                m_contextFailed = true;
            } else {
                ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Tunorva", nullptr);
            }
        }
        if (m_context == nullptr)
            return false;

        ca_proplist* props = nullptr;
        if (ca_proplist_create(&props) != CA_SUCCESS)
            return false;
        ca_proplist_sets(props, property, value.c_str());
        const uint32_t id = ++m_nextId;
        auto playing = std::make_shared<Playing>();
        s_playing[id] = playing;
        lock.unlock();
        // Without a sound device this fails within milliseconds.
        const int rc = ca_context_play_full(m_context, id, props, &CanberraBackend::Finished, nullptr);
        ca_proplist_destroy(props);
        lock.lock();
        bool played = rc == CA_SUCCESS;
        if (played) {
            played = s_finished.wait_for(lock, kLongestSound, [&] { return playing->done; });
            if (!played) {
                lock.unlock();
                ca_context_cancel(m_context, id);
                lock.lock();
            }
        }
        s_playing.erase(id);
        return played;
    }

    ca_context* m_context = nullptr;
    bool m_contextFailed = false;
    uint32_t m_nextId = 0;
    static std::mutex s_mutex;
    static std::condition_variable s_finished;
    static std::map<uint32_t, std::shared_ptr<Playing>> s_playing;
};

std::mutex CanberraBackend::s_mutex;
std::condition_variable CanberraBackend::s_finished;
std::map<uint32_t, std::shared_ptr<CanberraBackend::Playing>> CanberraBackend::s_playing;

SoundBackend& DesktopBackend()
{
    // Never destroyed: a worker may still be playing when the process ends.
    static auto* backend = new CanberraBackend;
    return *backend;
}

std::atomic<SoundBackend*> g_backend{nullptr};

SoundBackend& Backend()
{
    SoundBackend* backend = g_backend.load();
    return backend != nullptr ? *backend : DesktopBackend();
}

}  // namespace

bool PlaySound(const std::string& path, unsigned flags)
{
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_regular_file(path, ec))
        return Backend().PlayFile(path);
    if ((flags & SND_NODEFAULT) != 0)
        return false;
    return Backend().PlayEvent("bell");
}

namespace {
// Sounds started by PlaySoundAsync and not yet over. A sound server's
// latency can make one sound last seconds; a caller that asks with
// SND_NOWAIT is not queued behind it.
std::atomic<int> g_pendingSounds{0};
}  // namespace

bool PlaySoundAsync(const std::string& path, unsigned flags, std::function<void()> played)
{
    static std::mutex oneAtATime;
    std::atomic<int>& pending = g_pendingSounds;
    if ((flags & SND_NOWAIT) != 0) {
        int none = 0;
        if (!pending.compare_exchange_strong(none, 1))
            return false;
    } else {
        ++pending;
    }
    const bool started = AfxBeginThread([path, flags, played = std::move(played)] {
        {
            std::lock_guard lock(oneAtATime);
            PlaySound(path, flags);
        }
        --pending;
        if (played)
            played();
        return 0u;
    });
    if (!started)
        --pending;
    return started;
}

bool SoundServerAnswers(std::chrono::milliseconds timeout)
{
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr)
        return false;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Tunorva");
    bool ready = false;
    // The server is looked for where every PulseAudio client looks
    // (PULSE_SERVER, the user's runtime folder, client.conf), but none is
    // started for us.
    if (context != nullptr && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state == PA_CONTEXT_READY) {
                ready = true;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(state) || pa_mainloop_iterate(loop, 0, nullptr) < 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        pa_context_disconnect(context);
    }
    if (context != nullptr)
        pa_context_unref(context);
    pa_mainloop_free(loop);
    return ready;
}

int PendingSounds()
{
    return g_pendingSounds.load();
}

SoundBackend* SetSoundBackend(SoundBackend* backend)
{
    return g_backend.exchange(backend);
}

}  // namespace platform
