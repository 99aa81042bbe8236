// The book's categories (the browse page's list with counts, the entry page's list to
// choose from, the suggestions' categories) are read when first needed, never at
// start-up, and are never stale after the book changed: a save, an overwrite, an
// import, a delete. A book of the designed program gets no table of ours from opening,
// browsing or reading its categories.
#include "../common/RawBook.h"
#include "ExtrasSupport.h"
#include "RecipeBrowse.h"
#include "RecipeExtrasEditor.h"
#include "RecipeImportUi.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "SearchSuggest.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QMenu>
#include <QTest>
#include <functional>

namespace {
QString Fixture(const char* name) {
    return QStringLiteral(MYCOOK_IMPORT_FIXTURES "/") + QString::fromUtf8(name);
}

class BrowseCountsTest : public TExtrasFixture {
protected:
    void SetUp() override {
        SetDuplicateHook([](const QString&) {
            return TDuplicateChoice{TDuplicateAnswer::Skip, true};
        });
    }
    void TearDown() override { SetDuplicateHook(nullptr); }

    TRecipeBrowse& Browse() { return Form->Extras().Browse(); }
    TRecipeExtrasEditor& Ed() { return Form->Extras().ExtrasEditor(); }
    // As a recipe with extras is stored by any part of the program.
    void AddWithCategories(const QString& name, const QStringList& categories) {
        TRecipe r;
        r.Name = name;
        r.Ingredients = QStringLiteral("料");
        r.Steps = {{QStringLiteral("做")}};
        r.Categories = categories;
        r.Columns = ColumnsFor(r);
        TRecipeStore store(Form->ADOConnection1);
        store.Append(Form->ADOQuery1, r);
    }
    // The window as the cook starts it: shown, painted, its rows read.
    void StartShown() {
        Open();
        Form->show();
        QApplication::processEvents();
        QApplication::processEvents();
        Form->Extras().SearchSuggest().Index();
    }
    // What the category box holds now, without reading anything.
    QStringList BoxItems() {
        QStringList out;
        for (int i = 0; i < Browse().CategoryBox().count(); ++i)
            out << Browse().CategoryBox().itemText(i);
        return out;
    }
    // What it holds once the cook opens it.
    QStringList Opened() {
        Browse().CategoryBox().showPopup();
        Browse().CategoryBox().hidePopup();
        return BoxItems();
    }
    // As the cook saves the entry page with these categories.
    void SaveWithCategories(const QString& name, const QString& categories) {
        Ui().Edit1->setText(name);
        Ui().Memo1->setPlainText(QStringLiteral("料"));
        Ed().ShowPanel(true);
        Ed().Categories->setText(categories);
        Q_EMIT Ed().Categories->textEdited(categories);
        QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
        Ed().ShowPanel(false);
    }
    void TriggerListMenu(const char* text) {
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
        for (QAction* a : menu->actions())
            if (a->text() == QString::fromUtf8(text))
                a->trigger();
    }
    // The recipe's tables (the query's own count and cache are not of them).
    QStringList RecipeTables() {
        return TRawBook(BookPath(), SQLITE_OPEN_READONLY)
            .Texts(QStringLiteral("select name from sqlite_master where name in ('mycook_recipe', "
                                  "'mycook_label', 'mycook_picture', 'mycook_whole')"));
    }
    QString UserVersion() {
        return TRawBook(BookPath(), SQLITE_OPEN_READONLY)
            .Text(QStringLiteral("pragma user_version"));
    }
};

TEST_F(BrowseCountsTest, StartUpReadsNoCategoryUntilTheCookNeedsOne) {
    Open();
    AddWithCategories(QStringLiteral("回锅肉"), {QStringLiteral("川菜")});
    AddWithCategories(QStringLiteral("麻婆豆腐"), {QStringLiteral("川菜")});
    AddWithCategories(QStringLiteral("小笼包"), {QStringLiteral("早餐")});
    StartShown();
    const QStringList none{QStringLiteral("全部分类")};
    EXPECT_EQ(BoxItems(), none);
    EXPECT_TRUE(Ed().BookCategories().isEmpty());
    // Browsing with every category needs none of them either.
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    Search(QString());
    EXPECT_EQ(Listed().size(), 3);
    EXPECT_EQ(BoxItems(), none);

    const QStringList counts{QStringLiteral("全部分类"), QStringLiteral("川菜 (2)"),
                             QStringLiteral("早餐 (1)")};
    EXPECT_EQ(Opened(), counts);
    // Focus on the box reads them too, as a key may choose without opening the list.
    AddWithCategories(QStringLiteral("油条"), {QStringLiteral("早餐")});
    Form->Extras().BookChanged();
    EXPECT_EQ(BoxItems(), counts); // not read again until needed
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&Browse().CategoryBox(), &focus);
    EXPECT_EQ(BoxItems(), (QStringList{QStringLiteral("全部分类"), QStringLiteral("川菜 (2)"),
                                       QStringLiteral("早餐 (2)")}));
    Ed().ShowPanel(true);
    EXPECT_EQ(Ed().BookCategories(), (QStringList{QStringLiteral("川菜"), QStringLiteral("早餐")}));
    EXPECT_EQ(Form->Extras().SearchSuggest().SuggestCategories(QStringLiteral("zaocan")),
              QStringList{QStringLiteral("早餐")});
}

