// Moving pictures into and out of JPEG: stored bytes stay as they are, other
// kinds are compressed baseline at quality 90, and the file-type list.
#include "PictureTestUtil.h"

#include <cmath>

using namespace PictureTest;

namespace {

// Start-of-frame marker types present in a JPEG stream (0xC0 baseline, 0xC2 progressive, ...).
QList<int> FrameMarkers(const QByteArray& jpeg) {
    QList<int> markers;
    qsizetype i = 2;
    while (i + 4 <= jpeg.size() && uchar(jpeg[i]) == 0xFF) {
        const int marker = uchar(jpeg[i + 1]);
        if (marker == 0xDA)
            break; // scan data follows
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            markers << marker;
        i += 2 + (uchar(jpeg[i + 2]) << 8 | uchar(jpeg[i + 3]));
    }
    return markers;
}

int FrameComponents(const QByteArray& jpeg) {
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    return sof < 0 ? -1 : uchar(jpeg[sof + 9]);
}

// Smooth colours with some texture, like a photograph.
QImage PhotoLike(int width, int height, QImage::Format format) {
    if (format == QImage::Format_Indexed8) {
        // A palette cannot hold a gradient; flat tiles aligned to the blocks instead.
        QImage tiles(width, height, QImage::Format_Indexed8);
        tiles.setColorTable(
            {qRgb(200, 30, 30), qRgb(30, 160, 40), qRgb(20, 40, 200), qRgb(240, 230, 90)});
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                tiles.setPixel(x, y, uint((x / 32 + y / 32) % 4));
        return tiles;
    }
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / width, y * 255 / height,
                                int(128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.07))));
    return image.convertToFormat(format);
}

TEST(JpegBytes, KeptUnchangedThroughStreamsAndAssign) {
    SKIP_WITHOUT_SAMPLES();
    for (const char* name : {"dish-2000x1500.jpg", "progressive-1024x768.jpg", "cmyk-120x80.jpg"}) {
        const QByteArray original = ReadFile(SamplesDir() + QLatin1Char('/') + QLatin1String(name));
        TJPEGImage first;
        LoadBytes(first, original);
        EXPECT_EQ(SaveBytes(first), original) << name;
        TJPEGImage second;
        second.Assign(first);
        EXPECT_EQ(second.Data(), original) << name;
        EXPECT_EQ(second.Width(), first.Width());
        EXPECT_EQ(second.Height(), first.Height());
    }
}

// Reading from the middle of a stream takes only what is left, as a blob read does.
TEST(JpegBytes, LoadTakesTheRestOfTheStream) {
    SKIP_WITHOUT_SAMPLES();
    const QByteArray jpeg = ReadFile(SamplesDir() + QStringLiteral("/gray-300x200.jpg"));
    QBuffer buffer;
    buffer.setData(QByteArray("prefix") + jpeg);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(6);
    TJPEGImage image;
    image.LoadFromStream(buffer);
    EXPECT_EQ(image.Data(), jpeg);
    EXPECT_TRUE(buffer.atEnd());
}

struct TFormatCase {
    QImage::Format Format;
    const char* Name;
    double MeanError = 2.5; // a channel swap or a shifted row costs far more
    int PeakError = 40;     // hard colour edges lose to chroma subsampling
};

class BitmapToJpeg : public ::testing::TestWithParam<TFormatCase> {};

// Whatever layout the bitmap has, the JPEG is baseline, 3 colours, same size, close.
TEST_P(BitmapToJpeg, BaselineColourAndClose) {
    const QImage source =
        PhotoLike(203, 101, GetParam().Format); // not a multiple of the block size
    TBitmap bitmap;
    bitmap.SetImage(source);
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    EXPECT_EQ(FrameMarkers(jpeg.Data()), QList<int>{0xC0});
    EXPECT_EQ(FrameComponents(jpeg.Data()), 3);
    EXPECT_EQ(jpeg.Width(), 203);
    EXPECT_EQ(jpeg.Height(), 101);
    const QImage decoded = jpeg.ToImage();
    ASSERT_EQ(decoded.size(), source.size());
    EXPECT_LT(MeanChannelDiff(decoded, source), GetParam().MeanError);
    EXPECT_LT(MaxChannelDiff(decoded, source), GetParam().PeakError);
}

