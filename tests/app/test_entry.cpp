// The entry page: taking pictures and saving recipes.
#include "../common/TestFiles.h"
#include "AppTestSupport.h"
#include "Clipboard.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {
class EntryTest : public testing::Test, public TAppFixture {
protected:
    void SetUp() override { Open(); }

    QString WriteBitmapFile(const QString& name, int w, int h, QColor colour = Qt::darkGreen) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    QString WriteJpegFile(const QString& name, int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(10, 120, 200));
        TBitmap bitmap;
        bitmap.SetImage(image);
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(jpeg.Data());
        return file.fileName();
    }
    void Type(const QString& name, const QString& ingredients = QStringLiteral("料"),
              const QString& method = QStringLiteral("法"),
              const QString& note = QStringLiteral("注")) {
        Ui().Edit1->setText(name);
        Ui().Memo1->setPlainText(ingredients);
        Ui().Memo2->setPlainText(method);
        Ui().Memo3->setPlainText(note);
    }
    void Save() { QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton); }
    QByteArray StoredPicture(const QString& name) {
        TADOQuery& q = Form->ADOQuery1;
        if (!q.Locate(QStringLiteral("菜名"), name))
            return {};
        return q.FieldByName(QStringLiteral("img")).AsBytes();
    }
    void PickFile(const QString& path) {
        FileAnswers.push_back(path);
        QTest::mouseClick(Ui().BitBtn3, Qt::LeftButton);
    }
};

TEST_F(EntryTest, OpenPictureFitsTheBoxAndCancelChangesNothing) {
    PickFile(WriteBitmapFile(QStringLiteral("wide.bmp"), 100, 50));
    ASSERT_EQ(DialogRequests.size(), 1u);
    EXPECT_EQ(DialogRequests[0].Kind, TFileDialogRequest::OpenPicture);
    EXPECT_EQ(DialogRequests[0].Filters.first(),
              QStringLiteral("All (*.jpg;*.jpeg;*.bmp;*.tif;*.tiff;*.ico;*.emf;*.wmf)"));
    EXPECT_EQ(Ui().Image2->size(), QSize(300, 150));
    EXPECT_TRUE(Ui().Image2->Stretch());
    EXPECT_EQ(Ui().Image2->pos(), QPoint(383, 5));

    QTest::mouseClick(Ui().BitBtn3, Qt::LeftButton); // cancelled
    EXPECT_EQ(Ui().Image2->size(), QSize(300, 150));
    EXPECT_EQ(Ui().Image2->Picture().Width(), 100);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(EntryTest, BadFilesReportTheirErrorAndKeepTheEarlierPicture) {
    PickFile(WriteBitmapFile(QStringLiteral("ok.bmp"), 24, 1));
    ASSERT_EQ(Ui().Image2->size(), QSize(300, 12));

    const QString junkPath = Dir.filePath(QStringLiteral("junk.bmp"));
    ASSERT_TRUE(WriteFile(junkPath, "BM this is not a bitmap at all"));
    const QString textPath = Dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(WriteFile(textPath));

    const QString badJpegPath = Dir.filePath(QStringLiteral("bad.JPG"));
    ASSERT_TRUE(WriteFile(badJpegPath, "\xFF\xD8\xFF\xE0 not really"));
    const QString emptyJpegPath = Dir.filePath(QStringLiteral("empty.jpeg"));
    ASSERT_TRUE(WriteFile(emptyJpegPath));

    PickFile(junkPath);
    PickFile(textPath);
    PickFile(Dir.filePath(QStringLiteral("missing.jpg")));
    PickFile(badJpegPath);
    PickFile(emptyJpegPath);
    const std::vector<QString> errors = Errors();
    ASSERT_EQ(errors.size(), 5u);
    EXPECT_TRUE(errors[3].startsWith(QStringLiteral("JPEG error #"))) << errors[3].toStdString();
    EXPECT_TRUE(errors[4].startsWith(QStringLiteral("JPEG error #"))) << errors[4].toStdString();
    EXPECT_EQ(errors[0], QStringLiteral("Bitmap image is not valid"));
    EXPECT_EQ(errors[1], QStringLiteral("Unknown picture file extension (.txt)"));
    EXPECT_TRUE(errors[2].startsWith(
        QStringLiteral("无法打开文件“") +
        QDir(Dir.path()).absoluteFilePath(QStringLiteral("missing.jpg")) + QStringLiteral("”：")))
        << errors[2].toStdString();
    EXPECT_EQ(Ui().Image2->size(), QSize(300, 12));
    EXPECT_EQ(Ui().Image2->Picture().Width(), 24);
}

TEST_F(EntryTest, NewRecipeWithoutPictureLeavesImgNullAndClearsThePage) {
    Type(QStringLiteral("清蒸鱼"));
    Save();
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Panel(0), QStringLiteral("共1种菜"));
    EXPECT_TRUE(Ui().Edit1->text().isEmpty());
    EXPECT_TRUE(Ui().Memo2->Text().isEmpty());
    ASSERT_TRUE(Form->ADOQuery1.Locate(QStringLiteral("菜名"), QStringLiteral("清蒸鱼")));
    EXPECT_TRUE(Form->ADOQuery1.FieldByName(QStringLiteral("img")).IsNull());
    EXPECT_EQ(Form->ADOQuery1.FieldByName(QStringLiteral("原料")).AsString(), QStringLiteral("料"));
}

