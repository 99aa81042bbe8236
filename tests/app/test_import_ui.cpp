// Import and export from the browse list's menu, and recipe pages dropped onto the entry page.
#include "ExtrasSupport.h"
#include "RecipeImportUi.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

namespace {
QString Fixture(const char* name) {
    return QStringLiteral(MYCOOK_IMPORT_FIXTURES "/") + QString::fromUtf8(name);
}

class ImportUiTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        SetDuplicateHook([this](const QString& name) {
            Asked << name;
            return Duplicate;
        });
    }
    void TearDown() override { SetDuplicateHook(nullptr); }
    void Trigger(const char* text) {
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
        for (QAction* a : menu->actions())
            if (a->text() == QString::fromUtf8(text))
                a->trigger();
    }
    int Stored() {
        TADOQuery q(&Form->ADOConnection1);
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        return q.RecordCount();
    }
    bool Drop(QWidget* target, const QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    QStringList Asked;
    TDuplicateChoice Duplicate{TDuplicateAnswer::Skip, true};
};

TEST_F(ImportUiTest, ImportFromTheMenuRefreshesListAndCount) {
    Add(QStringLiteral("西红柿炒鸡蛋"), QStringLiteral("旧"));
    Search(QString()); // the whole book listed
    QSignalSpy changed(Form.get(), &TForm_main::BookChanged);
    FileAnswers = {Fixture("chinese-gb18030.mmf") + u'\n' + Fixture("hongshao.html") + u'\n' +
                   Fixture("no-recipe.html")};
    Trigger("导入菜谱…");
    ASSERT_EQ(DialogRequests.size(), 1u);
    EXPECT_EQ(DialogRequests[0].Kind, TFileDialogRequest::OpenFiles);
    EXPECT_EQ(Asked, QStringList{QStringLiteral("西红柿炒鸡蛋")});
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text,
              QStringLiteral("导入完毕\n导入 2 个，覆盖 0 个，跳过 1 个，无法读取的文件 1 个"));
    const QStringList details = Messages[0].Details.split(u'\n');
    EXPECT_EQ(details.size(), 4);
    EXPECT_TRUE(details.contains(
        QStringLiteral("chinese-gb18030.mmf：西红柿炒鸡蛋 — 已跳过（菜名已存在）")));
    EXPECT_EQ(Listed(), (QStringList{"西红柿炒鸡蛋", "蒜蓉西兰花", "红烧肉 & 卤蛋"}));
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
    EXPECT_EQ(changed.count(), 1);
    // The imported recipe is viewed like any other.
    View(2);
    EXPECT_TRUE(ViewText().startsWith(QStringLiteral("红烧肉 & 卤蛋\n原料:\n五花肉 500克")));
}

// A cookbook app's folder of recipe folders, chosen as a folder.
TEST_F(ImportUiTest, ImportAFolderOfRecipeFolders) {
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    Search(QString());
    const std::pair<std::optional<QString>, const char*> cases[] = {
        {std::nullopt, nullptr},
        {Fixture("nextcloud-folder/Recipes"),
         "导入完毕\n导入 2 个，覆盖 0 个，跳过 0 个，无法读取的文件 0 个"},
        {Fixture("nextcloud-folder/Recipes/Pasta Carbonara"),
         "导入完毕\n导入 0 个，覆盖 0 个，跳过 1 个，无法读取的文件 0 个"},
    };
    for (const auto& [answer, text] : cases) {
        DialogRequests.clear();
        Messages.clear();
        FileAnswers = {answer};
        Trigger("导入菜谱文件夹…");
        ASSERT_EQ(DialogRequests.size(), 1u);
        EXPECT_EQ(DialogRequests[0].Kind, TFileDialogRequest::OpenFolder);
        if (!text) {
            EXPECT_TRUE(Messages.empty());
            continue;
        }
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].Text, QString::fromUtf8(text));
    }
    EXPECT_EQ(Listed(), (QStringList{"汤", "Overnight Oats", "Pasta Carbonara"}));
    EXPECT_EQ(Panel(0), QStringLiteral("共3种菜"));
}

