// Recipes pasted as text from chats and articles, and .txt files that are no
// MealMaster files.
#include "../common/TestFiles.h"
#include "../common/TimeLimit.h"
#include "ImportTestUtil.h"
#include "PlainTextRecipe.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {
struct TTextCase {
    const char* Label;
    const char* Text;
    const char* Name;
    QStringList Ingredients; // "#" before a heading
    QStringList Steps;
    const char* Description;
    const char* Notes;
};

TEST(PlainTextRecipe, ChatAndArticleTexts) {
    const TTextCase cases[] = {
        {"Chinese chat, items on one line, numbered method, a tip after it",
         "红烧肉的做法\n肥而不腻，入口即化。\n用料：五花肉500克、冰糖30克、生抽2勺、老抽1勺\n做法："
         "\n"
         "1. 五花肉切块焯水。\n2. 小火炒糖色。\n3. "
         "小火炖一小时，大火收汁。\n\n小贴士：糖色不要炒糊。",
         "红烧肉",
         {"五花肉500克", "冰糖30克", "生抽2勺", "老抽1勺"},
         {"五花肉切块焯水。", "小火炒糖色。", "小火炖一小时，大火收汁。"},
         "肥而不腻，入口即化。",
         "小贴士：糖色不要炒糊。"},
        {"English article, unnumbered steps",
         "Garlic Butter Shrimp\n\nIngredients\n1 lb shrimp\n3 tbsp butter\n4 cloves garlic, "
         "minced\n\nDirections\nMelt the butter.\nAdd garlic and cook 1 minute.\nAdd shrimp.",
         "Garlic Butter Shrimp",
         {"1 lb shrimp", "3 tbsp butter", "4 cloves garlic, minced"},
         {"Melt the butter.", "Add garlic and cook 1 minute.", "Add shrimp."},
         "",
         ""},
        {"a wrapped step, then a paragraph of its own as the note",
         "Easy Pancakes\nIngredients: 1 cup flour; 1 egg; 1 cup milk\nMethod:\n1. Whisk "
         "everything.\n2. Fry on a hot pan,\nflipping once.\n\nServe with syrup.",
         "Easy Pancakes",
         {"1 cup flour", "1 egg", "1 cup milk"},
         {"Whisk everything.", "Fry on a hot pan, flipping once."},
         "",
         "Serve with syrup."},
        {"no headings: the lines before a numbered method are its ingredients",
         "番茄炒蛋\n番茄2个\n鸡蛋3个\n1.番茄切块\n2.鸡蛋炒熟盛出\n3.炒番茄后倒回鸡蛋",
         "番茄炒蛋",
         {"番茄2个", "鸡蛋3个"},
         {"番茄切块", "鸡蛋炒熟盛出", "炒番茄后倒回鸡蛋"},
         "",
         ""},
        {"bracketed title, a numbered method straight after the ingredients",
         "【可乐鸡翅】\n食材：鸡翅10个、可乐1罐\n第一步：鸡翅焯水\n第二步：煎至金黄\n第三步：倒入可"
         "乐收汁",
         "可乐鸡翅",
         {"鸡翅10个", "可乐1罐"},
         {"鸡翅焯水", "煎至金黄", "倒入可乐收汁"},
         "",
         ""},
        {"CR LF, U+2028, ideographic spaces and a byte-order mark",
         "\xEF\xBB\xBF凉拌黄瓜\r\n用料：\r\n黄瓜2根\xE2\x80\xA8蒜3瓣\r\n做法：\r\n拍碎黄瓜\xE3\x80"
         "\x80加蒜\r\n",
         "凉拌黄瓜",
         {"黄瓜2根", "蒜3瓣"},
         {"拍碎黄瓜 加蒜"},
         "",
         ""},
        {"sections of the ingredients, one line of numbered steps",
         "Dumplings\nIngredients\nFor the dough:\n2 cups flour\nFor the filling:\n200 g "
         "pork\nInstructions\n1. Make the dough. 2. Fill and fold.",
         "Dumplings",
         {"#For the dough", "2 cups flour", "#For the filling", "200 g pork"},
         {"Make the dough.", "Fill and fold."},
         "",
         ""},
        {"text beginning with the ingredients: no title",
         "用料：鸡蛋2个\n做法：打散蒸十分钟",
         "",
         {"鸡蛋2个"},
         {"打散蒸十分钟"},
         "",
         ""},
    };
    for (const TTextCase& c : cases) {
        SCOPED_TRACE(c.Label);
        const TImportedRecipe r = RecipeFromPlainText(QString::fromUtf8(c.Text));
        EXPECT_EQ(r.Name.toStdString(), c.Name);
        EXPECT_EQ(LineTexts(r.Ingredients), c.Ingredients);
        EXPECT_EQ(LineTexts(r.Steps), c.Steps);
        EXPECT_EQ(r.Description.toStdString(), c.Description);
        EXPECT_EQ(r.Notes.toStdString(), c.Notes);
    }
}

