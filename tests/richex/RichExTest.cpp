#include "RichEx.h"
#include "RtfProperties.h"
#include "RtfReader.h"
#include "RtfWriter.h"

#include <QBuffer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

namespace {

QImage Pattern(int w, int h, QImage::Format format = QImage::Format_RGB32, int seed = 0) {
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgba((x + seed) % 256, (y * 3) % 256, seed % 256, 255));
    return image;
}

TBitmap BitmapOf(const QImage& image) {
    TBitmap bitmap;
    bitmap.SetImage(image);
    return bitmap;
}

struct TObject {
    int Position;
    QTextImageFormat Format;
};

// Every picture object of the document, in text order.
std::vector<TObject> Objects(const QTextDocument& doc) {
    std::vector<TObject> found;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.charFormat().isImageFormat())
                continue;
            for (int i = 0; i < f.length(); ++i)
                found.push_back({f.position() + i, f.charFormat().toImageFormat()});
        }
    return found;
}

QImage Resource(const QTextDocument& doc, const QTextImageFormat& format) {
    return doc.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
}

// ---- refused inputs ---------------------------------------------------------

struct TNotRichCase {
    const char* Label;
    std::function<QWidget*()> Make;
};

class RichExNotRichTest : public testing::TestWithParam<TNotRichCase> {};

TEST_P(RichExNotRichTest, FailsTheAssertionAndInsertsNothing) {
    std::unique_ptr<QWidget> widget(GetParam().Make());
    const TBitmap bitmap = BitmapOf(Pattern(4, 4));
    try {
        InsertBitmapIntoRichEdit(widget.get(), bitmap);
        FAIL() << "no error";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("RichEditOle is null! (RichEx, line 330)"));
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget.get())) {
        EXPECT_TRUE(plain->document()->isEmpty());
    }
    // The check comes first: even an empty bitmap gives the assertion.
    EXPECT_THROW(InsertBitmapIntoRichEdit(widget.get(), TBitmap()), EAssertionFailed);
}

INSTANTIATE_TEST_SUITE_P(Widgets, RichExNotRichTest,
                         testing::Values(TNotRichCase{"Null",
                                                      [] {
                                                          return static_cast<QWidget*>(nullptr);
                                                      }},
                                         TNotRichCase{"LineEdit",
                                                      [] {
                                                          return new QLineEdit;
                                                      }},
                                         TNotRichCase{"PlainTextEdit",
                                                      [] {
                                                          return new QPlainTextEdit;
                                                      }},
                                         TNotRichCase{"Label",
                                                      [] {
                                                          return new QLabel(QStringLiteral("x"));
                                                      }}),
                         [](const auto& info) { return std::string(info.param.Label); });

TEST(RichEx, EmptyBitmapIsAHandleError) {
    const QImage empties[] = {QImage(), QImage(0, 5, QImage::Format_RGB32)};
    for (const QImage& empty : empties) {
        QTextEdit edit;
        edit.setPlainText(QStringLiteral("文本"));
        try {
            InsertBitmapIntoRichEdit(&edit, BitmapOf(empty));
            FAIL() << "no error";
        } catch (const EOleSysError& e) {
            EXPECT_EQ(e.ErrorCode(), 0x80070006u);
            EXPECT_EQ(e.Message(), QStringLiteral("OLE error 80070006"));
        }
        EXPECT_EQ(edit.toPlainText(), QStringLiteral("文本"));
        EXPECT_TRUE(Objects(*edit.document()).empty());
    }
}

// ---- insertion --------------------------------------------------------------

TEST(RichEx, PictureLargerThanTheBoxKeepsItsPixelSize) {
    QTextEdit edit;
    edit.resize(120, 90);
    edit.setReadOnly(true);
    edit.show();
    const QImage image = Pattern(500, 400);
    ASSERT_TRUE(InsertBitmapIntoRichEdit(&edit, BitmapOf(image)));
    (void)edit.grab(); // lay out and paint as the view would
    const auto objects = Objects(*edit.document());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].Format.width(), 500);
    EXPECT_EQ(objects[0].Format.height(), 400);
    EXPECT_GE(edit.document()->size().width(), 500);
    EXPECT_GE(edit.document()->size().height(), 400);
    const QImage stored = Resource(*edit.document(), objects[0].Format);
    EXPECT_EQ(stored.size(), QSize(500, 400));
}

TEST(RichEx, EachInsertionGoesAtTheSelectionOfItsCall) {
    QTextEdit edit;
    edit.setReadOnly(true); // the view's box; insertion must still work
    edit.setPlainText(QStringLiteral("abcdef"));
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(1);
    cursor.setPosition(3, QTextCursor::KeepAnchor); // "bc" selected: replaced
    edit.setTextCursor(cursor);
    EXPECT_TRUE(InsertBitmapIntoRichEdit(&edit, BitmapOf(Pattern(10, 20))));
    EXPECT_EQ(edit.textCursor().position(), 2); // caret after the object

    cursor.setPosition(edit.document()->characterCount() - 1); // the end
    edit.setTextCursor(cursor);
    EXPECT_TRUE(InsertBitmapIntoRichEdit(&edit, BitmapOf(Pattern(30, 40))));

    EXPECT_EQ(edit.toPlainText(), QStringLiteral("a\uFFFCdef\uFFFC"));
    const auto objects = Objects(*edit.document());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].Position, 1);
    EXPECT_EQ(objects[1].Position, 5);
    EXPECT_NE(objects[0].Format.name(), objects[1].Format.name());
    EXPECT_EQ(Resource(*edit.document(), objects[0].Format).size(), QSize(10, 20));
    EXPECT_EQ(Resource(*edit.document(), objects[1].Format).size(), QSize(30, 40));
}

