// - repainting a 120 x 40 push button: skinned (face from the skin, text
//   drawn by the skin) vs the same button unskinned (target at most 2x);
// - skinning every control of the main window, the hand-over of the window's
//   finish (target under 20 ms), next to constructing the window's skin form.
#include "MsgShell.h"
#include "Unit_main.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"
#include "WinSubClass.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void RepaintButton(benchmark::State& state, bool skinned) {
    QTemporaryDir dir;
    TForm_main owner(dir.path()); // carries the built default skin
    QWidget window;
    window.resize(200, 100);
    auto* button = new QPushButton(QStringLiteral("保存"), &window);
    button->setGeometry(10, 10, 120, 40);
    TSkinManage manager;
    auto* form = new TWinSkinForm(window, manager);
    form->fsd = &owner.SkinData1();
    form->FForm = &window;
    if (skinned) {
        SkinFormControls(*form);
    }
    QImage target(button->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        button->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    UnskinFormControls(*form, false);
}

void BM_RepaintButtonUnskinned(benchmark::State& state) {
    RepaintButton(state, false);
}
void BM_RepaintButtonSkinned(benchmark::State& state) {
    RepaintButton(state, true);
}

void BM_SkinMainWindowControls(benchmark::State& state) {
    QTemporaryDir dir;
    TForm_main window(dir.path());
    TSkinManage manager;
    auto* form = new TWinSkinForm(window, manager);
    form->fsd = &window.SkinData1();
    form->FForm = &window;
    for (auto _ : state) {
        SkinFormControls(*form);
        state.PauseTiming();
        state.counters["controls"] = double(form->Controllist.size());
        UnskinFormControls(*form, false);
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_RepaintButtonUnskinned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintButtonSkinned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkinMainWindowControls)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Ok; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
