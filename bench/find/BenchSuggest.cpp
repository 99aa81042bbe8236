// On the 100,000-recipe book, in one run:
// - suggestions for every keystroke of a few typed texts (bench/find/Keystrokes.h)
//   next to the designed keyword search they must stay well under, and on the two
//   books in turn with the categories a keystroke offers too;
// - the index's own memory;
// - start-up to the first shown round with the large book next to an empty book,
//   and the time until the rows and the index are ready after it, and on the two
//   books in turn;
// each on the book without extras and on the same book with them (every recipe with
// extras, one in five with a whole name the column holds cut).
#include "BenchBook.h"
#include "BookBackup.h"
#include "InTurn.h"
#include "Keystrokes.h"
#include "MsgShell.h"
#include "RecipeExtras.h"
#include "SearchSuggest.h"
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
#include <benchmark/benchmark.h>
#include <ctime>
#include <optional>
#include <vector>

namespace {

// Today's copy exists, so no copy runs beside the start-up being measured.
void EnsureTodaysCopy(const QString& path) {
    const QString copy = QDir(BackupFolder(path)).filePath(BackupFileName(QDate::currentDate()));
    if (!QFile::exists(copy))
        MakeDailyBackup(path, QDate::currentDate());
}

QString Folder(bool extras) {
    return extras ? ExtrasBook().Folder() : Book().Folder();
}

// One window per book, its rows and index ready.
TForm_main& Form(bool extras) {
    static TForm_main* forms[2] = {};
    TForm_main*& form = forms[extras];
    if (!form) {
        form = new TForm_main(Folder(extras));
        form->Extras().SearchSuggest().Index();
    }
    return *form;
}

// arg: 0 the book without extras, 1 with them.
void BM_DesignedSearch(benchmark::State& state) {
    TForm_main& form = Form(state.range(0) != 0);
    form.Controls().Edit2->setText(BenchKeyword);
    for (auto _ : state)
        form.BitBtn6Click();
    state.counters["listed"] = form.Controls().ListBox1->Count();
}

// The designed search on the two books taken in turn (which goes first changes each
// round), so that a load changing during the run weighs on both alike. CPU counts
// both threads of the shared walk.
void BM_DesignedSearchInTurn(benchmark::State& state) {
    TForm_main* forms[2] = {&Form(false), &Form(true)};
    for (TForm_main* form : forms) {
        form->Controls().Edit2->setText(BenchKeyword);
        form->BitBtn6Click();
    }
    TInTurn turns;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const int book = k ^ turns.First();
            turns.Time(book, [&] { forms[book]->BitBtn6Click(); });
        }
        turns.NextRound();
    }
    turns.Report(state, "_extras");
}

const QStringList& Typed() {
    static const QStringList typed = SuggestKeystrokes();
    return typed;
}

// args: the keystroke (every one of the typed texts); 0 the book without extras, 1
// with them.
void BM_Suggest(benchmark::State& state) {
    TForm_main& form = Form(state.range(1) != 0);
    const QString typed = Typed()[state.range(0)];
    size_t found = 0;
    for (auto _ : state)
        found = form.Extras().SearchSuggest().Suggest(typed).size();
    state.SetLabel(typed.toStdString());
    state.counters["found"] = double(found);
}

// A keystroke's suggestions on the two books taken in turn, so that drift during the
// run weighs on both alike: a piece is 16 keystrokes, long against the clock's own
// cost. args: the keystroke; 0 the names alone, 1 with the categories a keystroke
// offers first (the book without extras has none).
void BM_SuggestInTurn(benchmark::State& state) {
    TSearchSuggest* suggest[2] = {&Form(false).Extras().SearchSuggest(),
                                  &Form(true).Extras().SearchSuggest()};
    const QString typed = Typed()[state.range(0)];
    const bool categories = state.range(1) != 0;
    size_t found[2] = {};
    TInTurn turns;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const int book = k ^ turns.First();
            turns.Time(book, [&] {
                for (int i = 0; i < 16; ++i)
                    found[book] =
                        (categories ? suggest[book]->SuggestCategories(typed).size() : 0) +
                        suggest[book]->Suggest(typed).size();
            });
        }
        turns.NextRound();
    }
    state.SetLabel(typed.toStdString());
    state.counters["found"] = double(found[0]);
    state.counters["found_extras"] = double(found[1]);
    turns.Report(state, "_extras");
}

