// Every error text a user can reach from the entry and browse pages, each
// shown once by the default error display, after which the program goes on.
#include "AppTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <functional>
#include <gtest/gtest.h>
#include <jerror.h>
#include <jpeglib.h>

namespace {
QString Fixture(const char* name) {
    return QDir(qEnvironmentVariable("MYCOOK_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/picture/fixtures/") + QLatin1String(name));
}

class ErrorTextTest : public testing::Test, public TAppFixture {
public:
    void SetUp() override {
        if (!QFile::exists(Fixture("bmp-garbage.bmp")))
            GTEST_SKIP() << "fixtures not found (MYCOOK_SOURCE_DIR)";
        Open();
    }
    void Pick(const QString& path) {
        FileAnswers.push_back(path);
        QTest::mouseClick(Ui().BitBtn3, Qt::LeftButton);
    }
    void StoreRecipeWithPicture(const QByteArray& bytes) {
        TADOQuery& q = Form->ADOQuery1;
        q.AppendRecord({QStringLiteral("坏图"), QStringLiteral("料"), QStringLiteral("法"),
                        QStringLiteral("注")});
        ASSERT_TRUE(q.Locate(QStringLiteral("菜名"), QStringLiteral("坏图")));
        q.Edit();
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        q.FieldByName(QStringLiteral("img")).LoadFromStream(buffer);
        q.Post();
    }
    // As a click on the selected entry reaches the window: through its guard.
    void ShowSelected() { Q_EMIT Ui().ListBox1->Click(); }
    QStringList Lines() {
        QStringList out;
        for (QTextBlock b = Ui().RichEdit1->document()->begin(); b.isValid(); b = b.next())
            out << b.text();
        return out;
    }
};

QString JpegText(int code) {
    return QString::asprintf("JPEG error #%d", code);
}

TEST_F(ErrorTextTest, EveryReachableErrorIsShownWithItsText) {
    struct TCase {
        const char* What;
        std::function<void(ErrorTextTest&)> Act;
        std::function<QString(ErrorTextTest&)> Text; // the whole text, or its start
        bool Prefix = false;
        std::function<void(ErrorTextTest&)> After = nullptr;
    };
    const QString missing = Dir.filePath(QStringLiteral("无此图.jpg"));
    // Each picture failure leaves the earlier picture of the box in place.
    const auto keepsEarlier = [](ErrorTextTest& t) {
        ASSERT_NE(t.Ui().Image2->Picture().Graphic(), nullptr);
        EXPECT_EQ(t.Ui().Image2->Picture().Width(), 24);
        EXPECT_EQ(t.Ui().Image2->size(), QSize(300, 12));
    };
    const TCase cases[] = {
        {"unknown extension",
         [](ErrorTextTest& t) {
             QFile png(t.Dir.filePath(QStringLiteral("照片.png")));
             ASSERT_TRUE(png.open(QIODevice::WriteOnly));
             png.close();
             t.Pick(png.fileName());
         },
         [](ErrorTextTest&) { return QStringLiteral("Unknown picture file extension (.png)"); },
         false, keepsEarlier},
        {"unreadable file", [&](ErrorTextTest& t) { t.Pick(missing); },
         [&](ErrorTextTest&) {
             // The system's reason, in the language of Qt's texts.
             return QStringLiteral("Cannot open file \"%1\". %2")
                 .arg(missing,
                      QCoreApplication::translate("QIODevice", "No such file or directory"));
         },
         false, keepsEarlier},
        {"broken bitmap", [](ErrorTextTest& t) { t.Pick(Fixture("bmp-garbage.bmp")); },
         [](ErrorTextTest&) { return QStringLiteral("Bitmap image is not valid"); }, false,
         keepsEarlier},
        {"broken icon", [](ErrorTextTest& t) { t.Pick(Fixture("ico-garbage.ico")); },
         [](ErrorTextTest&) { return QStringLiteral("Icon image is not valid"); }, false,
         keepsEarlier},
        {"broken TIFF", [](ErrorTextTest& t) { t.Pick(Fixture("tiff-garbage.tif")); },
         [](ErrorTextTest&) { return QStringLiteral("TIFF image is not valid"); }, false,
         keepsEarlier},
        {"JPEG without its start", [](ErrorTextTest& t) { t.Pick(Fixture("jpeg-garbage.jpg")); },
         [](ErrorTextTest&) { return JpegText(JERR_NO_SOI); }, false, keepsEarlier},
        {"JPEG with a header but no scan",
         [](ErrorTextTest& t) { t.Pick(Fixture("jpeg-header-only.jpg")); },
         [](ErrorTextTest&) { return JpegText(JERR_SOF_NO_SOS); }, false, keepsEarlier},
        {"JPEG of more than the size bound",
         [](ErrorTextTest& t) {
             // The header reads, so the file is taken; its first decode fails.
             t.Pick(Fixture("jpeg-20000x20000.jpg"));
             t.Ui().Edit1->setText(QStringLiteral("巨图"));
             QTest::mouseClick(t.Ui().BitBtn5, Qt::LeftButton);
             ASSERT_TRUE(t.Errors().empty());
             t.Ui().Edit2->setText(QStringLiteral("巨图"));
             QTest::mouseClick(t.Ui().BitBtn6, Qt::LeftButton);
             t.Ui().ListBox1->SetItemIndex(0);
             t.ShowSelected();
         },
         [](ErrorTextTest&) {
             return JpegText(JERR_IMAGE_TOO_BIG);
         }},
        {"stored picture that is not a JPEG stream",
         [](ErrorTextTest& t) {
             t.StoreRecipeWithPicture(QByteArray("this is no picture at all"));
             t.Ui().Edit2->setText(QStringLiteral("坏图"));
             QTest::mouseClick(t.Ui().BitBtn6, Qt::LeftButton);
             t.Ui().ListBox1->SetItemIndex(0);
             t.ShowSelected();
         },
         [](ErrorTextTest&) { return JpegText(JERR_NO_SOI); }, false,
         [](ErrorTextTest& t) {
             // The error comes after the text and the panels.
             EXPECT_EQ(
                 t.Lines().mid(0, 7),
                 (QStringList{QStringLiteral("坏图"), QStringLiteral("原料:"), QStringLiteral("料"),
                              QStringLiteral("做法:"), QStringLiteral("法"),
                              QStringLiteral("说明:"), QStringLiteral("注")}));
             EXPECT_EQ(t.Panel(1), QStringLiteral("第1种菜"));
             EXPECT_EQ(t.Panel(2), QStringLiteral("坏图"));
             EXPECT_FALSE(t.Ui().RichEdit1->toHtml().contains(QStringLiteral("<img")));
         }},
        {"export into a folder that is not there",
         [](ErrorTextTest& t) {
             t.FileAnswers.push_back(t.Dir.filePath(QStringLiteral("无此夹/菜.rtf")));
             QTest::mouseClick(t.Ui().BitBtn7, Qt::LeftButton);
         },
         [](ErrorTextTest& t) {
             return QStringLiteral("Cannot create file \"%1\". ")
                 .arg(t.Dir.filePath(QStringLiteral("无此夹/菜.rtf")));
         },
         true,
         [](ErrorTextTest& t) {
             for (const TMessageRequest& m : t.Messages)
                 EXPECT_NE(m.Text, QStringLiteral("保存完毕"));
         }},
    };
    QImage earlier(24, 1, QImage::Format_RGB32);
    earlier.fill(Qt::darkGreen);
    ASSERT_TRUE(earlier.save(Dir.filePath(QStringLiteral("早先.bmp")), "BMP"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Form.reset();
        QFile::remove(BookPath());
        Open();
        Pick(Dir.filePath(QStringLiteral("早先.bmp")));
        ASSERT_TRUE(Errors().empty());
        c.Act(*this);
        const std::vector<QString> errors = Errors();
        ASSERT_EQ(errors.size(), 1u);
        const QString expected = c.Text(*this);
        if (c.Prefix)
            EXPECT_TRUE(errors[0].startsWith(expected)) << errors[0].toStdString();
        else
            EXPECT_EQ(errors[0].toStdString(), expected.toStdString());
        for (const TMessageRequest& m : Messages)
            if (m.Icon == QMessageBox::Critical)
                EXPECT_EQ(m.Caption, QStringLiteral("百味小筑"));
        if (c.After)
            c.After(*this);
        Messages.clear();
    }
}

// A keyword always makes a filter that evaluates; the search reaches an error
// only when the book itself is not usable, and says why.
TEST_F(ErrorTextTest, SearchThatCannotBeEvaluatedSaysWhy) {
    Form.reset();
    QFile::remove(BookPath());
    QFile foreign(BookPath());
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("not a recipe book");
    foreign.close();
    Open();
    Ui().ListBox1->SetItems({QStringLiteral("旧")});
    Ui().StatusBar1->SetPanelText(0, QStringLiteral("旧数"));
    for (const QString& keyword : {QString(), QStringLiteral("鱼"), QStringLiteral("'%_[")}) {
        Messages.clear();
        Ui().Edit2->setText(keyword);
        QTest::keyClick(Ui().Edit2, Qt::Key_Return);
        ASSERT_EQ(Errors().size(), 1u) << keyword.toStdString();
        EXPECT_TRUE(Errors()[0].startsWith(QStringLiteral("The recipe book is not open.")))
            << Errors()[0].toStdString();
        EXPECT_EQ(Ui().ListBox1->Count(), 1) << "the list keeps its contents";
        EXPECT_EQ(Panel(0), QStringLiteral("旧数"));
    }
}
} // namespace
