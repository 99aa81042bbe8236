#include "RtfWriter.h"
#include "../common/TestFiles.h"
#include "RtfProperties.h"
#include "RtfReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Accepts failAfter bytes, then refuses every write.
class TBrokenAfterDevice : public QIODevice {
public:
    explicit TBrokenAfterDevice(qint64 failAfter) : FLeft(failAfter) { open(QIODevice::WriteOnly); }
    QByteArray Data;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (FLeft <= 0)
            return -1;
        const qint64 n = std::min(size, FLeft); // a short write first, like a full disk
        Data.append(data, n);
        FLeft -= n;
        return n;
    }

private:
    qint64 FLeft;
};

QTextDocument* MakeDocument(const QString& text) {
    auto* doc = new QTextDocument;
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    doc->setDefaultFont(font);
    doc->setPlainText(text);
    return doc;
}

QImage TestPattern(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    return image;
}

// Incompressible pixels, so the picture data is large.
QImage NoisePicture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            image.setPixel(x, y, seed >> 8);
        }
    return image;
}

QByteArray JpegOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

// Appends a picture at the end the way the embedder does.
void AppendPicture(QTextDocument& doc, const QImage& image, const QString& name,
                   const QByteArray& jpeg = {}, QSize shown = {}) {
    doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(shown.isValid() ? shown.width() : image.width());
    format.setHeight(shown.isValid() ? shown.height() : image.height());
    if (!jpeg.isEmpty())
        format.setProperty(RichExJpegProperty, jpeg);
    QTextCursor cursor(&doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertImage(format);
}

// ---- text ----------------------------------------------------------------

struct TTextCase {
    const char* Label;
    QString Input;
    QByteArray Fallback; // what a reader without Unicode support shows
};

void PrintTo(const TTextCase& c, std::ostream* os) {
    *os << c.Label;
}

class RtfTextTest : public testing::TestWithParam<TTextCase> {};

TEST_P(RtfTextTest, ReadsBackUnicodeAndFallback) {
    const TTextCase& c = GetParam();
    std::unique_ptr<QTextDocument> doc(MakeDocument(c.Input));
    const QByteArray rtf = DocumentToRtf(*doc);
    const TRtfContent content = ReadRtf(rtf);
    ASSERT_TRUE(content.WellFormed) << rtf.constData();
    EXPECT_EQ(content.Text, c.Input + u'\n') << rtf.constData();
    EXPECT_EQ(content.Fallback, c.Fallback + '\n') << rtf.constData();
    for (char ch : rtf) // pure 7-bit output
        ASSERT_TRUE(uchar(ch) < 0x80);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfTextTest,
    testing::Values(
        TTextCase{"Plain", QStringLiteral("Tomato 2 pcs"), "Tomato 2 pcs"},
        TTextCase{"Backslash", QStringLiteral("a\\b\\\\c"), "a\\b\\\\c"},
        TTextCase{"Braces", QStringLiteral("{x} }{ \\par"), "{x} }{ \\par"},
        TTextCase{"Cjk", QStringLiteral("中文"), "\xd6\xd0\xce\xc4"},
        // code units above 0x7FFF must come out as negative \u values
        TTextCase{"FullWidth", QStringLiteral("！～"), "\xa3\xa1\xa1\xab"},
        TTextCase{"NotInGb2312", QStringLiteral("€é"), "?\xa8\xa6"},
        TTextCase{"SwitchingSkipCount", QStringLiteral("中€中€x"), "\xd6\xd0?\xd6\xd0?x"},
        TTextCase{"Emoji", QStringLiteral("a😀b"), "a??b"},
        TTextCase{"ExtensionB", QStringLiteral("𠀀"), "??"},
        TTextCase{"DigitAfterUnicode", QStringLiteral("中1€2"),
                  "\xd6\xd0"
                  "1?2"},
        TTextCase{"TabAndLineBreak", QStringLiteral("a\tb") + QChar(0x2028) + QStringLiteral("c"),
                  "a\tb\nc"},
        TTextCase{"SpaceAfterControlWord", QStringLiteral("a\t b"), "a\t b"}),
    [](const auto& info) { return std::string(info.param.Label); });

TEST(RtfWriter, RandomTextsReadBackExactly) {
    // Pieces chosen where writers go wrong: escapes, digits after \u, skip-count
    // changes, negative \u values, surrogate pairs, control words needing a delimiter.
    const QString pieces[] = {
        QStringLiteral("a"),    QStringLiteral("7"),    QStringLiteral(" "),
        QStringLiteral("\\"),   QStringLiteral("{"),    QStringLiteral("}"),
        QStringLiteral("?"),    QStringLiteral("中"),   QStringLiteral("！"),
        QStringLiteral("€"),    QStringLiteral("é"),    QStringLiteral("\t"),
        QString(QChar(0x2028)), QString(QChar(0x00A0)), QString(QChar(0x0080)),
        QString(QChar(0xFFFF)), QStringLiteral("😀"),    QStringLiteral("𠀀"),
        QStringLiteral("\n")};
    quint32 seed = 7;
    for (int round = 0; round < 2000; ++round) {
        QString text;
        seed = seed * 1664525u + 1013904223u;
        const int length = int(seed >> 27);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1664525u + 1013904223u;
            text += pieces[(seed >> 16) % std::size(pieces)];
        }
        QTextDocument doc;
        doc.setPlainText(text);
        const QByteArray rtf = DocumentToRtf(doc);
        const TRtfContent content = ReadRtf(rtf);
        ASSERT_TRUE(content.WellFormed) << rtf.constData();
        const QString expected = doc.isEmpty() ? QString() : text + u'\n';
        ASSERT_EQ(content.Text, expected) << rtf.constData();
    }
}

