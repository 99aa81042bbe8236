// On a copy of the 100,000-recipe book where every recipe has extras (one or two of
// 30 categories, one in ten a favourite, one in five three step pictures):
// - narrowing the list by a category (about 5,000 recipes), with and without the
//   favourites, against the designed search for everything;
// - the categories' counts, read when the combo box opens;
// - the designed search right after a save, against the same search with no change;
// - opening a recipe with ten 640 x 480 step pictures: the click until its text is
//   in the box, until every picture is in, and the longest the window's event loop
//   waited meanwhile;
// - the designed search for everything in the shown window, from the click until the
//   list is painted: the longest the window's event loop waited (a 1 ms timer's largest
//   gap), against the same wait with the window idle; and the same search step by step;
// - a million short names in memory into the list, against a string list.
#include "BenchBook.h"
#include "Controls.h"
#include "ListItems.h"
#include "MsgShell.h"
#include "RecipeBrowse.h"
#include "RecipeCategories.h"
#include "RecipeExtras.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "RecipeView.h"
#include "SearchSuggest.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QRandomGenerator>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <time.h>

namespace {
// Where a benchmark that writes keeps its copy of the book: MYCOOK_BENCH_SCRATCH, or
// the system's temporary folder.
QString ScratchFolder() {
    const QString set = qEnvironmentVariable("MYCOOK_BENCH_SCRATCH");
    return set.isEmpty() ? QDir::tempPath() : set;
}

void Narrow(benchmark::State& state, const QString& category, bool favourites,
            bool afresh = false) {
    TForm_main form(ExtrasBook().Folder());
    TRecipeBrowse& browse = form.Extras().Browse();
    for (auto _ : state) {
        state.PauseTiming();
        browse.FavouriteBox().blockSignals(true);
        browse.FavouriteBox().setChecked(favourites);
        browse.FavouriteBox().blockSignals(false);
        browse.ChooseCategory(QString()); // back to the whole book
        if (afresh) {
            browse.BookChanged(); // the category's rows read from the book again
            browse.Categories();  // the counts are read when the list opens, not here
        }
        state.ResumeTiming();
        browse.ChooseCategory(category);
    }
    state.counters["listed"] = form.Controls().ListBox1->Count();
}
void BM_NarrowByCategory(benchmark::State& state) {
    Narrow(state, BenchCategory(0), false);
}
void BM_NarrowByCategoryAfresh(benchmark::State& state) {
    Narrow(state, BenchCategory(0), false, true);
}
void BM_NarrowByCategoryAndFavourites(benchmark::State& state) {
    Narrow(state, BenchCategory(0), true);
}
// The designed search for everything, on the same book (arg 1) and on the book
// without extras (arg 0).
void BM_SearchEverything(benchmark::State& state) {
    TForm_main form(state.range(0) ? ExtrasBook().Folder() : Book().Folder());
    form.Extras().SearchSuggest().Index(); // the start-up's work is done
    for (auto _ : state)
        form.BitBtn6Click();
    state.counters["listed"] = form.Controls().ListBox1->Count();
}

// The designed search for the keyword right after a save of a recipe with a long
// name (arg 1: its whole texts are read again) against the same search with no
// change in between (arg 0), on a copy of the book with extras that the saves grow.
void BM_SearchAfterSave(benchmark::State& state) {
    // One copy for the run, removed when it ends.
    static QTemporaryDir scratch(ScratchFolder() + QStringLiteral("/mycook-save-search-XXXXXX"));
    static const bool copied =
        QFile::copy(ExtrasBook().Path, scratch.filePath(QStringLiteral("cook.mdb")));
    if (!copied) {
        state.SkipWithError("the book could not be copied");
        return;
    }
    TForm_main form(scratch.path());
    form.Extras().SearchSuggest().Index(); // the start-up's work is done
    form.Controls().Edit2->setText(BenchKeyword);
    form.BitBtn6Click(); // the rows and the whole texts are in from here on
    TRecipeStore store(form.ADOConnection1);
    static int saved = 0;
    for (auto _ : state) {
        if (state.range(0)) {
            state.PauseTiming();
            TRecipe r;
            r.Name = QStringLiteral("存档后的搜索用的很长很长很长的菜名，比菜名一栏长（第%1道）")
                         .arg(++saved);
            r.Ingredients = QStringLiteral("盐");
            r.Steps = {{QStringLiteral("炒"), false, {}}};
            r.Columns = ColumnsFor(r);
            store.Append(form.ADOQuery1, r);
            state.ResumeTiming();
        }
        form.BitBtn6Click();
    }
    state.counters["listed"] = form.Controls().ListBox1->Count();
}

void BM_CategoryCounts(benchmark::State& state) {
    TForm_main form(ExtrasBook().Folder());
    size_t n = 0;
    for (auto _ : state)
        n = CategoryCounts(form.ADOConnection1).size();
    state.counters["categories"] = double(n);
}

// A recipe with ten step pictures in a small book: the click until the text is in,
// until the pictures are, and the longest wait of the event loop in between.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void BM_OpenTenPictures(benchmark::State& state) {
    QTemporaryDir dir;
    TForm_main form(dir.path());
    form.show();
    TRecipe r;
    r.Name = QStringLiteral("十图菜");
    r.Ingredients = QStringLiteral("料");
    for (int i = 0; i < 10; ++i) {
        r.Steps.push_back({QStringLiteral("第%1步的做法").arg(i + 1), false, {}});
        r.Pictures.push_back({BenchJpeg(QSize(640, 480), i), i + 1, QStringLiteral("图%1").arg(i)});
    }
    r.Cover = BenchJpeg(QSize(480, 320), 99);
    r.Columns = ColumnsFor(r);
    TRecipeStore(form.ADOConnection1).Append(form.ADOQuery1, r);
    form.BitBtn6Click();
    Ui::TForm_main& ui = form.Controls();
    TRecipeView& view = form.Extras().View();
    double textMs = 0, allMs = 0, longestMs = 0, longestCpuMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = ThreadCpuMs();
        ui.ListBox1->SetItemIndex(0);
        Q_EMIT ui.ListBox1->Click();
        const double text = clock.nsecsElapsed() / 1e6;
        double last = text, longest = text;
        double lastCpu = ThreadCpuMs(), longestCpu = lastCpu - cpu0;
        while (view.PendingPictures() > 0 && clock.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            const double now = clock.nsecsElapsed() / 1e6;
            const double nowCpu = ThreadCpuMs();
            longest = std::max(longest, now - last);
            longestCpu = std::max(longestCpu, nowCpu - lastCpu);
            last = now;
            lastCpu = nowCpu;
        }
        textMs = std::max(textMs, text);
        allMs = std::max(allMs, clock.nsecsElapsed() / 1e6);
        // The window's own paint of the pictures counts as a wait too.
        QElapsedTimer paint;
        paint.start();
        const double paintCpu = ThreadCpuMs();
        ui.RichEdit1->viewport()->repaint();
        longestMs = std::max({longestMs, longest, paint.nsecsElapsed() / 1e6});
        longestCpuMs = std::max({longestCpuMs, longestCpu, ThreadCpuMs() - paintCpu});
    }
    state.counters["text_ms"] = textMs;
    state.counters["pictures_ms"] = allMs;
    state.counters["longest_wait_ms"] = longestMs;
    // The same in the window thread's own CPU time: what it did, not waited for a core.
    state.counters["longest_work_ms"] = longestCpuMs;
}

