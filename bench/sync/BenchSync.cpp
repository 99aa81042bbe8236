// 10,000 recipes (MYCOOK_BENCH_SYNC_ROWS sets another number), each with a
// 640 x 480 cover and a step picture. Each figure is the command line as the cook
// runs it (opening and checking the book included), the sync beside the export
// or import of the same recipes; the library's own time is given beside it.
// Last, the window syncs the full folder into an empty book while a 1 ms timer
// ticks on its thread: the longest gap between ticks is the longest pause.
#include "ADODB.h"
#include "BookSyncUi.h"
#include "Dialogs.h"
#include "MsgShell.h"
#include "RecipeExtras.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "TransactionGuard.h"
#include "Unit_main.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
QString ConnectString(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1").arg(path);
}

QByteArray Photo(int seed) {
    QImage image(640, 480, QImage::Format_RGB32);
    QRandomGenerator rng(quint32(seed + 1));
    QPainter p(&image);
    image.fill(QColor::fromHsv(seed * 37 % 360, 120, 200));
    for (int i = 0; i < 60; ++i)
        p.fillRect(rng.bounded(640), rng.bounded(480), rng.bounded(200), rng.bounded(150),
                   QColor::fromHsv(rng.bounded(360), 160, rng.bounded(256)));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

// A base photo with a comment of its own after SOI: every recipe's bytes differ.
QByteArray Unique(const QByteArray& base, int n) {
    const QByteArray text = "mycook bench " + QByteArray::number(n);
    QByteArray segment("\xFF\xFE", 2);
    segment.append(char((text.size() + 2) >> 8));
    segment.append(char((text.size() + 2) & 0xFF));
    segment.append(text);
    QByteArray out = base;
    out.insert(2, segment);
    return out;
}

void MakeBook(const QString& path, int rows) {
    QDir().mkpath(QFileInfo(path).path());
    CreateDatabaseFile(ConnectString(path));
    TADOConnection c;
    c.SetConnectionString(ConnectString(path));
    c.SetConnected(true);
    c.Execute(QStringLiteral(
        "create table mycook(菜名 char(30),原料 char(255),做法 memo,说明 char(255),img image)"));
    TADOQuery q(&c);
    q.SQL = QStringList{QStringLiteral("select * from mycook")};
    q.Open();
    std::vector<QByteArray> photos;
    for (int i = 0; i < 16; ++i)
        photos.push_back(Photo(i));
    TRecipeStore store(c);
    TTransactionGuard transaction(c);
    for (int i = 0; i < rows; ++i) {
        TRecipe r;
        r.Name = QStringLiteral("红烧菜%1号").arg(i);
        r.Ingredients = QStringLiteral("五花肉 500克\n生抽 两勺\n冰糖 %1 粒").arg(i % 30);
        r.Steps = {{QStringLiteral("切块焯水")},
                   {QStringLiteral("炒糖色，下肉翻炒")},
                   {QStringLiteral("小火炖 %1 分钟").arg(40 + i % 30)}};
        r.Note = QStringLiteral("第 %1 道菜。").arg(i);
        r.Categories = {QStringLiteral("家常菜")};
        r.Servings = 4;
        r.ServingsUnit = QStringLiteral("人份");
        r.CookTime = QStringLiteral("PT1H");
        r.Cover = Unique(photos[size_t(i) % photos.size()], i);
        r.Pictures = {{Unique(photos[size_t(i + 7) % photos.size()], -i - 1), 2, QString()}};
        r.Columns = ColumnsFor(r);
        store.Append(q, r);
    }
    transaction.Commit();
}

struct TRun {
    double Seconds = 0;
    double Cpu = 0; // user and system time of the run
    QString Out;
};

// The machine is shared, so beside each wall time its processor time is given.
double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TRun Tool(const QStringList& args) {
    QElapsedTimer t;
    t.start();
    const double cpu = CpuSeconds(RUSAGE_CHILDREN);
    QProcess p;
    p.start(QStringLiteral(MYCOOK_BOOK_TOOL), args);
    p.waitForFinished(-1);
    TRun run{t.nsecsElapsed() / 1e9, CpuSeconds(RUSAGE_CHILDREN) - cpu,
             QString::fromUtf8(p.readAllStandardOutput()).section(u'\n', 0, 0)};
    if (p.exitCode() != 0)
        std::fprintf(stderr, "mycook-book %s failed: %s\n", qPrintable(args.join(u' ')),
                     p.readAllStandardError().constData());
    return run;
}

template <class F> TRun Seconds(F f) {
    QElapsedTimer t;
    t.start();
    const double cpu = CpuSeconds(RUSAGE_SELF);
    f();
    return {t.nsecsElapsed() / 1e9, CpuSeconds(RUSAGE_SELF) - cpu, {}};
}

void Line(const char* what, const TRun& run, const TRun* reference = nullptr,
          const QString& note = {}) {
    if (reference)
        std::printf("%-44s %8.3f s (cpu %7.3f s)  %5.2f x (cpu %5.2f x)  %s\n", what, run.Seconds,
                    run.Cpu, run.Seconds / reference->Seconds, run.Cpu / reference->Cpu,
                    qPrintable(note));
    else
        std::printf("%-44s %8.3f s (cpu %7.3f s)                       %s\n", what, run.Seconds,
                    run.Cpu, qPrintable(note));
    std::fflush(stdout);
}

TSyncSummary LibrarySync(const QString& book, const QString& folder) {
    TADOConnection c;
    c.SetConnectionString(ConnectString(book));
    c.SetConnected(true);
    return SyncBookWithFolder(c, folder);
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook-bench"));
    const int rows = qEnvironmentVariableIsSet("MYCOOK_BENCH_SYNC_ROWS")
                         ? qEnvironmentVariableIntValue("MYCOOK_BENCH_SYNC_ROWS")
                         : 10'000;
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a/cook.mdb"));
    const QString b = dir.filePath(QStringLiteral("b/cook.mdb"));
    const QString c = dir.filePath(QStringLiteral("c/cook.mdb"));
    const QString folder = dir.filePath(QStringLiteral("Recipes"));
    const QString zip = dir.filePath(QStringLiteral("book.zip"));
    QDir().mkpath(folder);
    for (const QString& book : {a, b, c})
        QDir().mkpath(QFileInfo(book).path());
    std::printf("making a book of %d recipes with two pictures each…\n", rows);
    MakeBook(a, rows);
    std::printf("book: %.0f MiB\n\n", QFileInfo(a).size() / 1048576.0);

    const TRun exported = Tool({QStringLiteral("export"), a, zip});
    Line("mycook-book export (reference)", exported, nullptr, exported.Out);
    const TRun out = Tool({QStringLiteral("sync"), a, folder});
    Line("mycook-book sync into an empty folder", out, &exported, out.Out);
    const TRun imported = Tool({QStringLiteral("import"), b, zip});
    Line("mycook-book import of the zip (reference)", imported, nullptr, imported.Out);
    const TRun in = Tool({QStringLiteral("sync"), c, folder});
    Line("mycook-book sync into an empty book", in, &imported, in.Out);

    const TRun nothing = Tool({QStringLiteral("sync"), a, folder});
    Line("mycook-book sync, nothing changed", nothing, nullptr, nothing.Out);
    TSyncSummary s;
    TRun took = Seconds([&] { s = LibrarySync(a, folder); });
    Line("  the sync itself", took, nullptr, s.Text());

    {
        TADOConnection connection;
        connection.SetConnectionString(ConnectString(a));
        connection.SetConnected(true);
        TADOQuery q(&connection);
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        q.First();
        TRecipeStore store(connection);
        TRecipe r = store.Read(q.RowId());
        r.Ingredients += QStringLiteral("\n葱 一根");
        r.Columns = ColumnsFor(r);
        store.Overwrite(q, r);
    }
    const TRun oneBook = Tool({QStringLiteral("sync"), a, folder});
    Line("mycook-book sync, one changed in the book", oneBook, nullptr, oneBook.Out);
    {
        const QString json = folder + QStringLiteral("/红烧菜7号/recipe.json");
        QFile f(json);
        f.open(QIODevice::ReadOnly);
        QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        f.close();
        QJsonArray list = o.value(QStringLiteral("recipeIngredient")).toArray();
        list.append(QStringLiteral("香菜"));
        o.insert(QStringLiteral("recipeIngredient"), list);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(QJsonDocument(o).toJson());
    }
    const TRun oneFolder = Tool({QStringLiteral("sync"), c, folder});
    Line("mycook-book sync, one changed in the folder", oneFolder, nullptr, oneFolder.Out);
    const TRun oneFolderA = Tool({QStringLiteral("sync"), a, folder});
    Line("  the same change into the first book", oneFolderA, nullptr, oneFolderA.Out);
    took = Seconds([&] { s = LibrarySync(a, folder); });
    Line("  the sync itself, nothing changed", took, nullptr, s.Text());

    // The window syncs the full folder into an empty book.
    const QString windowBook = dir.filePath(QStringLiteral("w"));
    QDir().mkpath(windowBook);
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Ok; });
    SetFileDialogHook([&](const TFileDialogRequest&) -> std::optional<QString> { return folder; });
    double maxGap = 0, syncSeconds = 0;
    int ticks = 0, over50 = 0;
    {
        TForm_main form(windowBook);
        form.show();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            app.processEvents(QEventLoop::AllEvents, 20);
        TBookSyncUi& sync = form.Extras().Sync();
        QElapsedTimer sinceTick, total;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const double gap = sinceTick.nsecsElapsed() / 1e6;
            if (gap > 20 && qEnvironmentVariableIsSet("MYCOOK_BENCH_GAPS"))
                std::printf("  gap %.1f ms at %.3f s, %s\n", gap, total.nsecsElapsed() / 1e9,
                            sync.Running() ? "syncing" : "after the sync");
            maxGap = std::max(maxGap, gap);
            ticks += 1;
            over50 += gap > 50 ? 1 : 0;
            sinceTick.restart();
        });
        total.start();
        sync.ChooseFolder();
        sinceTick.start();
        tick.start();
        while (sync.SyncsDone() == 0 || sync.Running())
            app.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        syncSeconds = total.nsecsElapsed() / 1e9;
        Line("the window: the full folder into an empty book", TRun{syncSeconds, 0, {}}, nullptr,
             sync.LastSummary().Text());
        sync.StopSyncing();
    }
    std::printf("%-44s %8.1f ms (%d of %d ticks more than 50 ms apart)\n",
                "  the window's longest pause meanwhile", maxGap, over50, ticks);
    SetFileDialogHook(nullptr);
    SetMessageHook(nullptr);
    return 0;
}
