#include "PieceWalk.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// One thread for the program's life: starting one per search would cost about what
// a small search takes.
class THelper {
public:
    THelper() : FThread([this](std::stop_token stop) { Serve(stop); }) {}
    ~THelper() {
        {
            std::lock_guard lock(FMutex);
            FThread.request_stop();
        }
        FWake.notify_all();
    }

    void Run(size_t count, const std::function<void(size_t)>& piece) {
        {
            std::lock_guard lock(FMutex);
            FPiece = &piece;
            FCount = count;
            FNext.store(0, std::memory_order_relaxed);
            FBusy = false;
            ++FRound;
        }
        FWake.notify_one();
        for (size_t i; (i = FNext.fetch_add(1, std::memory_order_relaxed)) < count;)
            piece(i);
        std::unique_lock lock(FMutex);
        FPiece = nullptr; // the helper takes no piece from now on
        FDone.wait(lock, [this] { return !FBusy; });
    }

private:
    void Serve(std::stop_token stop) {
        unsigned long long seen = 0;
        std::unique_lock lock(FMutex);
        for (;;) {
            FWake.wait(lock, [&] { return stop.stop_requested() || FRound != seen; });
            if (stop.stop_requested())
                return;
            seen = FRound;
            while (FPiece) {
                const size_t i = FNext.fetch_add(1, std::memory_order_relaxed);
                if (i >= FCount)
                    break;
                const std::function<void(size_t)>* piece = FPiece;
                FBusy = true;
                lock.unlock();
                (*piece)(i);
                lock.lock();
                FBusy = false;
            }
            FDone.notify_one();
        }
    }

    std::mutex FMutex;
    std::condition_variable FWake, FDone;
    const std::function<void(size_t)>* FPiece = nullptr;
    size_t FCount = 0;
    std::atomic<size_t> FNext{0};
    bool FBusy = false;
    unsigned long long FRound = 0;
    std::jthread FThread; // last: started once the rest is in place, joined first
};

std::mutex& CallerMutex() {
    static std::mutex m;
    return m;
}

} // namespace

void RunPieces(size_t count, const std::function<void(size_t)>& piece) {
    // A second walk while the helper serves one (another thread's) runs on its own.
    std::unique_lock caller(CallerMutex(), std::try_to_lock);
    if (count < 2 || std::thread::hardware_concurrency() < 2 || !caller.owns_lock()) {
        for (size_t i = 0; i < count; ++i)
            piece(i);
        return;
    }
    static THelper helper;
    helper.Run(count, piece);
}