TEST(RtfWriter, LoneSurrogateBecomesReplacementCharacter) {
    QTextDocument doc;
    QTextCursor(&doc).insertText(QString(QChar(0xD800)) + QStringLiteral("x"));
    const TRtfContent content = ReadRtf(DocumentToRtf(doc));
    ASSERT_TRUE(content.WellFormed);
    EXPECT_EQ(content.Text, QStringLiteral("\uFFFDx\n"));
}

TEST(RtfWriter, ParagraphsInOrderIncludingEmptyOnes) {
    const QString text = QStringLiteral("红烧肉\n原料:\n五花肉\n\n做法:\n");
    std::unique_ptr<QTextDocument> doc(MakeDocument(text));
    const TRtfContent content = ReadRtf(DocumentToRtf(*doc));
    ASSERT_TRUE(content.WellFormed);
    EXPECT_EQ(content.Text, text + u'\n');
}

TEST(RtfWriter, EmptyDocumentIsValidAndEmpty) {
    QTextDocument doc;
    const QByteArray rtf = DocumentToRtf(doc);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg936\\deff0"));
    const TRtfContent content = ReadRtf(rtf);
    EXPECT_TRUE(content.WellFormed);
    EXPECT_TRUE(content.Text.isEmpty());
    EXPECT_TRUE(content.Pictures.empty());
}

TEST(RtfWriter, FontTableNamesSongInGb2312) {
    QTextDocument doc;
    const QByteArray rtf = DocumentToRtf(doc);
    EXPECT_TRUE(rtf.contains("{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5")) << rtf.constData();
}

TEST(RtfWriter, FontSizeFromPixelOrPointSize) {
    struct {
        int Pixels;
        double Points;
        const char* Expected;
    } cases[] = {{16, 0, "\\fs24 "}, {20, 0, "\\fs30 "}, {0, 10.5, "\\fs21 "}, {0, 9, "\\fs18 "}};
    for (const auto& c : cases) {
        QTextDocument doc;
        QFont font;
        if (c.Pixels > 0)
            font.setPixelSize(c.Pixels);
        else
            font.setPointSizeF(c.Points);
        doc.setDefaultFont(font);
        doc.setPlainText(QStringLiteral("x"));
        EXPECT_TRUE(DocumentToRtf(doc).contains(c.Expected)) << c.Expected;
    }
}

// ---- pictures -------------------------------------------------------------

