// Syncing with a recipe folder from the window: the menu items, a sync after
// the first paint, after a save and after a change in the folder, the status
// panel, conflicts told once, and stopping.
#include "BookSyncUi.h"
#include "ExtrasSupport.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>

namespace {
class SyncUiTest : public TExtrasFixture {
protected:
    void SetUp() override {
        FFolder = FFolders.filePath(QStringLiteral("Recipes"));
        QDir().mkpath(FFolder);
        Open();
        Form->show();
        QTest::qWait(50); // the first paint
    }
    void TearDown() override {
        if (Form)
            Sync().StopSyncing(); // the user's settings keep no folder of a test
    }
    TBookSyncUi& Sync() { return Form->Extras().Sync(); }
    void Trigger(const char* text) {
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
        for (QAction* a : menu->actions())
            if (a->text() == QString::fromUtf8(text) && a->isEnabled())
                a->trigger();
    }
    // Waits for the syncs under way and any asked for meanwhile.
    bool Settled(int atLeast, int ms = 10000) {
        return QTest::qWaitFor(
            [&] { return Sync().SyncsDone() >= atLeast && !Sync().Running() && !Sync().Pending(); },
            ms);
    }
    QStringList Folders() const {
        return QDir(FFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    void SaveOnEntryPage(const QString& name) {
        Ui().Edit1->setText(name);
        Ui().Memo1->setPlainText(QStringLiteral("豆腐"));
        Ui().Memo2->setPlainText(QStringLiteral("1.切块"));
        Form->BitBtn5Click();
    }

    QTemporaryDir FFolders;
    QString FFolder;
};

TEST_F(SyncUiTest, TheMenuChoosesTheFolderAndEachChangeSyncs) {
    Add(QStringLiteral("麻婆豆腐"), QStringLiteral("豆腐"));
    {
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
        QStringList items;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                items << a->text() + (a->isEnabled() ? QString() : QStringLiteral("（灰）"));
        EXPECT_TRUE(items.contains(QStringLiteral("同步文件夹…")));
        EXPECT_TRUE(items.contains(QStringLiteral("停止同步（灰）")));
    }
    FileAnswers = {FFolder};
    Trigger("同步文件夹…");
    ASSERT_EQ(DialogRequests.back().Kind, TFileDialogRequest::OpenFolder);
    ASSERT_TRUE(Settled(1));
    EXPECT_EQ(Folders(), QStringList{"麻婆豆腐"});
    EXPECT_TRUE(Sync().PanelText().startsWith(QStringLiteral("已同步")));

    // A save goes out without being asked for.
    SaveOnEntryPage(QStringLiteral("家常豆腐"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Folders().contains(QStringLiteral("家常豆腐")); }, 5000));

    // A recipe arriving in the folder comes in within two seconds of its arrival,
    // and the count says so.
    ASSERT_TRUE(Settled(2));
    const int before = Sync().SyncsDone();
    QDir().mkpath(FFolders.filePath(QStringLiteral("staging/红烧豆腐")));
    QFile json(FFolders.filePath(QStringLiteral("staging/红烧豆腐/recipe.json")));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(R"({"@type":"Recipe","name":"红烧豆腐","recipeIngredient":["老豆腐"],)"
               R"("recipeInstructions":["煎","烧"],"recipeYield":"2"})");
    json.close();
    QElapsedTimer arrived;
    arrived.start();
    ASSERT_TRUE(QDir().rename(FFolders.filePath(QStringLiteral("staging/红烧豆腐")),
                              FFolder + QStringLiteral("/红烧豆腐")));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Sync().SyncsDone() > before && !Sync().Running(); }, 10000));
    EXPECT_LT(arrived.elapsed(), 2000 + 1000) << "the sync itself takes little here";
    EXPECT_EQ(Sync().LastSummary().AddedToBook, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Panel(0) == QStringLiteral("共3种菜"); }, 3000))
        << Panel(0).toStdString();

    // Stopped: saves stay in the book.
    Trigger("停止同步");
    EXPECT_TRUE(Sync().Folder().isEmpty());
    SaveOnEntryPage(QStringLiteral("小葱拌豆腐"));
    QTest::qWait(1500);
    EXPECT_FALSE(Folders().contains(QStringLiteral("小葱拌豆腐")));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(SyncUiTest, TheNextStartSyncsAfterTheFirstPaintAndAConflictIsToldOnce) {
    Add(QStringLiteral("麻婆豆腐"), QStringLiteral("豆腐"));
    FileAnswers = {FFolder};
    Trigger("同步文件夹…");
    ASSERT_TRUE(Settled(1));
    Form.reset();

    // Changed on both sides while the program was closed.
    {
        TADOConnection c;
        c.SetConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                              BookPath());
        c.SetConnected(true);
        c.Execute(QStringLiteral("update mycook set 原料 = '嫩豆腐' where 菜名 = '麻婆豆腐'"));
    }
    const QString path = FFolder + QStringLiteral("/麻婆豆腐/recipe.json");
    QFile json(path);
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    QByteArray text = json.readAll();
    json.close();
    text.replace("\"豆腐\"", "\"北豆腐\"");
    ASSERT_TRUE(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
    json.write(text);
    json.close();

    Messages.clear();
    Open();
    Form->show();
    ASSERT_TRUE(Settled(1));
    // Its own writes may bring one more sync with nothing to do.
    std::vector<QString> told;
    for (const TMessageRequest& m : Messages)
        told.push_back(m.Text);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains(QStringLiteral("同步冲突"))) << told[0].toStdString();
    EXPECT_EQ(Folders().size(), 2);

    Sync().Request(0);
    ASSERT_TRUE(Settled(2));
    EXPECT_EQ(Messages.size(), 1u); // not again
}
} // namespace
