// Scrolling the recipe list (100,000 names) page by page, each step painted at
// once: unskinned (the reference) and with its scroll bars skinned.

#include "Controls.h"
#include "SkinResource.h"
#include "WinSkinData.h"
#include "WinSubClassScroll.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace {

QStringList Names() {
    static const QStringList names = [] {
        QRandomGenerator rng(20240501);
        QStringList list;
        list.reserve(100000);
        for (int i = 0; i < 100000; ++i) {
            QString name;
            const int length = 4 + static_cast<int>(rng.bounded(9));
            for (int k = 0; k < length; ++k) {
                name += QChar(0x4E00 + static_cast<int>(rng.bounded(0x5000)));
            }
            list << name;
        }
        return list;
    }();
    return names;
}

TSkinData& Skin() {
    static TSkinData skin;
    static const bool read = skin.ReadSkinStream(DefaultSkinStream());
    (void)read;
    return skin;
}

void BM_ScrollList(benchmark::State& state) {
    const bool skinned = state.range(0) != 0;
    TListBox list;
    list.SetItems(Names());
    list.resize(220, 330);
    list.show();
    QCoreApplication::processEvents();
    TSkinScrollbar* skin = nullptr;
    if (skinned) {
        skin = new TSkinScrollbar(list, nullptr, Skin());
        skin->Init();
    }
    QScrollBar* bar = list.verticalScrollBar();
    int value = 0;
    auto step = [&] {
        value = (value + bar->pageStep()) % (bar->maximum() + 1);
        bar->setValue(value);
        list.viewport()->repaint();
        bar->repaint();
    };
    for (int i = 0; i < 50; ++i) {
        step(); // fonts, glyph and pixmap caches warm
    }
    for (auto _ : state) {
        step();
    }
    if (skin) {
        skin->Unsubclass();
        delete skin;
    }
    state.SetLabel(skinned ? "skinned" : "unskinned");
}

// Prints the skinned / unskinned ratio after the console table.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") {
                continue;
            }
            FTimes[run.report_label] = run.GetAdjustedRealTime();
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (FTimes.count("unskinned") && FTimes.count("skinned") && FTimes["unskinned"] > 0) {
            std::printf("skinned / unskinned scrolling: %.2f (target <= 1.5)\n",
                        FTimes["skinned"] / FTimes["unskinned"]);
        }
    }

private:
    std::map<std::string, double> FTimes;
};

} // namespace

BENCHMARK(BM_ScrollList)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
