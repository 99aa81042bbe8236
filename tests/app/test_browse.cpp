// The browse page: search, the recipe view and export.
#include "../common/TestFiles.h"
#include "AppTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
class BrowseTest : public testing::Test, public TAppFixture {
protected:
    void SetUp() override {
        Open();
        Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉 冰糖"),
            QStringLiteral("  慢炖\n收汁  "), QStringLiteral(" 肥而不腻 "));
        Add(QStringLiteral("鱼香肉丝"), QStringLiteral("猪肉 木耳"), QStringLiteral("炒"),
            QString());
        Add(QStringLiteral("清蒸鱼"), QStringLiteral("鲈鱼"), QStringLiteral("蒸"), QString(),
            true);
        Add(QStringLiteral("it's soup"), QStringLiteral("water"), QString(), QString());
        Add(QStringLiteral("  空格  "), QStringLiteral("  "), QString(), QString());
    }
    void Add(const QString& name, const QString& ingredients, const QString& method,
             const QString& note, bool picture = false) {
        TADOQuery& q = Form->ADOQuery1;
        q.AppendRecord({name, ingredients, method, note});
        if (picture)
            ASSERT_TRUE(StoreRecipePicture(q, name, QSize(900, 700), QColor(250, 120, 20)));
    }
    QStringList Listed() {
        QStringList out;
        for (int i = 0; i < Ui().ListBox1->Count(); ++i)
            out << Ui().ListBox1->Item(i);
        return out;
    }
    void Search(const QString& keyword) {
        Ui().Edit2->setText(keyword);
        QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
    }
    void View(int index) {
        Ui().ListBox1->SetItemIndex(index);
        Form->ListBox1Click();
    }
    QStringList Lines() {
        QStringList out;
        for (QTextBlock b = Ui().RichEdit1->document()->begin(); b.isValid(); b = b.next())
            out << b.text();
        return out;
    }
    int Pictures() {
        int count = 0;
        for (QTextBlock b = Ui().RichEdit1->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                count += it.fragment().charFormat().isImageFormat();
        return count;
    }
};

TEST_F(BrowseTest, EmptyKeywordListsAllInOrderTrimmed) {
    EXPECT_EQ(Ui().ListBox1->Count(), 0) << "the list stays empty until a search";
    Search(QString());
    EXPECT_EQ(Listed(), (QStringList{QStringLiteral("红烧肉"), QStringLiteral("鱼香肉丝"),
                                     QStringLiteral("清蒸鱼"), QStringLiteral("it's soup"),
                                     QStringLiteral("空格")}));
    EXPECT_EQ(Panel(0), QStringLiteral("共5种菜"));
    EXPECT_TRUE(Form->ADOQuery1.Eof());
}

TEST_F(BrowseTest, KeywordMatchesNameOrIngredients) {
    Search(QStringLiteral("鱼"));
    EXPECT_EQ(Listed(), (QStringList{QStringLiteral("鱼香肉丝"), QStringLiteral("清蒸鱼")}));
    EXPECT_EQ(Panel(0), QStringLiteral("共2种菜"));
    Search(QStringLiteral("肉"));
    EXPECT_EQ(Listed().size(), 2);
    Search(QStringLiteral("WATER"));
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("it's soup")}) << "Latin letters ignore case";
    Search(QStringLiteral("无此菜"));
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_EQ(Panel(0), QStringLiteral("共0种菜"));
    // Empty keyword again switches the filter off.
    Search(QString());
    EXPECT_EQ(Listed().size(), 5);
}

TEST_F(BrowseTest, QuotesAndBlanksAreSearchedLiterally) {
    Search(QStringLiteral("it's"));
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("it's soup")});
    Search(QStringLiteral("  "));
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("空格")}) << "blanks-only is not empty";
}

