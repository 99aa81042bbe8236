// Start-up on the large book (MYCOOK_BENCH_ROWS sets its size; 100,000 recipes are
// about 1.4 GB), with today's backup already made (the reference) and with it
// pending. Start-up is from making the window to its first shown round of the event
// loop. While the pending copy runs, the user-interface thread saves a recipe every
// 200 ms (or nothing, for the idle reference) and a 1 ms timer ticks; the longest
// gap between ticks, a save's own time included (its commit's flushes turn the event
// loop, with the cook's input held: no save starts inside another), is reported, as
// are the saves' count and the slowest save to disk, and the copy's own
// time. BM_CopyPauses alternates a run with the copy and one without it of the same
// length (the book's rows load in both), so the pauses the copy adds are told apart
// from a busy machine's own. Diagnostics on stderr: MYCOOK_BENCH_SLOW_SAVES (each save
// over 50 ms), MYCOOK_BENCH_WAIT_STACKS (where the window waited over 20 ms for
// SQLite), MYCOOK_BENCH_HELD_STACKS (where the window's thread was while its event
// loop stood over 40 ms).
#include "BenchBook.h"
#include "BookBackup.h"
#include "MsgShell.h"
#include "RecipeExtras.h"
#include "StallWatch.h"
#include "Unit_main.h"
#include "WindowBenchMain.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <optional>
#include <sqlite3.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {
// The window thread's waits for SQLite's mutexes, the connection's among them (the
// copy steps through it): SQLite's own mutexes, wrapped to time an entry that finds
// the mutex taken.
sqlite3_mutex_methods OriginalMutexes;
std::thread::id WindowThread;
std::atomic<qint64> LongestMutexWaitNs{0};
std::atomic<int> MutexWaitsOver1Ms{0};

void TimedMutexEnter(sqlite3_mutex* m) {
    if (std::this_thread::get_id() != WindowThread || OriginalMutexes.xMutexTry(m) == SQLITE_OK) {
        if (std::this_thread::get_id() != WindowThread)
            OriginalMutexes.xMutexEnter(m);
        return;
    }
    QElapsedTimer wait;
    wait.start();
    OriginalMutexes.xMutexEnter(m);
    const qint64 ns = wait.nsecsElapsed();
    MutexWaitsOver1Ms += ns > 1000000 ? 1 : 0;
    if (ns > 20000000 && qEnvironmentVariableIsSet("MYCOOK_BENCH_WAIT_STACKS")) {
        // Where the window waited: addresses for addr2line, as the program is not
        // linked to give its symbols.
        void* frames[24];
        const int n = backtrace(frames, 24);
        std::fprintf(stderr, "    window waited %.1f ms for a mutex of SQLite's at", ns / 1e6);
        Dl_info info{};
        for (int i = 1; i < n; ++i) {
            if (dladdr(frames[i], &info) && info.dli_fname)
                std::fprintf(stderr, " %s+%#lx", strrchr(info.dli_fname, '/') + 1,
                             (unsigned long)((char*)frames[i] - (char*)info.dli_fbase));
        }
        std::fprintf(stderr, "\n");
    }
    qint64 longest = LongestMutexWaitNs.load();
    while (ns > longest && !LongestMutexWaitNs.compare_exchange_weak(longest, ns)) {
    }
}

// Before any connection. SQLite gives its mutexes only while stopped, and chooses
// them when it first starts.
void WatchWindowMutexWaits() {
    WindowThread = std::this_thread::get_id();
    sqlite3_initialize();
    sqlite3_shutdown();
    sqlite3_mutex_methods timed{};
    if (sqlite3_config(SQLITE_CONFIG_GETMUTEX, &OriginalMutexes) == SQLITE_OK &&
        OriginalMutexes.xMutexTry) {
        timed = OriginalMutexes;
        timed.xMutexEnter = &TimedMutexEnter;
    }
    if (!timed.xMutexEnter || sqlite3_config(SQLITE_CONFIG_MUTEX, &timed) != SQLITE_OK)
        std::fprintf(stderr, "the window's waits for SQLite are not measured\n");
    sqlite3_initialize();
}

double CpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

QString LoadAverages() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()).section(u' ', 0, 2)
                                          : QStringLiteral("?");
}

