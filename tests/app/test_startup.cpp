#include "../common/RawBook.h"
#include "AppTestSupport.h"
#include "WinSkinData.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
class StartupTest : public testing::Test, public TAppFixture {};

// Column names of mycook as the file holds them.
QStringList Columns(const QString& path) {
    return TRawBook(path, SQLITE_OPEN_READONLY)
        .Texts(QStringLiteral("pragma table_info(mycook)"), 1);
}

TEST_F(StartupTest, FirstRunCreatesTheBookAndLeavesPanelZeroEmpty) {
    TForm_main& form = Open();
    EXPECT_TRUE(QFile::exists(BookPath()));
    EXPECT_EQ(Columns(BookPath()),
              (QStringList{QStringLiteral("菜名"), QStringLiteral("原料"), QStringLiteral("做法"),
                           QStringLiteral("说明"), QStringLiteral("img")}));
    EXPECT_TRUE(Panel(0).isEmpty());
    EXPECT_EQ(Ui().PageControl1->currentIndex(), 0);
    EXPECT_TRUE(form.ADOQuery1.Active());
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("百味小筑--青柯工坊免费提供"));
    EXPECT_EQ(form.size(), QSize(703, 586));
    // The splash photograph is there.
    EXPECT_EQ(Ui().Image1->Picture().Width(), 480);
    EXPECT_EQ(Ui().Image1->Picture().Height(), 324);
}

TEST_F(StartupTest, LaterRunsShowTheCount) {
    Open();
    Form.reset();
    Open();
    EXPECT_EQ(Panel(0), QStringLiteral("共0种菜"));
    for (const char* name : {"甲", "乙", "丙"})
        Form->ADOQuery1.AppendRecord({QString::fromUtf8(name), QString(), QString(), QString()});
    Open();
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
}

TEST_F(StartupTest, PageButtonsOnlySwitchPages) {
    Open();
    Ui().Edit1->setText(QStringLiteral("鱼"));
    Ui().ListBox1->SetItems({QStringLiteral("旧")});
    QTest::mouseClick(Ui().BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Ui().PageControl1->currentIndex(), 1);
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    EXPECT_EQ(Ui().PageControl1->currentIndex(), 2);
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("鱼"));
    EXPECT_EQ(Ui().ListBox1->Count(), 1);
    QTest::mouseClick(Ui().BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Ui().PageControl1->currentIndex(), 1);
    EXPECT_TRUE(Messages.empty());
}

TEST_F(StartupTest, LayoutMatchesTheWindowDesign) {
    Open();
    struct TPlace {
        QWidget* Control;
        QRect Geometry;
    };
    const TPlace places[] = {
        {Ui().BitBtn1, {20, 13, 135, 40}},   {Ui().BitBtn2, {223, 13, 135, 40}},
        {Ui().Edit1, {8, 35, 216, 24}},      {Ui().Memo1, {12, 103, 320, 146}},
        {Ui().Memo2, {15, 297, 324, 187}},   {Ui().Memo3, {355, 297, 331, 116}},
        {Ui().Image2, {383, 5, 300, 200}},   {Ui().BitBtn3, {400, 212, 102, 40}},
        {Ui().BitBtn4, {537, 211, 114, 40}}, {Ui().BitBtn5, {490, 432, 107, 44}},
        {Ui().Edit2, {110, 38, 223, 24}},    {Ui().BitBtn6, {385, 35, 77, 37}},
        {Ui().BitBtn7, {574, 35, 77, 37}},
    };
    for (const TPlace& p : places)
        EXPECT_EQ(p.Control->geometry(), p.Geometry) << p.Control->objectName().toStdString();
    EXPECT_EQ(Ui().Edit1->maxLength(), 30);
    EXPECT_EQ(Ui().Memo1->MaxLength(), 255);
    EXPECT_EQ(Ui().Memo2->MaxLength(), 0);
    EXPECT_EQ(Ui().Memo3->MaxLength(), 255);
    EXPECT_EQ(Ui().BitBtn1->text(), QStringLiteral("增加菜谱"));
    EXPECT_EQ(Ui().BitBtn7->text(), QStringLiteral("导出菜谱"));
    EXPECT_EQ(Ui().GroupBox1->title(), QStringLiteral("查看菜谱"));
    EXPECT_EQ(Ui().StatusBar1->height(), 26);
    EXPECT_TRUE(Ui().RichEdit1->isReadOnly());
    EXPECT_EQ(Ui().RichEdit1->font().pixelSize(), 16);
    EXPECT_EQ(Ui().Image1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(Ui().Image2->Stretch());
    // Tab order of the toolbar: "查看菜谱" comes first.
    EXPECT_EQ(Ui().BitBtn2->nextInFocusChain(), Ui().BitBtn1);
}

TEST_F(StartupTest, StartPictureOpensTheMakersPage) {
    Open();
    Form->show();
    QTest::mouseClick(Ui().Image1, Qt::LeftButton);
    ASSERT_EQ(ShellRequests.size(), 1u);
    EXPECT_EQ(ShellRequests[0].Target, TForm_main::AboutPageUrl());
    EXPECT_TRUE(ShellRequests[0].Parameters.isEmpty());
}

TEST_F(StartupTest, ForeignFileIsLeftAloneAndTheFirstActionReportsIt) {
    QFile foreign(BookPath());
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("some other program's data");
    foreign.close();
    Open();
    EXPECT_FALSE(Form->ADOConnection1.Connected());
    EXPECT_TRUE(Errors().empty()) << "start-up reports nothing";
    // The first database action fails with a clear error; the program goes on.
    Ui().Edit1->setText(QStringLiteral("鱼"));
    QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], QStringLiteral("菜谱库没有打开：“%1”不是本程序的菜谱库，程序没有改动它。"
                                          "请把它移走或改名，下次启动时程序会建立新的菜谱库。")
                               .arg(BookPath()));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("鱼"))
        << "the failed save's later steps did not run";
    EXPECT_FALSE(Panel(0).startsWith(QStringLiteral("共")));
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    EXPECT_EQ(Ui().PageControl1->currentIndex(), 2);
    ASSERT_TRUE(foreign.open(QIODevice::ReadOnly));
    EXPECT_EQ(foreign.readAll(), QByteArray("some other program's data"));
}
} // namespace

namespace {
TEST_F(StartupTest, SkinIsBuiltWhileTheWindowIsRead) {
    Open();
    EXPECT_FALSE(Form->SkinData1().Empty);
    EXPECT_EQ(Form->SkinData1().MissingElements(), QStringList());
}
} // namespace
