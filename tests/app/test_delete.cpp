// Deleting a listed recipe: context menu, Delete key, the question, and failures.
#include "../common/OnExit.h"
#include "../common/RawBook.h"
#include "ExtrasSupport.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

namespace {
class DeleteRecipeTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉"));
        Add(QStringLiteral("汤"), QStringLiteral("水"));
        Add(QStringLiteral("汤"), QStringLiteral("鸡"));
        Add(QStringLiteral("清蒸鱼"), QStringLiteral("鲈鱼"));
        Search(QString());
    }
    int Stored(const QString& ingredients = {}) {
        const QString sql =
            ingredients.isEmpty()
                ? QStringLiteral("select count(*) from mycook")
                : QStringLiteral("select count(*) from mycook where 原料='%1'").arg(ingredients);
        return TRawBook(BookPath(), SQLITE_OPEN_READONLY).Text(sql, QStringLiteral("-1")).toInt();
    }
    QRect ItemRect(int index) {
        return Ui().ListBox1->visualRect(Ui().ListBox1->model()->index(index, 0));
    }
};

TEST_F(DeleteRecipeTest, MenuOffersDeleteOnlyOnAName) {
    struct TCase {
        const char* Where;
        QPoint At;
        bool Enabled;
    };
    const TCase cases[] = {
        {"on a name", ItemRect(1).center(), true},
        {"below the names", QPoint(5, ItemRect(3).bottom() + 40), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Where);
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(c.At);
        // Deleting; import and export of the whole book; syncing; the shopping list
        // of the chosen entries; each group after a separator ("-").
        QStringList texts;
        for (const QAction* a : menu->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        EXPECT_EQ(texts.join(u' '),
                  QStringLiteral("删除菜谱 - 导入菜谱… 从网址导入… 导入菜谱文件夹… "
                                 "导出全部菜谱… - 同步文件夹… 停止同步 - 购物清单…"));
        EXPECT_EQ(menu->actions().first()->isEnabled(), c.Enabled);
        EXPECT_TRUE(menu->actions().at(2)->isEnabled());
    }
}

TEST_F(DeleteRecipeTest, ContextMenuDeletesAfterYes) {
    Form->show();
    Answers = {QMessageBox::Yes};
    // Choose the menu's entry once it is up, as a user would.
    QTimer::singleShot(50, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            menu->actions().first()->trigger();
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, ItemRect(0).center());
    QApplication::sendEvent(Ui().ListBox1->viewport(), &event);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("确定要删除菜谱“红烧肉”吗？"));
    EXPECT_EQ(Listed(), (QStringList{"汤", "汤", "清蒸鱼"}));
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
    EXPECT_EQ(Stored(), 3);
}

TEST_F(DeleteRecipeTest, DeleteKeyOnSelectedNameAndNoChangesNothing) {
    Ui().ListBox1->SetItemIndex(3);
    Answers = {QMessageBox::No};
    QTest::keyClick(Ui().ListBox1, Qt::Key_Delete);
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("确定要删除菜谱“清蒸鱼”吗？"));
    EXPECT_EQ(Listed().size(), 4);
    EXPECT_EQ(Stored(), 4);

    Answers = {QMessageBox::Yes};
    QTest::keyClick(Ui().ListBox1, Qt::Key_Delete);
    EXPECT_EQ(Listed(), (QStringList{"红烧肉", "汤", "汤"}));
    EXPECT_EQ(Stored(), 3);

    // Nothing selected: the key asks nothing.
    Ui().ListBox1->SetItemIndex(-1);
    QTest::keyClick(Ui().ListBox1, Qt::Key_Delete);
    EXPECT_EQ(Messages.size(), 2u);
}

// The real box: Enter answers its default, which must keep the recipe.
TEST_F(DeleteRecipeTest, EnterInTheQuestionKeepsTheRecipe) {
    SetMessageHook(nullptr);
    Form->show();
    Ui().ListBox1->SetItemIndex(0);
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const TOnExit closer([box] {
            if (box->isVisible())
                box->done(QMessageBox::No);
        });
        defaultButton = box->standardButton(box->defaultButton());
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::keyClick(Ui().ListBox1, Qt::Key_Delete);
    EXPECT_EQ(defaultButton, QMessageBox::No);
    EXPECT_EQ(Listed().size(), 4);
    EXPECT_EQ(Stored(), 4);
}