TEST(RtfPicture, JpegPropertyIsWrittenUnchanged) {
    const QImage image = TestPattern(37, 23);
    const QByteArray jpeg = JpegOf(image);
    std::unique_ptr<QTextDocument> doc(MakeDocument(QStringLiteral("菜")));
    AppendPicture(*doc, image, QStringLiteral("richex://1"), jpeg);
    const TRtfContent content = ReadRtf(DocumentToRtf(*doc));
    ASSERT_TRUE(content.WellFormed);
    ASSERT_EQ(content.Pictures.size(), 1u);
    const TRtfPicture& pict = content.Pictures[0];
    EXPECT_EQ(pict.Kind, "jpegblip");
    EXPECT_EQ(pict.Data, jpeg);
    EXPECT_EQ(pict.PicW, 37);
    EXPECT_EQ(pict.PicH, 23);
    EXPECT_EQ(pict.GoalW, 37 * 15);
    EXPECT_EQ(pict.GoalH, 23 * 15);
}

TEST(RtfPicture, BitmapBecomesPngWithSamePixels) {
    QImage image = TestPattern(65, 3); // more than one hex line, odd sizes
    std::unique_ptr<QTextDocument> doc(MakeDocument(QStringLiteral("x")));
    AppendPicture(*doc, image, QStringLiteral("richex://2"));
    const TRtfContent content = ReadRtf(DocumentToRtf(*doc));
    ASSERT_TRUE(content.WellFormed);
    ASSERT_EQ(content.Pictures.size(), 1u);
    const TRtfPicture& pict = content.Pictures[0];
    EXPECT_EQ(pict.Kind, "pngblip");
    const QImage back = QImage::fromData(pict.Data, "PNG");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);
    EXPECT_EQ(pict.GoalW, 65 * 15);
    EXPECT_EQ(pict.GoalH, 3 * 15);
}

TEST(RtfPicture, ShownSizeComesFromTheFormat) {
    const QImage image = TestPattern(40, 20);
    QTextDocument doc;
    AppendPicture(doc, image, QStringLiteral("a"), {}, QSize(80, 40));
    const TRtfContent content = ReadRtf(DocumentToRtf(doc));
    ASSERT_EQ(content.Pictures.size(), 1u);
    EXPECT_EQ(content.Pictures[0].PicW, 40);
    EXPECT_EQ(content.Pictures[0].GoalW, 80 * 15);
    EXPECT_EQ(content.Pictures[0].GoalH, 40 * 15);
}

TEST(RtfPicture, BrokenJpegPropertyFallsBackToPng) {
    const QImage image = TestPattern(5, 4);
    for (const QByteArray& junk :
         {QByteArray("not a jpeg"), QByteArray("\xff\xd8\xff", 3), QByteArray()}) {
        QTextDocument doc;
        AppendPicture(doc, image, QStringLiteral("p"), junk.isEmpty() ? QByteArray() : junk);
        const TRtfContent content = ReadRtf(DocumentToRtf(doc));
        ASSERT_EQ(content.Pictures.size(), 1u);
        EXPECT_EQ(content.Pictures[0].Kind, "pngblip");
        EXPECT_EQ(content.Pictures[0].PicW, 5);
    }
}

TEST(RtfPicture, MissingResourceWritesNoPicture) {
    QTextDocument doc;
    QTextImageFormat format;
    format.setName(QStringLiteral("richex://nowhere"));
    QTextCursor(&doc).insertImage(format);
    const TRtfContent content = ReadRtf(DocumentToRtf(doc));
    EXPECT_TRUE(content.WellFormed);
    EXPECT_TRUE(content.Pictures.empty());
}

TEST(RtfPicture, TwoPicturesBetweenText) {
    QTextDocument doc;
    AppendPicture(doc, TestPattern(3, 3), QStringLiteral("a"));
    QTextCursor(&doc).insertText(QStringLiteral("中"));
    AppendPicture(doc, TestPattern(4, 4), QStringLiteral("a")); // same name: same resource
    AppendPicture(doc, TestPattern(2, 2), QStringLiteral("b"));
    const TRtfContent content = ReadRtf(DocumentToRtf(doc));
    ASSERT_TRUE(content.WellFormed);
    ASSERT_EQ(content.Pictures.size(), 3u);
    EXPECT_EQ(content.Pictures[2].PicW, 2);
    EXPECT_EQ(content.Text, QStringLiteral("中\n"));
}