double Percentile(std::vector<float> values, double p) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + qsizetype(p * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

QString TodaysCopy() {
    return QDir(BackupFolder(Book().Path)).filePath(BackupFileName(QDate::currentDate()));
}

// Makes today's copy once, so the reference finds it there.
void EnsureTodaysCopy() {
    if (!QFile::exists(TodaysCopy()))
        MakeDailyBackup(Book().Path, QDate::currentDate());
}

double LoadAverage() {
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

struct TUiWatch {
    double MaxGapMs = 0;
    double MaxPaintGapMs =
        0; // the longest the event loop did not turn (a commit's flushes turn it)
    std::vector<float> GapsMs;
    double CpuSeconds = 0;  // the process's, over the run
    double MutexWaitMs = 0; // the window thread's longest wait for a mutex of SQLite's
    TBackupOutcome Copy;
    double MaxSaveMs = 0;
    double CopySeconds = 0;
    int Saves = 0;
    int GapsOver50 = 0;
    int LargestGapSave = -1; // the save that the largest gap fell in, -1: none
};

// Runs the loop until the copy ends, saving now and then unless idle, and watches
// the gaps.
TUiWatch WatchWhileCopying(TForm_main& form, bool saving, qint64 atLeastMs = 0) {
    TUiWatch watch;
    QElapsedTimer total, sinceTick, sinceSave, sincePaintTick;
    const double cpuAtStart = CpuSeconds();
    LongestMutexWaitNs = 0;
    total.start();
    sincePaintTick.start();
    sinceTick.start();
    sinceSave.start();
    QTimer tick;
    tick.setInterval(1);
    bool inSave = false;   // the window holds the cook's input while a save runs
    double heldInSave = 0; // the longest the event loop did not turn during the save
    int savesAtTick = 0;   // a gap that saw the count change spanned a save's end
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double gap = sinceTick.nsecsElapsed() / 1e6;
        if (gap > watch.MaxGapMs) {
            watch.MaxGapMs = gap;
            watch.LargestGapSave = inSave || watch.Saves != savesAtTick ? watch.Saves - 1 : -1;
        }
        watch.GapsOver50 += gap > 50 ? 1 : 0;
        watch.GapsMs.push_back(float(gap));
        savesAtTick = watch.Saves;
        sinceTick.restart();
        if (saving && !inSave && sinceSave.elapsed() >= 200) {
            inSave = true;
            QElapsedTimer save;
            save.start();
            form.Controls().Edit1->setText(QStringLiteral("备份时保存%1").arg(watch.Saves++));
            heldInSave = 0;
            form.BitBtn5Click();
            const double saveMs = save.nsecsElapsed() / 1e6;
            heldInSave = std::max(heldInSave, sincePaintTick.nsecsElapsed() / 1e6);
            watch.MaxSaveMs = std::max(watch.MaxSaveMs, saveMs);
            if (saveMs > 50 && qEnvironmentVariableIsSet("MYCOOK_BENCH_SLOW_SAVES"))
                std::fprintf(stderr,
                             "    slow save %d at %.3f s (ends %s): %.1f ms, event loop held "
                             "%.1f ms of it\n",
                             watch.Saves - 1, total.nsecsElapsed() / 1e9,
                             qPrintable(QTime::currentTime().toString(u"HH:mm:ss.zzz")), saveMs,
                             heldInSave);
            sinceSave.restart(); // the save holds the window: it counts in the next gap
            inSave = false;
            savesAtTick = -1; // the gap now running ends the save
        }
    });
    QTimer paintTick; // not held by the save's handler, as `tick` is
    paintTick.setInterval(1);
    std::optional<TStallWatch> stalls;
    if (qEnvironmentVariableIsSet("MYCOOK_BENCH_HELD_STACKS"))
        stalls.emplace(40);
    QObject::connect(&paintTick, &QTimer::timeout, [&] {
        if (stalls)
            stalls->Turned();
        const double gap = sincePaintTick.nsecsElapsed() / 1e6;
        watch.MaxPaintGapMs = std::max(watch.MaxPaintGapMs, gap);
        heldInSave = std::max(heldInSave, gap);
        sincePaintTick.restart();
    });
    tick.start();
    paintTick.start();
    // An event loop that sleeps between events, as the cook's window does: one turned
    // by hand in a loop would keep the window's thread spinning, which a busy machine's
    // scheduler then treats as a processor hog.
    QEventLoop loop;
    QTimer check;
    check.setInterval(20);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if ((!form.Extras().DailyBackup() || form.Extras().DailyBackup()->Finished()) &&
            total.elapsed() >= atLeastMs)
            loop.quit();
    });
    check.start();
    loop.exec();
    watch.CopySeconds = total.nsecsElapsed() / 1e9;
    watch.CpuSeconds = CpuSeconds() - cpuAtStart;
    watch.MutexWaitMs = LongestMutexWaitNs.load() / 1e6;
    return watch;
}

