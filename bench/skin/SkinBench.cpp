// Our LZHUF coder against the classic one on the default skin's container,
// and the whole skin build as the main window runs it at start-up.
#include "ClassicLzhuf.h"
#include "SkinResource.h"
#include "WinConvert.h"
#include "WinSkinData.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

const QByteArray& Container() {
    static const QByteArray c = DefaultSkinContainer();
    return c;
}

const QByteArray& Unpacked() {
    static const QByteArray u = TLZH::UnpackContainer(Container());
    return u;
}

std::vector<uint8_t> ToVector(const QByteArray& a) {
    return std::vector<uint8_t>(a.begin(), a.end());
}

void BM_Unpack_Ours(benchmark::State& state) {
    const QByteArray& c = Container();
    for (auto _ : state) {
        QByteArray out = TLZH::UnpackContainer(c);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * Unpacked().size());
}

void BM_Unpack_Classic(benchmark::State& state) {
    const std::vector<uint8_t> stream = ToVector(Container().mid(4));
    const long size = Unpacked().size();
    classic::TLzhuf coder;
    for (auto _ : state) {
        std::vector<uint8_t> out = coder.Decode(stream, size);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_Pack_Ours(benchmark::State& state) {
    const QByteArray& u = Unpacked();
    for (auto _ : state) {
        QByteArray out = TLZH::PackContainer(u);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * u.size());
}

void BM_Pack_Classic(benchmark::State& state) {
    const std::vector<uint8_t> in = ToVector(Unpacked());
    classic::TLzhuf coder;
    for (auto _ : state) {
        std::vector<uint8_t> out = coder.Encode(in);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(in.size()));
}

// Unpack, parse, build every element: what the main window does at start-up.
void BM_BuildDefaultSkin(benchmark::State& state) {
    const QByteArray value = DefaultSkinStream();
    for (auto _ : state) {
        TSkinData data;
        const bool built = data.ReadSkinStream(value);
        if (!built || data.Empty) {
            state.SkipWithError("default skin did not build");
            break;
        }
        benchmark::DoNotOptimize(data.Colors.data());
    }
}

BENCHMARK(BM_Unpack_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpack_Classic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack_Classic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildDefaultSkin)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
