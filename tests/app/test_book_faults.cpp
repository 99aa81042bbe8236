// The book under what real desktops do to it, through the window's handlers: a lock
// held by another program, damage, an empty file, a second copy of the program, a
// copy of the book that cannot be made.
#include "../common/RawBook.h"
#include "../common/TestFiles.h"
#include "BookBackup.h"
#include "ExtrasSupport.h"

#include <QCryptographicHash>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QSettings>
#include <QTest>
#include <sqlite3.h>

namespace {
class BookFaultTest : public TExtrasFixture {
protected:
    void SetUp() override { QStandardPaths::setTestModeEnabled(true); }
    void TearDown() override {
        QSettings().remove(QString()); // the reminders of the test's books
        QStandardPaths::setTestModeEnabled(false);
    }
    void ShowAndFinishBackup() {
        Form->show();
        for (int i = 0; i < 5 && !Form->Extras().DailyBackup(); ++i)
            QTest::qWait(10);
        ASSERT_NE(Form->Extras().DailyBackup(), nullptr);
        Form->Extras().DailyBackup()->Wait();
        QTest::qWait(20); // the window hears of the outcome through its loop
    }
    void Save(const QString& name, const QString& ingredients = QStringLiteral("料")) {
        Ui().Edit1->setText(name);
        Ui().Memo1->setPlainText(ingredients);
        QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
    }
    // As the cook searches: through the button's guarded handler.
    void Find(const QString& keyword) {
        Ui().Edit2->setText(keyword);
        QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    }
    std::vector<TMessageRequest> Notes() const {
        std::vector<TMessageRequest> out;
        for (const TMessageRequest& r : Messages)
            if (r.Icon != QMessageBox::Critical && r.Icon != QMessageBox::Question)
                out.push_back(r);
        return out;
    }
    int Questions() const {
        return int(std::count_if(Messages.begin(), Messages.end(), [](const TMessageRequest& r) {
            return r.Icon == QMessageBox::Question;
        }));
    }
};

TEST_F(BookFaultTest, EmptyBookFileIsTakenAsMissing) {
    QFile empty(BookPath());
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    Open();
    Save(QStringLiteral("空文件后第一道菜"));
    EXPECT_TRUE(Errors().empty()) << Errors().front().toStdString();
    Form.reset();
    Open();
    EXPECT_EQ(Panel(0), QStringLiteral("共1种菜"));
}

TEST_F(BookFaultTest, BookLockedAtStartUpWorksOnceTheLockIsGone) {
    OpenExisting();
    Add(QStringLiteral("锁前菜"), QStringLiteral("料"));
    Form.reset();
    {
        TRawBook other(BookPath(), SQLITE_OPEN_READWRITE); // another program holding the book
        ASSERT_EQ(other.Run("begin exclusive"), SQLITE_OK);
        Open();
        EXPECT_TRUE(Messages.empty()) << "start-up says nothing";
    }
    Find(QString());
    EXPECT_TRUE(Errors().empty()) << Errors().front().toStdString();
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("锁前菜")});
    Save(QStringLiteral("锁后菜"));
    EXPECT_TRUE(Errors().empty()) << Errors().front().toStdString();
    EXPECT_EQ(Panel(0), QStringLiteral("共2种菜"));
}

// The save waits for the other program as before, under the busy cursor, and says
// why in Chinese when the wait is in vain.
TEST_F(BookFaultTest, SaveWaitingForALockShowsTheBusyCursor) {
    OpenExisting();
    std::vector<bool> busy; // whether the busy cursor shows as each wait begins
    const auto shown = Form->ADOConnection1.WaitHandler();
    ASSERT_TRUE(shown);
    Form->ADOConnection1.SetWaitHandler([&] {
        shown();
        const QCursor* cursor = QGuiApplication::overrideCursor();
        busy.push_back(cursor && cursor->shape() == Qt::WaitCursor);
    });
    TRawBook other(BookPath(), SQLITE_OPEN_READWRITE); // another program holding the book
    ASSERT_EQ(other.Run("begin immediate"), SQLITE_OK);
    Save(QStringLiteral("等锁菜"));
    EXPECT_EQ(busy, std::vector<bool>{true});
    QTest::qWait(20);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "gone once the loop runs";
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0],
              QStringLiteral("菜谱库“%1”正被另一个程序使用。请稍后再试，或先关闭那个程序。")
                  .arg(BookPath()));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("等锁菜")) << "nothing typed is lost";
}

// A second copy of the program saved meanwhile: the look-up and the question see
// the book as it is now.
TEST_F(BookFaultTest, ChangesOfASecondProgramCopyAreSeenBeforeSaveAndView) {
    OpenExisting();
    Add(QStringLiteral("将被删"), QStringLiteral("旧料"));
    Add(QStringLiteral("将被改"), QStringLiteral("旧料"));
    Find(QString());
    {
        TADOConnection second;
        second.SetConnectionString(Form->ADOConnection1.ConnectionString());
        second.SetConnected(true);
        TADOQuery q(&second);
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        q.AppendRecord({QStringLiteral("双开同名菜"), QStringLiteral("甲")});
        ASSERT_TRUE(q.Locate(QStringLiteral("菜名"), QStringLiteral("将被删")));
        q.Delete();
        ASSERT_TRUE(q.Locate(QStringLiteral("菜名"), QStringLiteral("将被改")));
        q.Edit();
        q.FieldByName(QStringLiteral("原料")).SetAsString(QStringLiteral("新料"));
        q.Post();
    }
    View(Listed().indexOf(QStringLiteral("将被改")));
    EXPECT_TRUE(ViewText().contains(QStringLiteral("新料"))) << ViewText().toStdString();

    Answers.push_back(QMessageBox::Yes);
    Save(QStringLiteral("双开同名菜"), QStringLiteral("乙"));
    EXPECT_EQ(Questions(), 1) << "the overwrite question";
    Save(QStringLiteral("将被删"), QStringLiteral("再加"));
    EXPECT_EQ(Questions(), 1) << "a recipe the other copy deleted is new again";
    EXPECT_TRUE(Errors().empty()) << Errors().front().toStdString();
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
    Find(QStringLiteral("双开"));
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("双开同名菜")});
}

