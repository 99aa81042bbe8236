// Export of a recipe with a large photograph, against a plain hex encoding of
// the same JPEG bytes: the export should cost little more than that.
#include "RtfProperties.h"
#include "RtfWriter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

struct TFixture {
    QImage Image;
    QByteArray Jpeg;
    std::unique_ptr<QTextDocument> Document;
};

// A photo-like picture: smooth shading with some grain, so JPEG neither
// collapses it nor blows it up.
const TFixture& Fixture() {
    static const TFixture fixture = [] {
        TFixture f;
        f.Image = QImage(4000, 3000, QImage::Format_RGB32);
        quint32 seed = 1;
        for (int y = 0; y < f.Image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(f.Image.scanLine(y));
            for (int x = 0; x < f.Image.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int grain = int(seed >> 28) - 8;
                line[x] = qRgb(qBound(0, x / 16 + grain, 255), qBound(0, y / 12 + grain, 255),
                               qBound(0, (x + y) / 28 + grain, 255));
            }
        }
        QBuffer buffer(&f.Jpeg);
        buffer.open(QIODevice::WriteOnly);
        f.Image.save(&buffer, "JPG", 90);

        f.Document = std::make_unique<QTextDocument>();
        QTextCursor cursor(f.Document.get());
        cursor.insertText(QStringLiteral("红烧肉\n原料:\n五花肉\n做法:\n炖\n说明:\n无\n"));
        const QString name = QStringLiteral("richex://1");
        f.Document->addResource(QTextDocument::ImageResource, QUrl(name), f.Image);
        QTextImageFormat format;
        format.setName(name);
        format.setWidth(4000);
        format.setHeight(3000);
        format.setProperty(RichExJpegProperty, f.Jpeg);
        cursor.insertImage(format);
        return f;
    }();
    return fixture;
}

void ExportJpegRecipe(benchmark::State& state) {
    const TFixture& f = Fixture();
    qsizetype size = 0;
    for (auto _ : state) {
        QByteArray rtf = DocumentToRtf(*f.Document);
        size = rtf.size();
        benchmark::DoNotOptimize(rtf.data());
    }
    state.counters["jpeg_bytes"] = double(f.Jpeg.size());
    state.counters["rtf_bytes"] = double(size);
    state.counters["size_ratio"] = double(size) / double(f.Jpeg.size());
    state.counters["size_limit"] = 2.1 * double(f.Jpeg.size()) + 4096;
    state.SetBytesProcessed(state.iterations() * f.Jpeg.size());
}

// Reference: the simplest hex encoding of the same bytes into a new buffer.
void PlainHexReference(benchmark::State& state) {
    const TFixture& f = Fixture();
    static const char digits[] = "0123456789abcdef";
    for (auto _ : state) {
        std::string out(2 * size_t(f.Jpeg.size()), '\0');
        const auto* p = reinterpret_cast<const unsigned char*>(f.Jpeg.constData());
        for (qsizetype i = 0; i < f.Jpeg.size(); ++i) {
            out[2 * i] = digits[p[i] >> 4];
            out[2 * i + 1] = digits[p[i] & 15];
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * f.Jpeg.size());
}

BENCHMARK(ExportJpegRecipe)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainHexReference)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts of the text document
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