// Read once, then each change of the book through the window: the list, the entry
// page's choice and the suggestions show the book as it is now.
TEST_F(BrowseCountsTest, CategoriesAreRightAfterEachChangeOfTheBook) {
    Open();
    AddWithCategories(QStringLiteral("回锅肉"), {QStringLiteral("川菜")});
    AddWithCategories(QStringLiteral("小笼包"), {QStringLiteral("早餐")});
    StartShown();
    struct TStep {
        const char* What;
        std::function<void()> Change;
        QStringList Counts; // without "全部分类"
        const char* Typed;  // a category the suggestions offer now ("" for none)
    };
    const std::vector<TStep> steps = {
        {"read once", [] {}, {"川菜 (1)", "早餐 (1)"}, "chuancai"},
        {"saved with a new category",
         [this] { SaveWithCategories(QStringLiteral("担担面"), QStringLiteral("面食、川菜")); },
         {"川菜 (2)", "面食 (1)", "早餐 (1)"},
         "mianshi"},
        {"overwritten without one of them",
         [this] {
             Answers = {QMessageBox::Yes}; // the name is there: overwrite
             SaveWithCategories(QStringLiteral("担担面"), QStringLiteral("面食"));
         },
         {"川菜 (1)", "面食 (1)", "早餐 (1)"},
         "mianshi"},
        {"imported",
         [this] {
             FileAnswers = {Fixture("hongshao.html")};
             TriggerListMenu("导入菜谱…");
         },
         {"川菜 (1)", "家常菜 (1)", "面食 (1)", "早餐 (1)"},
         "jiachang"},
        {"deleted",
         [this] {
             Search(QString());
             const int at = int(Listed().indexOf(QStringLiteral("担担面")));
             ASSERT_GE(at, 0);
             Answers = {QMessageBox::Yes};
             Form->Extras().ListBox1Delete(at);
         },
         {"川菜 (1)", "家常菜 (1)", "早餐 (1)"},
         "jiachang"},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.What);
        step.Change();
        QStringList counts{QStringLiteral("全部分类")};
        QStringList names;
        for (const QString& c : step.Counts) {
            counts << c;
            names << c.left(c.indexOf(u' '));
        }
        EXPECT_EQ(Opened(), counts);
        Ed().ShowPanel(true);
        QStringList offered = Ed().BookCategories();
        offered.sort();
        names.sort();
        EXPECT_EQ(offered, names);
        Ed().ShowPanel(false);
        const QStringList suggested =
            Form->Extras().SearchSuggest().SuggestCategories(QString::fromUtf8(step.Typed));
        EXPECT_FALSE(suggested.isEmpty()) << step.Typed;
        for (const QString& s : suggested)
            EXPECT_TRUE(names.contains(s)) << qPrintable(s);
        // Gone from the book, gone from the suggestions.
        if (!names.contains(QStringLiteral("面食")))
            EXPECT_TRUE(Form->Extras()
                            .SearchSuggest()
                            .SuggestCategories(QStringLiteral("mianshi"))
                            .isEmpty());
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(BrowseCountsTest, ADesignedBookGetsNoTableOfOursFromOpeningAndBrowsing) {
    Open(); // the first run makes the designed book
    Form->ADOQuery1.AppendRecord({QStringLiteral("清蒸鱼"), QStringLiteral("鲈鱼")});
    Form->ADOQuery1.AppendRecord({QStringLiteral("红烧鱼"), QStringLiteral("草鱼")});
    StartShown();
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    Search(QStringLiteral("鱼"));
    EXPECT_EQ(Listed().size(), 2);
    EXPECT_EQ(Opened(), QStringList{QStringLiteral("全部分类")});
    Browse().FavouriteBox().setChecked(true);
    EXPECT_TRUE(Listed().isEmpty());
    Browse().FavouriteBox().setChecked(false);
    EXPECT_TRUE(Form->Extras().SearchSuggest().SuggestCategories(QStringLiteral("yu")).isEmpty());
    Ed().ShowPanel(true);
    EXPECT_TRUE(Ed().BookCategories().isEmpty());
    Ed().ShowPanel(false);
    EXPECT_EQ(RecipeTables(), QStringList());
    EXPECT_EQ(UserVersion(), QStringLiteral("0"));

    // The first recipe with a category makes them, and it is counted at once.
    SaveWithCategories(QStringLiteral("酸菜鱼"), QStringLiteral("川菜"));
    EXPECT_FALSE(RecipeTables().isEmpty());
    EXPECT_EQ(Opened(), (QStringList{QStringLiteral("全部分类"), QStringLiteral("川菜 (1)")}));
    EXPECT_TRUE(Errors().empty());
}
} // namespace
