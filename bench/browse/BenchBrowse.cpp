// On a copy of the 100,000-recipe book where every recipe has extras (one or two of
// 30 categories, one in ten a favourite, one in five three step pictures):
// - narrowing the list by a category (about 5,000 recipes), with and without the
//   favourites, against the designed search for everything;
// - the categories' counts, read when the combo box opens;
// - opening a recipe with ten 640 x 480 step pictures: the click until its text is
//   in the box, until every picture is in, and the longest the window's event loop
//   waited meanwhile.
#include "BenchBook.h"
#include "MsgShell.h"
#include "RecipeBrowse.h"
#include "RecipeCategories.h"
#include "RecipeExtras.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "RecipeView.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <time.h>

namespace {
constexpr int Categories = 30;
QString CategoryName(int i) {
    static const QStringList names = {
        QStringLiteral("川菜"),   QStringLiteral("粤菜"),   QStringLiteral("鲁菜"),
        QStringLiteral("苏菜"),   QStringLiteral("浙菜"),   QStringLiteral("闽菜"),
        QStringLiteral("湘菜"),   QStringLiteral("徽菜"),   QStringLiteral("家常菜"),
        QStringLiteral("早餐"),   QStringLiteral("汤"),     QStringLiteral("凉菜"),
        QStringLiteral("面食"),   QStringLiteral("甜点"),   QStringLiteral("素菜"),
        QStringLiteral("海鲜"),   QStringLiteral("烧烤"),   QStringLiteral("火锅"),
        QStringLiteral("小吃"),   QStringLiteral("粥"),     QStringLiteral("饮品"),
        QStringLiteral("烘焙"),   QStringLiteral("快手菜"), QStringLiteral("下饭菜"),
        QStringLiteral("宴客菜"), QStringLiteral("减脂"),   QStringLiteral("儿童"),
        QStringLiteral("节日"),   QStringLiteral("腌腊"),   QStringLiteral("卤味")};
    return names[i % names.size()];
}

QByteArray Jpeg(QSize size, int seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / size.width() + n) & 255, (y * 255 / size.height() + n) & 255,
                           (seed * 40 + n) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, error);
        sqlite3_free(error);
        std::abort();
    }
}

// The shared book copied and given extras, made once per run.
struct TExtrasBook {
    QTemporaryDir Dir;
    qint64 TenPictures = -1;
    TExtrasBook() {
        const QString path = Dir.filePath(QStringLiteral("cook.mdb"));
        QFile::copy(Book().Path, path);
        {
            TADOConnection connection;
            connection.SetLoginPrompt(false);
            connection.SetConnectionString(
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path));
            connection.SetConnected(true);
            EnsureRecipeTables(connection);
        }
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        Exec(db, "begin");
        sqlite3_stmt *rows = nullptr, *recipe = nullptr, *label = nullptr, *picture = nullptr;
        sqlite3_prepare_v2(db, "select rowid, 菜名 from mycook order by rowid", -1, &rows, nullptr);
        sqlite3_prepare_v2(db,
                           "insert into mycook_recipe(recipe, name_column, name, servings,"
                           " servings_unit, prep_time, cook_time, source, favourite)"
                           " values(?, ?, ?, 4, '人份', 'PT15M', 'PT1H',"
                           " 'https://www.example.com/r', ?)",
                           -1, &recipe, nullptr);
        sqlite3_prepare_v2(db,
                           "insert into mycook_label(recipe, kind, position, text)"
                           " values(?, 0, ?, ?)",
                           -1, &label, nullptr);
        sqlite3_prepare_v2(db,
                           "insert into mycook_picture(recipe, position, step, caption, jpeg)"
                           " values(?, ?, ?, '步骤', ?)",
                           -1, &picture, nullptr);
        const QByteArray small = Jpeg(QSize(64, 48), 1);
        QRandomGenerator rng(11);
        qint64 n = 0;
        while (sqlite3_step(rows) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(rows, 0);
            const void* name = sqlite3_column_text16(rows, 1);
            const int nameBytes = sqlite3_column_bytes16(rows, 1);
            sqlite3_bind_int64(recipe, 1, id);
            sqlite3_bind_text16(recipe, 2, name, nameBytes, SQLITE_TRANSIENT);
            sqlite3_bind_text16(recipe, 3, name, nameBytes, SQLITE_TRANSIENT);
            sqlite3_bind_int(recipe, 4, n % 10 == 0);
            sqlite3_step(recipe);
            sqlite3_reset(recipe);
            const int count = 1 + int(rng.bounded(2));
            for (int k = 0; k < count; ++k) {
                const QString c = CategoryName(int(rng.bounded(Categories)));
                sqlite3_bind_int64(label, 1, id);
                sqlite3_bind_int(label, 2, k);
                sqlite3_bind_text16(label, 3, c.utf16(), int(c.size() * 2), SQLITE_TRANSIENT);
                sqlite3_step(label);
                sqlite3_reset(label);
            }
            if (n % 5 == 0)
                for (int k = 0; k < 3; ++k) {
                    sqlite3_bind_int64(picture, 1, id);
                    sqlite3_bind_int(picture, 2, k);
                    sqlite3_bind_int(picture, 3, k + 1);
                    sqlite3_bind_blob(picture, 4, small.constData(), int(small.size()),
                                      SQLITE_STATIC);
                    sqlite3_step(picture);
                    sqlite3_reset(picture);
                }
            ++n;
        }
        for (sqlite3_stmt* s : {rows, recipe, label, picture})
            sqlite3_finalize(s);
        Exec(db, "commit");
        sqlite3_close(db);
    }
    QString Folder() const { return Dir.path(); }
};

TExtrasBook& ExtrasBook() {
    static TExtrasBook book;
    return book;
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
    Narrow(state, CategoryName(0), false);
}
void BM_NarrowByCategoryAfresh(benchmark::State& state) {
    Narrow(state, CategoryName(0), false, true);
}
void BM_NarrowByCategoryAndFavourites(benchmark::State& state) {
    Narrow(state, CategoryName(0), true);
}
// The designed search for everything, on the same book.
void BM_SearchEverything(benchmark::State& state) {
    TForm_main form(ExtrasBook().Folder());
    for (auto _ : state)
        form.BitBtn6Click();
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
        r.Steps.push_back({QStringLiteral("第%1步的做法").arg(i + 1)});
        r.Pictures.push_back({Jpeg(QSize(640, 480), i), i + 1, QStringLiteral("图%1").arg(i)});
    }
    r.Cover = Jpeg(QSize(480, 320), 99);
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
} // namespace

BENCHMARK(BM_SearchEverything)
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
