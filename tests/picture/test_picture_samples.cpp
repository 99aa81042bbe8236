// Every sample picture loads as its kind, with its size and the right pixels.
#include "PictureTestUtil.h"

#include <QImageReader>
#include <QtEndian>

#include <tiffio.h>

using namespace PictureTest;

namespace {

// Palette indexes of an RLE8 bitmap, rows top first.
std::vector<uchar> DecodeRle8(const QByteArray& d, int width, int height) {
    std::vector<uchar> pixels(size_t(width) * height, 0);
    const auto* p = reinterpret_cast<const uchar*>(d.constData());
    qsizetype at = qFromLittleEndian<quint32>(d.constData() + 10);
    int x = 0, y = height - 1;
    const auto put = [&](uchar index) {
        if (x < width && y >= 0)
            pixels[size_t(y) * width + x] = index;
        ++x;
    };
    while (at + 1 < d.size() && y >= 0) {
        const int count = p[at], value = p[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(uchar(value));
        } else if (value == 0) { // end of line
            x = 0;
            --y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            x += p[at];
            y -= p[at + 1];
            at += 2;
        } else { // literal run, padded to an even length
            for (int i = 0; i < value; ++i)
                put(p[at + i]);
            at += (value + 1) & ~1;
        }
    }
    return pixels;
}

// Pixel straight from a BMP's bytes, independent of Qt's reader.
QRgb RawBmpPixel(const QByteArray& d, int x, int y) {
    const auto u32 = [&](int at) {
        return qFromLittleEndian<quint32>(d.constData() + at);
    };
    const auto u16 = [&](int at) {
        return qFromLittleEndian<quint16>(d.constData() + at);
    };
    const int offBits = int(u32(10)), infoSize = int(u32(14));
    const int width = int(u32(18));
    const int height = qint32(u32(22));
    const int bits = u16(28);
    const int row = height > 0 ? height - 1 - y : y;
    const int stride = (width * bits + 31) / 32 * 4;
    const auto* p = reinterpret_cast<const uchar*>(d.constData() + offBits + row * stride);
    const auto* palette = reinterpret_cast<const uchar*>(d.constData() + 14 + infoSize);
    int index;
    if (u32(30) == 1) { // RLE8
        static QByteArray decodedFrom;
        static std::vector<uchar> indexes;
        if (decodedFrom != d) {
            indexes = DecodeRle8(d, width, height);
            decodedFrom = d;
        }
        index = indexes[size_t(y) * width + x];
        return qRgb(palette[4 * index + 2], palette[4 * index + 1], palette[4 * index]);
    }
    switch (bits) {
    case 32:
        return qRgba(p[4 * x + 2], p[4 * x + 1], p[4 * x], p[4 * x + 3]);
    case 24:
        return qRgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
    case 8:
        index = p[x];
        break;
    case 1:
        index = (p[x / 8] >> (7 - x % 8)) & 1;
        break;
    default:
        return 0;
    }
    return qRgb(palette[4 * index + 2], palette[4 * index + 1], palette[4 * index]);
}

void ExpectBmpMatchesRawBytes(const QString& path, const QImage& image) {
    const QByteArray raw = ReadFile(path);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int mismatches = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb want = RawBmpPixel(raw, x, y), got = argb.pixel(x, y);
            // Fully transparent pixels carry no colour worth comparing.
            if (qAlpha(got) != qAlpha(want) ||
                (qAlpha(want) != 0 && (got & 0xFFFFFF) != (want & 0xFFFFFF)))
                ++mismatches;
        }
    EXPECT_EQ(mismatches, 0);
}

// Qt's own JPEG plugin at its most careful settings, as a second opinion.
void ExpectJpegMatchesQt(const QString& path, const QImage& image) {
    QImageReader reader(path, "jpg");
    reader.setQuality(100);
    const QImage reference = reader.read();
    ASSERT_FALSE(reference.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(reference.size(), image.size());
    EXPECT_LE(MaxChannelDiff(reference, image), 2);
}

bool IsGrey(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c))
                return false;
        }
    return true;
}

bool Near(QRgb c, int r, int g, int b, int tolerance = 3) {
    return std::abs(qRed(c) - r) <= tolerance && std::abs(qGreen(c) - g) <= tolerance &&
           std::abs(qBlue(c) - b) <= tolerance;
}