TEST(RtfHex, LinesAreBoundedAndDecodeBack) {
    for (qsizetype n : {0, 1, 63, 64, 65, 128, 1000}) {
        QByteArray input(n, Qt::Uninitialized);
        for (qsizetype i = 0; i < n; ++i)
            input[i] = char(i * 37 + 11);
        QByteArray hex(RtfHexSize(n), '#');
        char* end = WriteRtfHex(reinterpret_cast<const uchar*>(input.constData()), n, hex.data());
        ASSERT_EQ(end - hex.constData(), hex.size()) << n;
        for (const QByteArray& line : hex.split('\n'))
            EXPECT_LE(line.size(), 128);
        EXPECT_EQ(QByteArray::fromHex(hex), input) << n;
        EXPECT_LE(hex.size(), 2 * n + n / 64 + 1);
    }
}

// ---- devices and files ------------------------------------------------------

TEST(RtfDevice, EveryFailedWriteIsReported) {
    std::unique_ptr<QTextDocument> doc(MakeDocument(QStringLiteral("红烧肉\n五花肉")));
    AppendPicture(*doc, NoisePicture(200, 200), QStringLiteral("big")); // > one flush
    const QByteArray whole = DocumentToRtf(*doc);
    ASSERT_GT(whole.size(), 70000);
    for (qint64 failAfter :
         {qint64(0), qint64(10), qint64(65535), qint64(70000), qint64(whole.size() - 1)}) {
        TBrokenAfterDevice device(failAfter);
        try {
            WriteRtf(*doc, device);
            FAIL() << "no error after " << failAfter;
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("写入出错"));
        }
    }
    TBrokenAfterDevice roomy(whole.size());
    WriteRtf(*doc, roomy);
    EXPECT_EQ(roomy.Data, whole);
}

TEST(RtfDevice, ClosedDeviceIsAnError) {
    QTextDocument doc;
    QBuffer buffer;
    EXPECT_THROW(WriteRtf(doc, buffer), EWriteError);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_THROW(WriteRtf(doc, buffer), EWriteError);
}

class RtfSaveTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath(QStringLiteral("菜谱.rtf"));
        ASSERT_TRUE(WriteFile(FPath, "old content"));
    }
    QByteArray Contents() {
        QFile f(FPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir FDir;
    QString FPath;
};

TEST_F(RtfSaveTest, ReplacesExistingFile) {
    std::unique_ptr<QTextDocument> doc(MakeDocument(QStringLiteral("新")));
    SaveRtfFileAtomically(*doc, FPath);
    EXPECT_EQ(Contents(), DocumentToRtf(*doc));
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(RtfSaveTest, FailedWriteKeepsExistingFileAndLeavesNoTemporary) {
    std::unique_ptr<QTextDocument> doc(MakeDocument(QStringLiteral("新")));
    try {
        SaveRtfFileAtomically(*doc, FPath, [](const QTextDocument& d, QIODevice& device) {
            device.write("{\\rtf1 half");
            throw EWriteError(QStringLiteral("写入出错"));
        });
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("无法建立文件“")))
            << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QDir::toNativeSeparators(FPath)));
    }
    EXPECT_EQ(Contents(), "old content");
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(RtfSaveTest, MissingFolderIsAnError) {
    QTextDocument doc;
    const QString path = FDir.filePath(QStringLiteral("no/such/菜谱.rtf"));
    try {
        SaveRtfFileAtomically(doc, path);
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_TRUE(e.Message().startsWith(
            QStringLiteral("无法建立文件“%1”：").arg(QDir::toNativeSeparators(path))))
            << e.Message().toStdString();
    }
}

TEST_F(RtfSaveTest, ReadOnlyFolderKeepsExistingFile) {
    QFile::setPermissions(FDir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(FDir.filePath(QStringLiteral("probe")));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(FDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
        GTEST_SKIP() << "permissions are not enforced for this user";
    }
    QTextDocument doc;
    EXPECT_THROW(SaveRtfFileAtomically(doc, FPath), EWriteError);
    QFile::setPermissions(FDir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(Contents(), "old content");
}

} // namespace
