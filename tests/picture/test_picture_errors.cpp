// Broken, oversized and unreadable pictures fail with their kind's text, and
// a failed load leaves the held picture alone.
#include "PictureTestUtil.h"
#include "PngChunks.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

using namespace PictureTest;

namespace {

QString JpegError(int code) {
    return QString::asprintf("JPEG error #%d", code);
}

struct TFixtureCase {
    const char* File;
    QString Text;
    bool JpegAtLoad; // the header reads, so the error waits for the first decode
};

const QString BitmapInvalid = QStringLiteral("Bitmap image is not valid");
const QString IconInvalid = QStringLiteral("Icon image is not valid");
const QString TiffInvalid = QStringLiteral("TIFF 图像无效");

const TFixtureCase FixtureCases[] = {
    {"bmp-20000x20000.bmp", BitmapInvalid, false},
    {"bmp-garbage.bmp", BitmapInvalid, false},
    {"bmp-header-only.bmp", BitmapInvalid, false},
    {"bmp-negative-width.bmp", BitmapInvalid, false},
    {"bmp-truncated.bmp", BitmapInvalid, false},
    {"ico-20000x20000.ico", IconInvalid, false},
    {"ico-cursor-type.ico", IconInvalid, false},
    {"ico-garbage.ico", IconInvalid, false},
    {"ico-no-images.ico", IconInvalid, false},
    {"ico-truncated.ico", IconInvalid, false},
    {"tiff-20000x20000.tif", TiffInvalid, false},
    {"tiff-empty.tif", TiffInvalid, false},
    {"tiff-garbage.tif", TiffInvalid, false},
    {"tiff-truncated.tif", TiffInvalid, false},
    {"jpeg-20000x20000.jpg", JpegError(JERR_IMAGE_TOO_BIG), true},
    {"jpeg-garbage.jpg", JpegError(JERR_NO_SOI), false},
    {"jpeg-header-only.jpg", JpegError(JERR_SOF_NO_SOS), false},
};

class BrokenPicture : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(BrokenPicture, FailsWithItsKindsText) {
    const TFixtureCase& c = GetParam();
    const QString path = FixturesDir() + QLatin1Char('/') + QLatin1String(c.File);
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();

    TPicture picture;
    auto before = std::make_unique<TBitmap>();
    before->SetImage(QImage(7, 5, QImage::Format_RGB32));
    picture.SetGraphic(std::move(before));

    try {
        picture.LoadFromFile(path);
        ASSERT_TRUE(c.JpegAtLoad) << "loaded without error";
        // Reading took the bytes; the error shows when the picture is decoded.
        ASSERT_STREQ(picture.Graphic()->ClassName(), "TJPEGImage");
        picture.Graphic()->ToImage();
        ADD_FAILURE() << "decoded without error";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), c.Text);
        // A file failing at load leaves the earlier picture in place.
        if (!c.JpegAtLoad) {
            EXPECT_STREQ(picture.Graphic()->ClassName(), "TBitmap");
            EXPECT_EQ(picture.Width(), 7);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BrokenPicture, ::testing::ValuesIn(FixtureCases), FileParamName);

// A JPEG decode error is raised again on every try, never cached as a picture.
TEST(BrokenJpeg, DrawRaisesEveryTime) {
    TJPEGImage jpeg;
    LoadBytes(jpeg, ReadFile(FixturesDir() + QStringLiteral("/jpeg-20000x20000.jpg")));
    EXPECT_EQ(jpeg.Width(), 20000); // the header is fine
    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    for (int i = 0; i < 2; ++i)
        EXPECT_THROW(jpeg.Draw(painter, QRectF(0, 0, 10, 10)), EJPEG);
}

// A premature end is the library's warning, not its error: what the data holds
// shows and the rest is filled, at the size the header gives.
TEST(BrokenJpeg, TruncatedDataDecodesAsFarAsItGoes) {
    struct TCase {
        const char* File;
        int Width, Height;
    };
    const TCase cases[] = {
        {"jpeg-truncated.jpg", 300, 200},
        {"jpeg-9000x9000-short.jpg", 9000, 9000}, // within the bound, almost no data
    };
    for (const TCase& c : cases) {
        TJPEGImage jpeg;
        LoadBytes(jpeg, ReadFile(FixturesDir() + QLatin1Char('/') + QLatin1String(c.File)));
        QImage image;
        EXPECT_NO_THROW(image = jpeg.ToImage()) << c.File;
        EXPECT_EQ(image.size(), QSize(c.Width, c.Height)) << c.File;
        // The missing part is the decoder's mid grey.
        const QColor corner = image.pixelColor(c.Width - 1, c.Height - 1);
        EXPECT_NEAR(corner.red(), 128, 8) << c.File;
        EXPECT_NEAR(corner.blue(), 128, 8) << c.File;
    }
}

TEST(BrokenJpeg, CutFileKeepsItsTopRows) {
    QImage source(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            source.setPixelColor(x, y, QColor(x * 4, y * 4, 200));
    TBitmap bitmap;
    bitmap.SetImage(source);
    TJPEGImage whole;
    whole.Assign(bitmap);
    TJPEGImage cut;
    LoadBytes(cut, whole.Data().left(whole.Data().size() * 2 / 3));
    const QImage a = whole.ToImage();
    const QImage b = cut.ToImage();
    ASSERT_EQ(b.size(), a.size());
    for (int x = 0; x < 64; x += 7)
        EXPECT_EQ(b.pixelColor(x, 2), a.pixelColor(x, 2)) << x;
    EXPECT_NE(b.pixelColor(60, 63), a.pixelColor(60, 63)) << "the lost rows are filled";
}

TEST(BrokenJpeg, MissingEndMarkerStillDecodes) {
    SKIP_WITHOUT_SAMPLES();
    QByteArray bytes = ReadFile(SamplesDir() + QStringLiteral("/gray-300x200.jpg"));
    ASSERT_TRUE(bytes.endsWith("\xFF\xD9"));
    TJPEGImage whole, cut;
    LoadBytes(whole, bytes);
    bytes.chop(2);
    LoadBytes(cut, bytes);
    EXPECT_EQ(cut.ToImage(), whole.ToImage());
}

TEST(BrokenJpeg, EmptyStreamIsAnEmptyPicture) {
    TJPEGImage jpeg;
    LoadBytes(jpeg, QByteArray());
    EXPECT_TRUE(jpeg.Empty());
    EXPECT_TRUE(jpeg.ToImage().isNull());
}

struct TNameCase {
    const char* Name;
    const char* Text;
};

// The extension is quoted as written, and decides before the file is opened.
TEST(PictureLoad, UnknownExtensionNamesIt) {
    const TNameCase cases[] = {
        {"/nonexistent/recipe.png", "Unknown picture file extension (.png)"},
        {"/nonexistent/recipe.GIF", "Unknown picture file extension (.GIF)"},
        {"/nonexistent/recipe", "Unknown picture file extension (.)"},
        {"/nonexistent/recipe.jpg.txt", "Unknown picture file extension (.txt)"},
        {"/nonexistent/dir.jpg/recipe", "Unknown picture file extension (.)"},
    };
    for (const auto& c : cases) {
        TPicture picture;
        try {
            picture.LoadFromFile(QString::fromUtf8(c.Name));
            ADD_FAILURE() << c.Name;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message(), QString::fromUtf8(c.Text));
        }
        EXPECT_EQ(picture.Graphic(), nullptr);
    }
}

TEST(PictureLoad, MissingFileGivesFullNameAndReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString relative = QStringLiteral("no such 菜.jpg");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    TPicture picture;
    QString message;
    try {
        picture.LoadFromFile(relative);
    } catch (const EFOpenError& e) {
        message = e.Message();
    }
    QDir::setCurrent(previous);
    const QString full = QFileInfo(QDir(dir.path()), relative).absoluteFilePath();
    // The system's reason in Chinese, by its code.
    EXPECT_EQ(message, QStringLiteral("无法打开文件“%1”：文件不存在").arg(full));
    EXPECT_EQ(picture.Graphic(), nullptr);
}

TEST(PictureLoad, OversizedFileRefusedBeforeReading) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.bmp"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM");
    ASSERT_TRUE(file.resize(MaxPictureBytes + 1)); // sparse, costs no disk
    file.close();
    TPicture picture;
    try {
        picture.LoadFromFile(path);
        ADD_FAILURE() << "loaded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("图片文件太大（上限 256 MB）"));
    }
}

