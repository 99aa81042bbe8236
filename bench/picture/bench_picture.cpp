// JPEG compression and decoding of a 12-megapixel photograph: our graphic
// kinds against libjpeg called directly on the same pixels and bytes.
#include "Graphics.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>

namespace {

constexpr int PhotoWidth = 4000;
constexpr int PhotoHeight = 3000;

// Smooth gradients with sensor-like noise: what a camera hands us.
const QImage& Photo() {
    static const QImage photo = [] {
        QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB888);
        quint32 seed = 12345;
        for (int y = 0; y < PhotoHeight; ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < PhotoWidth; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 28) - 8;
                const double wave = 40 * std::sin(x * 0.004) * std::cos(y * 0.006);
                row[3 * x] = uchar(std::clamp(int(200 * x / PhotoWidth + wave) + noise, 0, 255));
                row[3 * x + 1] =
                    uchar(std::clamp(int(180 * y / PhotoHeight + 40 - wave) + noise, 0, 255));
                row[3 * x + 2] = uchar(std::clamp(int(90 + wave * 2) + noise, 0, 255));
            }
        }
        return image;
    }();
    return photo;
}

QByteArray ReferenceCompress(const QImage& image) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(outSize));
    std::free(out);
    return bytes;
}

const QByteArray& PhotoJpeg() {
    static const QByteArray bytes = ReferenceCompress(Photo());
    return bytes;
}

void BM_Compress_TJPEGImageAssign(benchmark::State& state) {
    TBitmap bitmap;
    bitmap.SetImage(Photo());
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        benchmark::DoNotOptimize(jpeg.Data().size());
    }
}

void BM_Compress_LibjpegDirect(benchmark::State& state) {
    const QImage& photo = Photo();
    for (auto _ : state) {
        QByteArray bytes = ReferenceCompress(photo);
        benchmark::DoNotOptimize(bytes.size());
    }
}

void BM_Decode_TJPEGImageToImage(benchmark::State& state) {
    const QByteArray& bytes = PhotoJpeg();
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.SetData(bytes);
        QImage image = jpeg.ToImage();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_Decode_LibjpegDirect(benchmark::State& state) {
    const QByteArray& bytes = PhotoJpeg();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        jpeg_start_decompress(&cinfo);
        const size_t stride = size_t(cinfo.output_width) * 3;
        std::unique_ptr<unsigned char[]> rgb(new unsigned char[stride * cinfo.output_height]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = rgb.get() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(rgb.get());
    }
}

BENCHMARK(BM_Compress_TJPEGImageAssign)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Compress_LibjpegDirect)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Decode_TJPEGImageToImage)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Decode_LibjpegDirect)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
