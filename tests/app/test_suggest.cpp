// Suggestions under the keyword box, driven with real key presses: each kind of
// match, their order, the keys, the designed search left as it was, and the index
// following saves, overwrites and deletes.
#include "AppTestSupport.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "SearchSuggest.h"
#include "WinSubClass.h"

#include <QFile>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {
class SuggestTest : public testing::Test, public TAppFixture {
protected:
    void SetUp() override {
        Open();
        for (const auto& [name, ingredients] :
             std::initializer_list<std::pair<const char*, const char*>>{
                 {"红烧肉", "五花肉 冰糖"},
                 {"紅燒排骨", "排骨"},
                 {"重庆小面", "面条 辣椒"},
                 {"长寿面", "面条"},
                 {"西安凉皮", "面筋"},
                 {"糖醋排骨", "排骨 冰糖"},
                 {"排骨汤", "排骨 萝卜"},
                 {"清蒸鱼", "鲈鱼 排骨"},
             })
            Form->ADOQuery1.AppendRecord(
                {QString::fromUtf8(name), QString::fromUtf8(ingredients), QString(), QString()});
        Form->BookChanged(); // rows added beside the window's own handlers
        Suggest().Index();   // read again on a thread of its own
        Form->show();
        // The drop-down follows a new index only while the box has the focus, which
        // an inactive window's box has not: a loaded machine activates it late.
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
        Ui().Edit2->setFocus();
        ASSERT_TRUE(Ui().Edit2->hasFocus());
    }
    TSearchSuggest& Suggest() { return Form->Extras().SearchSuggest(); }
    QStringList Shown() {
        QStringList out;
        if (!Suggest().Shown())
            return out;
        for (int i = 0; i < Suggest().List().count(); ++i)
            out << Suggest().List().item(i)->text();
        return out;
    }
    // Key by key; a Chinese character comes as a key press carrying its text.
    void Type(const QString& text) {
        Ui().Edit2->clear();
        for (QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClick(Ui().Edit2, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, Ui().Edit2, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }
    QStringList Listed() {
        QStringList out;
        for (int i = 0; i < Ui().ListBox1->Count(); ++i)
            out << Ui().ListBox1->Item(i);
        return out;
    }
};

TEST_F(SuggestTest, EachKindOfMatchAsTyped) {
    const struct {
        const char* Typed;
        QStringList Shown;
    } cases[] = {
        {"红烧", {"红烧肉", "紅燒排骨"}},
        {"紅燒肉", {"红烧肉"}},
        {"hongshaorou", {"红烧肉"}},
        {"hong shao", {"红烧肉", "紅燒排骨"}},
        {"shaorou", {"红烧肉"}},
        {"hsr", {"红烧肉"}},
        {"hongsr", {"红烧肉"}},
        {"chongqing", {"重庆小面"}},
        {"zhongqing", {"重庆小面"}},
        {"changshou", {"长寿面"}},
        {"zhangshou", {"长寿面"}},
        {"xi'an", {"西安凉皮"}},
        {"冰糖", {"红烧肉（配料）", "糖醋排骨（配料）"}},
        {"qqq", {}},
    };
    for (const auto& c : cases) {
        Type(QString::fromUtf8(c.Typed));
        EXPECT_EQ(Shown(), c.Shown) << c.Typed;
    }
    Type(QString());
    EXPECT_FALSE(Suggest().Shown());
}

TEST_F(SuggestTest, StartThenInsideThenShorterThenIngredients) {
    Type(QStringLiteral("排骨"));
    EXPECT_EQ(Shown(), QStringList({"排骨汤", "紅燒排骨", "糖醋排骨", "清蒸鱼（配料）"}));
    Type(QStringLiteral("pg"));
    EXPECT_EQ(Shown(), QStringList({"排骨汤", "紅燒排骨", "糖醋排骨"}));
}

TEST_F(SuggestTest, KeysAndClicks) {
    Type(QStringLiteral("pg"));
    ASSERT_TRUE(Suggest().Shown());
    EXPECT_FALSE(Suggest().List().hasFocus());
    EXPECT_EQ(Suggest().List().focusPolicy(), Qt::NoFocus);
    QTest::keyClick(Ui().Edit2, Qt::Key_Down);
    QTest::keyClick(Ui().Edit2, Qt::Key_Down);
    QTest::keyClick(Ui().Edit2, Qt::Key_Up);
    EXPECT_EQ(Suggest().List().currentRow(), 0);
    EXPECT_EQ(Ui().Edit2->text(), QStringLiteral("pg")) << "moving does not change the box";
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_FALSE(Suggest().Shown());
    EXPECT_EQ(Ui().Edit2->text(), QStringLiteral("排骨汤"));
    EXPECT_EQ(Listed(), QStringList({"排骨汤"})) << "the designed search ran";
    EXPECT_EQ(Panel(0), QStringLiteral("共1种菜"));

    // Up from nothing chosen wraps to the last; Up again and again back to none.
    Type(QStringLiteral("pg"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Up);
    EXPECT_EQ(Suggest().List().currentRow(), 2);
    // Esc closes, and the next Enter is the box's own.
    QTest::keyClick(Ui().Edit2, Qt::Key_Escape);
    EXPECT_FALSE(Suggest().Shown());
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_EQ(Listed(), QStringList({"紅燒排骨", "糖醋排骨", "排骨汤"}))
        << "the designed search for \"pg\" finds nothing: the suggestions are listed";
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));

    // Enter with the list open and nothing chosen: exactly the designed search.
    Type(QStringLiteral("排骨"));
    ASSERT_TRUE(Suggest().Shown());
    QTest::keyClick(Ui().Edit2, Qt::Key_Enter);
    EXPECT_FALSE(Suggest().Shown());
    EXPECT_EQ(Ui().Edit2->text(), QStringLiteral("排骨"));
    EXPECT_EQ(Listed(), QStringList({"紅燒排骨", "糖醋排骨", "排骨汤", "清蒸鱼"}));

    // A click on a suggestion takes it; a click elsewhere closes.
    Type(QStringLiteral("hsr"));
    QListWidget& list = Suggest().List();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(0)).center());
    EXPECT_EQ(Ui().Edit2->text(), QStringLiteral("红烧肉"));
    EXPECT_EQ(Listed(), QStringList({"红烧肉"}));
    Type(QStringLiteral("hsr"));
    QTest::mouseClick(Ui().ListBox1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(Suggest().Shown());
}

