// A 10,000-recipe MealMaster file (Chinese and Western names, eight ingredients,
// three paragraphs each) imported into an empty book in one transaction, next to
// the same rows stored one by one through the window's own "保存" handler, as a
// user would type them. Set MYCOOK_BENCH_RECIPES for another count. The third
// case imports through the window's menu item while a 1 ms timer ticks, and
// reports the longest gap between ticks (the window's largest pause), into an
// empty book and into a copy of the benchmark book, during the import and after.
// BM_ExportComesBack exports the benchmark book of bench/common (100,000 recipes,
// MYCOOK_BENCH_ROWS for fewer) with "导出全部菜谱…"'s code, imports the zip into an
// empty book, and checks every recipe and picture byte for byte; it reports the
// import's recipes per second and its peak memory (the process's high-water mark,
// reset just before the import).

#include "ADODB.h"
#include "BenchBook.h"
#include "BookBackup.h"
#include "BookExport.h"
#include "ColumnMapping.h"
#include "Dialogs.h"
#include "MealMaster.h"
#include "MsgShell.h"
#include "RecipeExtras.h"
#include "RecipeImportUi.h"
#include "RecipeImporter.h"
#include "SearchSuggest.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {
int RecipeCount() {
    const int n = qEnvironmentVariableIntValue("MYCOOK_BENCH_RECIPES");
    return n > 0 ? n : 10'000;
}

QByteArray MealMasterFile(int count) {
    QString text;
    const QStringList dishes = {QStringLiteral("红烧肉"), QStringLiteral("Chicken Curry"),
                                QStringLiteral("宫保鸡丁"), QStringLiteral("Apple Pie")};
    for (int i = 0; i < count; ++i) {
        text += QStringLiteral("MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n"
                               "      Title: %1 %2\n Categories: Main dish, Test\n"
                               "      Yield: 4 servings\n\n")
                    .arg(dishes[i % dishes.size()])
                    .arg(i);
        for (int k = 0; k < 8; ++k)
            text += QStringLiteral("      %1 c  Ingredient number %2 of recipe %3\n")
                        .arg(k + 1)
                        .arg(k)
                        .arg(i);
        text += QStringLiteral("\n");
        for (int p = 0; p < 3; ++p)
            text += QStringLiteral(
                        "  Paragraph %1: stir the pot slowly for a while, then taste and season\n"
                        "  it with salt and pepper until it is just right.\n\n")
                        .arg(p);
        text += QStringLiteral("MMMMM\n\n");
    }
    return text.toUtf8();
}

struct TBench {
    QTemporaryDir Dir;
    QString File;
    std::vector<TRecipeColumns> Rows;
    TBench() {
        File = Dir.filePath(QStringLiteral("bench.mmf"));
        QFile out(File);
        out.open(QIODevice::WriteOnly);
        out.write(MealMasterFile(RecipeCount()));
        out.close();
        QFile in(File);
        in.open(QIODevice::ReadOnly);
        ReadMealMasterText(QString::fromUtf8(in.readAll()),
                           [this](TImportedRecipe&& r) { Rows.push_back(MapToColumns(r)); });
    }
};

TBench& Bench() {
    static TBench bench;
    return bench;
}

void BM_ImportMealMaster(benchmark::State& state) {
    const TBench& b = Bench();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        auto form = std::make_unique<TForm_main>(dir.path());
        state.ResumeTiming();
        const TImportSummary s = ImportRecipeFiles(form->ADOConnection1, {b.File}, {});
        if (s.Imported != RecipeCount())
            state.SkipWithError("not every recipe was imported");
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * RecipeCount());
}

void BM_SaveSameRowsThroughTheWindow(benchmark::State& state) {
    const TBench& b = Bench();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        auto form = std::make_unique<TForm_main>(dir.path());
        Ui::TForm_main& ui = form->Controls();
        state.ResumeTiming();
        for (const TRecipeColumns& row : b.Rows) {
            ui.Edit1->setText(row.Name);
            ui.Memo1->setPlainText(row.Ingredients);
            ui.Memo2->setPlainText(row.Method);
            ui.Memo3->setPlainText(row.Note);
            form->BitBtn5Click();
        }
        if (form->ADOQuery1.RecordCount() != RecipeCount())
            state.SkipWithError("not every recipe was saved");
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * RecipeCount());
}