TEST_F(EntryTest, BitmapIsStoredAsJpegAndJpegFileByteForByte) {
    PickFile(WriteBitmapFile(QStringLiteral("a.bmp"), 64, 48));
    Type(QStringLiteral("甲"));
    Save();
    const QByteArray stored = StoredPicture(QStringLiteral("甲"));
    ASSERT_GT(stored.size(), 2);
    EXPECT_TRUE(stored.startsWith("\xFF\xD8"));
    EXPECT_EQ(Ui().Image2->Picture().Graphic(), nullptr) << "the save empties the box";
    EXPECT_EQ(Ui().Image2->size(), QSize(267, 200)) << "the box keeps its last fit";

    const QString jpegPath = WriteJpegFile(QStringLiteral("b.jpg"), 120, 80);
    PickFile(jpegPath);
    Type(QStringLiteral("乙"));
    Save();
    QFile file(jpegPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(StoredPicture(QStringLiteral("乙")), file.readAll());
}

TEST_F(EntryTest, OverwriteYesReplacesTextsAndKeepsPictureWhenNoneGiven) {
    PickFile(WriteBitmapFile(QStringLiteral("a.bmp"), 30, 20));
    Type(QStringLiteral("汤"), QStringLiteral("旧料"));
    Save();
    const QByteArray before = StoredPicture(QStringLiteral("汤"));
    ASSERT_FALSE(before.isEmpty());

    Type(QStringLiteral("汤"), QStringLiteral("新料"), QStringLiteral("新法"));
    Answers.push_back(QMessageBox::Yes);
    Save();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("存在该菜名，是否要覆盖？"));
    EXPECT_EQ(Form->ADOQuery1.RecordCount(), 1);
    ASSERT_TRUE(Form->ADOQuery1.Locate(QStringLiteral("菜名"), QStringLiteral("汤")));
    EXPECT_EQ(Form->ADOQuery1.FieldByName(QStringLiteral("原料")).AsString(),
              QStringLiteral("新料"));
    EXPECT_EQ(StoredPicture(QStringLiteral("汤")), before);
    EXPECT_TRUE(Ui().Edit1->text().isEmpty());

    // With a picture on the page the overwrite replaces the stored one.
    PickFile(WriteBitmapFile(QStringLiteral("c.bmp"), 50, 50, Qt::yellow));
    Type(QStringLiteral("汤"));
    Answers.push_back(QMessageBox::Yes);
    Save();
    EXPECT_NE(StoredPicture(QStringLiteral("汤")), before);
}

