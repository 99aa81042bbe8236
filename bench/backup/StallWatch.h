#pragma once
// Where the window's thread is while its event loop has not turned for a while: a
// watcher thread reads that thread's kernel stack and, through a signal, its own
// backtrace, and prints both. For finding what a long pause waits for (the disk,
// a lock, the system's journal) when timings alone cannot tell.

#include <atomic>
#include <thread>

class TStallWatch {
public:
    // From the window's thread, which is the one watched.
    explicit TStallWatch(double thresholdMs);
    ~TStallWatch();
    TStallWatch(const TStallWatch&) = delete;
    TStallWatch& operator=(const TStallWatch&) = delete;

    // The event loop turned.
    void Turned();

private:
    void Watch();

    const long long FThresholdNs;
    std::atomic<long long> FLastTurnNs;
    std::atomic<bool> FStop{false};
    int FTid;
    std::thread FWatcher;
};
