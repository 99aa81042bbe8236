// The view's extras (categories, times, source, step pictures), the list narrowed
// by category and to favourites, categories among the suggestions, and print and
// RTF carrying the extras.
#include "../common/TestFiles.h"
#include "ExtrasSupport.h"
#include "RecipeBrowse.h"
#include "RecipeCategories.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "RecipeView.h"
#include "RtfProperties.h"
#include "SearchSuggest.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <sqlite3.h>

namespace {
QByteArray Jpeg(QColor colour, QSize size = {200, 150}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

TRecipe Plain(const QString& name) {
    TRecipe r;
    r.Name = name;
    r.Ingredients = QStringLiteral("原料") + name;
    r.Steps = {{QStringLiteral("第一步")}, {QStringLiteral("第二步")}};
    r.Note = QStringLiteral("说明") + name;
    r.Columns = ColumnsFor(r);
    return r;
}

QStringList Texts(const std::vector<TViewItem>& items) {
    QStringList out;
    for (const TViewItem& item : items) {
        switch (item.Kind) {
        case TViewItem::Blank:
            out << QString();
            break;
        case TViewItem::Line:
            out << item.Text;
            break;
        case TViewItem::Link:
            out << item.Text + QStringLiteral("<") + item.Url + QStringLiteral(">");
            break;
        case TViewItem::Image:
            out << QStringLiteral("[图%1]").arg(item.Picture);
            break;
        }
    }
    return out;
}

TEST(RecipeViewItemsTest, DurationsReadAsChinese) {
    const std::pair<const char*, const char*> cases[] = {
        {"PT15M", "15 分钟"},
        {"PT1H", "1 小时"},
        {"PT1H30M", "1 小时 30 分钟"},
        {"PT90M", "1 小时 30 分钟"}, // minutes past an hour carried over
        {"pt2h5m", "2 小时 5 分钟"},
        {"P1DT2H", "1 天 2 小时"},
        {"PT30S", "30 秒"},
        {"PT0.5H", "30 分钟"},
        {"PT0M", ""}, // no time at all
        {"PT", "PT"}, // no duration: as written
        {"P", "P"},
        {"PT9999999999H", "PT9999999999H"}, // beyond any cooking: as written
        {"大约 20  分钟", "大约 20 分钟"},
        {"", ""},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(ReadableDuration(QString::fromUtf8(text)), QString::fromUtf8(shown)) << text;

    TRecipe r;
    EXPECT_EQ(TimesText(r), QString());
    r.PrepTime = QStringLiteral("PT15M");
    r.CookTime = QStringLiteral("PT1H");
    EXPECT_EQ(TimesText(r), QStringLiteral("准备 15 分钟 · 烹饪 1 小时"));
    r.TotalTime = QStringLiteral("PT1H15M");
    r.PrepTime.clear();
    EXPECT_EQ(TimesText(r), QStringLiteral("烹饪 1 小时 · 共 1 小时 15 分钟"));
}

TEST(RecipeViewItemsTest, OnlyWebAddressesBecomeLinks) {
    const std::pair<const char*, bool> cases[] = {
        {"https://www.example.com/r/1", true},
        {" http://example.com ", true},
        {"HTTPS://EXAMPLE.COM/A?b=1#c", true},
        {"http://", false},
        {"www.example.com", false},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"https://exa mple.com", false},
        {"《川菜大全》第 12 页", false},
    };
    for (const auto& [source, link] : cases)
        EXPECT_EQ(IsWebAddress(QString::fromUtf8(source)), link) << source;
}

TEST(RecipeViewItemsTest, ExtraLinesForEachKindOfRecipe) {
    TRecipe full = Plain(QStringLiteral("回锅肉"));
    full.Categories = {QStringLiteral("川菜"), QStringLiteral(" "), QStringLiteral("家常菜")};
    full.Keywords = {QStringLiteral("下饭")};
    full.Servings = 4;
    full.ServingsUnit = QStringLiteral("人份");
    full.PrepTime = QStringLiteral("PT15M");
    full.CookTime = QStringLiteral("PT1H");
    full.Source = QStringLiteral("https://www.example.com/huiguorou");
    full.Favourite = true;

    TRecipe book = Plain(QStringLiteral("宫保鸡丁"));
    book.Source = QStringLiteral("《川菜大全》\n第 12 页");
    book.ServingsUnit = QStringLiteral("一盘");

    // Whole texts the columns cut.
    TRecipe cut = Plain(QStringLiteral("Easy Char Siu (Chinese BBQ pork, 叉烧)"));
    cut.Ingredients = QString(300, u'料');
    cut.Columns = ColumnsFor(cut);

    struct TCase {
        const char* Why;
        TRecipe Recipe;
        QStringList Lines;
    };
    const TCase cases[] = {
        {"no extras: nothing beside the designed lines", Plain(QStringLiteral("拍黄瓜")), {}},
        {"every field",
         full,
         {QStringLiteral("分类：川菜、家常菜"), QStringLiteral("标签：下饭"),
          QStringLiteral("份量：4 人份"), QStringLiteral("时间：准备 15 分钟 · 烹饪 1 小时"),
          QStringLiteral("来源：<https://www.example.com/huiguorou>"), QStringLiteral("★ 已收藏")}},
        {"a book as source, a yield without a number",
         book,
         {QStringLiteral("份量：一盘"), QStringLiteral("来源：《川菜大全》 第 12 页")}},
        {"whole texts where the columns cut them",
         cut,
         {QStringLiteral("完整菜名：Easy Char Siu (Chinese BBQ pork, 叉烧)"),
          QStringLiteral("完整原料:"), QString(300, u'料')}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Texts(RecipeViewItems(c.Recipe)), c.Lines) << c.Why;
}

TEST(RecipeViewItemsTest, StepPicturesGoUnderTheirStep) {
    TRecipe r = Plain(QStringLiteral("回锅肉"));
    r.Steps = {{QStringLiteral("备料"), true},
               {QStringLiteral("1. 煮肉")},
               {QStringLiteral("切片"), false, QStringLiteral("切")},
               {QStringLiteral("下锅"), true},
               {QStringLiteral("煸炒")}};
    r.Columns = ColumnsFor(r);
    // Steps count from 1 without headings: 1 煮肉, 2 切片, 3 煸炒.
    r.Pictures = {{Jpeg(Qt::red), 3, QStringLiteral("炒到出油")},
                  {Jpeg(Qt::green), 0, QStringLiteral("成品")},
                  {Jpeg(Qt::blue), 2, QString()},
                  {Jpeg(Qt::yellow), 3, QStringLiteral("  出锅  ")},
                  {Jpeg(Qt::black), 9, QString()}}; // no such step: with the dish's
    EXPECT_EQ(
        Texts(RecipeViewItems(r)),
        (QStringList{QStringLiteral("步骤图片:"), QStringLiteral("第2步　切：切片"),
                     QStringLiteral("[图2]"), QStringLiteral("第3步　煸炒"),
                     QStringLiteral("[图0]"), QStringLiteral("炒到出油"), QStringLiteral("[图3]"),
                     QStringLiteral("出锅"), QStringLiteral("更多图片:"), QStringLiteral("[图1]"),
                     QStringLiteral("成品"), QStringLiteral("[图4]")}));
}

class ViewExtrasTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        TRecipe r = Plain(QStringLiteral("回锅肉"));
        r.Steps = {{QStringLiteral("煮肉")}, {QStringLiteral("切片")}, {QStringLiteral("煸炒")}};
        r.Categories = {QStringLiteral("川菜"), QStringLiteral("家常菜")};
        r.Servings = 4;
        r.ServingsUnit = QStringLiteral("人份");
        r.PrepTime = QStringLiteral("PT15M");
        r.CookTime = QStringLiteral("PT1H");
        r.Source = QStringLiteral("https://www.example.com/huiguorou");
        r.Cover = Jpeg(Qt::white, {120, 90});
        for (int i = 0; i < 10; ++i)
            r.Pictures.push_back({Jpeg(QColor(20 * i, 200, 40), {640, 480}), i % 3 + 1,
                                  QStringLiteral("图%1").arg(i)});
        r.Columns = ColumnsFor(r);
        Store(r);
        Store(Plain(QStringLiteral("拍黄瓜")));
        Search(QString());
    }
    void Store(TRecipe r) {
        TRecipeStore store(Form->ADOConnection1);
        store.Append(Form->ADOQuery1, r);
        Stored.push_back(r);
    }
    QStringList Lines() { return ViewText().split(QChar::ParagraphSeparator); }
    std::vector<TRecipe> Stored;
};

TEST_F(ViewExtrasTest, DesignedLinesStayAndTheExtrasFollowWithPicturesUnderTheirSteps) {
    View(int(Listed().indexOf(QStringLiteral("回锅肉"))));
    const QStringList lines = ViewText().split(u'\n');
    const QStringList seven = {
        QStringLiteral("回锅肉"),  QStringLiteral("原料:"),   QStringLiteral("原料回锅肉"),
        QStringLiteral("做法:"),   QStringLiteral("1. 煮肉"), QStringLiteral("2. 切片"),
        QStringLiteral("3. 煸炒"), QStringLiteral("说明:"),   QStringLiteral("说明回锅肉")};
    ASSERT_GE(lines.size(), seven.size());
    EXPECT_EQ(lines.mid(0, seven.size()), seven);
    EXPECT_TRUE(lines.contains(QStringLiteral("分类：川菜、家常菜")));
    EXPECT_TRUE(lines.contains(QStringLiteral("时间：准备 15 分钟 · 烹饪 1 小时")));
    EXPECT_TRUE(lines.contains(QStringLiteral("来源：https://www.example.com/huiguorou")));
    // The cover first, then each step's pictures in the order they were stored.
    QTextDocument& doc = *Ui().RichEdit1->document();
    std::vector<QByteArray> shown;
    int step = 0;
    std::vector<int> steps;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.text().startsWith(QStringLiteral("第")))
            step = b.text().mid(1, 1).toInt();
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                shown.push_back(it.fragment()
                                    .charFormat()
                                    .toImageFormat()
                                    .property(RichExJpegProperty)
                                    .toByteArray());
                steps.push_back(step);
            }
    }
    const TRecipe& r = Stored[0];
    ASSERT_EQ(shown.size(), 11u);
    EXPECT_EQ(shown[0], r.Cover);
    EXPECT_EQ(steps[0], 0);
    size_t at = 1;
    for (int s = 1; s <= 3; ++s)
        for (const TRecipePicture& p : r.Pictures)
            if (p.Step == s) {
                EXPECT_EQ(shown[at], p.Jpeg) << "picture " << at;
                EXPECT_EQ(steps[at], s) << "picture " << at;
                ++at;
            }
    // The reader starts at the name.
    EXPECT_EQ(Ui().RichEdit1->textCursor().position(), 0);

    // The pixels arrive from their threads; what the document holds is the picture.
    Form->Extras().View().FinishPictures();
    EXPECT_EQ(Form->Extras().View().PendingPictures(), 0);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat f = it.fragment().charFormat().toImageFormat();
            if (!f.isValid() || !f.name().startsWith(QStringLiteral("mycook-picture:")))
                continue;
            const QImage image =
                doc.resource(QTextDocument::ImageResource, QUrl(f.name())).value<QImage>();
            ASSERT_FALSE(image.isNull());
            EXPECT_LE(f.width(), 320);
            const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
            EXPECT_NEAR(centre.green(), 200, 12) << qPrintable(f.name());
        }
}