TEST_F(EntryTest, OverwriteNoChangesNothingButRefreshesTheCount) {
    Type(QStringLiteral("汤"), QStringLiteral("旧料"));
    Save();
    Ui().StatusBar1->SetPanelText(0, QString());
    PickFile(WriteBitmapFile(QStringLiteral("a.bmp"), 30, 20));
    Type(QStringLiteral("汤"), QStringLiteral("新料"));
    Answers.push_back(QMessageBox::No);
    Save();
    EXPECT_EQ(Panel(0), QStringLiteral("共1种菜"));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("汤"));
    EXPECT_EQ(Ui().Memo1->Text(), QStringLiteral("新料"));
    EXPECT_NE(Ui().Image2->Picture().Graphic(), nullptr);
    ASSERT_TRUE(Form->ADOQuery1.Locate(QStringLiteral("菜名"), QStringLiteral("汤")));
    EXPECT_EQ(Form->ADOQuery1.FieldByName(QStringLiteral("原料")).AsString(),
              QStringLiteral("旧料"));
    EXPECT_TRUE(Form->ADOQuery1.FieldByName(QStringLiteral("img")).IsNull());
}

TEST_F(EntryTest, EmptyNameIsARecipeToo) {
    Type(QString());
    Save();
    Type(QString());
    Answers.push_back(QMessageBox::No);
    Save();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Panel(0), QStringLiteral("共1种菜"));
}

TEST_F(EntryTest, UnderAFilterTheLookupSeesOnlyTheFilteredView) {
    Type(QStringLiteral("红烧肉"));
    Save();
    Type(QStringLiteral("鱼汤"));
    Save();
    Ui().Edit2->setText(QStringLiteral("鱼"));
    QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    ASSERT_EQ(Panel(0), QStringLiteral("共1种菜"));
    // "红烧肉" is outside the view: no question, a second row of that name is appended.
    PickFile(WriteBitmapFile(QStringLiteral("p.bmp"), 20, 20));
    Type(QStringLiteral("红烧肉"));
    Save();
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Panel(0), QStringLiteral("共2种菜"));
    EXPECT_FALSE(StoredPicture(QStringLiteral("红烧肉")).isEmpty())
        << "the new row got its picture";
    // Inside the view the name is found and the question comes.
    Type(QStringLiteral("鱼汤"));
    Answers.push_back(QMessageBox::No);
    Save();
    ASSERT_EQ(Messages.size(), 1u);
}

TEST_F(EntryTest, FailedSaveLeavesTheBookAsItWas) {
    // A text longer than its column is refused; nothing of the recipe is stored.
    Type(QStringLiteral("长"));
    Ui().Memo1->SetMaxLength(0);
    Ui().Memo1->setPlainText(QString(300, u'料'));
    Save();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_FALSE(Form->ADOQuery1.Locate(QStringLiteral("菜名"), QStringLiteral("长")));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("长")) << "the page is not cleared";
    EXPECT_EQ(Form->ADOQuery1.RecordCount(), 0);
}

TEST_F(EntryTest, PasteTakesAClipboardBitmapAndFitsIt) {
    class TOneBitmap : public TClipboard {
    public:
        bool HasBitmap() const override { return true; }
        bool HasFormat(const QString&) const override { return false; }
        QImage Bitmap() const override {
            QImage image(8, 1, QImage::Format_RGB32);
            image.fill(Qt::red);
            return image;
        }
        QByteArray Data(const QString&) const override { return {}; }
    } board;
    SetClipboard(&board);
    PickFile(WriteJpegFile(QStringLiteral("x.jpg"), 40, 40));
    QTest::mouseClick(Ui().BitBtn4, Qt::LeftButton);
    SetClipboard(nullptr);
    EXPECT_NE(dynamic_cast<TBitmap*>(Ui().Image2->Picture().Graphic()), nullptr);
    EXPECT_EQ(Ui().Image2->size(), QSize(300, 38));
}

