#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace platform {

// PlaySoundA flags that the program uses.
inline constexpr unsigned SND_SYNC = 0x0000;
inline constexpr unsigned SND_NODEFAULT = 0x0002;
inline constexpr unsigned SND_APPLICATION = 0x0080;
inline constexpr unsigned SND_NOWAIT = 0x2000;

// Whatever actually makes the noise. The desktop uses the sound server
// through libcanberra; tests install their own, as test machines have no
// sound card.
class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    // Plays a sound file and returns when it has played (or failed).
    virtual bool PlayFile(const std::string& path) = 0;
    // Plays the desktop's sound for a named event, e.g. "bell".
    virtual bool PlayEvent(const std::string& eventId) = 0;
};

// PlaySoundA(path, flags) for files: plays synchronously. When the file does
// not exist the desktop's default event sound is played instead, unless
// SND_NODEFAULT is given. With no sound device nothing is heard and the call
// returns at once. False when nothing was played.
bool PlaySound(const std::string& path, unsigned flags);

// PlaySound on a worker of its own: returns at once and calls `played` on
// that worker when the sound has played (or failed). Sounds started this way
// play one after another, as they would from one thread. With SND_NOWAIT a
// sound asked for while one of these still plays (or waits) is skipped, as a
// busy device skips it. False when the sound is skipped or no worker could
// be started; `played` is never called then.
bool PlaySoundAsync(const std::string& path, unsigned flags, std::function<void()> played);

// How many sounds started by PlaySoundAsync have not played out yet; whoever
// installs a backend waits for none before taking it away again.
int PendingSounds();

// Whether a sound server answers now, within `timeout`; never starts one.
// Qt's sound output looks for the server once, at its first use, and a
// process that asked while none ran never finds one later: whoever opens
// an output asks here first, each time.
bool SoundServerAnswers(std::chrono::milliseconds timeout);

// Installs a backend (null restores the desktop one); returns the previous.
SoundBackend* SetSoundBackend(SoundBackend* backend);

}  // namespace platform