// Streams that are not files are bounded too.
TEST(PictureLoad, OversizedSequentialStreamRefused) {
    class TEndless : public QIODevice {
    public:
        bool isSequential() const override { return true; }
        qint64 Served = 0;

    protected:
        qint64 readData(char* data, qint64 max) override {
            memset(data, 0, size_t(max));
            Served += max;
            return max;
        }
        qint64 writeData(const char*, qint64) override { return -1; }
    } endless;
    endless.open(QIODevice::ReadOnly);
    TJPEGImage jpeg;
    EXPECT_THROW(jpeg.LoadFromStream(endless), EInvalidGraphic);
    EXPECT_LE(endless.Served, MaxPictureBytes + 1024 * 1024);
}

} // namespace

namespace {
// A PNG of chunks: signature, then length, type, data and a CRC each (the CRC
// is not checked here).
QByteArray PngOf(std::initializer_list<std::pair<const char*, quint32>> chunks, int cut = 0) {
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    for (const auto& [type, length] : chunks) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.append(char((length >> shift) & 0xFF));
        png.append(type, 4);
        if (length < 4096)
            png.append(QByteArray(int(length), 'x'));
        png.append("CRC!", 4);
    }
    png.chop(cut);
    return png;
}
} // namespace

// A chunk claiming more bytes than follow makes libpng allocate and clear what
// it claims; such streams are refused before decoding.
TEST(PngChunks, ChunksRunningPastTheEndAreRefused) {
    const std::tuple<const char*, QByteArray, bool> cases[] = {
        {"whole", PngOf({{"IHDR", 13}, {"IDAT", 20}, {"IEND", 0}}), true},
        {"garbage after IEND", PngOf({{"IHDR", 13}, {"IEND", 0}}) + "junk", true},
        {"no IEND, ends on a chunk", PngOf({{"IHDR", 13}, {"IDAT", 2}}), true},
        {"chunk claims a gigabyte", PngOf({{"IHDR", 13}, {"tEXt", 1u << 30}}), false},
        {"length over 2^31", PngOf({{"IHDR", 13}, {"tEXt", 0xFFFFFFF0u}}), false},
        {"last chunk cut by one byte", PngOf({{"IHDR", 13}, {"IDAT", 20}}, 1), false},
        {"cut inside a length", PngOf({{"IHDR", 13}}) + QByteArray("\0\0", 2), false},
        {"only the signature", PngOf({}), true},
        {"not a PNG", QByteArray("GIF89a....."), false},
        {"empty", QByteArray(), false},
    };
    for (const auto& [name, bytes, fits] : cases)
        EXPECT_EQ(PngChunksFit(bytes), fits) << name;
}