// A control of the window: skinned with the others when the window is.
TEST_F(SuggestTest, TheSkinDrawsTheDropDownAsAControlOfTheWindow) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Form->activateWindow();
    QApplication::setActiveWindow(Form.get());
    QTest::qWait(50);
    auto skinOf = [](QWidget* w) {
        return w->findChild<TSkinControl*>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
    };
    ASSERT_TRUE(skinOf(Ui().ListBox1));
    EXPECT_TRUE(skinOf(&Suggest().List()));
    EXPECT_EQ(Suggest().List().window(), Form.get());
}

TEST_F(SuggestTest, InputMethodTextIsLeftToTheBox) {
    Ui().Edit2->clear();
    QInputMethodEvent composing(QStringLiteral("hsr"), {});
    QCoreApplication::sendEvent(Ui().Edit2, &composing);
    EXPECT_EQ(Shown(), QStringList({"红烧肉"}));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("红烧肉"));
    QCoreApplication::sendEvent(Ui().Edit2, &commit);
    EXPECT_EQ(Ui().Edit2->text(), QStringLiteral("红烧肉"));
}

// The designed search through the button and through Enter lists what it listed
// before suggestions came whenever it finds something, whatever the drop-down
// shows meanwhile; when it finds nothing, what the drop-down finds is listed.
TEST_F(SuggestTest, DesignedSearchUnchanged) {
    const struct {
        const char* Keyword;
        QStringList Listed;
    } cases[] = {
        {"",
         {"红烧肉", "紅燒排骨", "重庆小面", "长寿面", "西安凉皮", "糖醋排骨", "排骨汤", "清蒸鱼"}},
        {"排骨", {"紅燒排骨", "糖醋排骨", "排骨汤", "清蒸鱼"}},
        {"红烧", {"红烧肉"}},
        {"紅燒", {"紅燒排骨"}},
        {"hsr", {"红烧肉"}},
        {"hongshaorou", {"红烧肉"}},
        {"pg", {"紅燒排骨", "糖醋排骨", "排骨汤"}},
        {"蘿蔔", {"排骨汤"}},
        {"xyz", {}},
        {"hsrx", {}},
        {"面条", {"重庆小面", "长寿面"}},
        {"冰糖", {"红烧肉", "糖醋排骨"}},
        {" ", {"红烧肉", "重庆小面", "糖醋排骨", "排骨汤", "清蒸鱼"}},
    };
    for (const auto& c : cases) {
        const QString keyword = QString::fromUtf8(c.Keyword);
        Type(keyword);
        QTest::keyClick(Ui().Edit2, Qt::Key_Return);
        EXPECT_EQ(Listed(), c.Listed) << c.Keyword << " (Enter)";
        EXPECT_EQ(Panel(0), QStringLiteral("共%1种菜").arg(c.Listed.size()));
        Ui().ListBox1->Clear();
        QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
        EXPECT_EQ(Listed(), c.Listed) << c.Keyword << " (查找)";
        EXPECT_EQ(Panel(0), QStringLiteral("共%1种菜").arg(c.Listed.size()));
    }
}