TEST_F(DeleteRecipeTest, RemovesWhatTheViewOfThatNameShowsUnderTheFilter) {
    Search(QStringLiteral("鸡"));
    ASSERT_EQ(Listed(), QStringList{"汤"});
    View(0);
    ASSERT_TRUE(ViewText().contains(QStringLiteral("鸡")));
    Answers = {QMessageBox::Yes};
    Form->Extras().ListBox1Delete(0);
    EXPECT_EQ(Stored(QStringLiteral("鸡")), 0) << "the shown duplicate goes";
    EXPECT_EQ(Stored(QStringLiteral("水")), 1) << "the other of the same name stays";
    EXPECT_TRUE(Listed().isEmpty());
    EXPECT_TRUE(ViewText().isEmpty());
    EXPECT_EQ(Panel(0), QStringLiteral("共0种菜"));
    EXPECT_EQ(Panel(1), QString());
    EXPECT_EQ(Panel(2), QString());
}

TEST_F(DeleteRecipeTest, ViewOfAnotherRecipeStays) {
    View(3);
    const QString shown = ViewText();
    const QString panel1 = Panel(1);
    Answers = {QMessageBox::Yes};
    Form->Extras().ListBox1Delete(0);
    EXPECT_EQ(ViewText(), shown);
    EXPECT_EQ(Panel(1), panel1);
    EXPECT_EQ(Panel(2), QStringLiteral("清蒸鱼"));
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
}

TEST_F(DeleteRecipeTest, FailedDeleteLeavesBookListAndViewAsTheyWere) {
    View(1);
    const QString shown = ViewText();
    struct TCase {
        const char* Why;
        std::function<void()> Break, Mend;
    };
    sqlite3* other = nullptr;
    const TCase cases[] = {
        {"read-only book",
         [&] { sqlite3_exec(Form->ADOConnection1.Handle(), "pragma query_only=1", 0, 0, 0); },
         [&] {
             sqlite3_exec(Form->ADOConnection1.Handle(), "pragma query_only=0", 0, 0, 0);
         }},
        {"book locked by another copy",
         [&] {
             sqlite3_open(BookPath().toUtf8().constData(), &other);
             sqlite3_exec(other, "begin exclusive", 0, 0, 0);
         },
         [&] {
             sqlite3_exec(other, "rollback", 0, 0, 0);
             sqlite3_close(other);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        Messages.clear();
        c.Break();
        Answers = {QMessageBox::Yes};
        Ui().ListBox1->SetItemIndex(1);
        QTest::keyClick(Ui().ListBox1, Qt::Key_Delete);
        c.Mend();
        EXPECT_EQ(Errors().size(), 1u);
        EXPECT_EQ(Stored(), 4);
        EXPECT_EQ(Listed(), (QStringList{"红烧肉", "汤", "汤", "清蒸鱼"}));
        EXPECT_EQ(ViewText(), shown);
        EXPECT_EQ(Form->ADOQuery1.RecordCount(), 4);
    }
    // And the book still takes a delete afterwards.
    Answers = {QMessageBox::Yes};
    Form->Extras().ListBox1Delete(1);
    EXPECT_EQ(Stored(), 3);
}

// After a delete at each place of the list (the second 汤 shares its name with the
// first), every entry left still shows its own recipe, and the next search lists
// exactly what the delete left.
class DeleteThenRelist : public DeleteRecipeTest, public testing::WithParamInterface<int> {};

TEST_P(DeleteThenRelist, EntriesLeftShowTheirOwnRecipes) {
    const int deleted = GetParam();
    const QString names[] = {QStringLiteral("红烧肉"), QStringLiteral("汤"), QStringLiteral("汤"),
                             QStringLiteral("清蒸鱼")};
    const QString ingredients[] = {QStringLiteral("五花肉"), QStringLiteral("水"),
                                   QStringLiteral("鸡"), QStringLiteral("鲈鱼")};
    Answers = {QMessageBox::Yes};
    Form->Extras().ListBox1Delete(deleted);
    QStringList expected;
    QStringList left;
    for (int i = 0; i < 4; ++i) {
        if (i != deleted) {
            expected << names[i];
            left << ingredients[i];
        }
    }
    EXPECT_EQ(Listed(), expected);
    EXPECT_EQ(Stored(ingredients[deleted]), 0);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i) {
            View(i);
            EXPECT_TRUE(ViewText().contains(left.at(i))) << round << " " << i;
        }
        Search(QString());
        EXPECT_EQ(Listed(), expected) << round;
    }
}
INSTANTIATE_TEST_SUITE_P(EachPlace, DeleteThenRelist, testing::Values(0, 1, 2, 3));
} // namespace