// Every character of a keyword is searched for as itself, wildcards too.
TEST_F(BrowseTest, WildcardCharactersInTheKeywordAreLiteral) {
    Add(QStringLiteral("50%糖"), QString(), QString(), QString());
    Add(QStringLiteral("a_b"), QString(), QString(), QString());
    Add(QStringLiteral("什么?"), QStringLiteral("*号"), QString(), QString());
    Add(QStringLiteral("[x]"), QString(), QString(), QString());
    struct TCase {
        QString Keyword;
        QStringList Listed;
    };
    const TCase cases[] = {
        {QStringLiteral("%"), {QStringLiteral("50%糖")}},
        {QStringLiteral("_"), {QStringLiteral("a_b")}},
        {QStringLiteral("?"), {QStringLiteral("什么?")}},
        {QStringLiteral("*"), {QStringLiteral("什么?")}},
        {QStringLiteral("0%糖"), {QStringLiteral("50%糖")}},
        {QStringLiteral("5_%"), {}},
        {QStringLiteral("[x]"), {QStringLiteral("[x]")}},
        {QStringLiteral("["), {QStringLiteral("[x]")}},
        {QStringLiteral("x"), {QStringLiteral("[x]")}},
        {QStringLiteral("'%'"), {}},
    };
    for (const TCase& c : cases) {
        Search(c.Keyword);
        EXPECT_EQ(Listed(), c.Listed) << c.Keyword.toStdString();
        EXPECT_EQ(Panel(0), QStringLiteral("共%1种菜").arg(c.Listed.size()));
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(BrowseTest, EnterInTheKeywordBoxEqualsTheButton) {
    Ui().Edit2->setText(QStringLiteral("鱼"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_EQ(Listed().size(), 2);
    Ui().Edit2->setText(QStringLiteral("红"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Enter);
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("红烧肉")});
    QTest::keyClick(Ui().Edit2, Qt::Key_A);
    EXPECT_EQ(Ui().Edit2->text(), QStringLiteral("红a")) << "other keys reach the box";
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("红烧肉")});
}

TEST_F(BrowseTest, ViewShowsSevenTrimmedLinesAndPanels) {
    Search(QString());
    View(0);
    EXPECT_EQ(Lines().mid(0, 7), (QStringList{QStringLiteral("红烧肉"), QStringLiteral("原料:"),
                                              QStringLiteral("五花肉 冰糖"),
                                              QStringLiteral("做法:"), QStringLiteral("慢炖"),
                                              QStringLiteral("收汁"), QStringLiteral("说明:")}));
    EXPECT_EQ(Lines().at(7), QStringLiteral("肥而不腻"));
    EXPECT_EQ(Pictures(), 0);
    EXPECT_EQ(Panel(1), QStringLiteral("第1种菜"));
    EXPECT_EQ(Panel(2), QStringLiteral("红烧肉"));
}

TEST_F(BrowseTest, PictureIsEmbeddedAtFullSizeAfterTheText) {
    Search(QStringLiteral("鱼"));
    View(1);
    EXPECT_EQ(Panel(1), QStringLiteral("第2种菜")) << "numbered within the filtered view";
    EXPECT_EQ(Lines().first(), QStringLiteral("清蒸鱼"));
    ASSERT_EQ(Pictures(), 1);
    const QTextBlock last = Ui().RichEdit1->document()->lastBlock();
    const QTextImageFormat format = last.begin().fragment().charFormat().toImageFormat();
    EXPECT_EQ(format.width(), 900);
    EXPECT_EQ(format.height(), 700);
    // Viewing again replaces, never accumulates.
    View(1);
    View(0);
    EXPECT_EQ(Pictures(), 0);
}

TEST_F(BrowseTest, NoSelectionAndVanishedNamesChangeNothing) {
    Search(QString());
    View(0);
    const QStringList before = Lines();
    Ui().ListBox1->SetItemIndex(-1);
    Form->ListBox1Click();
    EXPECT_EQ(Lines(), before);
    // A name no longer in the view: the box empties, the panels stay.
    Ui().ListBox1->SetItems({QStringLiteral("没有的菜")});
    View(0);
    EXPECT_TRUE(Ui().RichEdit1->document()->isEmpty());
    EXPECT_EQ(Panel(2), QStringLiteral("红烧肉"));
}

TEST_F(BrowseTest, SavedAfterTheSearchIsNotListedUntilTheNextOne) {
    Search(QString());
    Add(QStringLiteral("新菜"), QString(), QString(), QString());
    EXPECT_EQ(Listed().size(), 5);
    Search(QString());
    EXPECT_EQ(Listed().size(), 6);
}

TEST_F(BrowseTest, ExportNamesAndWritesTheDocument) {
    Search(QStringLiteral("鱼"));
    View(1);
    struct TCase {
        QString Chosen;
        QString Written;
    };
    const TCase cases[] = {
        {Dir.filePath(QStringLiteral("a.rtf")), Dir.filePath(QStringLiteral("a.rtf"))},
        {Dir.filePath(QStringLiteral("b.RTF")), Dir.filePath(QStringLiteral("b.RTF"))},
        {Dir.filePath(QStringLiteral("c.Rtf")), Dir.filePath(QStringLiteral("c.Rtf"))},
        {Dir.filePath(QStringLiteral("d.txt")), Dir.filePath(QStringLiteral("d.txt.rtf"))},
        {Dir.filePath(QStringLiteral("e")), Dir.filePath(QStringLiteral("e.rtf"))},
        {Dir.filePath(QStringLiteral("dir.x/f")), Dir.filePath(QStringLiteral("dir.x/f.rtf"))},
    };
    QDir(Dir.path()).mkpath(QStringLiteral("dir.x"));
    for (const TCase& c : cases) {
        Messages.clear();
        FileAnswers.push_back(c.Chosen);
        QTest::mouseClick(Ui().BitBtn7, Qt::LeftButton);
        QFile file(c.Written);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.Written.toStdString();
        const QByteArray rtf = file.readAll();
        EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
        EXPECT_TRUE(rtf.contains("\\jpegblip")) << "the stored JPEG goes out unchanged";
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
    }
    const TFileDialogRequest& save = DialogRequests.back();
    EXPECT_EQ(save.Kind, TFileDialogRequest::Save);
    EXPECT_EQ(save.Filters, QStringList{QStringLiteral("菜谱 (*.rtf)")});
}

TEST_F(BrowseTest, ExportBeforeAnyViewAndOverwriteWithoutQuestion) {
    const QString path = Dir.filePath(QStringLiteral("empty.rtf"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    FileAnswers.push_back(path);
    QTest::mouseClick(Ui().BitBtn7, Qt::LeftButton);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    const QByteArray rtf = old.readAll();
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.trimmed().endsWith('}'));
    // Cancel writes nothing and says nothing.
    Messages.clear();
    QTest::mouseClick(Ui().BitBtn7, Qt::LeftButton);
    EXPECT_TRUE(Messages.empty());
}

// Makes a folder take no new file, or a file refuse writing, also for root
// (who ignores permission bits): through the immutable flag there.
class TLock {
public:
    explicit TLock(const QString& path) : FPath(path) {
        if (::geteuid() != 0) {
            FOld = QFile::permissions(path);
            FLocked = QFile::setPermissions(path, FOld & ~(QFile::WriteOwner | QFile::WriteUser |
                                                           QFile::WriteGroup | QFile::WriteOther));
            FChmod = true;
            return;
        }
        FLocked = SetImmutable(true);
    }
    ~TLock() {
        if (!FLocked)
            return;
        if (FChmod)
            QFile::setPermissions(FPath, FOld);
        else
            SetImmutable(false);
    }
    bool Locked() const { return FLocked; }

private:
    bool SetImmutable(bool on) {
        const int fd = ::open(QFile::encodeName(FPath).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }
    QString FPath;
    QFile::Permissions FOld;
    bool FChmod = false;
    bool FLocked = false;
};

// The folder takes no new file: a file we may write is replaced in place, one we
// may not is kept and the export fails.
TEST_F(BrowseTest, ExportIntoAFolderThatTakesNoNewFile) {
    Search(QString());
    View(0);
    QDir(Dir.path()).mkpath(QStringLiteral("locked"));
    const QString writable = Dir.filePath(QStringLiteral("locked/open.rtf"));
    const QString readOnly = Dir.filePath(QStringLiteral("locked/keep.rtf"));
    for (const QString& path : {writable, readOnly}) {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x')); // longer than the export: no tail may stay
    }
    {
        const TLock lockFile(readOnly);
        const TLock lockFolder(Dir.filePath(QStringLiteral("locked")));
        if (!lockFile.Locked() || !lockFolder.Locked())
            GTEST_SKIP() << "cannot lock files here";
        FileAnswers.push_back(writable);
        QTest::mouseClick(Ui().BitBtn7, Qt::LeftButton);
        EXPECT_TRUE(Errors().empty()) << Errors().front().toStdString();
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
        const QByteArray rtf = ReadFile(writable);
        EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
        EXPECT_TRUE(rtf.trimmed().endsWith('}'));
        EXPECT_FALSE(rtf.contains("xxxx"));
        EXPECT_EQ(QDir(Dir.filePath(QStringLiteral("locked"))).entryList(QDir::Files).size(), 2);

        Messages.clear();
        FileAnswers.push_back(readOnly);
        QTest::mouseClick(Ui().BitBtn7, Qt::LeftButton);
        ASSERT_EQ(Errors().size(), 1u);
        EXPECT_TRUE(Errors()[0].startsWith(QStringLiteral("无法建立文件“") + readOnly))
            << Errors()[0].toStdString();
        for (const TMessageRequest& m : Messages)
            EXPECT_NE(m.Text, QStringLiteral("保存完毕"));
    }
    EXPECT_EQ(ReadFile(readOnly), QByteArray(100000, 'x'));
}

class ListedEntryTest : public BrowseTest {
protected:
    void SetUp() override {
        BrowseTest::SetUp();
        Form->resize(703, 586);
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    }
    // A real click on an entry of the list.
    void ClickEntry(int index) {
        TListBox* list = Ui().ListBox1;
        const QRect rect = list->visualRect(list->model()->index(index, 0));
        ASSERT_TRUE(rect.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QString Shown(int line) {
        const QStringList lines = Lines();
        return line < lines.size() ? lines.at(line) : QString();
    }
};

// Names with edge blanks, and one name stored twice, each list as their own entry.
TEST_F(ListedEntryTest, EveryEntryShowsItsOwnRecipe) {
    Add(QStringLiteral("空格菜"), QStringLiteral("甲"), QString(), QString());
    Add(QStringLiteral(" 空格菜 "), QStringLiteral("乙"), QString(), QString());
    Add(QStringLiteral("空格菜  "), QStringLiteral("丙"), QString(), QString());
    Add(QStringLiteral("红烧肉"), QStringLiteral("第二份"), QString(), QString());
    Search(QString());
    // Entries 4 ("  空格  "), 5-7 (the 空格菜 three) and 0/8 (红烧肉 twice).
    struct TCase {
        int Entry;
        QString Name;
        QString Ingredients;
    };
    const TCase cases[] = {
        {4, QStringLiteral("空格"), QString()},
        {5, QStringLiteral("空格菜"), QStringLiteral("甲")},
        {6, QStringLiteral("空格菜"), QStringLiteral("乙")},
        {7, QStringLiteral("空格菜"), QStringLiteral("丙")},
        {0, QStringLiteral("红烧肉"), QStringLiteral("五花肉 冰糖")},
        {8, QStringLiteral("红烧肉"), QStringLiteral("第二份")},
        {6, QStringLiteral("空格菜"), QStringLiteral("乙")}, // again, in another order
    };
    for (const TCase& c : cases) {
        ClickEntry(c.Entry);
        EXPECT_EQ(Shown(0), c.Name) << c.Entry;
        EXPECT_EQ(Shown(2), c.Ingredients) << c.Entry;
        EXPECT_EQ(Panel(1), QStringLiteral("第%1种菜").arg(c.Entry + 1)) << c.Entry;
        EXPECT_EQ(Panel(2), c.Name) << c.Entry;
    }
    // Under a filter the n-th entry of a text is the n-th such recipe of the view.
    Search(QStringLiteral("空格菜"));
    ASSERT_EQ(Listed().size(), 3);
    ClickEntry(2);
    EXPECT_EQ(Shown(2), QStringLiteral("丙"));
    EXPECT_EQ(Panel(1), QStringLiteral("第3种菜"));
    EXPECT_TRUE(Errors().empty());
}

// The same name saved twice while a search hid the first, as the entry page allows.
TEST_F(ListedEntryTest, ANameSavedTwiceUnderAFilterListsTwiceAndShowsBoth) {
    Search(QStringLiteral("鱼"));
    QTest::mouseClick(Ui().BitBtn1, Qt::LeftButton);
    Ui().Edit1->setText(QStringLiteral("红烧肉"));
    Ui().Memo1->setPlainText(QStringLiteral("新的一份"));
    QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
    ASSERT_TRUE(Messages.empty()) << "the first was hidden, so no question";
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    Search(QStringLiteral("红烧"));
    ASSERT_EQ(Listed(), (QStringList{QStringLiteral("红烧肉"), QStringLiteral("红烧肉")}));
    ClickEntry(0);
    EXPECT_EQ(Shown(2), QStringLiteral("五花肉 冰糖"));
    ClickEntry(1);
    EXPECT_EQ(Shown(2), QStringLiteral("新的一份"));
    EXPECT_EQ(Panel(1), QStringLiteral("第2种菜"));
}

TEST_F(ListedEntryTest, AnEmptyNameStillGivesSevenLines) {
    Add(QString(), QStringLiteral("无名料"), QStringLiteral("无名法"), QStringLiteral("无名注"));
    Search(QStringLiteral("无名"));
    ClickEntry(0);
    EXPECT_EQ(Lines().mid(0, 7),
              (QStringList{QString(), QStringLiteral("原料:"), QStringLiteral("无名料"),
                           QStringLiteral("做法:"), QStringLiteral("无名法"),
                           QStringLiteral("说明:"), QStringLiteral("无名注")}));
    // The export holds the empty first line as well.
    const QString path = Dir.filePath(QStringLiteral("noname.rtf"));
    FileAnswers.push_back(path);
    QTest::mouseClick(Ui().BitBtn7, Qt::LeftButton);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    EXPECT_EQ(rtf.count("\\par\n"), 8) << "seven lines and the end\n" << rtf.toStdString();
}

// With a tall picture the box still opens at the name, not at the picture.
TEST_F(ListedEntryTest, TheViewOpensAtItsBeginning) {
    Search(QStringLiteral("清蒸鱼"));
    ClickEntry(0);
    QTest::qWait(50);
    QScrollBar* bar = Ui().RichEdit1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the picture makes the text scroll";
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(Ui().RichEdit1->cursorForPosition(QPoint(5, 5)).block().text(),
              QStringLiteral("清蒸鱼"));
    EXPECT_EQ(Pictures(), 1) << "the picture still follows the text";
    EXPECT_EQ(Ui().RichEdit1->document()->lastBlock().text(),
              QString(QChar::ObjectReplacementCharacter));
}

// Below the last entry nothing is clicked: the view stays as it is.
TEST_F(ListedEntryTest, ClickOnTheEmptyPartOfTheListChangesNothing) {
    Search(QString());
    ClickEntry(1);
    ASSERT_EQ(Shown(0), QStringLiteral("鱼香肉丝"));
    Ui().RichEdit1->setPlainText(QStringLiteral("标记"));
    TListBox* list = Ui().ListBox1;
    const QRect last = list->visualRect(list->model()->index(list->Count() - 1, 0));
    const QPoint below(last.center().x(), last.bottom() + 40);
    ASSERT_LT(below.y(), list->viewport()->height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(Lines(), QStringList{QStringLiteral("标记")}) << "not shown again";
    EXPECT_EQ(Ui().ListBox1->ItemIndex(), 1) << "nor the selection changed";
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(Lines(), QStringList{QStringLiteral("标记")});
    EXPECT_EQ(Ui().ListBox1->ItemIndex(), 1);
    // The selected entry clicked again is shown again.
    ClickEntry(1);
    EXPECT_EQ(Shown(0), QStringLiteral("鱼香肉丝"));
}
} // namespace