// What the suggestions listed is the book's: each entry is viewed as a search's is.
TEST_F(SuggestTest, SuggestionsListedByEnterAreViewed) {
    Type(QStringLiteral("pg"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    ASSERT_EQ(Listed().size(), 3);
    for (int i = 0; i < 3; ++i) {
        Ui().ListBox1->SetItemIndex(i);
        Q_EMIT Ui().ListBox1->Click();
        EXPECT_TRUE(Ui().RichEdit1->toPlainText().startsWith(Listed().at(i) + u'\n'))
            << Ui().RichEdit1->toPlainText().toStdString();
        EXPECT_EQ(Panel(2), Listed().at(i));
    }
}

TEST_F(SuggestTest, FollowsSaveOverwriteAndDelete) {
    auto save = [&](const QString& name, const QString& ingredients) {
        QTest::mouseClick(Ui().BitBtn1, Qt::LeftButton);
        Ui().Edit1->setText(name);
        Ui().Memo1->setPlainText(ingredients);
        QTest::mouseClick(Ui().BitBtn5, Qt::LeftButton);
        QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
        Ui().Edit2->setFocus();
    };
    save(QStringLiteral("麻婆豆腐"), QStringLiteral("豆腐 花椒"));
    Type(QStringLiteral("mpdf"));
    EXPECT_EQ(Shown(), QStringList({"麻婆豆腐"}));
    Type(QStringLiteral("花椒"));
    EXPECT_EQ(Shown(), QStringList({"麻婆豆腐（配料）"}));

    Answers.push_back(QMessageBox::Yes);
    save(QStringLiteral("麻婆豆腐"), QStringLiteral("豆腐 牛肉末"));
    Type(QStringLiteral("花椒"));
    EXPECT_EQ(Shown(), QStringList());
    Type(QStringLiteral("牛肉"));
    EXPECT_EQ(Shown(), QStringList({"麻婆豆腐（配料）"}));

    Type(QStringLiteral("麻婆"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Escape);
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    ASSERT_EQ(Listed(), QStringList({"麻婆豆腐"}));
    Answers.push_back(QMessageBox::Yes);
    Form->Extras().ListBox1Delete(0);
    Type(QStringLiteral("mpdf"));
    EXPECT_EQ(Shown(), QStringList());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(SuggestTest, StartsWithTheCountAndReadsTheRowsLater) {
    Form.reset();
    Open();
    EXPECT_EQ(Panel(0), QStringLiteral("共8种菜"));
    EXPECT_TRUE(Form->ADOQuery1.RowsPending());
    Form->show();
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    Ui().Edit2->setFocus();
    Type(QStringLiteral("cq")); // waits for the rows if they are still being read
    EXPECT_EQ(Shown(), QStringList({"重庆小面"}));
    EXPECT_FALSE(Form->ADOQuery1.RowsPending());
    QTest::keyClick(Ui().Edit2, Qt::Key_Down);
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_EQ(Listed(), QStringList({"重庆小面"}));

    // A designed search as the first use after start-up lists the whole book.
    Form.reset();
    Open();
    Ui().Edit2->setText(QStringLiteral("排骨"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_EQ(Listed(), QStringList({"紅燒排骨", "糖醋排骨", "排骨汤", "清蒸鱼"}));
}

// Names and ingredients longer than their columns are offered and found whole,
// however the index came to know them: read with the rows at start-up, made again
// after an import, or told of a save.
TEST_F(SuggestTest, WholeNamesWhereTheColumnsCutThem) {
    const QString charSiu = QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧)");
    const QString stem(29, u'汤');
    auto store = [&](const QString& name, const QString& ingredients) {
        TRecipe r;
        r.Name = name;
        r.Ingredients = ingredients;
        r.Steps = {{QStringLiteral("烤"), false, {}}};
        r.Columns = ColumnsFor(r);
        TRecipeStore(Form->ADOConnection1).Append(Form->ADOQuery1, r);
        return r.RowId;
    };
    const struct {
        const char* Typed;
        QStringList Shown;
    } cases[] = {
        {"叉烧", {charSiu}},
        {"chashao", {charSiu}},
        {"bbq pork", {charSiu}},
        {"桂皮", {charSiu + QStringLiteral("（配料）")}}, // past the column's 255 characters
        {"甲乙", {stem + QStringLiteral("甲乙")}},        // past the column's 30
        {"丙丁", {stem + QStringLiteral("丙丁")}},
        {"…", {}}, // the cut form's mark is no part of the name
    };
    auto expectWhole = [&](const char* how) {
        SCOPED_TRACE(how);
        for (const auto& c : cases) {
            Type(QString::fromUtf8(c.Typed));
            EXPECT_EQ(Shown(), c.Shown) << c.Typed << ": " << Shown().join(u'|').toStdString();
        }
    };
    const qint64 charSiuRow = store(charSiu, QString(300, u'盐') + QStringLiteral("\n桂皮"));
    const qint64 first = store(stem + QStringLiteral("甲乙"), QStringLiteral("水"));
    store(stem + QStringLiteral("丙丁"), QStringLiteral("水"));
    ASSERT_EQ(Form->ADOQuery1.FieldByName(QStringLiteral("菜名")).AsString().size(), 30);

    Form->BookChanged(); // as after an import
    Suggest().Index();
    expectWhole("made again");
    Form.reset();
    Open(); // the rows and the whole texts read on their own thread
    Form->show();
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    Ui().Edit2->setFocus();
    expectWhole("read at start-up");

    // A save tells the index the row: the whole texts come with it.
    Suggest().RecipeChanged(charSiuRow);
    Suggest().RecipeChanged(first);
    expectWhole("told of saves");
    // The designed save overwrote the name: the column's text is the name now.
    ASSERT_TRUE(Form->ADOQuery1.LocateRowId(first));
    Form->ADOQuery1.Edit();
    Form->ADOQuery1.FieldByName(QStringLiteral("菜名")).SetAsString(QStringLiteral("新汤"));
    Form->ADOQuery1.Post();
    Suggest().RecipeChanged(first);
    Type(QStringLiteral("甲乙"));
    EXPECT_EQ(Shown(), QStringList());
    Type(QStringLiteral("新汤"));
    EXPECT_EQ(Shown(), QStringList({"新汤"}));

    // Taking a whole name runs the designed search for it, which finds the recipe.
    Type(QStringLiteral("chashao"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Down);
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_EQ(Ui().Edit2->text(), charSiu);
    ASSERT_EQ(Listed().size(), 1);
    EXPECT_TRUE(charSiu.startsWith(Listed().front().chopped(1))) << Listed().front().toStdString();
    EXPECT_TRUE(Errors().empty());
}
// Watches a reading of the changed book, and holds it at one step until let go.
class TWatchedReading {
public:
    TWatchedReading(TSearchSuggest& suggest, std::optional<TFeedStep> holdAt = std::nullopt)
        : Suggest(suggest), HoldAt(holdAt) {
        Suggest.SetOnRebuild([this](TFeedStep step) { Seen(step); });
    }
    ~TWatchedReading() {
        LetGo();
        try {
            Suggest.Index();
        } catch (...) {
        }
        Suggest.SetOnRebuild({});
    }
    bool WaitUntilHeld() {
        std::unique_lock<std::mutex> hold(Lock);
        return Wake.wait_for(hold, std::chrono::seconds(20), [this] { return Held; });
    }
    void LetGo() {
        const std::lock_guard<std::mutex> hold(Lock);
        Go = true;
        Wake.notify_all();
    }
    std::vector<TFeedStep> Steps() {
        const std::lock_guard<std::mutex> hold(Lock);
        return FSteps;
    }
    bool ReadOnTheWindowsThread() {
        const std::lock_guard<std::mutex> hold(Lock);
        return std::find(Threads.begin(), Threads.end(), std::this_thread::get_id()) !=
               Threads.end();
    }

private:
    void Seen(TFeedStep step) {
        std::unique_lock<std::mutex> hold(Lock);
        FSteps.push_back(step);
        Threads.push_back(std::this_thread::get_id());
        if (step == HoldAt) {
            Held = true;
            Wake.notify_all();
            Wake.wait_for(hold, std::chrono::seconds(20), [this] { return Go; });
        }
    }
    TSearchSuggest& Suggest;
    std::optional<TFeedStep> HoldAt;
    std::mutex Lock;
    std::condition_variable Wake;
    std::vector<TFeedStep> FSteps;
    std::vector<std::thread::id> Threads;
    bool Held = false, Go = false;
};

// However the book changed, the index made again after it finds what the book now
// holds, read on a thread of its own: the rows' index is taken when the rows were
// read after the change, and made afresh when they were read before it.
TEST_F(SuggestTest, AfterTheBookChangedTheIndexIsTheBooksAsItNowIs) {
    const QString file = Dir.filePath(QStringLiteral("new.mmf"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QStringLiteral("MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n"
                                 "      Title: 宫保虾球\n Categories: Main dish\n"
                                 "      Yield: 4 servings\n\n      1 c  虾仁\n\n  炒。\n\nMMMMM\n")
                      .toUtf8());
    }
    const struct {
        const char* How;
        bool RowsIndexTaken; // the rows' index of start-up already in the window's hands
        std::function<void(TForm_main&)> Change;
        const char* Typed;
        QStringList Shown;
        TFeedStep Made;
    } cases[] = {
        {"imported through the menu: the rows are read again",
         true,
         [&](TForm_main& form) {
             FileAnswers = {file};
             const std::unique_ptr<QMenu> menu = form.Extras().ListBox1Menu(QPoint(1, 1));
             for (QAction* a : menu->actions())
                 if (a->text() == QStringLiteral("导入菜谱…"))
                     a->trigger();
         },
         "gongbao",
         {"宫保虾球"},
         TFeedStep::TookRowsIndex},
        {"added through the window's rows, not read again",
         true,
         [](TForm_main& form) {
             form.ADOQuery1.AppendRecord({QStringLiteral("宫保虾球"), QStringLiteral("虾仁")});
             form.BookChanged();
         },
         "gongbao",
         {"宫保虾球"},
         TFeedStep::Built},
        {"the same before the rows' index was taken",
         false,
         [](TForm_main& form) {
             form.ADOQuery1.AppendRecord({QStringLiteral("宫保虾球"), QStringLiteral("虾仁")});
             form.BookChanged();
         },
         "gongbao",
         {"宫保虾球"},
         TFeedStep::Built},
        {"nothing changed",
         true,
         [](TForm_main& form) { form.BookChanged(); },
         "changshou",
         {"长寿面"},
         TFeedStep::TookRowsIndex},
        {"removed beside the window's rows (last: it stays removed)",
         true,
         [](TForm_main& form) {
             form.ADOConnection1.Execute(
                 QStringLiteral("delete from mycook where 菜名 = '长寿面'"));
             form.BookChanged();
         },
         "changshou",
         {},
         TFeedStep::Built},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.How);
        Open(); // the book as the fixture made it, read at start-up
        Form->show();
        QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
        Ui().Edit2->setFocus();
        Form->ADOQuery1.WaitForRows();
        if (c.RowsIndexTaken)
            Suggest().Suggest(QStringLiteral("x"));
        {
            TWatchedReading reading(Suggest());
            c.Change(*Form);
            Suggest().Index();
            Type(QString::fromUtf8(c.Typed));
            EXPECT_EQ(Shown(), c.Shown) << Shown().join(u'|').toStdString();
            const std::vector<TFeedStep> steps = reading.Steps();
            ASSERT_FALSE(steps.empty());
            EXPECT_EQ(steps.back(), c.Made);
            EXPECT_FALSE(reading.ReadOnTheWindowsThread());
        }
        // Each case starts from the fixture's book.
        Form->ADOConnection1.Execute(QStringLiteral("delete from mycook where 菜名 = '宫保虾球'"));
    }
    EXPECT_TRUE(Errors().empty());
}

// While the changed book is read, the index in hand answers, saves reach it and the
// index made from the reading alike, and the drop-down follows the new index as
// soon as it is in.
TEST_F(SuggestTest, SavesWhileTheChangedBookIsReadAreKept) {
    const qint64 noodles = [&] {
        EXPECT_TRUE(Form->ADOQuery1.Locate(QStringLiteral("菜名"), QStringLiteral("长寿面")));
        return Form->ADOQuery1.RowId();
    }();
    TWatchedReading reading(Suggest(), TFeedStep::Read);
    Form->ADOQuery1.AppendRecord({QStringLiteral("宫保虾球"), QStringLiteral("虾仁")});
    Form->BookChanged();
    ASSERT_TRUE(reading.WaitUntilHeld());
    // The book is read; now saves come that the reading has not seen.
    Form->ADOQuery1.AppendRecord({QStringLiteral("干煸豆角"), QStringLiteral("豆角")});
    Suggest().RecipeChanged(Form->ADOQuery1.RowId());
    ASSERT_TRUE(Form->ADOQuery1.LocateRowId(noodles));
    Form->ADOQuery1.Delete();
    Suggest().RecipeChanged(noodles);
    ASSERT_TRUE(Form->ADOQuery1.Locate(QStringLiteral("菜名"), QStringLiteral("西安凉皮")));
    const qint64 renamed = Form->ADOQuery1.RowId();
    Form->ADOQuery1.Edit();
    Form->ADOQuery1.FieldByName(QStringLiteral("菜名")).SetAsString(QStringLiteral("陕西凉皮"));
    Form->ADOQuery1.Post();
    Suggest().RecipeChanged(renamed);

    const struct {
        const char* Typed;
        QStringList Meanwhile, After;
    } cases[] = {
        {"gongbao", {}, {"宫保虾球"}},           // in the reading
        {"ganbian", {"干煸豆角"}, {"干煸豆角"}}, // saved after it
        {"changshou", {}, {}},                   // removed after it
        {"liangpi", {"陕西凉皮"}, {"陕西凉皮"}}, // renamed after it
        {"hsr", {"红烧肉"}, {"红烧肉"}},         // untouched
    };
    for (const auto& c : cases) {
        Type(QString::fromUtf8(c.Typed));
        EXPECT_EQ(Shown(), c.Meanwhile) << c.Typed << " meanwhile";
    }
    Type(QStringLiteral("gongbao"));
    reading.LetGo();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shown() == QStringList({"宫保虾球"}); }, 20000))
        << Shown().join(u'|').toStdString();
    for (const auto& c : cases) {
        Type(QString::fromUtf8(c.Typed));
        EXPECT_EQ(Shown(), c.After) << c.Typed << " after";
    }
    EXPECT_EQ(reading.Steps().back(), TFeedStep::Built);
    EXPECT_TRUE(Errors().empty());
}
} // namespace