// arg 0: today's copy exists (reference); 1: the copy is pending and the cook saves
// every 200 ms meanwhile; 2: the copy is pending on an idle book; 3: no copy, the
// cook saves for 30 s (the pauses that saves cause by themselves).
void BM_StartUp(benchmark::State& state) {
    const bool pending = state.range(0) == 1 || state.range(0) == 2;
    const bool saving = state.range(0) == 1 || state.range(0) == 3;
    const bool watched = state.range(0) >= 1;
    Book();
    EnsureTodaysCopy();
    TUiWatch worst;
    for (auto _ : state) {
        state.PauseTiming();
        if (pending)
            QFile::remove(TodaysCopy());
        state.ResumeTiming();

        TForm_main form(Book().Folder());
        form.show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents(); // the round that starts the copy

        state.PauseTiming();
        if (watched) {
            const TUiWatch watch = WatchWhileCopying(form, saving, pending ? 0 : 30000);
            std::fprintf(stderr,
                         "run: load %.2f  gap %.1f ms (in save %d; %d gaps over 50 ms; %d saves, "
                         "slowest %.1f ms)\n",
                         LoadAverage(), watch.MaxGapMs, watch.LargestGapSave, watch.GapsOver50,
                         watch.Saves, watch.MaxSaveMs);
            worst.MaxGapMs = std::max(worst.MaxGapMs, watch.MaxGapMs);
            worst.MaxSaveMs = std::max(worst.MaxSaveMs, watch.MaxSaveMs);
            worst.CopySeconds = std::max(worst.CopySeconds, watch.CopySeconds);
            if (pending && form.Extras().DailyBackup() &&
                form.Extras().DailyBackup()->Wait().Kind != TBackupOutcome::Made)
                state.SkipWithError("the copy was not made");
        }
        state.ResumeTiming();
    }
    if (watched) {
        state.counters["max_ui_gap_ms"] = worst.MaxGapMs;
        state.counters["max_save_ms"] = worst.MaxSaveMs;
        state.counters["copy_s"] = worst.CopySeconds;
    }
    state.counters["book_MiB"] = QFileInfo(Book().Path).size() / 1048576.0;
}
BENCHMARK(BM_StartUp)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Iterations(3)->Unit(benchmark::kMillisecond);

// One window from its showing on: the copy pending or not, saving every 200 ms or
// idle, for at least `ms` (and until the copy ends).
TUiWatch WindowRun(bool copy, bool saving, qint64 ms) {
    if (copy)
        QFile::remove(TodaysCopy());
    else
        EnsureTodaysCopy();
    TForm_main form(Book().Folder());
    form.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents(); // the round that starts the rows and the copy
    TUiWatch watch = WatchWhileCopying(form, saving, ms);
    if (copy && form.Extras().DailyBackup()) {
        watch.Copy = form.Extras().DailyBackup()->Wait();
        if (watch.Copy.Kind != TBackupOutcome::Made)
            watch.MaxGapMs = -1;
    }
    return watch;
}

int Pairs() {
    const int pairs = qEnvironmentVariableIntValue("MYCOOK_BENCH_PAIRS");
    return pairs > 0 ? pairs : 6;
}

