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
// from a busy machine's own.
#include "BenchBook.h"
#include "BookBackup.h"
#include "MsgShell.h"
#include "RecipeExtras.h"
#include "Unit_main.h"
#include "WindowBenchMain.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {
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
    QElapsedTimer total, sinceTick, sinceSave;
    total.start();
    sinceTick.start();
    sinceSave.start();
    QTimer tick;
    tick.setInterval(1);
    bool inSave = false; // the window holds the cook's input while a save runs
    int savesAtTick = 0; // a gap that saw the count change spanned a save's end
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double gap = sinceTick.nsecsElapsed() / 1e6;
        if (gap > watch.MaxGapMs) {
            watch.MaxGapMs = gap;
            watch.LargestGapSave = inSave || watch.Saves != savesAtTick ? watch.Saves - 1 : -1;
        }
        watch.GapsOver50 += gap > 50 ? 1 : 0;
        savesAtTick = watch.Saves;
        sinceTick.restart();
        if (saving && !inSave && sinceSave.elapsed() >= 200) {
            inSave = true;
            QElapsedTimer save;
            save.start();
            form.Controls().Edit1->setText(QStringLiteral("备份时保存%1").arg(watch.Saves++));
            form.BitBtn5Click();
            watch.MaxSaveMs = std::max(watch.MaxSaveMs, save.nsecsElapsed() / 1e6);
            sinceSave.restart(); // the save holds the window: it counts in the next gap
            inSave = false;
            savesAtTick = -1; // the gap now running ends the save
        }
    });
    tick.start();
    while ((form.Extras().DailyBackup() && !form.Extras().DailyBackup()->Finished()) ||
           total.elapsed() < atLeastMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    watch.CopySeconds = total.nsecsElapsed() / 1e9;
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
    if (copy && form.Extras().DailyBackup() &&
        form.Extras().DailyBackup()->Wait().Kind != TBackupOutcome::Made)
        watch.MaxGapMs = -1;
    return watch;
}

// arg 0: saving every 200 ms, 1: idle. Each iteration: the copy's run, then a run
// without it as long as the copy took.
void BM_CopyPauses(benchmark::State& state) {
    const bool saving = state.range(0) == 0;
    Book();
    double worstCase = 0, worstReference = 0, worstRatio = 0, maxSave = 0, loadMax = 0;
    for (auto _ : state) {
        const double loadBefore = LoadAverage();
        const TUiWatch withCopy = WindowRun(true, saving, 0);
        if (withCopy.MaxGapMs < 0) {
            state.SkipWithError("the copy was not made");
            return;
        }
        const TUiWatch without = WindowRun(false, saving, qint64(withCopy.CopySeconds * 1000));
        const double load = std::max(loadBefore, LoadAverage());
        std::fprintf(stderr,
                     "pair: load %.2f  copy %.1f s  gap with copy %.1f ms (in save %d; %d gaps "
                     "over 50 ms; %d saves, slowest %.1f ms)  without %.1f ms (in save %d; %d "
                     "gaps over 50 ms; %d saves, slowest %.1f ms)  ratio %.2f\n",
                     load, withCopy.CopySeconds, withCopy.MaxGapMs, withCopy.LargestGapSave,
                     withCopy.GapsOver50, withCopy.Saves, withCopy.MaxSaveMs, without.MaxGapMs,
                     without.LargestGapSave, without.GapsOver50, without.Saves, without.MaxSaveMs,
                     withCopy.MaxGapMs / without.MaxGapMs);
        worstCase = std::max(worstCase, withCopy.MaxGapMs);
        worstReference = std::max(worstReference, without.MaxGapMs);
        worstRatio = std::max(worstRatio, withCopy.MaxGapMs / without.MaxGapMs);
        maxSave = std::max({maxSave, withCopy.MaxSaveMs, without.MaxSaveMs});
        loadMax = std::max(loadMax, load);
    }
    state.counters["gap_copy_ms"] = worstCase;
    state.counters["gap_nocopy_ms"] = worstReference;
    state.counters["worst_pair_ratio"] = worstRatio;
    state.counters["max_save_ms"] = maxSave;
    state.counters["load"] = loadMax;
}
BENCHMARK(BM_CopyPauses)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