// CPU time in ms: the calling thread's, or the whole process's.
double CpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The book the import goes into: arg 0 an empty one; arg 1 a copy of the benchmark
// book (MYCOOK_BENCH_BOOK) in MYCOOK_BENCH_COPY_DIR, made afresh for each run, with
// today's daily copy in place so none is made meanwhile.
QString BookToImportInto(int arg, const QTemporaryDir& empty, QString& error) {
    if (arg == 0)
        return empty.path();
    const QString folder = qEnvironmentVariable("MYCOOK_BENCH_COPY_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        error = QStringLiteral("set MYCOOK_BENCH_COPY_DIR to a folder for a copy of the book");
        return {};
    }
    const QString copy = QDir(folder).filePath(QStringLiteral("cook.mdb"));
    for (const char* end : {"", "-wal", "-shm", "-journal"})
        QFile::remove(copy + QLatin1String(end));
    if (!QFile::copy(Book().Path, copy)) {
        error = QStringLiteral("the book could not be copied");
        return {};
    }
    const QString today = QDir(BackupFolder(copy)).filePath(BackupFileName(QDate::currentDate()));
    if (!QFile::exists(today))
        MakeDailyBackup(copy, QDate::currentDate());
    return folder;
}

// The window's largest pause while it imports (its menu item: the import, the
// refresh of the list) and in the two seconds after, while what follows an import
// (the suggestions' index of the changed book) settles; with the window thread's and
// the process's CPU time over the same span.
void BM_WindowImportLargestPause(benchmark::State& state) {
    const TBench& b = Bench();
    double worstDuring = 0, worstAfter = 0, windowCpu = 0, processCpu = 0, wall = 0;
    double suggestedInTime = 1;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        QString error;
        const QString folder = BookToImportInto(int(state.range(0)), dir, error);
        if (folder.isEmpty()) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        auto form = std::make_unique<TForm_main>(folder);
        form->show();
        QCoreApplication::processEvents();
        form->Extras().SearchSuggest().Index(); // the start-up's work is done
        const int before = form->ADOQuery1.RecordCount();
        SetFileDialogHook(
            [&](const TFileDialogRequest&) -> std::optional<QString> { return b.File; });
        QString summary;
        SetMessageHook([&](const TMessageRequest& r) {
            summary = r.Text;
            return QMessageBox::Ok;
        });
        SetDuplicateHook([](const QString&) {
            return TDuplicateChoice{TDuplicateAnswer::KeepBoth, true};
        });
        QTimer tick;
        tick.setInterval(1);
        QElapsedTimer sinceTick;
        double gap = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.restart();
        });
        state.ResumeTiming();
        const double cpu0 = CpuMs(RUSAGE_THREAD), all0 = CpuMs(RUSAGE_SELF);
        QElapsedTimer total;
        total.start();
        tick.start();
        sinceTick.start();
        ImportRecipes(form->Extras().Site());
        gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
        worstDuring = std::max(worstDuring, gap);
        gap = 0;
        sinceTick.restart(); // what follows the import, apart from it
        QEventLoop settle;
        QTimer::singleShot(2000, &settle, &QEventLoop::quit);
        settle.exec();
        gap = std::max(gap, sinceTick.nsecsElapsed() / 1e6);
        tick.stop();
        wall = std::max(wall, total.nsecsElapsed() / 1e6);
        windowCpu = std::max(windowCpu, CpuMs(RUSAGE_THREAD) - cpu0);
        processCpu = std::max(processCpu, CpuMs(RUSAGE_SELF) - all0);
        worstAfter = std::max(worstAfter, gap);
        state.PauseTiming();
        SetFileDialogHook(nullptr);
        SetMessageHook(nullptr);
        SetDuplicateHook(nullptr);
        // The imported recipes are suggested, by then or once the index is in.
        TSearchSuggest& suggest = form->Extras().SearchSuggest();
        const QString imported = QStringLiteral("红烧肉 %1").arg(RecipeCount() - 4);
        suggestedInTime = std::min(suggestedInTime, double(!suggest.Suggest(imported).empty()));
        suggest.Index();
        if (form->ADOQuery1.RecordCount() != before + RecipeCount() ||
            !summary.startsWith(QStringLiteral("导入完毕")) || suggest.Suggest(imported).empty())
            state.SkipWithError("the window did not import, list and suggest every recipe");
        form.reset();
        state.ResumeTiming();
    }
    state.counters["max_ui_gap_ms"] = worstDuring;
    state.counters["max_ui_gap_after_ms"] = worstAfter;
    state.counters["wall_ms"] = wall;
    state.counters["window_cpu_ms"] = windowCpu;
    state.counters["process_cpu_ms"] = processCpu;
    state.counters["suggested_within_2s"] = suggestedInTime;
    state.SetItemsProcessed(state.iterations() * RecipeCount());
}