// The window shown on its browse page with an empty keyword, its rows and
// suggestions in.
Ui::TForm_main& ShowBrowsePage(TForm_main& form) {
    form.resize(800, 600);
    form.show();
    form.Extras().SearchSuggest().Index();
    Ui::TForm_main& ui = form.Controls();
    ui.PageControl1->setCurrentWidget(ui.TabSheet3);
    ui.Edit2->clear();
    return ui;
}

// The window shown, the search for everything clicked through the event loop (arg 1)
// or nothing clicked (arg 0, the idle reference); the loop turns 300 ms after, so the
// list's layout and paint count. gap_ms: a 1 ms timer's largest gap; gap_cpu_ms: the
// window thread's CPU time in its largest gap (what it did, not waited for a core).
void BM_SearchEverythingGap(benchmark::State& state) {
    TForm_main form(Book().Folder());
    Ui::TForm_main& ui = ShowBrowsePage(form);
    QElapsedTimer sinceTick;
    double cpuAtTick = 0, gap = 0, gapCpu = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double cpu = ThreadCpuMs();
        gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
        gapCpu = std::max(gapCpu, cpu - cpuAtTick);
        sinceTick.restart();
        cpuAtTick = cpu;
    });
    double worst = 0, worstCpu = 0;
    for (auto _ : state) {
        ui.ListBox1->Clear();
        QCoreApplication::processEvents();
        gap = gapCpu = 0;
        tick.start();
        sinceTick.start();
        cpuAtTick = ThreadCpuMs();
        if (state.range(0))
            QTimer::singleShot(0, ui.BitBtn6, [&] { ui.BitBtn6->click(); });
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        tick.stop();
        worst = std::max(worst, gap);
        worstCpu = std::max(worstCpu, gapCpu);
    }
    state.counters["gap_ms"] = worst;
    state.counters["gap_cpu_ms"] = worstCpu;
    state.counters["listed"] = ui.ListBox1->Count();
}

