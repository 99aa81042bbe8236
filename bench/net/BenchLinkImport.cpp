// An address dropped onto the entry page until the page is filled: a blog-sized
// recipe page (about 300 KB, its data in JSON-LD, a 1200 × 800 cover and three step
// pictures) from a server on 127.0.0.1, answered at once or trickled over a second.
// The reference is the same page saved with its pictures and dropped as a file. A
// 1 ms timer watches the event loop; its longest gap is the window's longest pause,
// watched on through the first paint after the fill. On a shared machine most of a
// long gap is the window's thread waiting for a processor: max_gui_cpu_ms is the
// most processor time that thread itself spent between two ticks.
#include "LocalServer.h"
#include "RecipeImportUi.h"
#include "Unit_main.h"
#include "WindowBenchMain.h"
#include "ui_Unit_main.h"

#include <QBuffer>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>

namespace {
QByteArray Jpeg(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * seed) & 255, (y + seed) & 255, (x ^ y) & 255));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return buffer.data();
}

QByteArray Page() {
    QJsonArray steps;
    for (int i = 1; i <= 8; ++i) {
        QJsonObject step{
            {"@type", "HowToStep"},
            {"text", QStringLiteral("第%1步：把五花肉切成三厘米见方的块，冷水下锅焯水。").arg(i)}};
        if (i <= 3)
            step.insert("image", QStringLiteral("/img/step%1.jpg").arg(i));
        steps.append(step);
    }
    QJsonArray ingredients;
    for (int i = 0; i < 15; ++i)
        ingredients.append(QStringLiteral("配料%1 %2克").arg(i).arg(10 * i + 5));
    const QJsonObject recipe{
        {"@context", "https://schema.org"}, {"@type", "Recipe"},
        {"name", QStringLiteral("红烧肉")}, {"image", QJsonArray{"/img/cover.jpg"}},
        {"recipeIngredient", ingredients},  {"recipeInstructions", steps}};
    QByteArray filler;
    while (filler.size() < 300'000)
        filler += "<div class=\"post\"><p>今天做了一道家常红烧肉，肥而不腻，入口即化。"
                  "<a href=\"/other\">更多菜谱</a></p></div>\n";
    return "<!doctype html><html><head><meta charset=utf-8><title>红烧肉</title>"
           "<script type=\"application/ld+json\">" +
           QJsonDocument(recipe).toJson() + "</script></head><body>" + filler + "</body></html>";
}

struct TSetUp {
    TLocalServer Server;
    QTemporaryDir Saved;
    QString SavedPage;
    TSetUp() {
        const QByteArray page = Page();
        const QByteArray cover = Jpeg(1200, 800, 3);
        Server.Serve("/img/cover.jpg", {200, "image/jpeg", cover});
        QDir(Saved.path()).mkpath(QStringLiteral("img"));
        auto save = [&](const QString& name, const QByteArray& bytes) {
            QFile f(Saved.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        };
        save(QStringLiteral("img/cover.jpg"), cover);
        for (int i = 1; i <= 3; ++i) {
            const QByteArray step = Jpeg(600, 400, 10 + i);
            Server.Serve(QStringLiteral("/img/step%1.jpg").arg(i), {200, "image/jpeg", step});
            save(QStringLiteral("img/step%1.jpg").arg(i), step);
        }
        Server.Serve("/page", {200, "text/html; charset=utf-8", page});
        TAnswer slow{200, "text/html; charset=utf-8", page};
        slow.PieceMs = 1; // 64 bytes a millisecond or so: the page takes seconds
        Server.Serve("/slow", slow);
        // The saved page, as a browser keeps it: pictures beside it.
        QByteArray local = page;
        local.replace("\"/img/", "\"img/");
        SavedPage = Saved.filePath(QStringLiteral("page.html"));
        save(QStringLiteral("page.html"), local);
    }
};

TSetUp& SetUp() {
    static TSetUp setUp;
    return setUp;
}

void Drop(QWidget* target, const QMimeData& data) {
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// Drops the data onto a fresh window's entry page and runs the loop until the page
// is filled; the time is from the drop.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct TPauses {
    double Gap = 0; // wall time
    double Cpu = 0; // the window's thread's own time
};

void FillOnce(benchmark::State& state, const QMimeData& data, TPauses& most) {
    QTemporaryDir book;
    TForm_main form(book.path());
    form.show();
    form.BitBtn1Click();
    QCoreApplication::processEvents();
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(1);
    TPauses pauses;
    double cpuAtTick = ThreadCpuMs();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double cpu = ThreadCpuMs();
        pauses.Gap = std::max(pauses.Gap, sinceTick.nsecsElapsed() / 1e6);
        pauses.Cpu = std::max(pauses.Cpu, cpu - cpuAtTick);
        cpuAtTick = cpu;
        sinceTick.restart();
    });
    QElapsedTimer clock;
    sinceTick.start();
    tick.start();
    clock.start();
    Drop(form.Controls().Memo2->viewport(), data);
    const bool filled =
        QTest::qWaitFor([&] { return form.Controls().Edit1->text() == u"红烧肉"; }, 60'000);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    QTest::qWait(200); // the cover's first paint
    pauses.Gap = std::max(pauses.Gap, sinceTick.nsecsElapsed() / 1e6);
    pauses.Cpu = std::max(pauses.Cpu, ThreadCpuMs() - cpuAtTick);
    tick.stop();
    if (!filled)
        state.SkipWithError("the page was not filled");
    most.Gap = std::max(most.Gap, pauses.Gap);
    most.Cpu = std::max(most.Cpu, pauses.Cpu);
}

void Run(benchmark::State& state, const QMimeData& data) {
    TPauses most;
    for (auto _ : state)
        FillOnce(state, data, most);
    state.counters["max_gap_ms"] = most.Gap;
    state.counters["max_gui_cpu_ms"] = most.Cpu;
}

void BM_SavedPageDropped(benchmark::State& state) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(SetUp().SavedPage)});
    Run(state, data);
}

void BM_AddressDropped(benchmark::State& state) {
    QMimeData data;
    data.setUrls({SetUp().Server.Url("/page")});
    Run(state, data);
}

void BM_AddressDroppedSlowServer(benchmark::State& state) {
    QMimeData data;
    data.setUrls({SetUp().Server.Url("/slow")});
    Run(state, data);
}
} // namespace

BENCHMARK(BM_SavedPageDropped)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AddressDropped)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_AddressDroppedSlowServer)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv) {
    return RunWindowBenchmarks(argc, argv);
}