// How an import gets going on a large book (MYCOOK_BENCH_BOOK, such as the
// 100,000-recipe book of bench/backup): the progress callback, which hands the
// window its events, must keep coming while the book's rows are read. The
// import is cancelled after its first recipe, so the book stays as it was.
void BM_ImportStartOnLargeBook(benchmark::State& state) {
    const QString book = qEnvironmentVariable("MYCOOK_BENCH_BOOK");
    if (book.isEmpty()) {
        state.SkipWithError("set MYCOOK_BENCH_BOOK to a large book");
        return;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("one.mmf"));
    {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(MealMasterFile(1));
    }
    double worst = 0, firstRecipe = 0;
    for (auto _ : state) {
        TADOConnection connection;
        connection.SetLoginPrompt(false);
        connection.SetConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(book));
        connection.SetConnected(true);
        QElapsedTimer since, total;
        since.start();
        total.start();
        try {
            ImportRecipeFiles(connection, {file}, {}, [&](int, int, int recipes) {
                worst = std::max(worst, since.nsecsElapsed() / 1e6);
                since.restart();
                if (recipes > 0) {
                    firstRecipe = total.nsecsElapsed() / 1e6;
                    return false;
                }
                return true;
            });
            state.SkipWithError("the import was not cancelled");
        } catch (const EImportCancelled&) {
        }
    }
    state.counters["max_gap_ms"] = worst;
    state.counters["first_recipe_ms"] = firstRecipe;
}

// The process's peak resident memory since the last reset, in MiB.
double PeakRssMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}