void PrintRun(const char* what, const TUiWatch& w) {
    std::fprintf(stderr,
                 "  %s: gap %.1f ms (in save %d; %d over 50 ms; p99 %.1f ms), event loop held "
                 "%.1f ms, %d saves (slowest %.1f ms), window waited %.2f ms for SQLite, "
                 "cpu %.1f s",
                 what, w.MaxGapMs, w.LargestGapSave, w.GapsOver50, Percentile(w.GapsMs, 0.99),
                 w.MaxPaintGapMs, w.Saves, w.MaxSaveMs, w.MutexWaitMs, w.CpuSeconds);
    if (w.Copy.Steps > 0)
        std::fprintf(stderr, ", %d steps held %.0f ms in all, longest %.2f ms", w.Copy.Steps,
                     w.Copy.HeldMs, w.Copy.LongestHoldMs);
    std::fprintf(stderr, "\n");
}

// arg 0: saving every 200 ms, 1: idle. Each iteration: the copy's run, then a run
// without it as long as the copy took. MYCOOK_BENCH_PAIRS sets the pairs (6).
// Reported: each pair, then over all pairs the median of the pairs' ratios, the
// ratio of the largest gaps and of the gaps' 99th percentiles.
void BM_CopyPauses(benchmark::State& state) {
    const bool saving = state.range(0) == 0;
    Book();
    std::vector<double> ratios;
    std::vector<float> gapsWith, gapsWithout;
    double worstCase = 0, worstReference = 0, maxSave = 0, loadMax = 0, longestHold = 0;
    double waitWith = 0, waitWithout = 0;
    int pair = 0;
    for (auto _ : state) {
        const QString loadBefore = LoadAverages();
        const TUiWatch withCopy = WindowRun(true, saving, 0);
        if (withCopy.MaxGapMs < 0) {
            state.SkipWithError("the copy was not made");
            return;
        }
        const TUiWatch without = WindowRun(false, saving, qint64(withCopy.CopySeconds * 1000));
        const double ratio = withCopy.MaxGapMs / without.MaxGapMs;
        std::fprintf(stderr, "pair %d: load %s -> %s  copy %.1f s  ratio %.2f\n", ++pair,
                     qPrintable(loadBefore), qPrintable(LoadAverages()), withCopy.CopySeconds,
                     ratio);
        PrintRun("with copy", withCopy);
        PrintRun("without  ", without);
        ratios.push_back(ratio);
        gapsWith.insert(gapsWith.end(), withCopy.GapsMs.begin(), withCopy.GapsMs.end());
        gapsWithout.insert(gapsWithout.end(), without.GapsMs.begin(), without.GapsMs.end());
        worstCase = std::max(worstCase, withCopy.MaxGapMs);
        worstReference = std::max(worstReference, without.MaxGapMs);
        maxSave = std::max({maxSave, withCopy.MaxSaveMs, without.MaxSaveMs});
        loadMax = std::max(loadMax, LoadAverage());
        longestHold = std::max(longestHold, withCopy.Copy.LongestHoldMs);
        waitWith = std::max(waitWith, withCopy.MutexWaitMs);
        waitWithout = std::max(waitWithout, without.MutexWaitMs);
    }
    std::sort(ratios.begin(), ratios.end());
    const double median =
        ratios.empty() ? 0 : (ratios[(ratios.size() - 1) / 2] + ratios[ratios.size() / 2]) / 2;
    const double p99With = Percentile(gapsWith, 0.99), p99Without = Percentile(gapsWithout, 0.99);
    std::fprintf(stderr,
                 "over %d pairs: median ratio %.2f; largest gap %.1f ms with copy, %.1f ms "
                 "without (ratio %.2f); p99 gap %.2f against %.2f ms (ratio %.2f); longest step "
                 "hold %.2f ms; window's longest wait for SQLite %.2f ms with copy, %.2f without\n",
                 pair, median, worstCase, worstReference, worstCase / worstReference, p99With,
                 p99Without, p99With / p99Without, longestHold, waitWith, waitWithout);
    state.counters["gap_copy_ms"] = worstCase;
    state.counters["gap_nocopy_ms"] = worstReference;
    state.counters["worst_gap_ratio"] = worstCase / worstReference;
    state.counters["median_pair_ratio"] = median;
    state.counters["p99_ratio"] = p99With / p99Without;
    state.counters["max_save_ms"] = maxSave;
    state.counters["step_hold_ms"] = longestHold;
    state.counters["load"] = loadMax;
}
BENCHMARK(BM_CopyPauses)->Arg(0)->Arg(1)->Iterations(Pairs())->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    WatchWindowMutexWaits();
    return RunWindowBenchmarks(argc, argv);
}