// A JPEG file cut short shows the part it holds, the rest filled, on the entry
// page and in the view; its bytes are stored as they are.
TEST_F(EntryTest, TruncatedJpegShowsWhatItHoldsAndIsStoredAsIs) {
    // Red with fine detail, so most of the file is picture data, not tables.
    QImage image(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(200 + (x * 7 + y * 13) % 50, (x * y) % 40, 20));
    TBitmap bitmap;
    bitmap.SetImage(image);
    TJPEGImage jpeg;
    jpeg.Assign(bitmap);
    const QByteArray cut = jpeg.Data().left(jpeg.Data().size() / 2);
    const QString filePath = Dir.filePath(QStringLiteral("cut.jpg"));
    ASSERT_TRUE(WriteFile(filePath, cut));

    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    QTest::mouseClick(Ui().BitBtn1, Qt::LeftButton);
    PickFile(filePath);
    ASSERT_TRUE(Errors().empty()) << Errors().front().toStdString();
    EXPECT_EQ(Ui().Image2->size(), QSize(267, 200));
    const QImage shown = Ui().Image2->grab().toImage();
    const QColor top = shown.pixelColor(10, 5);
    const QColor bottom = shown.pixelColor(10, shown.height() - 5);
    EXPECT_GT(top.red(), 180) << "the part the file holds";
    EXPECT_LT(top.green(), 80);
    EXPECT_NEAR(bottom.red(), 128, 30) << "the rest filled";
    EXPECT_NEAR(bottom.green(), 128, 30);

    Type(QStringLiteral("半张"));
    Save();
    EXPECT_EQ(StoredPicture(QStringLiteral("半张")), cut);

    Ui().Edit2->setText(QStringLiteral("半张"));
    QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    Ui().ListBox1->SetItemIndex(0);
    Form->ListBox1Click();
    EXPECT_TRUE(Errors().empty()) << Errors().front().toStdString();
    const QTextBlock last = Ui().RichEdit1->document()->lastBlock();
    const QTextImageFormat format = last.begin().fragment().charFormat().toImageFormat();
    ASSERT_TRUE(format.isValid());
    EXPECT_EQ(format.width(), 320);
    EXPECT_EQ(format.height(), 240);
    const QImage embedded = Ui().RichEdit1->document()
                                ->resource(QTextDocument::ImageResource, QUrl(format.name()))
                                .value<QImage>();
    EXPECT_GT(embedded.pixelColor(5, 5).red(), 180);
    EXPECT_NEAR(embedded.pixelColor(5, 235).red(), 128, 30);
}
} // namespace

namespace {
// The designed save while a book's rows are still being read (their reading held
// on its thread): new and overwrite both complete without them, the count follows,
// and the rows, once in, hold what was saved.
TEST_F(EntryTest, SaveWhileTheRowsAreReadNeedsNoneOfThem) {
    for (int i = 0; i < 40; ++i) {
        Type(QStringLiteral("菜%1").arg(i));
        Save();
    }
    Open();
    std::atomic<bool> hold = true;
    Form->ADOQuery1.SetOnRowsLoaded([&hold](const TRowReader&) {
        while (hold.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    struct TRelease {
        std::atomic<bool>& Hold;
        ~TRelease() { Hold = false; }
    } release{hold};
    Form->show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_TRUE(Form->ADOQuery1.RowsLoading());

    PickFile(WriteBitmapFile(QStringLiteral("p.bmp"), 30, 20));
    Type(QStringLiteral("新汤"), QStringLiteral("新料"));
    Save();
    EXPECT_TRUE(Form->ADOQuery1.RowsLoading());
    EXPECT_EQ(Panel(0), QStringLiteral("共41种菜"));
    EXPECT_TRUE(Ui().Edit1->text().isEmpty());

    Type(QStringLiteral("菜7"), QStringLiteral("换了的料"));
    Answers.push_back(QMessageBox::Yes);
    Save();
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("存在该菜名，是否要覆盖？"));
    EXPECT_TRUE(Form->ADOQuery1.RowsLoading());
    EXPECT_EQ(Panel(0), QStringLiteral("共41种菜"));
    EXPECT_TRUE(Errors().empty());

    hold = false;
    EXPECT_FALSE(StoredPicture(QStringLiteral("新汤")).isEmpty());
    Ui().Edit2->setText(QStringLiteral("新料"));
    QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    EXPECT_EQ(Ui().ListBox1->Count(), 1);
    Ui().Edit2->setText(QStringLiteral("换了的料"));
    QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    ASSERT_EQ(Ui().ListBox1->Count(), 1);
    EXPECT_EQ(Ui().ListBox1->Item(0), QStringLiteral("菜7"));
    Ui().Edit2->clear();
    QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    EXPECT_EQ(Ui().ListBox1->Count(), 41);
}
} // namespace
