// Opens our RTF in LibreOffice (converted to HTML) and checks that the seven
// recipe lines and the picture come out as a reader would show them.
#include "RtfProperties.h"
#include "RtfWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

enum class TPictureKind { None, Jpeg, Bitmap };

struct TRecipe {
    const char* Label;
    QString Name, Ingredients, Method, Note;
    TPictureKind Picture;
    QSize Size;
};

const TRecipe Recipes[] = {
    {"jpeg", QStringLiteral("红烧肉"), QStringLiteral("五花肉 500克，冰糖"),
     QStringLiteral("切块焯水，小火慢炖一小时。"), QStringLiteral("肥而不腻"), TPictureKind::Jpeg,
     QSize(160, 120)},
    {"bitmap", QStringLiteral("番茄炒蛋"), QStringLiteral("番茄两个，鸡蛋三个"),
     QStringLiteral("先炒蛋，再炒番茄。"), QStringLiteral("家常"), TPictureKind::Bitmap,
     QSize(90, 61)},
    {"nopicture", QStringLiteral("白粥"), QStringLiteral("大米"), QStringLiteral("熬。"),
     QStringLiteral("无"), TPictureKind::None, QSize()},
    {"multiline", QStringLiteral("饺子"), QStringLiteral("面粉\n猪肉\n白菜"),
     QStringLiteral("1. 和面\n2. 调馅\n3. 包好下锅"), QStringLiteral("蘸醋"), TPictureKind::Bitmap,
     QSize(33, 47)},
    {"special", QStringLiteral("C:\\菜谱\\{新}"), QStringLiteral("a{b}c \\par \\u123"),
     QStringLiteral("}{\\"), QStringLiteral("tab\there"), TPictureKind::None, QSize()},
    {"outside", QStringLiteral("笑脸😀饭"), QStringLiteral("𠀀字"), QStringLiteral("€5 ₩ é"),
     QStringLiteral("😀𠀀"), TPictureKind::Jpeg, QSize(20, 10)},
};

void PrintTo(const TRecipe& recipe, std::ostream* os) {
    *os << recipe.Label;
}

QImage Picture(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), 128));
    return image;
}

QStringList SevenLines(const TRecipe& r) {
    return {r.Name,   QStringLiteral("原料:"), r.Ingredients, QStringLiteral("做法:"),
            r.Method, QStringLiteral("说明:"), r.Note};
}

// The recipe view's document: the lines, then the picture after them.
std::unique_ptr<QTextDocument> RecipeDocument(const TRecipe& r) {
    auto doc = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    doc->setDefaultFont(font);
    QTextCursor cursor(doc.get());
    cursor.insertText(SevenLines(r).join(u'\n'));
    if (r.Picture == TPictureKind::None)
        return doc;
    cursor.insertBlock();
    const QImage image = Picture(r.Size);
    const QString name = QStringLiteral("richex://1");
    doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(image.width());
    format.setHeight(image.height());
    if (r.Picture == TPictureKind::Jpeg) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG", 90);
        format.setProperty(RichExJpegProperty, jpeg);
    }
    cursor.insertImage(format);
    return doc;
}

class LibreOfficeTest : public testing::TestWithParam<TRecipe> {
public:
    static void SetUpTestSuite() {
        FOffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (FOffice.isEmpty())
            return;
        FDir = std::make_unique<QTemporaryDir>();
        QStringList arguments{
            QStringLiteral("-env:UserInstallation=%1")
                .arg(QUrl::fromLocalFile(FDir->filePath(QStringLiteral("profile"))).toString()),
            QStringLiteral("--headless"),
            QStringLiteral("--convert-to"),
            QStringLiteral("html"),
            QStringLiteral("--outdir"),
            FDir->filePath(QStringLiteral("out"))};
        for (const TRecipe& r : Recipes) {
            const QString path = FDir->filePath(QString::fromLatin1(r.Label) + ".rtf");
            SaveRtfFileAtomically(*RecipeDocument(r), path);
            arguments << path;
        }
        QProcess office; // one start for all files: the office suite starts slowly
        office.start(FOffice, arguments);
        if (!office.waitForFinished(180'000))
            office.kill();
        FLog = office.readAllStandardOutput() + office.readAllStandardError();
    }
    static void TearDownTestSuite() { FDir.reset(); }

protected:
    static inline QString FOffice;
    static inline std::unique_ptr<QTemporaryDir> FDir;
    static inline QByteArray FLog;
};

TEST_P(LibreOfficeTest, ShowsSevenLinesAndPicture) {
    if (FOffice.isEmpty())
        GTEST_SKIP() << "soffice is not installed";
    const TRecipe& r = GetParam();
    const QString outDir = FDir->filePath(QStringLiteral("out"));
    QFile htmlFile(QDir(outDir).filePath(QString::fromLatin1(r.Label) + ".html"));
    ASSERT_TRUE(htmlFile.open(QIODevice::ReadOnly)) << FLog.constData();
    const QString html = QString::fromUtf8(htmlFile.readAll());

    QTextDocument shown;
    shown.setHtml(html);
    QString text = shown.toPlainText();
    text.remove(QChar::ObjectReplacementCharacter);
    text.replace(QChar::Nbsp, u' ');
    text.replace(u'\t', u' '); // HTML shows a tab as white space
    QStringList lines = text.split(u'\n');
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    const QStringList expected = SevenLines(r).join(u'\n').replace(u'\t', u' ').split(u'\n');
    EXPECT_EQ(lines, expected) << html.toStdString();

    static const QRegularExpression imageTag(QStringLiteral("<img[^>]*\\ssrc=\"([^\"]+)\""));
    QStringList sources;
    for (const auto& match : imageTag.globalMatch(html))
        sources << QUrl::fromPercentEncoding(match.captured(1).toUtf8());
    if (r.Picture == TPictureKind::None) {
        EXPECT_TRUE(sources.isEmpty());
        return;
    }
    ASSERT_EQ(sources.size(), 1) << html.toStdString();
    QFile pictureFile(QDir(outDir).filePath(sources[0]));
    ASSERT_TRUE(pictureFile.open(QIODevice::ReadOnly)) << sources[0].toStdString();
    const QByteArray pictureBytes = pictureFile.readAll();
    if (r.Picture == TPictureKind::Jpeg) { // taken over as JPEG, not re-encoded
        EXPECT_TRUE(pictureBytes.startsWith("\xff\xd8")) << sources[0].toStdString();
    }
    const QImage picture = QImage::fromData(pictureBytes);
    ASSERT_FALSE(picture.isNull()) << sources[0].toStdString();
    EXPECT_EQ(picture.size(), r.Size);
    // colours survive (JPEG only approximately)
    const QRgb corner = picture.pixel(r.Size.width() - 1, r.Size.height() - 1);
    EXPECT_NEAR(qRed(corner), 254 * (r.Size.width() - 1) / r.Size.width(), 12);
    EXPECT_NEAR(qBlue(corner), 128, 12);
}

INSTANTIATE_TEST_SUITE_P(Recipes, LibreOfficeTest, testing::ValuesIn(Recipes),
                         [](const auto& info) { return std::string(info.param.Label); });

} // namespace
