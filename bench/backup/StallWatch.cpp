#include "StallWatch.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <fstream>
#include <sstream>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Filled by the watched thread in its signal handler.
void* Frames[32];
std::atomic<int> FrameCount{-1};

void TakeBacktrace(int) {
    FrameCount = backtrace(Frames, 32);
}

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}
} // namespace

TStallWatch::TStallWatch(double thresholdMs)
    : FThresholdNs((long long)(thresholdMs * 1e6)), FLastTurnNs(NowNs()),
      FTid(int(syscall(SYS_gettid))) {
    struct sigaction action {};
    action.sa_handler = &TakeBacktrace;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR2, &action, nullptr);
    FWatcher = std::thread([this] { Watch(); });
}

TStallWatch::~TStallWatch() {
    FStop = true;
    FWatcher.join();
}

void TStallWatch::Turned() {
    FLastTurnNs = NowNs();
}

void TStallWatch::Watch() {
    const std::string task = "/proc/self/task/" + std::to_string(FTid);
    long long reportedTurn = 0;
    int samples = 0;
    long long nextSampleNs = 0;
    while (!FStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const long long last = FLastTurnNs;
        const long long held = NowNs() - last;
        if (held < FThresholdNs)
            continue;
        if (reportedTurn != last) {
            reportedTurn = last;
            samples = 0;
            nextSampleNs = 0;
        }
        if (samples >= 6 || held < nextSampleNs)
            continue;
        ++samples;
        nextSampleNs = held + 50000000;
        FrameCount = -1;
        syscall(SYS_tgkill, getpid(), FTid, SIGUSR2);
        const std::string kernel = Read(task + "/stack");
        const std::string state = Read(task + "/stat");
        for (int i = 0; i < 100 && FrameCount < 0; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::fprintf(stderr, "    held %.1f ms; state %c; kernel:", held / 1e6,
                     state.size() > 2 ? state[state.find(')') + 2] : '?');
        std::istringstream lines(kernel);
        for (std::string line; std::getline(lines, line);) {
            const auto at = line.find("] ");
            std::fprintf(stderr, " %s", line.substr(at == std::string::npos ? 0 : at + 2).c_str());
        }
        std::fprintf(stderr, "\n      user:");
        const int n = FrameCount;
        Dl_info info{};
        for (int i = 2; i < n; ++i) {
            if (dladdr(Frames[i], &info) && info.dli_fname)
                std::fprintf(
                    stderr, " %s%s%s+%#lx", strrchr(info.dli_fname, '/') + 1,
                    info.dli_sname ? ":" : "", info.dli_sname ? info.dli_sname : "",
                    (unsigned long)((char*)Frames[i] -
                                    (char*)(info.dli_sname ? info.dli_saddr : info.dli_fbase)));
        }
        std::fprintf(stderr, "\n");
    }
}
