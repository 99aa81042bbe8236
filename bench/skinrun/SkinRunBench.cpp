// What the skin costs where the user waits, each beside its reference in the
// same run:
// - start-up to the first painted main window: skinned vs `Active` false;
// - a message box from creation to its first paint: skinned vs unskinned;
// - start-up to the first paint with the large book, and with its copy holding
//   extras, beside an empty book (MYCOOK_BENCH_BOOK keeps the book between runs).
// The ratio is the figure; the reference runs the same code with the skin off.
#include "BenchBook.h"
#include "BookBackup.h"
#include "MsgShell.h"
#include "Unit_main.h"
#include "WinSkinDlg.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <optional>

namespace {
// Waits until the widget has painted once (or a second has passed).
class TFirstPaint : public QObject {
public:
    // From the application: a skinned window's hook takes its paints before
    // any filter of the window's own would see them.
    explicit TFirstPaint(QWidget& widget) : FWidget(widget) { qApp->installEventFilter(this); }
    ~TFirstPaint() override { qApp->removeEventFilter(this); }
    void Wait() {
        QElapsedTimer clock;
        clock.start();
        while (!FPainted && clock.elapsed() < 1000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &FWidget && event->type() == QEvent::Paint) {
            FPainted = true;
        }
        return false;
    }

private:
    QWidget& FWidget;
    bool FPainted = false;
};

QTemporaryDir& BookDir() {
    static QTemporaryDir dir;
    return dir;
}

// arg 1: skinned (the stored Active true); 0: the skin turned off before show.
void BM_StartUpToFirstPaint(benchmark::State& state) {
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Ok; });
    for (auto _ : state) {
        InitializeSkinUnits();
        {
            TForm_main form(BookDir().path());
            if (!state.range(0)) {
                form.SkinData1().SetActive(false);
            }
            TFirstPaint paint(form);
            form.show();
            form.activateWindow();
            paint.Wait();
            state.PauseTiming();
            FinalizeSkinUnits();
        }
        QApplication::processEvents();
        state.ResumeTiming();
    }
    SetMessageHook(nullptr);
}

// arg 0: an empty book; 1: the large book; 2: its copy with extras. Skinned. Only
// up to the first paint: the rows, the copy and closing the window are not timed.
void BM_BookStartUpToFirstPaint(benchmark::State& state) {
    const QString folder = state.range(0) == 0   ? BookDir().path()
                           : state.range(0) == 1 ? Book().Folder()
                                                 : ExtrasBook().Folder();
    const QString book = QDir(folder).filePath(QStringLiteral("cook.mdb"));
    // Today's copy exists, so none runs beside the start-ups.
    if (state.range(0) != 0 &&
        !QFile::exists(QDir(BackupFolder(book)).filePath(BackupFileName(QDate::currentDate()))))
        MakeDailyBackup(book, QDate::currentDate());
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Ok; });
    for (auto _ : state) {
        InitializeSkinUnits();
        {
            std::optional<TForm_main> form(std::in_place, folder);
            TFirstPaint paint(*form);
            form->show();
            form->activateWindow();
            paint.Wait();
            state.PauseTiming();
            form.reset();
            FinalizeSkinUnits();
        }
        QApplication::processEvents();
        state.ResumeTiming();
    }
    SetMessageHook(nullptr);
}

// arg 1: the box is skinned; 0: the manager has the skin off.
void BM_MessageBoxToFirstPaint(benchmark::State& state) {
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Ok; });
    InitializeSkinUnits();
    {
        TForm_main form(BookDir().path());
        if (!state.range(0)) {
            form.SkinData1().SetActive(false);
        }
        form.show();
        form.activateWindow();
        QApplication::processEvents();
        for (auto _ : state) {
            auto box =
                std::make_unique<QMessageBox>(QMessageBox::Information, QStringLiteral("提示"),
                                              QStringLiteral("保存成功"), QMessageBox::Ok, &form);
            {
                TFirstPaint paint(*box);
                box->show();
                box->activateWindow();
                paint.Wait();
            }
            state.PauseTiming();
            box.reset();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QApplication::processEvents();
            state.ResumeTiming();
        }
        FinalizeSkinUnits();
    }
    SetMessageHook(nullptr);
}
} // namespace

BENCHMARK(BM_StartUpToFirstPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MessageBoxToFirstPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BookStartUpToFirstPaint)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