TEST(PlainTextRecipe, TextsThatAreNoRecipeAreTold) {
    const QString texts[] = {
        QString(),
        QStringLiteral("hello"),
        QStringLiteral("明天见\n记得带伞"),
        QStringLiteral("用料：\n做法："),
        QString(MaxPlainTextChars + 1, u'x'),
    };
    for (const QString& text : texts)
        EXPECT_THROW(RecipeFromPlainText(text), EImportError) << text.left(20).toStdString();
}

TEST(PlainTextRecipe, TxtFilesThatAreNoMealMasterImportAsText) {
    QTemporaryDir dir;
    const QString chinese = dir.filePath(QStringLiteral("凉拌黄瓜.txt"));
    WriteFile(chinese,
              QStringLiteral("凉拌黄瓜\n用料：黄瓜2根、蒜3瓣\n做法：\n1. 拍碎\n2. 拌匀").toUtf8());
    // The same text as GB18030, as Windows' Notepad in China saves it.
    const QString gb = dir.filePath(QStringLiteral("gb.txt"));
    WriteFile(gb, QByteArray("\xC1\xB9\xB0\xE8\xBB\xC6\xB9\xCF\n\xD3\xC3\xC1\xCF\xA3\xBA\xBB\xC6"
                             "\xB9\xCF"
                             "2\xB8\xF9\n\xD7\xF6\xB7\xA8\xA3\xBA\n1. \xC5\xC4\xCB\xE9\n"
                             "2. \xB0\xE8\xD4\xC8"));
    for (const QString& path : {chinese, gb}) {
        EXPECT_EQ(FormatOfFile(path), TImportFormat::PlainText);
        const auto recipes = ReadAllRecipes(path);
        ASSERT_EQ(recipes.size(), 1u);
        EXPECT_EQ(recipes[0].Name, QStringLiteral("凉拌黄瓜"));
        EXPECT_EQ(recipes[0].Steps.size(), 2u);
    }
    EXPECT_EQ(FormatOfFile(Fixture("mm802-dashes.txt")), TImportFormat::MealMaster);
    const QString note = dir.filePath(QStringLiteral("note.txt"));
    WriteFile(note, "shopping: milk, eggs");
    EXPECT_THROW(ReadAllRecipes(note), EImportError);
}

// Long pastes of lines that are read one by one take time in proportion to their
// length; the first one read the ingredients so far again at each line.
TEST(PlainTextRecipe, LongPastesAreReadInTimeToTheirLength) {
    const struct {
        const char* Label;
        const char* Head;
        const char* Line; // repeated
    } cases[] = {
        {"numbered lines without items after the ingredients' heading", "用料：\n", "1. ，\n"},
        {"numbered steps", "汤\n用料：盐\n做法：\n", "1. 煮\n"},
        {"one line of many items", "用料：", "盐、"},
        {"headings only", "", "用料：\n做法：\n"},
        {"lines before a numbered method", "汤\n", "盐\n"},
    };
    for (const auto& c : cases) {
        QString text = QString::fromUtf8(c.Head);
        const QString line = QString::fromUtf8(c.Line);
        while (text.size() + line.size() < 100'000)
            text += line;
        QElapsedTimer timer;
        timer.start();
        try {
            (void)RecipeFromPlainText(text);
        } catch (const EImportError&) {
        }
        EXPECT_LT(timer.elapsed(), TimeLimitMs(3000)) << c.Label;
    }
}
} // namespace
