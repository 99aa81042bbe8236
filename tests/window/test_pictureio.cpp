#include "ADODB.h"
#include "AccessDb.h"
#include "Clipboard.h"
#include "ImageControl.h"
#include "PictureIo.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <map>

namespace {
struct TFitCase {
    int W, H, ExpectW, ExpectH;
};

class FitTable : public testing::TestWithParam<TFitCase> {};

TEST_P(FitTable, GivesTheBoxSizeOfEveryRow) {
    const TFitCase& c = GetParam();
    const TFitResult fit = FitSize(c.W, c.H, 300, 200);
    EXPECT_EQ(fit.Width, c.ExpectW) << c.W << "x" << c.H;
    EXPECT_EQ(fit.Height, c.ExpectH) << c.W << "x" << c.H;
}

INSTANTIATE_TEST_SUITE_P(Rows, FitTable,
                         testing::Values(TFitCase{300, 200, 300, 200}, TFitCase{600, 400, 300, 200},
                                         TFitCase{1024, 768, 267, 200},
                                         TFitCase{2000, 1500, 267, 200},
                                         TFitCase{800, 200, 300, 75}, TFitCase{100, 50, 300, 150},
                                         TFitCase{1, 16, 12, 200},   // 12.5 goes to the even 12
                                         TFitCase{27, 400, 14, 200}, // 13.5 goes to the even 14
                                         TFitCase{24, 1, 300, 12},   // 12.5 again, other branch
                                         TFitCase{8, 1, 300, 38},    // 37.5 goes to 38
                                         TFitCase{0, 50, 0, 200}, TFitCase{50, 0, 300, 0},
                                         // Just off the halfway point rounds the plain way.
                                         TFitCase{3, 8, 75, 200}, TFitCase{1, 3, 67, 200}));

// A bitmap of the given size for the holder.
std::unique_ptr<TBitmap> Bitmap(int w, int h, QColor colour = Qt::red) {
    auto bitmap = std::make_unique<TBitmap>();
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    bitmap->SetImage(image);
    return bitmap;
}

TEST(FitImageToBox, StretchesAndResizesFromTheFixedBox) {
    TImage image;
    image.resize(300, 200);
    EXPECT_FALSE(image.Stretch());
    image.Picture().SetGraphic(Bitmap(100, 50));
    FitImageToBox(image, 300, 200);
    EXPECT_TRUE(image.Stretch());
    EXPECT_EQ(image.size(), QSize(300, 150));
    // A second fit starts from the fixed box, not the current size.
    image.Picture().SetGraphic(Bitmap(1, 16));
    FitImageToBox(image, 300, 200);
    EXPECT_EQ(image.size(), QSize(12, 200));
}

TEST(FitImageToBox, NothingToFitKeepsTheSize) {
    TImage image;
    image.resize(267, 200);
    FitImageToBox(image, 300, 200); // empty holder: 0 x 0
    EXPECT_TRUE(image.Stretch());
    EXPECT_EQ(image.size(), QSize(267, 200));
    image.Picture().SetGraphic(std::make_unique<TBitmap>()); // empty bitmap
    FitImageToBox(image, 300, 200);
    EXPECT_EQ(image.size(), QSize(267, 200));
}

// A clipboard a test fills; a failing one throws like a clipboard held by another program.
class TFakeClipboard : public TClipboard {
public:
    bool Fail = false;
    bool FailBitmapRead = false;
    QImage Image;
    std::map<QString, QByteArray> Formats;