class DamagedBookTest : public BookFaultTest {
protected:
    // A book of a few hundred recipes with a good copy of yesterday, then one page
    // in the middle of its table overwritten.
    void MakeDamagedBook() {
        OpenExisting();
        TADOConnection& c = Form->ADOConnection1;
        c.BeginTrans();
        for (int i = 0; i < 300; ++i)
            Add(QStringLiteral("菜%1").arg(i), QStringLiteral("料%1").arg(i));
        TADOQuery& q = Form->ADOQuery1;
        for (int i = 0; i < 300; ++i) {
            ASSERT_TRUE(q.Locate(QStringLiteral("菜名"), QStringLiteral("菜%1").arg(i)));
            q.Edit();
            q.FieldByName(QStringLiteral("做法")).SetAsString(QString(600, QChar(u'炒')));
            q.Post();
        }
        c.CommitTrans();
        Form.reset();
        QDir().mkpath(Dir.filePath(QStringLiteral("cook-backups")));
        ASSERT_TRUE(QFile::copy(BookPath(), Dir.filePath(Yesterday())));
        QFile book(BookPath());
        ASSERT_TRUE(book.open(QIODevice::ReadWrite));
        const qint64 pages = book.size() / 4096;
        ASSERT_GT(pages, 10);
        book.seek((pages / 2) * 4096);
        book.write(QByteArray(4096, '\x55'));
    }
    static QString Yesterday() {
        return QStringLiteral("cook-backups/") + BackupFileName(QDate::currentDate().addDays(-1));
    }
};

TEST_F(DamagedBookTest, DamageIsToldOnceAndTheBookIsKeptUnchanged) {
    MakeDamagedBook();
    Open();
    ShowAndFinishBackup();
    EXPECT_EQ(Form->Extras().DailyBackup()->Wait().Kind, TBackupOutcome::BookDamaged);
    ASSERT_EQ(Notes().size(), 1u);
    const QString told = Notes()[0].Text;
    EXPECT_EQ(Notes()[0].Caption, QStringLiteral("提示"));
    EXPECT_TRUE(told.contains(QStringLiteral("已损坏"))) << told.toStdString();
    EXPECT_TRUE(told.contains(Yesterday())) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("“cook.mdb”"))) << told.toStdString();
    const QByteArray damaged = FileDigest(BookPath());

    Save(QStringLiteral("损坏后新菜"));
    Find(QString());
    Answers.push_back(QMessageBox::Yes);
    Ui().ListBox1->SetItemIndex(0);
    QTest::keyClick(Ui().ListBox1, Qt::Key_Delete);
    ASSERT_EQ(Errors().size(), 2u);
    EXPECT_EQ(Errors()[0], told);
    EXPECT_EQ(Errors()[1], told);
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("损坏后新菜")) << "what was typed stays";
    EXPECT_EQ(Notes().size(), 1u);
    Form.reset();
    EXPECT_EQ(FileDigest(BookPath()), damaged);
}

// Damage met by a view before the check finds it: told then, once, and saves refused.
TEST_F(DamagedBookTest, DamageMetByAViewRefusesLaterSaves) {
    MakeDamagedBook();
    Open();
    Find(QString());
    for (int i = 0; i < Ui().ListBox1->Count() && Errors().empty(); ++i)
        View(i);
    ASSERT_EQ(Errors().size(), 1u) << "some recipe lies on the damaged page";
    const QString told = Errors()[0];
    EXPECT_TRUE(told.contains(Yesterday())) << told.toStdString();
    const QByteArray damaged = FileDigest(BookPath());
    Save(QStringLiteral("损坏后新菜"));
    ASSERT_EQ(Errors().size(), 2u);
    EXPECT_EQ(Errors()[1], told);
    Form.reset();
    EXPECT_EQ(FileDigest(BookPath()), damaged);
}

// A copy that cannot be made is reported once a day, after the window shows.
TEST_F(BookFaultTest, CopyThatCannotBeMadeIsReportedOnceADay) {
    OpenExisting();
    Add(QStringLiteral("菜"), QStringLiteral("料"));
    Form.reset();
    ASSERT_TRUE(WriteFile(Dir.filePath(QStringLiteral("cook-backups"))));
    Open();
    ShowAndFinishBackup();
    EXPECT_EQ(Form->Extras().DailyBackup()->Wait().Kind, TBackupOutcome::Failed);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Caption, QStringLiteral("提示"));
    EXPECT_EQ(Messages[0].Icon, QMessageBox::Information);
    EXPECT_EQ(Messages[0].Text,
              QStringLiteral(
                  "今天的菜谱库备份没有做成：“%1”是一个文件，不是文件夹。请把这个文件改名或移走，"
                  "下次启动时会再做备份。")
                  .arg(QDir::toNativeSeparators(Dir.filePath(QStringLiteral("cook-backups")))));

    Messages.clear();
    Form.reset();
    Open();
    ShowAndFinishBackup();
    EXPECT_EQ(Form->Extras().DailyBackup()->Wait().Kind, TBackupOutcome::Failed);
    EXPECT_TRUE(Messages.empty()) << "told already today";
}
} // namespace
