// The window's own actions on the 100,000-recipe book, each next to its reference
// in the same run:
// - saving a recipe with a 2000 x 1500 JPEG file picture: full book vs empty book;
// - search for a 1% keyword and for everything vs SQLite's own select of the names;
// - viewing a recipe with a 4000 x 3000 JPEG vs decoding that JPEG alone.
#include "BenchBook.h"
#include "BookBackup.h"
#include "Graphics.h"
#include "MsgShell.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QApplication>
#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace {
// A photo-like picture: smooth shading with fine noise, so JPEG has real work.
QByteArray PhotoJpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / width + n) & 255, (y * 255 / height + n) & 255,
                           ((x + y) * 128 / (width + height) + n) & 255);
        }
    }
    TBitmap bitmap;
    bitmap.SetImage(image);
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    return jpeg.Data();
}

struct TFiles {
    QTemporaryDir Dir;
    QString Photo2000;
    QByteArray Jpeg4000;
    TFiles() {
        Photo2000 = Dir.filePath(QStringLiteral("dish.jpg"));
        QFile file(Photo2000);
        file.open(QIODevice::WriteOnly);
        file.write(PhotoJpeg(2000, 1500));
        Jpeg4000 = PhotoJpeg(4000, 3000);
    }
};

TFiles& Files() {
    static TFiles files;
    return files;
}

// Makes today's copy of the book once, so that the window opened on it saves without
// the daily copy running (bench/backup measures saves beside the copy).
void EnsureTodaysCopy(const QString& book) {
    const QString copy = QDir(BackupFolder(book)).filePath(BackupFileName(QDate::currentDate()));
    if (!QFile::exists(copy))
        MakeDailyBackup(book, QDate::currentDate());
}

// Saves new recipes with the 2000 x 1500 file picture; arg 0: empty book, 1: full book,
// 2: full book once its rows are read (the first save then takes them in).
// The window is shown as the cook sees it, so its rows are read on their own thread,
// and the first save comes right after: on a large book, before the rows are all in.
// The time is the save's till it is on disk; held_ms is the longest the window's
// thread went without turning its event loop meanwhile (a 1 ms timer's longest gap),
// first_held_ms the same for each window's first save.
void BM_SaveRecipe(benchmark::State& state) {
    QTemporaryDir empty;
    const QString folder = state.range(0) ? Book().Folder() : empty.path();
    if (state.range(0))
        EnsureTodaysCopy(Book().Path);
    TForm_main form(folder);
    form.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents(); // the round that starts reading the rows
    while (state.range(0) == 2 && form.ADOQuery1.RowsLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool loadingAtFirst = form.ADOQuery1.RowsLoading();
    Ui::TForm_main& ui = form.Controls();
    static int n = 0; // names stay new across repetitions
    QElapsedTimer sinceTick;
    double held = 0, heldNow = 0, firstHeld = 0;
    bool first = true;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        heldNow = std::max(heldNow, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    for (auto _ : state) {
        state.PauseTiming();
        ui.Image2->Picture().LoadFromFile(Files().Photo2000);
        ui.Edit1->setText(QStringLiteral("基准菜%1-%2").arg(state.range(0)).arg(n++));
        ui.Memo1->setPlainText(QStringLiteral("原料"));
        ui.Memo2->setPlainText(QString(1000, u'做'));
        heldNow = 0;
        tick.start();
        sinceTick.start();
        state.ResumeTiming();
        form.BitBtn5Click();
        state.PauseTiming();
        heldNow = std::max(heldNow, sinceTick.nsecsElapsed() / 1e6);
        (first ? firstHeld : held) = std::max(first ? firstHeld : held, heldNow);
        first = false;
        tick.stop();
        state.ResumeTiming();
    }
    state.counters["held_ms"] = held;
    state.counters["first_held_ms"] = firstHeld;
    state.counters["rows_loading_at_first"] = loadingAtFirst ? 1 : 0;
}

void Search(benchmark::State& state, const QString& keyword) {
    TForm_main form(Book().Folder());
    form.Controls().Edit2->setText(keyword);
    for (auto _ : state)
        form.BitBtn6Click();
    state.counters["listed"] = form.Controls().ListBox1->Count();
}
void BM_SearchKeyword(benchmark::State& state) {
    Search(state, BenchKeyword);
}
void BM_SearchEverything(benchmark::State& state) {
    Search(state, QString());
}

// SQLite's own: the names of the matching recipes, read as text.
void BM_SqliteSelectNames(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(Book().Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = QStringLiteral("select 菜名 from mycook where 菜名 like '%%1%' or 原料 "
                                          "like '%%1%'")
                               .arg(BenchKeyword)
                               .toUtf8();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
    int rows = 0;
    for (auto _ : state) {
        rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(s, 0));
            ++rows;
        }
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    state.counters["rows"] = rows;
}

// Click to text and picture in the box, for a recipe with a 4000 x 3000 JPEG.
void BM_ViewBigPicture(benchmark::State& state) {
    QTemporaryDir dir;
    TForm_main form(dir.path());
    TADOQuery& query = form.ADOQuery1;
    query.AppendRecord(
        {QStringLiteral("大图"), QStringLiteral("料"), QStringLiteral("法"), QStringLiteral("注")});
    query.Edit();
    QBuffer buffer;
    buffer.setData(Files().Jpeg4000);
    buffer.open(QIODevice::ReadOnly);
    query.FieldByName(QStringLiteral("img")).LoadFromStream(buffer);
    query.Post();
    form.BitBtn6Click();
    form.Controls().ListBox1->SetItemIndex(0);
    for (auto _ : state)
        form.ListBox1Click();
}

void BM_DecodeBigPicture(benchmark::State& state) {
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.SetData(Files().Jpeg4000);
        benchmark::DoNotOptimize(jpeg.ToImage().constBits());
    }
}
} // namespace

BENCHMARK(BM_SaveRecipe)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SqliteSelectNames)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchKeyword)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchEverything)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DecodeBigPicture)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ViewBigPicture)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

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