TEST(RichEx, JpegBytesTravelWithThePicture) {
    QTextEdit edit;
    TBitmap withJpeg = BitmapOf(Pattern(8, 8));
    const QByteArray jpeg("\xff\xd8 pretend jpeg", 16);
    withJpeg.SetSourceJpeg(jpeg);
    InsertBitmapIntoRichEdit(&edit, withJpeg);
    InsertBitmapIntoRichEdit(&edit, BitmapOf(Pattern(8, 8)));
    const auto objects = Objects(*edit.document());
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].Format.property(RichExJpegProperty).toByteArray(), jpeg);
    EXPECT_FALSE(objects[1].Format.hasProperty(RichExJpegProperty));
}

// ---- the screen copy ----------------------------------------------------------

TEST(RichEx, ScreenCopyKeepsSizeAndPixels) {
    struct {
        QImage::Format Source;
        QImage::Format Expected;
    } cases[] = {{QImage::Format_RGB32, QImage::Format_RGB32},
                 {QImage::Format_RGB888, QImage::Format_RGB32},
                 {QImage::Format_Indexed8, QImage::Format_RGB32},
                 {QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied}};
    for (const auto& c : cases) {
        const QImage source = Pattern(17, 9).convertToFormat(c.Source);
        const QImage copy = CopyToScreenBitmap(BitmapOf(source));
        EXPECT_EQ(copy.size(), QSize(17, 9));
        EXPECT_EQ(copy.format(), c.Expected) << c.Source;
        EXPECT_EQ(copy.convertToFormat(QImage::Format_RGB32),
                  source.convertToFormat(QImage::Format_RGB32))
            << c.Source;
    }
    EXPECT_TRUE(CopyToScreenBitmap(TBitmap()).isNull());
}

// ---- many views -----------------------------------------------------------------

qint64 ResidentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

// Freed blocks wait in AddressSanitizer's quarantine (256 MB) before memory is reused.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 AllocatorSlack = 320LL << 20;
#else
constexpr qint64 AllocatorSlack = 0;
#endif

TEST(RichEx, ManyViewsKeepNoEarlierPicture) {
    QTextEdit edit;
    edit.setReadOnly(true);
    edit.resize(400, 300);
    edit.show();
    std::vector<QString> earlier;
    qint64 baseline = -1;
    constexpr int Views = 1000;
    for (int view = 0; view < Views; ++view) {
        edit.clear(); // as the view does before each recipe
        for (const QString& name : earlier)
            ASSERT_TRUE(
                edit.document()->resource(QTextDocument::ImageResource, QUrl(name)).isNull())
                << "view " << view << " still holds " << name.toStdString();
        earlier.clear();
        edit.append(QStringLiteral("菜名 %1\n原料:\n...").arg(view));
        // a distinct 1000 x 1000 picture each time, so a kept one costs 4 MB
        QImage image(1000, 1000, QImage::Format_RGB32);
        image.fill(qRgb(view % 256, 0, 0));
        TBitmap bitmap = BitmapOf(image);
        ASSERT_TRUE(InsertBitmapIntoRichEdit(&edit, bitmap));
        if (view % 10 == 0)
            (void)edit.grab(); // painting turns the resource into a pixmap
        for (const TObject& o : Objects(*edit.document()))
            earlier.push_back(o.Format.name());
        ASSERT_EQ(earlier.size(), 1u);
        if (view == 50)
            baseline = ResidentBytes();
        if (baseline > 0 && view % 50 == 0) { // stop early rather than exhaust the machine
            ASSERT_LT(ResidentBytes() - baseline, (200LL << 20) + AllocatorSlack)
                << "after view " << view;
        }
    }
    if (baseline < 0)
        GTEST_SKIP() << "no /proc/self/statm";
    // A kept picture costs 4 MB: keeping them all would pass 3.8 GB by now.
    EXPECT_LT(ResidentBytes() - baseline, (64LL << 20) + AllocatorSlack);
}

// ---- export ---------------------------------------------------------------------

TEST(RichEx, ExportedDocumentCarriesThePicture) {
    QTextEdit edit;
    edit.setReadOnly(true);
    edit.show();
    edit.append(QStringLiteral("红烧肉"));
    const QImage image = Pattern(61, 33);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 90);
    }
    TBitmap photo = BitmapOf(image);
    photo.SetSourceJpeg(jpeg);
    InsertBitmapIntoRichEdit(&edit, photo);
    InsertBitmapIntoRichEdit(&edit, BitmapOf(image)); // no JPEG: pixels go out
    (void)edit.grab(); // painted: the resource may now be held as a pixmap

    const TRtfContent rtf = ReadRtf(DocumentToRtf(*edit.document()));
    ASSERT_TRUE(rtf.WellFormed);
    EXPECT_EQ(rtf.Text, QStringLiteral("红烧肉\n"));
    ASSERT_EQ(rtf.Pictures.size(), 2u);
    EXPECT_EQ(rtf.Pictures[0].Kind, "jpegblip");
    EXPECT_EQ(rtf.Pictures[0].Data, jpeg);
    EXPECT_EQ(rtf.Pictures[1].Kind, "pngblip");
    EXPECT_EQ(QImage::fromData(rtf.Pictures[1].Data).convertToFormat(QImage::Format_RGB32), image);
    for (const TRtfPicture& p : rtf.Pictures) {
        EXPECT_EQ(p.GoalW, 61 * 15);
        EXPECT_EQ(p.GoalH, 33 * 15);
    }
}

} // namespace