TEST_F(ViewExtrasTest, RecipeWithoutExtrasShowsOnlyTheDesignedLines) {
    View(int(Listed().indexOf(QStringLiteral("拍黄瓜"))));
    EXPECT_EQ(ViewText().split(u'\n'),
              (QStringList{QStringLiteral("拍黄瓜"), QStringLiteral("原料:"),
                           QStringLiteral("原料拍黄瓜"), QStringLiteral("做法:"),
                           QStringLiteral("1. 第一步"), QStringLiteral("2. 第二步"),
                           QStringLiteral("说明:"), QStringLiteral("说明拍黄瓜"), QString()}));
}

TEST_F(ViewExtrasTest, ShowingAnotherRecipeDropsTheFirstOnesPictures) {
    View(int(Listed().indexOf(QStringLiteral("回锅肉"))));
    View(int(Listed().indexOf(QStringLiteral("拍黄瓜"))));
    Form->Extras().View().FinishPictures();
    EXPECT_EQ(Form->Extras().View().PendingPictures(), 0);
    EXPECT_FALSE(ViewText().contains(QStringLiteral("分类")));
}

TEST_F(ViewExtrasTest, SourceLinkOpensInTheBrowser) {
    Form->show();
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    View(int(Listed().indexOf(QStringLiteral("回锅肉"))));
    QTextDocument& doc = *Ui().RichEdit1->document();
    const QTextCursor found = doc.find(QStringLiteral("https://www.example.com"));
    ASSERT_FALSE(found.isNull());
    QTextCursor at(&doc);
    at.setPosition(found.selectionStart() + 3);
    Ui().RichEdit1->setTextCursor(at);
    Ui().RichEdit1->ensureCursorVisible();
    const QPoint point = Ui().RichEdit1->cursorRect(at).center();
    ShellRequests.clear();
    QTest::mouseClick(Ui().RichEdit1->viewport(), Qt::LeftButton, {}, point);
    ASSERT_EQ(ShellRequests.size(), 1u);
    EXPECT_EQ(ShellRequests[0].Target, QStringLiteral("https://www.example.com/huiguorou"));
    // Elsewhere in the text a click opens nothing.
    QTest::mouseClick(Ui().RichEdit1->viewport(), Qt::LeftButton, {},
                      Ui().RichEdit1->cursorRect(QTextCursor(&doc)).center());
    EXPECT_EQ(ShellRequests.size(), 1u);
}

