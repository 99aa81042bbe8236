// Every error text a user can reach from the entry and browse pages, each
// shown once by the default error display, after which the program goes on.
#include "../common/TestFiles.h"
#include "AppTestSupport.h"
#include "FaultVfs.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <functional>
#include <gtest/gtest.h>
#include <jerror.h>
#include <jpeglib.h>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
    const QString fifo = Dir.filePath(QStringLiteral("管道.jpg"));
    // Each picture failure leaves the earlier picture of the box in place.
    const auto keepsEarlier = [](ErrorTextTest& t) {
        ASSERT_NE(t.Ui().Image2->Picture().Graphic(), nullptr);
        EXPECT_EQ(t.Ui().Image2->Picture().Width(), 24);
        EXPECT_EQ(t.Ui().Image2->size(), QSize(300, 12));
    };
    const TCase cases[] = {
        {"unknown extension",
         [](ErrorTextTest& t) {
             const QString pngPath = t.Dir.filePath(QStringLiteral("照片.png"));
             ASSERT_TRUE(WriteFile(pngPath));
             t.Pick(pngPath);
         },
         [](ErrorTextTest&) { return QStringLiteral("Unknown picture file extension (.png)"); },
         false, keepsEarlier},
        {"unreadable file", [&](ErrorTextTest& t) { t.Pick(missing); },
         [&](ErrorTextTest&) {
             // The system's reason, worded by its code in Chinese.
             return QStringLiteral("无法打开文件“%1”：文件不存在").arg(missing);
         },
         false, keepsEarlier},
        {"broken bitmap", [](ErrorTextTest& t) { t.Pick(Fixture("bmp-garbage.bmp")); },
         [](ErrorTextTest&) { return QStringLiteral("Bitmap image is not valid"); }, false,
         keepsEarlier},
        {"broken icon", [](ErrorTextTest& t) { t.Pick(Fixture("ico-garbage.ico")); },
         [](ErrorTextTest&) { return QStringLiteral("Icon image is not valid"); }, false,
         keepsEarlier},
        {"broken TIFF", [](ErrorTextTest& t) { t.Pick(Fixture("tiff-garbage.tif")); },
         [](ErrorTextTest&) { return QStringLiteral("TIFF 图像无效"); }, false, keepsEarlier},
        {"JPEG without its start", [](ErrorTextTest& t) { t.Pick(Fixture("jpeg-garbage.jpg")); },
         [](ErrorTextTest&) { return JpegText(JERR_NO_SOI); }, false, keepsEarlier},
        {"JPEG with a header but no scan",
         [](ErrorTextTest& t) { t.Pick(Fixture("jpeg-header-only.jpg")); },
         [](ErrorTextTest&) { return JpegText(JERR_SOF_NO_SOS); }, false, keepsEarlier},
        {"JPEG of more than the size bound",
         // Its header reads, but it could never be shown: refused at once.
         [](ErrorTextTest& t) { t.Pick(Fixture("jpeg-20000x20000.jpg")); },
         [](ErrorTextTest&) { return JpegText(JERR_IMAGE_TOO_BIG); }, false, keepsEarlier},
        {"a pipe, not a file",
         [&](ErrorTextTest& t) {
             ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
             // Should the open block, a writer frees it after a while, so the
             // test fails instead of hanging.
             std::atomic<bool> done{false};
             std::thread rescue([&] {
                 for (int i = 0; i < 300 && !done; ++i)
                     std::this_thread::sleep_for(std::chrono::milliseconds(10));
                 if (!done) {
                     const int fd =
                         ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
                     if (fd >= 0)
                         ::close(fd);
                 }
             });
             QElapsedTimer clock;
             clock.start();
             t.Pick(fifo);
             done = true;
             rescue.join();
             EXPECT_LT(clock.elapsed(), 1000);
         },
         [&](ErrorTextTest&) { return QStringLiteral("无法打开文件“%1”：不是普通文件").arg(fifo); },
         false, keepsEarlier},
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
             return QStringLiteral("无法建立文件“%1”：")
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
        if (c.Prefix) {
            EXPECT_TRUE(errors[0].startsWith(expected)) << errors[0].toStdString();
        } else {
            EXPECT_EQ(errors[0].toStdString(), expected.toStdString());
        }
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
    ASSERT_TRUE(WriteFile(BookPath(), "not a recipe book"));
    Open();
    Ui().ListBox1->SetItems({QStringLiteral("旧")});
    Ui().StatusBar1->SetPanelText(0, QStringLiteral("旧数"));
    for (const QString& keyword : {QString(), QStringLiteral("鱼"), QStringLiteral("'%_[")}) {
        Messages.clear();
        Ui().Edit2->setText(keyword);
        QTest::keyClick(Ui().Edit2, Qt::Key_Return);
        ASSERT_EQ(Errors().size(), 1u) << keyword.toStdString();
        EXPECT_TRUE(Errors()[0].startsWith(QStringLiteral("菜谱库没有打开：")))
            << Errors()[0].toStdString();
        EXPECT_EQ(Ui().ListBox1->Count(), 1) << "the list keeps its contents";
        EXPECT_EQ(Panel(0), QStringLiteral("旧数"));
    }
}

// The book's own failures, by what went wrong, each named with the book and what to
// do; the save that meets them keeps what was typed.
TEST_F(ErrorTextTest, BookFailuresAreToldWithTheBookAndWhatToDo) {
    struct TCase {
        const char* What;
        std::function<void(ErrorTextTest&)> Before; // before the window opens the book
        std::function<void(ErrorTextTest&)> After;  // once it has
        QString Text;                               // its start
    };
    const QString book = BookPath();
    const TCase cases[] = {
        {"not a recipe book",
         [](ErrorTextTest& t) {
             ASSERT_TRUE(WriteFile(t.BookPath(), "some other program's data"));
         },
         nullptr,
         QStringLiteral("菜谱库没有打开：“%1”不是本程序的菜谱库，程序没有改动它。"
                        "请把它移走或改名，下次启动时程序会建立新的菜谱库。")
             .arg(book)},
        {"read-only book", [](ErrorTextTest&) { TFaultVfs::Faults().ReadOnlyMain = true; }, nullptr,
         QStringLiteral("菜谱库“%1”是只读的，无法写入。请检查这个文件和它所在文件夹的写入权限。")
             .arg(book)},
        {"full disk", nullptr, [](ErrorTextTest&) { TFaultVfs::Faults().FailMainWrites = true; },
         QStringLiteral("磁盘已满，无法写入菜谱库“%1”。请腾出磁盘空间后再试。").arg(book)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        Form.reset();
        QFile::remove(BookPath());
        Open(); // a new book
        Form.reset();
        Messages.clear();
        TFaultVfs vfs;
        if (c.Before)
            c.Before(*this);
        Open();
        if (c.After)
            c.After(*this);
        Ui().Edit1->setText(QStringLiteral("鱼"));
        QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
        Form.reset();
        ASSERT_EQ(Errors().size(), 1u);
        EXPECT_TRUE(Errors()[0].startsWith(c.Text)) << Errors()[0].toStdString();
    }
}
} // namespace
