// Real ingredient lines, Chinese and Western, and those the importers write
// (MealMaster's "2 c Heavy cream", schema.org's "1 1/2 cups flour"): what is read
// from each, and each scaled.
#include "Ingredient.h"

#include <gtest/gtest.h>

namespace {

struct TReadCase {
    const char16_t* Line;
    TLineKind Kind;
    const char16_t* Name;
    double Low;
    double High;
    const char16_t* UnitKey; // nullptr: no amount
    const char16_t* Vague = u"";
};

constexpr TLineKind A = TLineKind::Amount, U = TLineKind::Unread, H = TLineKind::Heading;

const TReadCase ReadCases[] = {
    // Chinese, name first
    {u"五花肉 500克", A, u"五花肉", 500, 500, u"g"},
    {u"五花肉500g", A, u"五花肉", 500, 500, u"g"},
    {u"五花肉：500 克", A, u"五花肉", 500, 500, u"g"},
    {u"鸡蛋 2个", A, u"鸡蛋", 2, 2, u"个"},
    {u"鸡蛋两个", A, u"鸡蛋", 2, 2, u"个"},
    {u"鸡蛋 3", A, u"鸡蛋", 3, 3, u""},
    {u"土豆 一个半", A, u"土豆", 1.5, 1.5, u"个"},
    {u"青椒 两三个", A, u"青椒", 2, 3, u"个"},
    {u"干辣椒 三五个", A, u"干辣椒", 3, 5, u"个"},
    {u"蒜 3瓣", A, u"蒜", 3, 3, u"瓣"},
    {u"姜 一块", A, u"姜", 1, 1, u"块"},
    {u"葱 2根", A, u"葱", 2, 2, u"根"},
    {u"生抽 1汤匙", A, u"生抽", 1, 1, u"汤匙"},
    {u"料酒 1-2勺", A, u"料酒", 1, 2, u"勺"},
    {u"冰糖 15～20克", A, u"冰糖", 15, 20, u"g"},
    {u"白糖 半勺", A, u"白糖", 0.5, 0.5, u"勺"},
    {u"老抽 1/2 勺", A, u"老抽", 0.5, 0.5, u"勺"},
    {u"猪肉 半斤", A, u"猪肉", 0.5, 0.5, u"斤"},
    {u"牛肉 一斤半", A, u"牛肉", 1.5, 1.5, u"斤"},
    {u"猪肉 一两", A, u"猪肉", 1, 1, u"两"},   // one 两, not one or two
    {u"香菇 一两个", A, u"香菇", 1, 2, u"个"}, // one or two
    {u"水 1.5升", A, u"水", 1.5, 1.5, u"l"},
    {u"高汤 250毫升", A, u"高汤", 250, 250, u"ml"},
    {u"面粉 2杯", A, u"面粉", 2, 2, u"杯"},
    {u"豆瓣酱 一大勺", A, u"豆瓣酱", 1, 1, u"大勺"},
    {u"五花肉 500克（带皮）", A, u"五花肉", 500, 500, u"g"},
    {u"三文鱼 200克", A, u"三文鱼", 200, 200, u"g"}, // 三 of a name is no amount
    {u"五香粉 1小匙", A, u"五香粉", 1, 1, u"小匙"},
    {u"八角 2个", A, u"八角", 2, 2, u"个"},
    {u"十三香 少许", U, u"十三香", 0, 0, nullptr, u"少许"},
    {u"四季豆 300克", A, u"四季豆", 300, 300, u"g"},
    {u"1. 五花肉 500克", A, u"五花肉", 500, 500, u"g"},
    {u"- 鸡蛋 2个", A, u"鸡蛋", 2, 2, u"个"},
    // Chinese, amount first
    {u"500克五花肉", A, u"五花肉", 500, 500, u"g"},
    {u"2个鸡蛋", A, u"鸡蛋", 2, 2, u"个"},
    {u"半个洋葱", A, u"洋葱", 0.5, 0.5, u"个"},
    {u"一只鸡", A, u"鸡", 1, 1, u"只"},
    // Western, as typed and as the importers write them
    {u"2 cups flour", A, u"flour", 2, 2, u"cup"},
    {u"1 1/2 cups flour", A, u"flour", 1.5, 1.5, u"cup"},
    {u"½ cup sugar", A, u"sugar", 0.5, 0.5, u"cup"},
    {u"2-3 cloves garlic, minced", A, u"garlic", 2, 3, u"clove"},
    {u"2 to 3 cloves garlic", A, u"garlic", 2, 3, u"clove"},
    {u"1 lb ground beef", A, u"ground beef", 1, 1, u"lb"},
    {u"8 oz. cream cheese, softened", A, u"cream cheese", 8, 8, u"oz"},
    {u"3 eggs", A, u"eggs", 3, 3, u""},
    {u"2 large eggs", A, u"eggs", 2, 2, u"large"},
    {u"1 (14 oz) can tomatoes", A, u"can tomatoes", 1, 1, u""},
    {u"2 tablespoons olive oil", A, u"olive oil", 2, 2, u"tbsp"},
    {u"1.5 kg pork shoulder", A, u"pork shoulder", 1.5, 1.5, u"kg"},
    {u"2 c Heavy cream", A, u"Heavy cream", 2, 2, u"cup"},
    {u"1 ts Vanilla extract or one vanilla bean, split", A, u"Vanilla extract or one vanilla bean",
     1, 1, u"tsp"},
    {u"2 tb Chili powder", A, u"Chili powder", 2, 2, u"tbsp"},
    {u"1/2 c Sugar", A, u"Sugar", 0.5, 0.5, u"cup"},
    {u"5 Egg yolks", A, u"Egg yolks", 5, 5, u""},
    {u"1 pinch chili flakes（可选）", A, u"chili flakes", 1, 1, u"pinch"},
    {u"4 tbsp butter", A, u"butter", 4, 4, u"tbsp"},
    {u"Flour for dusting", U, u"Flour for dusting", 0, 0, nullptr},
    // What cannot be read stays as written
    {u"盐 适量", U, u"盐", 0, 0, nullptr, u"适量"},
    {u"盐适量", U, u"盐", 0, 0, nullptr, u"适量"},
    {u"糖 少许", U, u"糖", 0, 0, nullptr, u"少许"},
    {u"适量葱花", U, u"葱花", 0, 0, nullptr, u"适量"},
    {u"salt to taste", U, u"salt", 0, 0, nullptr, u"to taste"},
    {u"盐 to taste", U, u"盐", 0, 0, nullptr, u"to taste"},
    {u"Salt", U, u"Salt", 0, 0, nullptr},
    {u"2% milk", U, u"2% milk", 0, 0, nullptr},
    {u"烤箱 180°", U, u"烤箱 180°", 0, 0, nullptr},
    {u"H2O", U, u"H2O", 0, 0, nullptr},
    // Headings
    {u"调料：", H, u"", 0, 0, nullptr},
    {u"【腌料】", H, u"", 0, 0, nullptr},
    {u"For the sauce:", H, u"", 0, 0, nullptr},
    {u"#TOPPING", H, u"", 0, 0, nullptr},
    {u"CRUMB TOPPING", H, u"", 0, 0, nullptr}, // MealMaster's sections, as imported
    {u"SALT", H, u"", 0, 0, nullptr},
    {u"Salt", U, u"Salt", 0, 0, nullptr},
    {u"薑片 適量", U, u"薑片", 0, 0, nullptr, u"適量"},
    {u"—— 配料 ——", H, u"", 0, 0, nullptr},
    {u"   ", TLineKind::Empty, u"", 0, 0, nullptr},
};

TEST(ReadIngredient, RealLines) {
    for (const TReadCase& c : ReadCases) {
        const QString line = QString::fromUtf16(c.Line);
        const TIngredient ing = ReadIngredient(line);
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(ing.Kind, c.Kind);
        if (c.Kind == H || c.Kind == TLineKind::Empty)
            continue;
        EXPECT_EQ(ing.Name.toStdString(), QString::fromUtf16(c.Name).toStdString());
        EXPECT_EQ(ing.Vague, QString::fromUtf16(c.Vague));
        if (!c.UnitKey)
            continue;
        ASSERT_NE(ing.Amount.Unit, nullptr);
        EXPECT_EQ(ing.Amount.Unit->Key.toString().toStdString(),
                  QString::fromUtf16(c.UnitKey).toStdString());
        EXPECT_DOUBLE_EQ(ing.Amount.Low, c.Low);
        EXPECT_DOUBLE_EQ(ing.Amount.High, c.High);
    }
}

TEST(ScaledText, EachFormScaled) {
    const struct {
        const char16_t* Line;
        double Factor;
        const char16_t* Scaled;
    } cases[] = {
        {u"五花肉 500克", 2, u"五花肉 1000克"},
        {u"五花肉 500克", 1.0 / 3, u"五花肉 167克"},
        {u"五花肉500g（带皮）", 0.5, u"五花肉250g（带皮）"},
        {u"鸡蛋 1个", 1.0 / 3, u"鸡蛋 1/3个"},
        {u"鸡蛋 2个", 0.5, u"鸡蛋 1个"},
        {u"鸡蛋 3个", 0.5, u"鸡蛋 1.5个"},
        {u"鸡蛋两个", 3, u"鸡蛋6个"},
        {u"土豆 一个半", 2, u"土豆 3个"},
        {u"青椒 两三个", 2, u"青椒 4-6个"},
        {u"冰糖 15～20克", 2, u"冰糖 30～40克"},
        {u"料酒 1-2勺", 0.5, u"料酒 1/2-1勺"},
        {u"白糖 半勺", 3, u"白糖 1.5勺"},
        {u"老抽 1/2 勺", 2, u"老抽 1 勺"},
        {u"猪肉 半斤", 3, u"猪肉 1.5斤"},
        {u"鸡蛋 3", 2, u"鸡蛋 6"},
        {u"2个鸡蛋", 0.5, u"1个鸡蛋"},
        {u"1 cup sugar", 2, u"2 cups sugar"},
        {u"2 cups flour", 0.5, u"1 cup flour"},
        {u"1 1/2 cups flour", 2, u"3 cups flour"},
        {u"½ cup sugar", 3, u"1 1/2 cups sugar"},
        {u"1 clove garlic", 3, u"3 cloves garlic"},
        {u"2-3 cloves garlic", 2, u"4-6 cloves garlic"},
        {u"2 to 3 cloves garlic", 2, u"4 to 6 cloves garlic"},
        {u"3 eggs", 2, u"6 eggs"},
        {u"1 egg", 0.5, u"1/2 egg"},
        {u"2 c Heavy cream", 1.5, u"3 c Heavy cream"},
        {u"1 ts Vanilla extract", 0.5, u"1/2 ts Vanilla extract"},
        {u"1 lb ground beef", 1.5, u"1 1/2 lb ground beef"},
        {u"1.5 kg pork", 2, u"3 kg pork"},
        // Unread lines and factor one: as written
        {u"盐 适量", 2, u"盐 适量"},
        {u"salt to taste", 3, u"salt to taste"},
        {u"调料：", 2, u"调料："},
        {u"五花肉 500克", 1, u"五花肉 500克"},
        {u"2% milk", 2, u"2% milk"},
    };
    for (const auto& c : cases) {
        const QString line = QString::fromUtf16(c.Line);
        EXPECT_EQ(ScaledText(ReadIngredient(line), c.Factor).toStdString(),
                  QString::fromUtf16(c.Scaled).toStdString())
            << line.toStdString() << " ×" << c.Factor;
    }
}

TEST(ScaledText, ScalingAndBackGivesTheLine) {
    // The view scales from the line as stored, never from a scaled line.
    const TIngredient ing = ReadIngredient(u"五花肉 500克");
    EXPECT_EQ(ScaledText(ing, 1), QStringLiteral("五花肉 500克"));
    EXPECT_EQ(ScaledText(ing, 0), QStringLiteral("五花肉 500克"));
    EXPECT_EQ(ScaledText(ing, -2), QStringLiteral("五花肉 500克"));
    EXPECT_EQ(ScaledText(ing, std::numeric_limits<double>::quiet_NaN()),
              QStringLiteral("五花肉 500克"));
}

TEST(ReadIngredient, HostileLinesStayText) {
    const QString longLine = QString(5000, u'1') + QStringLiteral("克");
    EXPECT_EQ(ReadIngredient(longLine).Kind, TLineKind::Unread);
    EXPECT_EQ(ReadIngredient(QString(50, u'9') + QStringLiteral("克")).Kind, TLineKind::Unread);
    EXPECT_EQ(ReadIngredient(QStringLiteral("1/0 cup")).Kind, TLineKind::Unread);
    EXPECT_EQ(ReadIngredient(QStringLiteral("0克")).Kind, TLineKind::Unread);
}

TEST(NameKey, SameThingSameKey) {
    EXPECT_EQ(NameKey(u"Eggs"), NameKey(u"egg"));
    EXPECT_EQ(NameKey(u"tomatoes"), NameKey(u"Tomato"));
    EXPECT_EQ(NameKey(u"olive  oil"), NameKey(u"Olive oil"));
    EXPECT_NE(NameKey(u"glass"), NameKey(u"glas"));
    EXPECT_EQ(NameKey(u"五花肉"), QStringLiteral("五花肉"));
}

} // namespace
