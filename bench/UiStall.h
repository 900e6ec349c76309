// The window's responsiveness, read from a heartbeat timer on its thread: the
// longest gap between two ticks, and how much of that gap the window's thread
// spent working (the rest it waited for a processor), plus the most work it
// did between any two ticks; and all the CPU time the thread used from Start
// to the last tick, to share out over what the window handled.
#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <ctime>

class UiStallMeter {
public:
    void Start()
    {
        m_clock.start();
        m_lastTick = 0;
        m_lastCpuUs = ThreadCpuUs();
        m_startCpuUs = m_lastCpuUs;
    }

    // Called from the heartbeat; returns the time since Start in ms.
    qint64 Tick()
    {
        const qint64 now = m_clock.elapsed();
        const long long cpu = ThreadCpuUs();
        const long long busyUs = cpu - m_lastCpuUs;
        if (now - m_lastTick > m_longestMs) {
            m_longestMs = now - m_lastTick;
            m_busyInLongestUs = busyUs;
        }
        m_mostBusyUs = std::max(m_mostBusyUs, busyUs);
        m_lastTick = now;
        m_lastCpuUs = cpu;
        return now;
    }

    qint64 LongestMs() const { return m_longestMs; }
    double BusyInLongestMs() const { return static_cast<double>(m_busyInLongestUs) / 1000.0; }
    double MostBusyMs() const { return static_cast<double>(m_mostBusyUs) / 1000.0; }
    double CpuMs() const { return static_cast<double>(m_lastCpuUs - m_startCpuUs) / 1000.0; }

private:
    static long long ThreadCpuUs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }

    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    long long m_lastCpuUs = 0;
    long long m_startCpuUs = 0;
    qint64 m_longestMs = 0;
    long long m_busyInLongestUs = 0;
    long long m_mostBusyUs = 0;
};