TEST_F(ViewExtrasTest, RtfAndPdfCarryTheExtras) {
    View(int(Listed().indexOf(QStringLiteral("回锅肉"))));
    const QString rtf = Dir.filePath(QStringLiteral("回锅肉.rtf"));
    FileAnswers.push_back(rtf);
    Form->BitBtn7Click();
    const QByteArray written = ReadFile(rtf);
    EXPECT_EQ(written.count("{\\pict"), 11); // the cover and the ten pictures
    EXPECT_EQ(written.count("\\jpegblip"), 11);
    EXPECT_TRUE(written.contains("https://www.example.com/huiguorou"));
    // 分类 as \u20998 and \u31867
    EXPECT_TRUE(written.contains("\\u20998") && written.contains("\\u31867"));
    // Each step picture is written as its own JPEG bytes, at the size shown.
    EXPECT_TRUE(written.contains(Stored[0].Pictures[0].Jpeg.left(64).toHex()));

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "poppler-utils not installed";
    const QString pdf = Dir.filePath(QStringLiteral("回锅肉.pdf"));
    FileAnswers.push_back(pdf);
    Form->Extras().ExportPdf();
    const QString text = Poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("分类：川菜、家常菜"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("准备 15 分钟")));
    EXPECT_TRUE(text.contains(QStringLiteral("第2步")));
    const QString images = Poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(images.count(QStringLiteral(" image ")), 11) << qPrintable(images);
}

class BrowseExtrasTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        Add(QStringLiteral("回锅肉"), {QStringLiteral("川菜"), QStringLiteral("家常菜")}, true);
        Add(QStringLiteral("麻婆豆腐"), {QStringLiteral("川菜")}, false);
        Add(QStringLiteral("番茄炒蛋"), {QStringLiteral("家常菜")}, true);
        Add(QStringLiteral("小笼包"), {QStringLiteral("早餐")}, false);
        // Two dishes of one name: only one of them is 川菜.
        Add(QStringLiteral("豆花"), {QStringLiteral("早餐")}, false, QStringLiteral("甜"));
        Add(QStringLiteral("豆花"), {QStringLiteral("川菜")}, false, QStringLiteral("咸"));
        // A recipe of the designed save alone, and one deleted by another program.
        Form->ADOQuery1.AppendRecord({QStringLiteral("清蒸鱼"), QStringLiteral("鲈鱼")});
        Add(QStringLiteral("夫妻肺片"), {QStringLiteral("川菜")}, true);
        RunSql(QStringLiteral("delete from mycook where 菜名 = '夫妻肺片'"));
        Form->BookChanged();
        Search(QString());
    }
    void Add(const QString& name, const QStringList& categories, bool favourite,
             const QString& note = QString()) {
        TRecipe r = Plain(name);
        r.Categories = categories;
        r.Favourite = favourite;
        if (!note.isEmpty())
            r.Note = note;
        r.Columns = ColumnsFor(r);
        TRecipeStore store(Form->ADOConnection1);
        store.Append(Form->ADOQuery1, r);
    }
    // As another program would.
    void RunSql(const QString& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(BookPath().toUtf8().constData(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    TRecipeBrowse& Browse() { return Form->Extras().Browse(); }
    QStringList ComboItems() {
        Browse().Categories(); // read as the list opens
        QStringList out;
        for (int i = 0; i < Browse().CategoryBox().count(); ++i)
            out << Browse().CategoryBox().itemText(i);
        return out;
    }
};

TEST_F(BrowseExtrasTest, CategoriesListedWithTheirCounts) {
    EXPECT_EQ(ComboItems(),
              (QStringList{QStringLiteral("全部分类"), QStringLiteral("川菜 (3)"),
                           QStringLiteral("家常菜 (2)"), QStringLiteral("早餐 (2)")}));
    // A recipe saved with a new category shows after the book changed.
    Add(QStringLiteral("担担面"), {QStringLiteral("面食")}, false);
    Form->Extras().RecipeChanged(Form->ADOQuery1.RowId());
    EXPECT_TRUE(ComboItems().contains(QStringLiteral("面食 (1)")));
}

TEST_F(BrowseExtrasTest, CategoryFavouritesAndKeywordNarrowTogether) {
    struct TCase {
        const char* Category; // "" for all
        bool Favourites;
        const char* Keyword;
        QStringList Listed;
    };
    const QStringList all = Listed();
    const TCase cases[] = {
        {"", false, "", all},
        {"川菜", false, "", {"回锅肉", "麻婆豆腐", "豆花"}},
        {"家常菜", false, "", {"回锅肉", "番茄炒蛋"}},
        {"", true, "", {"回锅肉", "番茄炒蛋"}},
        {"川菜", true, "", {"回锅肉"}},
        {"川菜", false, "豆", {"麻婆豆腐", "豆花"}},
        {"早餐", false, "豆", {"豆花"}},
        {"早餐", true, "", {}},
        {"", false, "鱼", {"清蒸鱼"}},
        {"川菜", false, "鱼", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Category) + (c.Favourites ? " 收藏 " : " ") + c.Keyword);
        Ui().Edit2->setText(QString::fromUtf8(c.Keyword));
        Browse().FavouriteBox().setChecked(c.Favourites);
        Browse().ChooseCategory(QString::fromUtf8(c.Category));
        EXPECT_EQ(Listed(), c.Listed);
        EXPECT_EQ(Panel(0), QStringLiteral("共%1种菜").arg(c.Listed.size()));
        // "查找" itself keeps the narrowing.
        QTest::mouseClick(Ui().BitBtn6, Qt::LeftButton);
        EXPECT_EQ(Listed(), c.Listed);
    }
}

TEST_F(BrowseExtrasTest, ListedEntryShowsTheNarrowedRecipeOfItsName) {
    Browse().ChooseCategory(QStringLiteral("川菜"));
    const int at = int(Listed().indexOf(QStringLiteral("豆花")));
    ASSERT_GE(at, 0);
    View(at);
    EXPECT_TRUE(ViewText().contains(QStringLiteral("咸"))) << qPrintable(ViewText());
    EXPECT_EQ(Panel(1), QStringLiteral("第3种菜"));
    Browse().ChooseCategory(QStringLiteral("早餐"));
    View(int(Listed().indexOf(QStringLiteral("豆花"))));
    EXPECT_TRUE(ViewText().contains(QStringLiteral("甜")));
}

TEST_F(BrowseExtrasTest, SuggestionsOfferCategoriesAndTakingOneNarrows) {
    Form->show();
    QTest::mouseClick(Ui().BitBtn2, Qt::LeftButton);
    Ui().Edit2->setFocus();
    TSearchSuggest& suggest = Form->Extras().SearchSuggest();
    const std::pair<const char*, QStringList> cases[] = {
        {"chuancai", {QStringLiteral("川菜")}},
        {"cc", {QStringLiteral("川菜"), QStringLiteral("家常菜")}}, // at the start first
        {"早", {QStringLiteral("早餐")}},
        {"jia", {QStringLiteral("家常菜")}},
        {"鱼", {}},
    };
    for (const auto& [typed, categories] : cases)
        EXPECT_EQ(suggest.SuggestCategories(QString::fromUtf8(typed)), categories) << typed;

    QTest::keyClicks(Ui().Edit2, QStringLiteral("chuancai"));
    ASSERT_TRUE(suggest.Shown());
    ASSERT_GE(suggest.List().count(), 1);
    EXPECT_EQ(suggest.List().item(0)->text(), QStringLiteral("川菜（分类）"));
    QTest::keyClick(Ui().Edit2, Qt::Key_Down);
    QTest::keyClick(Ui().Edit2, Qt::Key_Return);
    EXPECT_FALSE(suggest.Shown());
    EXPECT_EQ(Browse().Category(), QStringLiteral("川菜"));
    EXPECT_EQ(Ui().Edit2->text(), QString());
    EXPECT_EQ(Listed(), (QStringList{QStringLiteral("回锅肉"), QStringLiteral("麻婆豆腐"),
                                     QStringLiteral("豆花")}));
}

TEST_F(BrowseExtrasTest, BookWithoutOurTablesHasNoCategories) {
    TADOConnection& connection = Form->ADOConnection1;
    connection.Execute(QStringLiteral("drop trigger mycook_extras_gone"));
    connection.Execute(QStringLiteral("drop trigger mycook_extras_fresh"));
    for (const char* table : {"mycook_label", "mycook_picture", "mycook_whole", "mycook_recipe"})
        connection.Execute(QStringLiteral("drop table %1").arg(QLatin1String(table)));
    EXPECT_TRUE(CategoryCounts(connection).empty());
    EXPECT_TRUE(CategoryRows(connection, QStringLiteral("川菜")).empty());
    EXPECT_TRUE(FavouriteRows(connection).empty());
    Form->Extras().BookChanged();
    EXPECT_EQ(ComboItems(), QStringList{QStringLiteral("全部分类")});
}
} // namespace