    bool HasBitmap() const override { return Check(), !Image.isNull() || FailBitmapRead; }
    bool HasFormat(const QString& m) const override { return Check(), Formats.count(m) > 0; }
    QImage Bitmap() const override {
        Check();
        if (FailBitmapRead)
            throw EClipboardException(QStringLiteral("无法读取剪贴板上的位图"));
        return Image;
    }
    QByteArray Data(const QString& m) const override {
        Check();
        auto it = Formats.find(m);
        return it == Formats.end() ? QByteArray() : it->second;
    }

private:
    void Check() const {
        if (Fail)
            throw EClipboardException(QStringLiteral("无法打开剪贴板"));
    }
};

// The smallest placeable metafile: header and the end record, 2 x 1 inch at 96 dpi.
QByteArray TinyWmf() {
    QByteArray bytes;
    auto put16 = [&](quint16 v) {
        bytes.append(char(v & 0xff)).append(char(v >> 8));
    };
    auto put32 = [&](quint32 v) {
        put16(v & 0xffff);
        put16(v >> 16);
    };
    put32(0x9AC6CDD7);
    put16(0);
    put16(0), put16(0), put16(192), put16(96); // bounding box
    put16(96);                                 // units per inch
    put32(0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= quint16(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8));
    put16(checksum);
    put16(1), put16(9), put16(0x0300);
    put32(9 + 3); // size in words
    put16(0);
    put32(3);
    put16(0);
    put32(3), put16(0); // end-of-file record
    return bytes;
}

class PasteTest : public testing::Test {
protected:
    void SetUp() override { SetClipboard(&Board); }
    void TearDown() override { SetClipboard(nullptr); }
    TFakeClipboard Board;
    TImage Image;
};

TEST_F(PasteTest, BitmapGoesIntoAnEmptyBoxOrReplacesOtherKinds) {
    Board.Image = QImage(40, 30, QImage::Format_RGB32);
    Board.Image.fill(Qt::blue);
    EXPECT_TRUE(PastePicture(Image));
    ASSERT_NE(dynamic_cast<TBitmap*>(Image.Picture().Graphic()), nullptr);
    EXPECT_EQ(Image.Picture().Width(), 40);

    Image.Picture().SetGraphic(std::make_unique<TJPEGImage>());
    EXPECT_TRUE(PastePicture(Image));
    EXPECT_NE(dynamic_cast<TBitmap*>(Image.Picture().Graphic()), nullptr);
    EXPECT_EQ(Image.Picture().Height(), 30);
}

TEST_F(PasteTest, NothingUsableLeavesTheBoxAsItWas) {
    Image.Picture().SetGraphic(Bitmap(10, 10));
    const TGraphic* before = Image.Picture().Graphic();
    EXPECT_TRUE(PastePicture(Image));
    EXPECT_EQ(Image.Picture().Graphic(), before);
}

TEST_F(PasteTest, MetafileIsTakenOnlyIntoABoxHoldingOne) {
    Board.Formats[MimeWmf] = TinyWmf();
    EXPECT_TRUE(PastePicture(Image)); // empty box: nothing to load into
    EXPECT_EQ(Image.Picture().Graphic(), nullptr);

    Image.Picture().SetGraphic(Bitmap(5, 5));
    EXPECT_FALSE(PastePicture(Image)); // a bitmap finds no bitmap on the clipboard
    EXPECT_NE(dynamic_cast<TBitmap*>(Image.Picture().Graphic()), nullptr);

    Image.Picture().SetGraphic(std::make_unique<TJPEGImage>());
    EXPECT_FALSE(PastePicture(Image));
    EXPECT_NE(dynamic_cast<TJPEGImage*>(Image.Picture().Graphic()), nullptr);

    Image.Picture().SetGraphic(std::make_unique<TMetafile>());
    EXPECT_TRUE(PastePicture(Image));
    auto* metafile = dynamic_cast<TMetafile*>(Image.Picture().Graphic());
    ASSERT_NE(metafile, nullptr);
    EXPECT_EQ(metafile->Width(), 192);
    EXPECT_EQ(metafile->Height(), 96);
}

TEST_F(PasteTest, ErrorsAreSwallowedAndReportedAsFalse) {
    Image.Picture().SetGraphic(Bitmap(10, 10));
    Board.Fail = true;
    EXPECT_FALSE(PastePicture(Image));
    EXPECT_EQ(Image.Picture().Width(), 10);

    // The holder already took a new empty bitmap when the copy fails: 0 x 0, and fitting it
    // keeps the box's size.
    Board.Fail = false;
    Board.FailBitmapRead = true;
    Image.Picture().SetGraphic(std::make_unique<TJPEGImage>());
    Image.resize(300, 150);
    EXPECT_FALSE(PastePicture(Image));
    ASSERT_NE(dynamic_cast<TBitmap*>(Image.Picture().Graphic()), nullptr);
    EXPECT_EQ(Image.Picture().Width(), 0);
    FitImageToBox(Image, 300, 200);
    EXPECT_EQ(Image.size(), QSize(300, 150));
}

class BlobTest : public testing::Test {
protected:
    void SetUp() override {
        const QString path = Dir.filePath(QStringLiteral("cook.mdb"));
        ASSERT_TRUE(CreateAccessDatabase(path, QString()));
        ASSERT_TRUE(ConnectAccessDatabase(Connection, path, QString()));
        ASSERT_TRUE(
            ExecSql(Query, QStringLiteral("create table mycook(菜名 char(30),原料 "
                                          "char(255),做法 memo,说明 char(255),img image)")));
        ASSERT_TRUE(OpenTable(Query, QStringLiteral("mycook")));
        Query.AppendRecord({QStringLiteral("鱼"), QString(), QString(), QString()});
        ASSERT_TRUE(Query.Locate(QStringLiteral("菜名"), QStringLiteral("鱼")));
    }
    QTemporaryDir Dir;
    TADOConnection Connection;
    TADOQuery Query{&Connection};
};

TEST_F(BlobTest, NoPictureStoresNothing) {
    TImage image;
    EXPECT_FALSE(SavePictureToBlob(image, QStringLiteral("img"), Query));
    EXPECT_TRUE(Query.FieldByName(QStringLiteral("img")).IsNull());
    // Loading a null column clears the control.
    image.Picture().SetGraphic(Bitmap(3, 3));
    EXPECT_TRUE(LoadPictureFromBlob(image, QStringLiteral("img"), Query));
    EXPECT_EQ(image.Picture().Graphic(), nullptr);
}

TEST_F(BlobTest, BitmapIsStoredAsJpegAndReadsBackAsJpeg) {
    TImage image;
    image.Picture().SetGraphic(Bitmap(64, 48, QColor(200, 40, 40)));
    ASSERT_TRUE(SavePictureToBlob(image, QStringLiteral("img"), Query));
    const QByteArray stored = Query.FieldByName(QStringLiteral("img")).AsBytes();
    ASSERT_GT(stored.size(), 4);
    EXPECT_EQ(quint8(stored[0]), 0xFF);
    EXPECT_EQ(quint8(stored[1]), 0xD8);

    TImage view;
    ASSERT_TRUE(LoadPictureFromBlob(view, QStringLiteral("img"), Query));
    auto* jpeg = dynamic_cast<TJPEGImage*>(view.Picture().Graphic());
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->Data(), stored);
    const QImage decoded = jpeg->ToImage();
    EXPECT_EQ(decoded.size(), QSize(64, 48));
    EXPECT_NEAR(QColor(decoded.pixel(30, 20)).red(), 200, 8);
}

TEST_F(BlobTest, JpegBytesAreStoredUnchangedAndBadBytesLoadWithoutComplaint) {
    TImage image;
    auto jpeg = std::make_unique<TJPEGImage>();
    const QByteArray garbage("\xFF\xD8 definitely not a real jpeg", 30);
    jpeg->SetData(garbage);
    image.Picture().SetGraphic(std::move(jpeg));
    ASSERT_TRUE(SavePictureToBlob(image, QStringLiteral("img"), Query));
    EXPECT_EQ(Query.FieldByName(QStringLiteral("img")).AsBytes(), garbage);

    TImage view;
    EXPECT_TRUE(LoadPictureFromBlob(view, QStringLiteral("img"), Query));
    auto* loaded = dynamic_cast<TJPEGImage*>(view.Picture().Graphic());
    ASSERT_NE(loaded, nullptr);
    EXPECT_THROW(loaded->ToImage(), EJPEG); // the error waits for the decode
}
} // namespace