void ResetPeakRss() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Every row of both books in row order: the four texts and the picture, whole.
bool SameRows(const QString& a, const QString& b, QString& why, int& renamed) {
    sqlite3 *da = nullptr, *db = nullptr;
    sqlite3_open_v2(a.toUtf8().constData(), &da, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_open_v2(b.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const char* sql = "select 菜名, 原料, 做法, 说明, img from mycook order by rowid";
    sqlite3_stmt *sa = nullptr, *sb = nullptr;
    sqlite3_prepare_v2(da, sql, -1, &sa, nullptr);
    sqlite3_prepare_v2(db, sql, -1, &sb, nullptr);
    bool same = true;
    for (int row = 0; same; ++row) {
        const int ra = sqlite3_step(sa), rb = sqlite3_step(sb);
        if (ra != rb) {
            why = QStringLiteral("row count differs at %1").arg(row);
            same = false;
        }
        if (ra != SQLITE_ROW)
            break;
        for (int c = 0; c < 5 && same; ++c) {
            const int na = sqlite3_column_bytes(sa, c), nb = sqlite3_column_bytes(sb, c);
            const void* pa = sqlite3_column_blob(sa, c);
            const void* pb = sqlite3_column_blob(sb, c);
            if (c == 0 && na != nb) {
                // The generated book repeats a few names; "都保留" numbers the later ones.
                const QString a = QString::fromUtf8(static_cast<const char*>(pa), na);
                const QString b = QString::fromUtf8(static_cast<const char*>(pb), nb);
                static const QRegularExpression numbered(QStringLiteral("（\\d+）$"));
                if (b.startsWith(a) && numbered.match(b.mid(a.size())).hasMatch()) {
                    ++renamed;
                    continue;
                }
            }
            if (na != nb || (na > 0 && std::memcmp(pa, pb, size_t(na)) != 0)) {
                why = QStringLiteral("row %1 column %2 differs").arg(row).arg(c);
                same = false;
            }
        }
    }
    sqlite3_finalize(sa);
    sqlite3_finalize(sb);
    sqlite3_close(da);
    sqlite3_close(db);
    return same;
}

TADOConnection* OpenBook(TADOConnection& c, const QString& path) {
    c.SetLoginPrompt(false);
    c.SetConnectionString(
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path));
    c.SetConnected(true);
    return &c;
}

void BM_ExportComesBack(benchmark::State& state) {
    const TBook& book = Book();
    QTemporaryDir dir;
    // MYCOOK_BENCH_ZIP keeps the export for later runs, as MYCOOK_BENCH_BOOK the book.
    const QString kept = qEnvironmentVariable("MYCOOK_BENCH_ZIP");
    const QString zip = kept.isEmpty() ? dir.filePath(QStringLiteral("全部菜谱.zip")) : kept;
    QElapsedTimer exporting;
    exporting.start();
    TExportSummary exported;
    if (kept.isEmpty() || !QFileInfo::exists(kept)) {
        TADOConnection c;
        exported = ExportBook(*OpenBook(c, book.Path), zip);
    } else {
        TADOConnection c;
        TADOQuery q(OpenBook(c, book.Path));
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        exported.Recipes = q.RecordCount();
    }
    const double exportSeconds = exporting.nsecsElapsed() / 1e9;
    int renamed = 0;
    double peak = 0, rssBefore = 0, seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString target = dir.filePath(QStringLiteral("cook.mdb"));
        QFile::remove(target);
        CreateDatabaseFile(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                           target + QStringLiteral(";Jet OLEDB:Database Password="));
        TADOConnection c;
        OpenBook(c, target);
        c.Execute(QStringLiteral("create table mycook(菜名 char(30),原料 char(255),做法 memo,"
                                 "说明 char(255),img image)"));
        ResetPeakRss();
        rssBefore = RssMiB();
        QElapsedTimer importing;
        importing.start();
        state.ResumeTiming();
        const TImportSummary s = ImportRecipeFiles(c, {zip}, [](const QString&) {
            return TDuplicateChoice{TDuplicateAnswer::KeepBoth, true};
        });
        state.PauseTiming();
        seconds = importing.nsecsElapsed() / 1e9;
        peak = std::max(peak, PeakRssMiB());
        c.SetConnected(false);
        QString why;
        if (s.Imported != exported.Recipes)
            why = QStringLiteral("imported %1 of %2: %3")
                      .arg(s.Imported)
                      .arg(exported.Recipes)
                      .arg(s.Details.mid(0, 3).join(u';'));
        else
            SameRows(book.Path, target, why, renamed);
        if (!why.isEmpty()) {
            state.SkipWithError(qPrintable(why));
            break;
        }
        state.ResumeTiming();
    }
    state.counters["recipes"] = exported.Recipes;
    state.counters["renamed_duplicates"] = renamed;
    state.counters["zip_MiB"] = QFileInfo(zip).size() / 1048576.0;
    state.counters["export_s"] = exportSeconds;
    state.counters["import_recipes_per_s"] = exported.Recipes / seconds;
    state.counters["rss_before_MiB"] = rssBefore;
    state.counters["peak_rss_MiB"] = peak;
    state.SetItemsProcessed(state.iterations() * exported.Recipes);
}

BENCHMARK(BM_ExportComesBack)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportStartOnLargeBook)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportMealMaster)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowImportLargestPause)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SaveSameRowsThroughTheWindow)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