// The search for everything in the shown window, step by step as the click does them,
// each step's wall and window-thread CPU time (the largest over the iterations):
// the query's view of every row, the walk that makes the names, handing them to the
// list, the list's layout and its paint.
void BM_SearchEverythingSteps(benchmark::State& state) {
    TForm_main form(Book().Folder());
    Ui::TForm_main& ui = ShowBrowsePage(form);
    QCoreApplication::processEvents();
    enum { Query, Names, Fill, Layout, Paint, Steps };
    const char* const names[Steps] = {"query", "names", "fill", "layout", "paint"};
    double wall[Steps] = {}, cpu[Steps] = {};
    for (auto _ : state) {
        state.PauseTiming();
        ui.ListBox1->Clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        double lastWall = 0, lastCpu = ThreadCpuMs();
        auto step = [&](int i) {
            const double w = clock.nsecsElapsed() / 1e6, c = ThreadCpuMs();
            wall[i] = std::max(wall[i], w - lastWall);
            cpu[i] = std::max(cpu[i], c - lastCpu);
            lastWall = w;
            lastCpu = c;
        };
        form.ADOQuery1.SetFiltered(false);
        form.ADOQuery1.First();
        step(Query);
        const TListItems items = ListedTexts(form.ADOQuery1, QStringLiteral("菜名"));
        step(Names);
        ui.ListBox1->Clear();
        ui.ListBox1->SetItems(items);
        step(Fill);
        ui.ListBox1->doItemsLayout();
        step(Layout);
        ui.ListBox1->viewport()->repaint();
        step(Paint);
    }
    for (int i = 0; i < Steps; ++i) {
        state.counters[std::string(names[i]) + "_ms"] = wall[i];
        state.counters[std::string(names[i]) + "_cpu_ms"] = cpu[i];
    }
    state.counters["listed"] = ui.ListBox1->Count();
}

// A million short names in memory, the list alone, shown (no book of that size is
// needed): making the list's texts (arg 1) or a string list (arg 0, the old way),
// handing them to the list, and the list's layout and paint that follow.
void BM_ListMillion(benchmark::State& state) {
    const int count = 1000000;
    QStringList source;
    source.reserve(count);
    for (int i = 0; i < count; ++i)
        source << QStringLiteral("菜名%1").arg(i);
    TListBox list;
    QListView reference;
    QStringListModel referenceModel;
    reference.setModel(&referenceModel);
    reference.setUniformItemSizes(true);
    QAbstractItemView& view = state.range(0) ? static_cast<QAbstractItemView&>(list) : reference;
    view.resize(200, 400);
    view.show();
    double fillMs = 0, layoutMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (state.range(0)) {
            TListItems items;
            items.Reserve(count, qsizetype(count) * 8);
            for (const QString& name : source)
                items.Append(TrimmedView(name));
            list.Clear();
            list.SetItems(items);
        } else {
            QStringList names;
            for (const QString& name : source)
                names.append(TrimmedView(name).toString()); // a string per name, as before
            referenceModel.setStringList({});
            referenceModel.setStringList(names);
        }
        fillMs = std::max(fillMs, clock.nsecsElapsed() / 1e6);
        const qint64 laid = clock.nsecsElapsed();
        view.doItemsLayout();
        view.viewport()->repaint();
        layoutMs = std::max(layoutMs, (clock.nsecsElapsed() - laid) / 1e6);
    }
    state.counters["fill_ms"] = fillMs;
    state.counters["layout_paint_ms"] = layoutMs;
    state.counters["listed"] = view.model()->rowCount();
}
} // namespace

BENCHMARK(BM_SearchEverything)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchEverythingGap)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchEverythingSteps)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ListMillion)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchAfterSave)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_NarrowByCategory)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_NarrowByCategoryAfresh)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_NarrowByCategoryAndFavourites)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_CategoryCounts)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OpenTenPictures)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetMessageHook([](const TMessageRequest& r) {
        std::fprintf(stderr, "message: %s\n", qPrintable(r.Text));
        return QMessageBox::Yes;
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