void BM_IndexMemory(benchmark::State& state) {
    TForm_main& form = Form(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(form.Extras().SearchSuggest().Index().Count());
    state.counters["index_MiB"] = form.Extras().SearchSuggest().Index().MemoryBytes() / 1048576.0;
    state.counters["recipes"] = double(form.Extras().SearchSuggest().Index().Count());
}

// What the window's thread spends when the book changed (after an import or a sync):
// its CPU time is the benchmark's; the largest gap of a 1 ms timer while the window
// waits for the new index beside it; arg: 0 the book without extras, 1 with them.
void BM_BookChanged(benchmark::State& state) {
    TForm_main& form = Form(state.range(0) != 0);
    TSearchSuggest& suggest = form.Extras().SearchSuggest();
    double worstGap = 0, readyMs = 0;
    for (auto _ : state) {
        QTimer tick;
        tick.setInterval(1);
        QElapsedTimer sinceTick, ready;
        double gap = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        tick.start();
        sinceTick.start();
        ready.start();
        suggest.BookChanged();
        // The window's events, as the new index comes in beside them.
        QEventLoop wait;
        QTimer::singleShot(1500, &wait, &QEventLoop::quit);
        wait.exec();
        gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
        state.PauseTiming();
        suggest.Index();
        readyMs = std::max(readyMs, ready.nsecsElapsed() / 1e6);
        worstGap = std::max(worstGap, gap);
        state.ResumeTiming();
    }
    state.counters["max_ui_gap_ms"] = worstGap;
    state.counters["ready_ms"] = readyMs;
}

// arg 0: an empty book; 1: the large book; 2: the large book with extras.
void BM_StartUp(benchmark::State& state) {
    QTemporaryDir empty;
    const QString folder = state.range(0) ? Folder(state.range(0) == 2) : empty.path();
    if (state.range(0) == 1)
        EnsureTodaysCopy(Book().Path);
    if (state.range(0) == 2)
        EnsureTodaysCopy(ExtrasBook().Path);
    double readyMs = 0, closeMs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        // Closing the window, its rows and index read, is no part of the start-up.
        std::optional<TForm_main> form(std::in_place, folder);
        form->show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        state.PauseTiming();
        const qint64 shown = t.nsecsElapsed();
        form->Extras().SearchSuggest().Index(); // the rows and the index, however far they are
        readyMs = std::max(readyMs, (t.nsecsElapsed() - shown) / 1e6);
        const qint64 ready = t.nsecsElapsed();
        form.reset();
        closeMs = std::max(closeMs, (t.nsecsElapsed() - ready) / 1e6);
        state.ResumeTiming();
    }
    state.counters["ready_after_ms"] = readyMs;
    state.counters["close_ms"] = closeMs;
}

// Marks the end of a window's first paint: the first event after its widgets' paints
// (from the application, which sees a skinned window's paints before the window). Not
// AfterFirstPaint: the window's own job, queued behind the same paint, would be timed.
class TFirstPaintEnd : public QObject {
public:
    explicit TFirstPaintEnd(QWidget& window) : FWindow(window) { qApp->installEventFilter(this); }
    ~TFirstPaintEnd() override { qApp->removeEventFilter(this); }
    std::optional<TInTurn::TMark> End;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool paint = event->type() == QEvent::Paint && watched->isWidgetType() &&
                           static_cast<QWidget*>(watched)->window() == &FWindow;
        if (paint)
            FPainting = true;
        else if (FPainting && !End)
            End = TInTurn::Now();
        return false;
    }

private:
    QWidget& FWindow;
    bool FPainting = false;
};

// The start-up to the painted window on the two books taken in turn (which goes first
// changes each round), after a round that warms what any first window loads: one run's
// drift weighs on both alike, where BM_StartUp times each alone and goes on past the
// paint to the rows' reading it starts.
void BM_StartUpInTurn(benchmark::State& state) {
    const QString folders[2] = {Folder(false), Folder(true)};
    EnsureTodaysCopy(Book().Path);
    EnsureTodaysCopy(ExtrasBook().Path);
    auto start = [&](int book, TInTurn* turns) {
        const TInTurn::TMark from = TInTurn::Now();
        std::optional<TForm_main> form(std::in_place, folders[book]);
        {
            TFirstPaintEnd painted(*form);
            form->show();
            QElapsedTimer wait;
            wait.start();
            while (!painted.End && wait.elapsed() < 1000)
                QCoreApplication::processEvents();
            if (turns && painted.End)
                turns->Add(book, from, *painted.End);
        }
        // Read to the end before the next start, so that none runs beside another.
        form->Extras().SearchSuggest().Index();
    };
    start(0, nullptr);
    start(1, nullptr);
    TInTurn turns;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k)
            start(k ^ turns.First(), &turns);
        turns.NextRound();
    }
    turns.Report(state, "_extras");
}

// The work the loading thread does after the first paint (reading the rows and
// building the index), here on the calling thread so its CPU time is its own.
void BM_RowsAndIndex(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TForm_main form(Folder(state.range(0) != 0));
        state.ResumeTiming();
        form.Extras().SearchSuggest().Index();
    }
}

} // namespace

BENCHMARK(BM_RowsAndIndex)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUp)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpInTurn)->Iterations(41)->Unit(benchmark::kMillisecond);
// The walk is shared with a helper thread: the process's CPU time counts both.
BENCHMARK(BM_DesignedSearch)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DesignedSearchInTurn)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3);
BENCHMARK(BM_Suggest)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(SuggestKeystrokes().size()) - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SuggestInTurn)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(SuggestKeystrokes().size()) - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexMemory)->Arg(0)->Arg(1)->Iterations(1);
BENCHMARK(BM_BookChanged)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