struct TSampleCase {
    const char* File;
    const char* Kind;
    int Width;
    int Height;
    void (*Check)(const QString& path, const QImage& image);
};

void CheckJpeg(const QString& path, const QImage& image) {
    ExpectJpegMatchesQt(path, image);
}

void CheckGrey(const QString& path, const QImage& image) {
    ExpectJpegMatchesQt(path, image);
    EXPECT_TRUE(IsGrey(image));
    EXPECT_TRUE(Near(image.pixel(0, 0), 255, 255, 255)); // white corner to black corner
    EXPECT_TRUE(Near(image.pixel(299, 199), 0, 0, 0));
}

void CheckCmyk(const QString& path, const QImage& image) {
    ExpectJpegMatchesQt(path, image);
    // Inverted Adobe CMYK read as plain CMYK would come out yellow here, not blue.
    const QRgb corner = image.pixel(0, 0);
    EXPECT_GT(qBlue(corner), 200);
    EXPECT_LT(qRed(corner), 60);
    EXPECT_LT(qGreen(corner), 60);
}

void CheckBmp(const QString& path, const QImage& image) {
    ExpectBmpMatchesRawBytes(path, image);
}

void CheckArgbBmp(const QString& path, const QImage& image) {
    ExpectBmpMatchesRawBytes(path, image);
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

void CheckOrange(const QString&, const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        EXPECT_TRUE(Near(image.pixel(0, y), 0xFF, 0xA5, 0x00, 0)) << "row " << y;
}

void CheckPinkToNavy(const QString&, const QImage& image) {
    EXPECT_TRUE(Near(image.pixel(0, 0), 0xFF, 0xC0, 0xCB));
    EXPECT_TRUE(Near(image.pixel(799, 199), 0x00, 0x00, 0x80));
    EXPECT_FALSE(image.hasAlphaChannel());
}

// 16-bit samples read through libtiff's scan-line interface must agree with
// our picture's top bytes.
void CheckTiff16(const QString& path, const QImage& image) {
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r");
    ASSERT_NE(tif, nullptr);
    uint16_t bits = 0, samples = 0;
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    ASSERT_EQ(bits, 16);
    ASSERT_EQ(samples, 3);
    std::vector<uint16_t> line(TIFFScanlineSize(tif) / 2);
    int worst = 0;
    for (int y = 0; y < image.height(); ++y) {
        ASSERT_EQ(TIFFReadScanline(tif, line.data(), uint32_t(y), 0), 1);
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(c) - line[3 * x] / 257),
                              std::abs(qGreen(c) - line[3 * x + 1] / 257),
                              std::abs(qBlue(c) - line[3 * x + 2] / 257)});
        }
    }
    TIFFClose(tif);
    EXPECT_LE(worst, 1);
}

// The icon shows its largest image, here the PNG-compressed 256-px one.
void CheckIcon(const QString& path, const QImage& image) {
    const QByteArray raw = ReadFile(path);
    const quint32 bytes = qFromLittleEndian<quint32>(raw.constData() + 6 + 8);
    const quint32 offset = qFromLittleEndian<quint32>(raw.constData() + 6 + 12);
    const QImage png = QImage::fromData(raw.mid(offset, bytes), "png");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(MaxChannelDiff(png.convertToFormat(QImage::Format_ARGB32),
                             image.convertToFormat(QImage::Format_ARGB32)),
              0);
    EXPECT_TRUE(image.hasAlphaChannel());
}

const TSampleCase SampleCases[] = {
    {"dish-2000x1500.jpg", "TJPEGImage", 2000, 1500, CheckJpeg},
    {"progressive-1024x768.jpg", "TJPEGImage", 1024, 768, CheckJpeg},
    {"gray-300x200.jpg", "TJPEGImage", 300, 200, CheckGrey},
    {"cmyk-120x80.jpg", "TJPEGImage", 120, 80, CheckCmyk},
    {"rgb24-100x50.bmp", "TBitmap", 100, 50, CheckBmp},
    {"pal8-27x400.bmp", "TBitmap", 27, 400, CheckBmp},
    {"argb32-64x48.bmp", "TBitmap", 64, 48, CheckArgbBmp},
    {"mono-24x1.bmp", "TBitmap", 24, 1, CheckBmp},
    {"rgb-1x16.tif", "TWICImage", 1, 16, CheckOrange},
    {"lzw-800x200.tif", "TWICImage", 800, 200, CheckPinkToNavy},
    {"rgb16-64x64.tif", "TWICImage", 64, 64, CheckTiff16},
    {"multi.ico", "TIcon", 256, 256, CheckIcon},
};

