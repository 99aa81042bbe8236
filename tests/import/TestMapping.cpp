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

TEST(MapToColumns, NumbersStepsKeepsHeadingsAndFillsTheNote) {
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
    r.CookTime = QStringLiteral("PT10M");
    r.Source = QStringLiteral("https://example.cn/a");
    const TRecipeColumns c = MapToColumns(r);
    EXPECT_EQ(c.Name, QStringLiteral("番茄 炒蛋"));
    EXPECT_EQ(c.Ingredients, QStringLiteral("酱汁\n番茄 2个\n盐 适量"));
    EXPECT_EQ(c.Method, QStringLiteral("准备\n1. 切块\n2. 炒"));
    EXPECT_EQ(c.Note,
              QStringLiteral("快手菜\n份量：2人份\n烹饪：10分钟\n来源：https://example.cn/a"));
}

TEST(MapToColumns, WhatDoesNotFitIsKeptWholeInTheMethod) {
    TImportedRecipe r;
    r.Name = QString(40, u'名');
    for (int i = 0; i < 40; ++i)
        r.Ingredients.push_back({QStringLiteral("配料%1 适量").arg(i), false});
    r.Description = QString(300, u'说');
    r.Steps = {{QStringLiteral("做"), false}};
    r.Notes = QStringLiteral("趁热吃");
    const TRecipeColumns c = MapToColumns(r);
    EXPECT_EQ(c.Name.size(), NameColumnChars);
    EXPECT_TRUE(c.Name.endsWith(u'…'));
    EXPECT_LE(c.Ingredients.size(), IngredientsColumnChars);
    EXPECT_TRUE(c.Ingredients.endsWith(u'…'));
    EXPECT_EQ(c.Note.size(), NoteColumnChars);
    const QStringList method = c.Method.split(u'\n');
    EXPECT_EQ(method.first(), QStringLiteral("1. 做"));
    for (const char* heading : {"【备注】", "【完整菜名】", "【完整配料】", "【完整说明】"})
        EXPECT_TRUE(method.contains(QString::fromUtf8(heading))) << heading;
    EXPECT_TRUE(method.contains(QString(40, u'名')));
    EXPECT_TRUE(method.contains(QString(300, u'说')));
    EXPECT_TRUE(method.contains(QStringLiteral("配料39 适量")));
}

TEST(MapToColumns, EmptyNameAndExactTexts) {
    TImportedRecipe r;
    EXPECT_EQ(MapToColumns(r).Name, QStringLiteral("未命名菜谱"));
    r.Exact = TRecipeColumns{QStringLiteral(" a "), QStringLiteral("b\n\n"), QStringLiteral("c  d"),
                             QString()};
    EXPECT_EQ(MapToColumns(r), *r.Exact);
}
} // namespace
