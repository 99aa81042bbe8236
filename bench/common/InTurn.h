#pragma once
// A case measured on two books taken in turn in one run (which goes first changes each
// round), so that a load changing during the run weighs on both alike: wall time and
// the process's CPU (every thread) of each, reported as medians and their ratios
// (the second book against the first).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

class TInTurn {
public:
    // Which book goes first in this round.
    int First() const { return Round & 1; }
    // Times one case on `book` (0 or 1).
    template <class F> void Time(int book, F&& run) {
        const double cpu0 = ProcessCpuMs();
        const auto wall0 = std::chrono::steady_clock::now();
        run();
        Wall[book].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0)
                .count());
        Cpu[book].push_back(ProcessCpuMs() - cpu0);
    }
    // A case that marks its own end (wall and CPU in ms, as `Now` gave them).
    struct TMark {
        double WallMs, CpuMs;
    };
    static TMark Now() {
        return {std::chrono::duration<double, std::milli>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count(),
                ProcessCpuMs()};
    }
    void Add(int book, TMark from, TMark to) {
        Wall[book].push_back(to.WallMs - from.WallMs);
        Cpu[book].push_back(to.CpuMs - from.CpuMs);
    }
    void NextRound() { ++Round; }
    // Counters named `wall_ms`, `wall_ms<suffix>` and so on.
    void Report(benchmark::State& state, const char* suffix) const {
        const std::string second(suffix);
        state.counters["wall_ms"] = Median(Wall[0]);
        state.counters["wall_ms" + second] = Median(Wall[1]);
        state.counters["cpu_ms"] = Median(Cpu[0]);
        state.counters["cpu_ms" + second] = Median(Cpu[1]);
        state.counters["wall_ratio"] = Median(Wall[1]) / Median(Wall[0]);
        state.counters["cpu_ratio"] = Median(Cpu[1]) / Median(Cpu[0]);
    }

private:
    static double ProcessCpuMs() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }

    std::vector<double> Wall[2], Cpu[2];
    int Round = 0;
};