class SamplePicture : public ::testing::TestWithParam<TSampleCase> {};

TEST_P(SamplePicture, LoadsAsItsKindWithSizeAndPixels) {
    SKIP_WITHOUT_SAMPLES();
    const TSampleCase& c = GetParam();
    const QString path = SamplesDir() + QLatin1Char('/') + QLatin1String(c.File);
    TPicture picture;
    ASSERT_NO_THROW(picture.LoadFromFile(path));
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_STREQ(picture.Graphic()->ClassName(), c.Kind);
    EXPECT_EQ(picture.Width(), c.Width);
    EXPECT_EQ(picture.Height(), c.Height);
    const QImage image = picture.Graphic()->ToImage();
    ASSERT_EQ(image.size(), QSize(c.Width, c.Height));
    c.Check(path, image);

    // A copy is independent and the same picture.
    const std::unique_ptr<TGraphic> copy = picture.Graphic()->Clone();
    EXPECT_STREQ(copy->ClassName(), c.Kind);
    EXPECT_EQ(copy->ToImage(), image);
}

// Files kept as they came: saving gives back the very bytes read.
TEST_P(SamplePicture, KeepsFileBytesWhereTheKindStoresThem) {
    SKIP_WITHOUT_SAMPLES();
    const TSampleCase& c = GetParam();
    if (QLatin1String(c.Kind) == QLatin1String("TBitmap"))
        GTEST_SKIP() << "a bitmap is re-encoded from its pixels";
    const QString path = SamplesDir() + QLatin1Char('/') + QLatin1String(c.File);
    TPicture picture;
    picture.LoadFromFile(path);
    EXPECT_EQ(SaveBytes(*picture.Graphic()), ReadFile(path));
}

INSTANTIATE_TEST_SUITE_P(Samples, SamplePicture, ::testing::ValuesIn(SampleCases), FileParamName);

// The kind follows the extension in any case.
TEST(PictureExtension, AnyCaseChoosesTheKind) {
    SKIP_WITHOUT_SAMPLES();
    struct {
        const char* Sample;
        const char* Name;
        const char* Kind;
    } const cases[] = {
        {"gray-300x200.jpg", "A.JPG", "TJPEGImage"},
        {"gray-300x200.jpg", "b.Jpeg", "TJPEGImage"},
        {"lzw-800x200.tif", "c.Tiff", "TWICImage"},
        {"lzw-800x200.tif", "d.TIF", "TWICImage"},
        {"mono-24x1.bmp", "e.BMP", "TBitmap"},
        {"multi.ico", "f.iCo", "TIcon"},
        {"gray-300x200.jpg", "g.tar.jpG", "TJPEGImage"},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.Name));
        ASSERT_TRUE(QFile::copy(SamplesDir() + QLatin1Char('/') + QLatin1String(c.Sample), path));
        TPicture picture;
        ASSERT_NO_THROW(picture.LoadFromFile(path)) << c.Name;
        EXPECT_STREQ(picture.Graphic()->ClassName(), c.Kind) << c.Name;
        EXPECT_GT(picture.Width(), 0) << c.Name;
    }
}

// Drawing scales the picture into the rectangle.
TEST(PictureDraw, FillsTheRectangleScaled) {
    SKIP_WITHOUT_SAMPLES();
    TPicture picture;
    picture.LoadFromFile(SamplesDir() + QStringLiteral("/lzw-800x200.tif"));
    QImage canvas(300, 75, QImage::Format_RGB32);
    canvas.fill(Qt::green);
    QPainter painter(&canvas);
    picture.Graphic()->Draw(painter, QRectF(0, 0, 300, 75));
    painter.end();
    EXPECT_TRUE(Near(canvas.pixel(0, 0), 0xFF, 0xC0, 0xCB, 8));
    EXPECT_TRUE(Near(canvas.pixel(299, 74), 0x00, 0x00, 0x80, 8));
}

} // namespace
