// Dropping onto the entry page's picture box: files as "打开图片", bitmaps as "粘贴图片".
#include "../common/TestFiles.h"
#include "ExtrasSupport.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {
class DropTest : public TExtrasFixture {
protected:
    void SetUp() override { Open(); }
    QString Picture(const QString& name, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(image.save(path, QFileInfo(name).suffix().toUpper() == "BMP" ? "BMP" : "JPG"));
        return path;
    }
    static std::unique_ptr<QMimeData> Files(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
    // Offers the data to the box as a drag would; answers whether it was taken.
    bool DragOver(const QMimeData& data) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(Ui().Image2, &enter);
        return enter.isAccepted();
    }
    bool Drop(const QMimeData& data) {
        if (!DragOver(data))
            return false;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Ui().Image2, &drop);
        return drop.isAccepted();
    }
    const char* Kind() {
        const TGraphic* g = Ui().Image2->Picture().Graphic();
        return g ? g->ClassName() : "none";
    }
};

TEST_F(DropTest, PictureFileLoadsAndFitsAsTheOpenButtonDoes) {
    struct TCase {
        const char* File;
        QSize Size, Box;
        const char* Kind;
    };
    const TCase cases[] = {
        {"photo.jpg", {1024, 768}, {267, 200}, "TJPEGImage"},
        {"WIDE.JPEG", {800, 200}, {300, 75}, "TJPEGImage"},
        {"small.bmp", {100, 50}, {300, 150}, "TBitmap"},
    };
    EXPECT_TRUE(Ui().Image2->acceptDrops());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        const QString path = Picture(QString::fromUtf8(c.File), c.Size);
        EXPECT_TRUE(Drop(*Files({path})));
        EXPECT_STREQ(Kind(), c.Kind);
        EXPECT_EQ(Ui().Image2->size(), c.Box);
        EXPECT_EQ(Ui().Image2->Picture().Width(), c.Size.width()) << "own pixels kept";
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(DropTest, OtherDropsAreRefused) {
    const QString jpg = Picture(QStringLiteral("a.jpg"), {40, 40});
    const QString textPath = Dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(WriteFile(textPath));
    auto plain = std::make_unique<QMimeData>();
    plain->setText(QStringLiteral("红烧肉"));
    auto web = std::make_unique<QMimeData>();
    web->setUrls({QUrl(QStringLiteral("https://example.org/a.jpg"))});
    const struct {
        const char* What;
        std::unique_ptr<QMimeData> Data;
    } cases[] = {
        {"a text file", Files({textPath})},
        {"two pictures", Files({jpg, jpg})},
        {"plain text", std::move(plain)},
        {"a web address only", std::move(web)},
        {"a file without extension", Files({Dir.filePath(QStringLiteral("jpg"))})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_FALSE(DragOver(*c.Data));
        EXPECT_FALSE(Drop(*c.Data));
        EXPECT_STREQ(Kind(), "none");
    }
    EXPECT_TRUE(Messages.empty());
}

TEST_F(DropTest, BrokenOrMissingFileShowsTheOpenErrorAndKeepsThePicture) {
    EXPECT_TRUE(Drop(*Files({Picture(QStringLiteral("good.jpg"), {600, 400})})));
    const QString brokenPath = Dir.filePath(QStringLiteral("broken.bmp"));
    ASSERT_TRUE(WriteFile(brokenPath, "not a bitmap at all"));
    const struct {
        QString File;
        QString Error;
    } cases[] = {
        {brokenPath, QStringLiteral("Bitmap image is not valid")},
        {Dir.filePath(QStringLiteral("gone.jpg")), QStringLiteral("gone.jpg")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File.toStdString());
        Messages.clear();
        Drop(*Files({c.File}));
        ASSERT_EQ(Errors().size(), 1u);
        EXPECT_TRUE(Errors()[0].contains(c.Error)) << Errors()[0].toStdString();
        EXPECT_STREQ(Kind(), "TJPEGImage");
        EXPECT_EQ(Ui().Image2->size(), QSize(300, 200));
    }
}

TEST_F(DropTest, ImageDataWithoutFileIsTakenAsAPastedBitmap) {
    // Over a JPEG from a file, as a paste would leave it: a bitmap.
    EXPECT_TRUE(Drop(*Files({Picture(QStringLiteral("first.jpg"), {600, 400})})));
    QImage image(27, 400, QImage::Format_RGB32);
    image.fill(Qt::red);
    QMimeData data;
    data.setImageData(image);
    EXPECT_TRUE(Drop(data));
    EXPECT_STREQ(Kind(), "TBitmap");
    EXPECT_EQ(Ui().Image2->size(), QSize(14, 200));
    EXPECT_TRUE(Errors().empty());
}
} // namespace
