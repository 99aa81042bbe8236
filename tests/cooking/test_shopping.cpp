// Shopping lists of several recipes: sums, units side by side, "适量" once,
// the market's groups, and the text carried away.
#include "ShoppingList.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList Lines(const std::vector<TShoppingItem>& items) {
    QStringList out;
    for (const TShoppingItem& item : items)
        out << MarketGroupName(item.Group) + u'|' + item.Name + u'|' + item.Amount;
    return out;
}

TEST(MakeShoppingList, SumsAndKeepsApart) {
    const struct {
        const char* What;
        std::vector<TShoppingRecipe> Recipes;
        QStringList Expected;
    } cases[] = {
        {"same unit adds",
         {{u"回锅肉"_s, u"五花肉 500克\n鸡蛋 2个"_s}, {u"红烧肉"_s, u"五花肉 300克\n鸡蛋 3个"_s}},
         {u"肉禽蛋|五花肉|800克"_s, u"肉禽蛋|鸡蛋|5个"_s}},
        {"mass through grams",
         {{u"a"_s, u"猪肉 半斤"_s}, {u"b"_s, u"猪肉 200克"_s}},
         {u"肉禽蛋|猪肉|450克"_s}},
        {"one unit kept as written",
         {{u"a"_s, u"牛肉 1斤"_s}, {u"b"_s, u"牛肉 半斤"_s}},
         {u"肉禽蛋|牛肉|1.5斤"_s}},
        {"kinds that do not add side by side",
         {{u"a"_s, u"姜 3片"_s}, {u"b"_s, u"姜 1块\n姜 10克"_s}},
         {u"蔬菜|姜|3片 + 1块 + 10克"_s}},
        {"a bare count joins the pieces",
         {{u"a"_s, u"鸡蛋 2个"_s}, {u"b"_s, u"鸡蛋 3"_s}},
         {u"肉禽蛋|鸡蛋|5个"_s}},
        {"ranges add both ends",
         {{u"a"_s, u"青椒 两三个"_s}, {u"b"_s, u"青椒 1个"_s}},
         {u"蔬菜|青椒|3-4个"_s}},
        {"适量 once",
         {{u"a"_s, u"盐 适量\n糖 少许"_s}, {u"b"_s, u"盐 适量"_s}, {u"c"_s, u"盐适量"_s}},
         {u"调料|盐|适量"_s, u"调料|糖|少许"_s}},
        {"an amount and 适量",
         {{u"a"_s, u"生抽 1汤匙"_s}, {u"b"_s, u"生抽 适量"_s}},
         {u"调料|生抽|1汤匙 + 适量"_s}},
        {"Western names alike",
         {{u"a"_s, u"2 eggs\n1 cup flour"_s}, {u"b"_s, u"1 Egg\n1 1/2 cups Flour"_s}},
         {u"肉禽蛋|eggs|3"_s, u"调料|flour|2 1/2 cup"_s}},
        {"scaled recipes",
         {{u"a"_s, u"五花肉 500克"_s, 2}, {u"b"_s, u"五花肉 300克"_s, 0.5}},
         {u"肉禽蛋|五花肉|1150克"_s}},
        {"headings and blanks skipped",
         {{u"a"_s, u"调料：\n\n  \n豆腐 1块"_s}},
         {u"豆制品|豆腐|1块"_s}},
        {"groups in market order",
         {{u"a"_s, u"盐 1克\n青菜 300克\n豆腐 1块\n虾仁 150克\n鸡翅 6只\n保鲜膜 1卷"_s}},
         {u"肉禽蛋|鸡翅|6只"_s, u"水产|虾仁|150克"_s, u"蔬菜|青菜|300克"_s, u"豆制品|豆腐|1块"_s,
          u"调料|盐|1克"_s, u"其他|保鲜膜 1卷|"_s}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Lines(MakeShoppingList(c.Recipes)), c.Expected) << c.What;
}

TEST(MarketGroupOf, LongestAndLastWordDecides) {
    const struct {
        const char16_t* Name;
        TMarketGroup Group;
    } cases[] = {
        {u"鸡蛋", TMarketGroup::Meat},           {u"鸡精", TMarketGroup::Seasoning},
        {u"花椒", TMarketGroup::Seasoning},      {u"青椒", TMarketGroup::Vegetable},
        {u"菜籽油", TMarketGroup::Seasoning},    {u"猪油", TMarketGroup::Seasoning},
        {u"鱼露", TMarketGroup::Seasoning},      {u"草鱼", TMarketGroup::Seafood},
        {u"嫩豆腐", TMarketGroup::Soy},          {u"豆瓣酱", TMarketGroup::Seasoning},
        {u"四季豆", TMarketGroup::Vegetable},    {u"Olive oil", TMarketGroup::Seasoning},
        {u"chicken thighs", TMarketGroup::Meat}, {u"chicken", TMarketGroup::Meat},
        {u"Ground beef", TMarketGroup::Meat},    {u"shallots", TMarketGroup::Other},
        {u"保鲜膜", TMarketGroup::Other},        {u"", TMarketGroup::Other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MarketGroupOf(c.Name), c.Group) << QString::fromUtf16(c.Name).toStdString();
}

TEST(ShoppingText, GroupedLines) {
    const auto items = MakeShoppingList(
        {{u"回锅肉"_s, u"五花肉 500克\n盐 适量"_s}, {u"番茄炒蛋"_s, u"鸡蛋 3个\n番茄 2个"_s}});
    EXPECT_EQ(
        ShoppingText(items, {u"回锅肉"_s, u"番茄炒蛋"_s}),
        u"购物清单：回锅肉、番茄炒蛋\n【肉禽蛋】\n五花肉 500克\n鸡蛋 3个\n【蔬菜】\n番茄 2个\n"
        u"【调料】\n盐 适量"_s);
    EXPECT_EQ(ShoppingText({}, {}), u"购物清单"_s);
}

} // namespace