TEST_F(ImportUiTest, CancelledDialogDoesNothingAndFilteredListStaysFiltered) {
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    FileAnswers = {std::nullopt};
    Trigger("导入菜谱…");
    EXPECT_TRUE(Messages.empty());
    Search(QStringLiteral("鸡蛋"));
    EXPECT_TRUE(Listed().isEmpty());
    FileAnswers = {Fixture("chinese-gb18030.mmf")};
    Trigger("导入菜谱…");
    // The search's filter stays; the new recipe that matches it is listed.
    EXPECT_EQ(Listed(), QStringList{QStringLiteral("西红柿炒鸡蛋")});
    EXPECT_TRUE(Form->ADOQuery1.Filtered());
    EXPECT_EQ(Panel(0), QStringLiteral("共1种菜"));
    EXPECT_EQ(Stored(), 3);
}

TEST_F(ImportUiTest, ExportFromTheMenuWritesTheZip) {
    Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉"), QSize(40, 30));
    Add(QStringLiteral("汤"), QStringLiteral("水"));
    const QString target = Dir.filePath(QStringLiteral("全部菜谱"));
    FileAnswers = {target};
    Trigger("导出全部菜谱…");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
    ASSERT_TRUE(QFile::exists(target + QStringLiteral(".zip")));
    // Importing it into the same book finds every name there already.
    Messages.clear();
    FileAnswers = {target + QStringLiteral(".zip")};
    Trigger("导入菜谱…");
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_TRUE(Messages[0].Text.contains(QStringLiteral("跳过 2 个")))
        << Messages[0].Text.toStdString();
}

TEST_F(ImportUiTest, RecipePageDroppedOntoTheEntryPageFillsItWithoutSaving) {
    Form->BitBtn1Click();
    QMimeData page;
    page.setUrls({QUrl::fromLocalFile(Fixture("hongshao.html"))});
    ASSERT_TRUE(Drop(Ui().Memo2->viewport(), page));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("红烧肉 & 卤蛋"));
    EXPECT_TRUE(Ui().Memo1->Text().startsWith(QStringLiteral("五花肉 500克\n冰糖 适量")));
    EXPECT_TRUE(Ui().Memo2->Text().startsWith(QStringLiteral("准备\n1. 五花肉切块")));
    EXPECT_TRUE(Ui().Memo3->Text().startsWith(QStringLiteral("肥而不腻")));
    const auto* jpeg = dynamic_cast<const TJPEGImage*>(Ui().Image2->Picture().Graphic());
    ASSERT_NE(jpeg, nullptr);
    QFile picture(Fixture("dish.jpg"));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    EXPECT_EQ(jpeg->Data(), picture.readAll());
    EXPECT_EQ(Stored(), 0);
    // "保存" stores it as typed.
    Form->BitBtn5Click();
    EXPECT_EQ(Stored(), 1);

    // HTML from a browser onto the name box; a page without a recipe is refused.
    QMimeData html;
    html.setHtml(QStringLiteral(
        "<div itemscope itemtype=\"https://schema.org/Recipe\"><h1 itemprop=name>拍黄瓜</h1>"
        "<span itemprop=recipeIngredient>黄瓜 两根</span></div>"));
    ASSERT_TRUE(Drop(Ui().Edit1, html));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("拍黄瓜"));
    EXPECT_EQ(Ui().Memo1->Text(), QStringLiteral("黄瓜 两根"));
    QMimeData none;
    none.setHtml(QStringLiteral("<p>今天天气很好</p>"));
    ASSERT_TRUE(Drop(Ui().Memo3->viewport(), none));
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(Errors()[0].contains(QStringLiteral("没有菜谱数据")));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("拍黄瓜"));

    // Plain text and picture files are not pages: the boxes and the picture box keep their drops.
    QMimeData text;
    text.setText(QStringLiteral("just text"));
    EXPECT_FALSE(IsRecipePageDrop(text));
    QMimeData jpegFile;
    jpegFile.setUrls({QUrl::fromLocalFile(Fixture("dish.jpg"))});
    EXPECT_FALSE(IsRecipePageDrop(jpegFile));
}
} // namespace
