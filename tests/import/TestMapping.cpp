// Fitting imported recipes into the book's columns.
#include "ColumnMapping.h"

#include <gtest/gtest.h>

namespace {
struct TCutCase {
    const char16_t* Text;
    int Max;
    const char16_t* Expected;
};

TEST(CutToFit, CutsBetweenCharactersWithEllipsis) {
    const TCutCase cases[] = {
        {u"abc", 3, u"abc"},
        {u"abcd", 3, u"ab…"},
        {u"红烧肉卤蛋", 4, u"红烧肉…"},
        // A surrogate pair (𠮷) is never split.
        {u"ab𠮷cd", 4, u"ab…"},
        {u"ab𠮷cd", 5, u"ab𠮷…"},
        // A base letter keeps its combining accent.
        {u"cafe\u0301s", 5, u"caf…"},
        {u"", 3, u""},
        {u"abc", 0, u""},
    };
    for (const TCutCase& c : cases) {
        const QString got = CutToFit(QString::fromUtf16(c.Text), c.Max);
        EXPECT_EQ(got, QString::fromUtf16(c.Expected)) << QString::fromUtf16(c.Text).toStdString();
        EXPECT_LE(got.size(), std::max(c.Max, 0));
    }
}

// Long texts: the grapheme finder reads only around the cut, so the cases put the
// deciding character at its edge and far past it.
TEST(CutToFit, LongTextsCutAsShortOnes) {
    const QString many = QString(300, u'x');
    struct TLongCase {
        QString Text;
        int Max;
        QString Expected;
    };
    const TLongCase cases[] = {
        {many, 255, QString(254, u'x') + u'…'},
        // An accent right after the cut keeps its letter out too.
        {QString(253, u'x') + QStringLiteral("e\u0301") + many, 255, QString(253, u'x') + u'…'},
        // A surrogate pair straddling the cut.
        {QString(253, u'x') + QStringLiteral("𠮷") + many, 255, QString(253, u'x') + u'…'},
        // Many accents after the cut: the finder's window ends inside them.
        {QString(253, u'x') + u'e' + QString(80, QChar(0x0301)) + many, 255,
         QString(253, u'x') + u'…'},
    };
    for (const TLongCase& c : cases)
        EXPECT_EQ(CutToFit(c.Text, c.Max), c.Expected) << c.Text.left(20).toStdString();
}

TEST(CollapseWhitespace, OneSpaceBetweenWordsNoneAround) {
    const struct {
        const char16_t* Text;
        const char16_t* Expected;
    } cases[] = {
        {u"", u""},
        {u"   ", u""},
        {u"a", u"a"},
        {u"a b", u"a b"},
        {u" a", u"a"},
        {u"a ", u"a"},
        {u"a  b", u"a b"},
        {u"a\tb", u"a b"},
        {u"a \tb", u"a b"},
        {u"a\u00A0b", u"a b"}, // no-break space
        {u"a\u3000b", u"a b"}, // ideographic space
        {u"\n红烧 \r\n 肉\n", u"红烧 肉"},
        {u"a b\u00A0", u"a b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CollapseWhitespace(QString::fromUtf16(c.Text)), QString::fromUtf16(c.Expected))
            << QString::fromUtf16(c.Text).toStdString();
}

TEST(DurationText, IsoDurationsInChinese) {
    const std::pair<const char*, const char*> cases[] = {
        {"PT1H30M", "1小时30分钟"},
        {"PT20M", "20分钟"},
        {"P1DT2H", "1天2小时"},
        {"PT0H15M", "15分钟"},
        {"P2M", "2个月"},
        {"PT45S", "45秒"},
        {"PT", "PT"},
        {"1 hour", "1 hour"},
        {"PT1X", "PT1X"},
        {"PTH", "PTH"},
        {" PT5M ", "5分钟"},
        {"PT0M", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(DurationText(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(WithoutStepNumber, RemovesOnlyAStepsOwnNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"1. 切菜", "切菜"},
        {"12、焯水", "焯水"},
        {"3) Mix", "Mix"},
        {"1.5 kg flour", "1.5 kg flour"},
        {"2 eggs", "2 eggs"},
        {"1234. x", "1234. x"},
        {"切菜", "切菜"},
        {"1.", "1."},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(WithoutStepNumber(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(MapToColumns, NumbersStepsKeepsHeadingsAndKeepsTheOtherFieldsApart) {
    TImportedRecipe r;
    r.Name = QStringLiteral("  番茄\n炒蛋 ");
    r.Ingredients = {{QStringLiteral("酱汁"), true},
                     {QStringLiteral("番茄 2个"), false},
                     {QString(), false},
                     {QStringLiteral("盐 适量"), false}};
    r.Steps = {{QStringLiteral("准备"), true},
               {QStringLiteral("1. 切块"), false},
               {QStringLiteral("炒"), false}};
    r.Description = QStringLiteral("快手菜");
    r.Yield = QStringLiteral("2人份");
    r.CookTime = QStringLiteral("10 mins");
    r.TotalTime = QStringLiteral("PT1H5M");
    r.PrepTime = QStringLiteral("a while");
    r.Source = QStringLiteral("https://example.cn/a");
    r.Categories = {QStringLiteral("家常菜"), QStringLiteral(" 家常菜 "), QString()};
    const TRecipe whole = RecipeFromImport(r);
    const TRecipeColumns& c = whole.Columns;
    EXPECT_EQ(c.Name, QStringLiteral("番茄 炒蛋"));
    EXPECT_EQ(c.Ingredients, QStringLiteral("酱汁\n番茄 2个\n盐 适量"));
    EXPECT_EQ(c.Method, QStringLiteral("准备\n1. 切块\n2. 炒"));
    // 说明 keeps the description alone: the other fields have their own places.
    EXPECT_EQ(c.Note, QStringLiteral("快手菜"));
    EXPECT_EQ(whole.Servings, 2);
    EXPECT_EQ(whole.ServingsUnit, QStringLiteral("人份"));
    EXPECT_EQ(whole.CookTime, QStringLiteral("PT10M"));
    EXPECT_EQ(whole.TotalTime, QStringLiteral("PT1H5M"));
    EXPECT_EQ(whole.PrepTime, QStringLiteral("a while")); // kept as written
    EXPECT_EQ(whole.Source, QStringLiteral("https://example.cn/a"));
    EXPECT_EQ(whole.Categories, QStringList{QStringLiteral("家常菜")});
    EXPECT_EQ(MapToColumns(r), c);
}

TEST(MapToColumns, WhatDoesNotFitIsCutInTheColumnsAndKeptWhole) {
    TImportedRecipe r;
    r.Name = QString(40, u'名');
    for (int i = 0; i < 40; ++i)
        r.Ingredients.push_back({QStringLiteral("配料%1 适量").arg(i), false});
    r.Description = QString(300, u'说');
    r.Steps = {{QStringLiteral("做"), false}};
    r.Notes = QStringLiteral("趁热吃");
    const TRecipe whole = RecipeFromImport(r);
    const TRecipeColumns& c = whole.Columns;
    EXPECT_EQ(c.Name.size(), NameColumnChars);
    EXPECT_TRUE(c.Name.endsWith(u'…'));
    EXPECT_LE(c.Ingredients.size(), IngredientsColumnChars);
    EXPECT_TRUE(c.Ingredients.endsWith(u'…'));
    EXPECT_EQ(c.Note.size(), NoteColumnChars);
    // No overflow blocks in 做法 any more: the whole texts are the recipe's own.
    EXPECT_EQ(c.Method, QStringLiteral("1. 做"));
    EXPECT_EQ(whole.Name, QString(40, u'名'));
    EXPECT_TRUE(whole.Ingredients.endsWith(QStringLiteral("配料39 适量")));
    EXPECT_EQ(whole.Note, QString(300, u'说') + QStringLiteral("\n\n趁热吃"));
}

TEST(MapToColumns, EmptyNameAndExactTexts) {
    TImportedRecipe r;
    EXPECT_EQ(MapToColumns(r).Name, QStringLiteral("未命名菜谱"));
    r.Exact = TRecipeColumns{QStringLiteral(" a "), QStringLiteral("b\n\n"), QStringLiteral("c  d"),
                             QString()};
    EXPECT_EQ(MapToColumns(r), *r.Exact);
}

// Durations as schema.org writes them, from what programs and pages say.
TEST(IsoDuration, FromIsoAndFromWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"PT1H30M", "PT1H30M"},
        {"pt20m", "PT20M"},
        {"P1DT2H", "P1DT2H"},
        {"30 minutes", "PT30M"},
        {"1 hour 30 mins", "PT1H30M"},
        {"1 hr, 5 min", "PT1H5M"},
        {"90 min", "PT1H30M"},
        {"1.5 hours", "PT1H30M"},
        {"1小时30分钟", "PT1H30M"},
        {"45分钟", "PT45M"},
        {"1:05", "PT1H5M"},
        {"2 days", "PT48H"},
        {"overnight", ""},
        {"30", ""}, // no unit: not known to be minutes
        {"0 minutes", ""},
        {"P", ""},
        {"", ""},
        {"5 minutes or so", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(IsoDuration(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(ReadYield, NumberAndUnitOrTheWholeText) {
    struct TCase {
        const char* Text;
        double Servings;
        const char* Unit;
    };
    const TCase cases[] = {
        {"4 servings", 4, "servings"}, {"4人份", 4, "人份"},
        {"12 个", 12, "个"},           {"2.5", 2.5, ""},
        {"4-6 人份", 0, "4-6 人份"},   {"1/2 pan", 0, "1/2 pan"},
        {"一盘", 0, "一盘"},           {"", 0, ""},
        {" 8  slices ", 8, "slices"},
    };
    for (const TCase& c : cases) {
        double servings = -1;
        QString unit;
        ReadYield(QString::fromUtf8(c.Text), servings, unit);
        EXPECT_EQ(servings, c.Servings) << c.Text;
        EXPECT_EQ(unit, QString::fromUtf8(c.Unit)) << c.Text;
        // Written back, a yield reads the same again.
        double again = -1;
        QString unitAgain;
        ReadYield(YieldText(servings, unit), again, unitAgain);
        EXPECT_EQ(again, servings) << c.Text;
        EXPECT_EQ(unitAgain, unit) << c.Text;
    }
}

// 做法 of earlier imports held the whole texts after the steps; they are read back.
TEST(ReadMethod, StepsHeadingsAndEarlierOverflowBlocks) {
    const TMethodParts old = ReadMethod(
        QStringLiteral("准备\n1. 切块\n2. 炒\n\n【备注】\n趁热吃\n\n【完整菜名】\n很长的名字\n\n"
                       "【完整配料】\n盐\n糖\n\n【完整说明】\n说明一\n说明二"));
    ASSERT_EQ(old.Steps.size(), 3u);
    EXPECT_TRUE(old.Steps[0].Heading);
    EXPECT_EQ(old.Steps[1].Text, QStringLiteral("切块"));
    EXPECT_EQ(old.Notes, QStringLiteral("趁热吃"));
    EXPECT_EQ(old.WholeName, QStringLiteral("很长的名字"));
    EXPECT_EQ(old.WholeIngredients, QStringLiteral("盐\n糖"));
    EXPECT_EQ(old.WholeNote, QStringLiteral("说明一\n说明二"));
    // A method typed by hand: every line a step, its own numbers taken off.
    const TMethodParts typed = ReadMethod(QStringLiteral("1、洗菜\n\n  切【好】  \n炒"));
    ASSERT_EQ(typed.Steps.size(), 3u);
    EXPECT_EQ(typed.Steps[0].Text, QStringLiteral("洗菜"));
    EXPECT_FALSE(typed.Steps[1].Heading);
    EXPECT_EQ(typed.Steps[1].Text, QStringLiteral("切【好】"));
    EXPECT_TRUE(typed.WholeName.isEmpty());
    // A heading word in the middle of the steps is no overflow block.
    const TMethodParts inner = ReadMethod(QStringLiteral("1. 做\n【备注】\n2. 吃"));
    EXPECT_EQ(inner.Steps.size(), 3u);
    EXPECT_TRUE(inner.Notes.isEmpty());
    // MethodText and ReadMethod agree on what they write.
    const std::vector<TRecipeLine> steps{
        {QStringLiteral("酱汁"), true}, {QStringLiteral("3. 调匀")}, {QStringLiteral("淋上")}};
    const TMethodParts back = ReadMethod(MethodText(steps));
    ASSERT_EQ(back.Steps.size(), 3u);
    EXPECT_TRUE(back.Steps[0].Heading);
    EXPECT_EQ(back.Steps[1].Text, QStringLiteral("调匀"));
    EXPECT_EQ(MethodText(back.Steps), MethodText(steps));
}
} // namespace
