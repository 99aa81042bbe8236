// Repainting a skinned caption on activation, against a reference painting of
// the same strip as plain fills and text in the same run.
#include "SkinResource.h"
#include "WinSkinDlg.h"
#include "WinSkinForm.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <benchmark/benchmark.h>

namespace {

struct TCaptionSetup {
    TSkinData Skin;
    TSkinManage Manager;
    QWidget Window;
    TWinSkinForm* Form = nullptr;
    QImage Target;
    TCaptionSetup() {
        Skin.ReadSkinStream(DefaultSkinStream());
        Manager.active = true;
        Window.setFixedSize(703, 586);
        Window.setWindowTitle(QStringLiteral("百味小筑--青柯工坊免费提供"));
        Form = new TWinSkinForm(Window, Manager);
        Form->fsd = &Skin;
        Form->InitTform();
        Form->Finish();
        Target = QImage(Window.size(), QImage::Format_RGB32);
    }
};

TCaptionSetup& Setup() {
    static TCaptionSetup setup;
    return setup;
}

// The skin's frame: borders, caption text, icon and buttons, as on activation.
void BM_SkinnedCaptionRepaint(benchmark::State& state) {
    TCaptionSetup& s = Setup();
    for (auto _ : state) {
        QPainter painter(&s.Target);
        s.Form->PaintFrame(painter);
        benchmark::DoNotOptimize(s.Target.constBits());
    }
}
BENCHMARK(BM_SkinnedCaptionRepaint);

// Reference: the same strip painted as a platform-like caption (fill and text).
void BM_PlainCaptionReference(benchmark::State& state) {
    TCaptionSetup& s = Setup();
    QFont font = s.Skin.CaptionFont;
    font.setPixelSize(14);
    for (auto _ : state) {
        QPainter painter(&s.Target);
        painter.fillRect(QRect(0, 0, 711, 30), QColor(120, 70, 40));
        painter.fillRect(QRect(0, 30, 4, 586), QColor(120, 70, 40));
        painter.fillRect(QRect(707, 30, 4, 586), QColor(120, 70, 40));
        painter.fillRect(QRect(0, 616, 711, 4), QColor(120, 70, 40));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(30, 0, 500, 30), Qt::AlignVCenter, s.Window.windowTitle());
        benchmark::DoNotOptimize(s.Target.constBits());
    }
}
BENCHMARK(BM_PlainCaptionReference);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
