// Headings that name a recipe's parts, methods that number their own steps,
// ingredients given on one line.
#include "ImportTestUtil.h"
#include "RecipeLines.h"

namespace {
TEST(RecipeLines, HeadingsNameTheirPartInManyLanguages) {
    struct TCase {
        const char* Text;
        TRecipePart Part;
        bool Generic;
        const char* Title;
        const char* Rest;
    };
    using P = TRecipePart;
    const TCase cases[] = {
        {"用料", P::Ingredients, true, "用料", ""},
        {"【食材】五花肉500克、冰糖", P::Ingredients, true, "食材", "五花肉500克、冰糖"},
        {"所需材料：", P::Ingredients, true, "所需材料", ""},
        {"主料：五花肉 500克", P::Ingredients, false, "主料", "五花肉 500克"},
        {"面团材料", P::Ingredients, false, "面团材料", ""},
        {"## Ingredients ##", P::Ingredients, true, "Ingredients", ""},
        {"INGREDIENTS (serves 4):", P::Ingredients, true, "INGREDIENTS", ""},
        {"Ingredients for the sauce", P::Ingredients, false, "Ingredients for the sauce", ""},
        {"Zutaten", P::Ingredients, true, "Zutaten", ""},
        {"Ingrédients", P::Ingredients, true, "Ingrédients", ""},
        {"Składniki:", P::Ingredients, true, "Składniki", ""},
        {"材料（2人分）", P::Ingredients, true, "材料", ""},
        {"做法：1. 切块 2. 焯水", P::Steps, true, "做法", "1. 切块 2. 焯水"},
        {"红烧肉的做法", P::Steps, true, "红烧肉的做法", ""},
        {"制作步骤", P::Steps, true, "制作步骤", ""},
        {"Directions", P::Steps, true, "Directions", ""},
        {"Method.", P::Steps, true, "Method", ""},
        {"Zubereitung", P::Steps, true, "Zubereitung", ""},
        {"Preparación:", P::Steps, true, "Preparación", ""},
        {"作り方", P::Steps, true, "作り方", ""},
        {"小贴士：糖色别炒糊", P::Notes, true, "小贴士", "糖色别炒糊"},
        {"Recipe Notes", P::Notes, true, "Recipe Notes", ""},
        // Sentences that merely mention a part are no headings.
        {"Ingredients are cheap this week, so we bought plenty of everything", P::None, false, "",
         ""},
        {"The method is simple", P::None, false, "", ""},
        {"五花肉 500克", P::None, false, "", ""},
        {"做法很详细，收藏了！", P::None, false, "", ""},
        {"", P::None, false, "", ""},
    };
    for (const TCase& c : cases) {
        const TPartHeading h = PartHeading(QString::fromUtf8(c.Text));
        EXPECT_EQ(h.Part, c.Part) << c.Text;
        if (c.Part == P::None)
            continue;
        EXPECT_EQ(h.Generic, c.Generic) << c.Text;
        EXPECT_EQ(h.Title.toStdString(), c.Title) << c.Text;
        EXPECT_EQ(h.Rest.toStdString(), c.Rest) << c.Text;
    }
}

TEST(RecipeLines, MethodsThatNumberTheirOwnSteps) {
    struct TCase {
        const char* Text;
        QStringList Steps; // empty: not a numbered method
    };
    const TCase cases[] = {
        {"1. Boil. 2. Drain. 3. Serve.", {"Boil.", "Drain.", "Serve."}},
        {"1.切块。2.焯水。3.炖", {"切块。", "焯水。", "炖"}},
        {"1、切块\n2、焯水", {"切块", "焯水"}},
        {"①切块②焯水③出锅", {"切块", "焯水", "出锅"}},
        {"第一步：切块。第二步：焯水。", {"切块。", "焯水。"}},
        {"第1步 切块 第2步 焯水", {"切块", "焯水"}},
        {"步骤1 切块\n步骤2 焯水", {"切块", "焯水"}},
        {"Step 1: Mix. Step 2: Bake.", {"Mix.", "Bake."}},
        {"(1) Mix\n(2) Bake", {"Mix", "Bake"}},
        {"1\nMix well.\n2\nBake.", {"Mix well.", "Bake."}},
        {"一、切块\n二、焯水", {"切块", "焯水"}},
        {"１．切块\n２．焯水", {"切块", "焯水"}},
        // A continuation line stays with its step.
        {"1. Mix the flour\n   and the salt.\n2. Bake.", {"Mix the flour and the salt.", "Bake."}},
        // Amounts, times and temperatures are no numbers of steps.
        {"1. Add 1.5 kg flour. 2. Bake at 10:30 for 2 hours.",
         {"Add 1.5 kg flour.", "Bake at 10:30 for 2 hours."}},
        {"1. Heat 2 tbsp oil. 3. Fry.", {}}, // no 2: not a numbered method
        {"Mix 2. eggs 1. in", {}},           // does not begin with 1
        {"1. Only one step", {}},
        {"Beat 2 eggs, then 3 more", {}},
        {"", {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SplitNumberedSteps(QString::fromUtf8(c.Text)), c.Steps) << c.Text;
    // On a page, paragraphs after a numbered method are not its last step's.
    EXPECT_EQ(SplitNumberedSteps(QStringLiteral("1. 切块\n2. 焯水\n喜欢就点赞吧"), true),
              (QStringList{"切块", "焯水"}));
}

TEST(RecipeLines, IngredientsOnLinesOrSeparated) {
    struct TCase {
        QStringList Lines;
        QStringList Expected; // "#" before a heading
    };
    const TCase cases[] = {
        {{"五花肉 500克、冰糖 30克；生抽 2勺，老抽 1勺"},
         {"五花肉 500克", "冰糖 30克", "生抽 2勺", "老抽 1勺"}},
        {{"盐（或酱油、生抽）适量"}, {"盐（或酱油、生抽）适量"}},
        {{"主料：排骨500克", "辅料：冰糖、香醋"}, {"#主料", "排骨500克", "#辅料", "冰糖", "香醋"}},
        {{"用料：", "- 2 eggs", "• 1 cup milk", "* salt, to taste"},
         {"2 eggs", "1 cup milk", "salt, to taste"}},
        {{"For the sauce:", "2 tbsp soy sauce"}, {"#For the sauce", "2 tbsp soy sauce"}},
        {{"鸡蛋,3个"}, {"鸡蛋", "3个"}}, // a comma between Chinese words separates
        {{"-1/2 tsp salt"}, {"-1/2 tsp salt"}},
        {{"", "   "}, {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LineTexts(IngredientLines(c.Lines)), c.Expected)
            << c.Lines.join(u'|').toStdString();
}

TEST(RecipeLines, StepsOnLinesWithSections) {
    EXPECT_EQ(
        LineTexts(StepLines(
            {"For the dough:", "1. Mix.", "2. Knead.", "For the filling:", "1. Chop.", "2. Fry."})),
        (QStringList{"#For the dough", "Mix.", "Knead.", "#For the filling", "Chop.", "Fry."}));
    EXPECT_EQ(LineTexts(StepLines({"做法：", "切块", "焯水", "• 出锅"})),
              (QStringList{"切块", "焯水", "出锅"}));
    EXPECT_EQ(UnifyLineBreaks(QStringLiteral("a\r\nb\rc\u2028d\u2029e")),
              QStringLiteral("a\nb\nc\nd\ne"));
}
} // namespace