INSTANTIATE_TEST_SUITE_P(Formats, BitmapToJpeg,
                         ::testing::Values(TFormatCase{QImage::Format_RGB888, "RGB888"},
                                           TFormatCase{QImage::Format_RGB32, "RGB32"},
                                           TFormatCase{QImage::Format_RGBX8888, "RGBX8888"},
                                           TFormatCase{QImage::Format_ARGB32, "ARGB32"},
                                           TFormatCase{QImage::Format_BGR888, "BGR888"},
                                           TFormatCase{QImage::Format_Indexed8, "Indexed8", 4.0,
                                                       130}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BitmapToJpegQuality, IsNinety) {
    // Quality 90 scales the standard luminance table's first entry 16 to 3.
    TBitmap bitmap;
    bitmap.SetImage(PhotoLike(16, 16, QImage::Format_RGB888));
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    const qsizetype dqt = jpeg.Data().indexOf("\xFF\xDB");
    ASSERT_GE(dqt, 0);
    EXPECT_EQ(uchar(jpeg.Data()[dqt + 5]), 3);
}

TEST(BitmapToJpegAlpha, TransparencyBecomesWhite) {
    QImage source(32, 16, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x)
            source.setPixel(x, y, qRgba(0, 0, 255, 255));
    TBitmap bitmap;
    bitmap.SetImage(source);
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    const QImage decoded = jpeg.ToImage();
    const QRgb left = decoded.pixel(4, 8), right = decoded.pixel(28, 8);
    EXPECT_GT(qRed(left), 245);
    EXPECT_GT(qGreen(left), 245);
    EXPECT_GT(qBlue(left), 245);
    EXPECT_LT(qRed(right), 20);
    EXPECT_GT(qBlue(right), 235);
}

// Every kind converts, not only bitmaps.
TEST(AnyKindToJpeg, IconAndTiffCompress) {
    SKIP_WITHOUT_SAMPLES();
    for (const char* name : {"multi.ico", "lzw-800x200.tif", "argb32-64x48.bmp"}) {
        TPicture picture;
        picture.LoadFromFile(SamplesDir() + QLatin1Char('/') + QLatin1String(name));
        TJPEGImage jpeg;
        ASSERT_NO_THROW(jpeg.Assign(*picture.Graphic())) << name;
        EXPECT_EQ(jpeg.Width(), picture.Width()) << name;
        EXPECT_EQ(FrameMarkers(jpeg.Data()), QList<int>{0xC0}) << name;
        EXPECT_EQ(jpeg.ToImage().size(), QSize(picture.Width(), picture.Height()));
    }
}

TEST(AnyKindToJpeg, EmptyGraphicCannotBeCompressed) {
    TBitmap empty;
    TJPEGImage jpeg;
    try {
        jpeg.Assign(empty);
        ADD_FAILURE() << "compressed an empty bitmap";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("不能把空的 TBitmap 转换为 JPEG 图像"));
    }
    EXPECT_TRUE(jpeg.Data().isEmpty());
}

TEST(JpegToBitmap, RemembersTheJpegBytesUntilThePixelsChange) {
    SKIP_WITHOUT_SAMPLES();
    const QByteArray bytes = ReadFile(SamplesDir() + QStringLiteral("/gray-300x200.jpg"));
    TJPEGImage jpeg;
    jpeg.SetData(bytes);
    TBitmap bitmap;
    bitmap.Assign(jpeg);
    EXPECT_EQ(bitmap.SourceJpeg(), bytes);
    EXPECT_EQ(bitmap.Image(), jpeg.ToImage());

    TBitmap copy;
    copy.Assign(bitmap);
    EXPECT_EQ(copy.SourceJpeg(), bytes);

    bitmap.SetImage(QImage(3, 3, QImage::Format_RGB32));
    EXPECT_TRUE(bitmap.SourceJpeg().isEmpty());
    TBitmap fromTiff;
    fromTiff.SetSourceJpeg(bytes);
    TPicture tiff;
    tiff.LoadFromFile(SamplesDir() + QStringLiteral("/rgb-1x16.tif"));
    fromTiff.Assign(*tiff.Graphic());
    EXPECT_TRUE(fromTiff.SourceJpeg().isEmpty());
}

// A bitmap written and read back keeps its pixels.
TEST(BitmapStream, SaveAndLoadRoundTrip) {
    for (QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_Indexed8}) {
        TBitmap bitmap;
        bitmap.SetImage(PhotoLike(37, 11, format));
        TBitmap back;
        LoadBytes(back, SaveBytes(bitmap));
        ASSERT_EQ(back.Image().size(), QSize(37, 11));
        EXPECT_EQ(MaxChannelDiff(back.Image(), bitmap.Image()), 0) << format;
    }
}

TEST(PictureFileTypes, ListsTheNineEntriesInOrder) {
    const QList<TPictureFileType> types = PictureFileTypes();
    const QStringList labels = {
        "All (*.jpg;*.jpeg;*.bmp;*.tif;*.tiff;*.ico;*.emf;*.wmf)",
        "JPEG Image File (*.jpg)",
        "JPEG Image File (*.jpeg)",
        "Bitmaps (*.bmp)",
        "TIFF Images (*.tif)",
        "TIFF Images (*.tiff)",
        "Icons (*.ico)",
        "Enhanced Metafiles (*.emf)",
        "Metafiles (*.wmf)",
    };
    ASSERT_EQ(types.size(), labels.size());
    for (qsizetype i = 0; i < types.size(); ++i)
        EXPECT_EQ(types[i].Label, labels[i]);
    EXPECT_EQ(types[0].Patterns.join(';'),
              QStringLiteral("*.jpg;*.jpeg;*.bmp;*.tif;*.tiff;*.ico;*.emf;*.wmf"));
    EXPECT_EQ(types[4].Patterns, QStringList{"*.tif"});
    // Every pattern leads to a graphic kind.
    for (const QString& pattern : types[0].Patterns)
        EXPECT_NE(GraphicForExtension(pattern.mid(2).toUpper()), nullptr) << pattern.toStdString();
    EXPECT_EQ(GraphicForExtension(QStringLiteral("png")), nullptr);
    EXPECT_EQ(GraphicForExtension(QString()), nullptr);
}

} // namespace
