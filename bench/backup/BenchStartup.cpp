// Start-up on the large book (MYCOOK_BENCH_ROWS sets its size; 100,000 recipes are
// about 1.4 GB), with today's backup already made (the reference) and with it
// pending. Start-up is from making the window to its first shown round of the event
// loop. While the pending copy runs, the user-interface thread saves a recipe every
// 200 ms (or nothing, for the idle reference) and a 1 ms timer ticks; the longest
// gap between ticks is reported, as is the copy's own time.
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

namespace {
QString TodaysCopy() {
    return QDir(BackupFolder(Book().Path)).filePath(BackupFileName(QDate::currentDate()));
}

// Makes today's copy once, so the reference finds it there.
void EnsureTodaysCopy() {
    if (!QFile::exists(TodaysCopy()))
        MakeDailyBackup(Book().Path, QDate::currentDate());
}

struct TUiWatch {
    double MaxGapMs = 0;
    double MaxSaveMs = 0;
    double CopySeconds = 0;
    int Saves = 0;
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
    QObject::connect(&tick, &QTimer::timeout, [&] {
        watch.MaxGapMs = std::max(watch.MaxGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
        if (saving && sinceSave.elapsed() >= 200) {
            QElapsedTimer save;
            save.start();
            form.Controls().Edit1->setText(QStringLiteral("备份时保存%1").arg(watch.Saves++));
            form.BitBtn5Click();
            watch.MaxSaveMs = std::max(watch.MaxSaveMs, save.nsecsElapsed() / 1e6);
            sinceSave.restart();
            sinceTick.restart(); // the save is measured on its own
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
} // namespace

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
