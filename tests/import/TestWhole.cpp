// Files as other programs write them come in whole: every ingredient, step and
// field of each recipe, one table per format, one row per recipe.
#include "BookTestUtil.h" // texts printed as texts
#include "HtmlRecipe.h"
#include "ImportTestUtil.h"
#include "MealMaster.h"
#include "SchemaRecipe.h"
#include "TextDecode.h"
#include "XmlFormats.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {
// A field left null is not checked.
struct TWhole {
    const char* File;
    int Index; // of the recipe in the file
    const char* Name;
    QStringList Ingredients; // "#" marks a heading
    QStringList Steps;
    const char* Yield = nullptr;
    const char* Description = nullptr;
    const char* Notes = nullptr;
    const char* PrepTime = nullptr;
    const char* TotalTime = nullptr;
    const char* Picture = nullptr; // fixture whose bytes the picture must be
};

void ExpectWhole(const TWhole& w) {
    SCOPED_TRACE(std::string(w.File) + " #" + std::to_string(w.Index));
    std::vector<TImportedRecipe> recipes;
    try {
        recipes = ReadAllRecipes(Fixture(w.File));
    } catch (const Exception& e) {
        ADD_FAILURE() << e.what();
        return;
    }
    ASSERT_GT(int(recipes.size()), w.Index);
    const TImportedRecipe& r = recipes[size_t(w.Index)];
    EXPECT_EQ(r.Name, QString::fromUtf8(w.Name));
    EXPECT_EQ(LineTexts(r.Ingredients), w.Ingredients);
    EXPECT_EQ(LineTexts(r.Steps), w.Steps);
    const std::pair<const char*, const QString*> fields[] = {
        {w.Yield, &r.Yield},       {w.Description, &r.Description}, {w.Notes, &r.Notes},
        {w.PrepTime, &r.PrepTime}, {w.TotalTime, &r.TotalTime},
    };
    for (const auto& [expected, got] : fields) {
        if (expected) {
            EXPECT_EQ(*got, QString::fromUtf8(expected));
        }
    }
    if (w.Picture) {
        EXPECT_EQ(r.Picture, FixtureBytes(w.Picture));
    }
}

TEST(Whole, MealMasterOfThreeWriters) {
    const TWhole cases[] = {
        // Two columns, the right one at column 42, continuations in both columns.
        {"mm805-two-column.mmf",
         0,
         "Apple Pie with Crumb Topping",
         {"1 Pie shell, 9-inch, unbaked", "#FILLING",
          "6 md Tart apples, peeled, cored and sliced thin", "1 ts Cinnamon", "1/4 ts Nutmeg",
          "1/2 c Sugar", "2 tb Flour", "1 tb Lemon juice freshly squeezed", "#CRUMB TOPPING",
          "3/4 c Flour sifted twice", "1/2 c Brown sugar, packed",
          "1/3 c Butter, cold cut into small pieces", "1 pn Salt"},
         {"Heat the oven to 425 F. Toss the apples with the sugar, flour, spices and lemon "
          "juice and pile them into the shell.",
          "Rub the topping together until crumbly, scatter it over the apples and bake 45 "
          "minutes."},
         "8 servings"},
        {"mm805-two-column.mmf",
         1,
         "Hearty Lentil Soup",
         {"1 1/2 c Brown lentils, rinsed", "8 c Vegetable stock", "2 Bay leaves",
          "1 cn Tomatoes (14 oz)", "2 Carrots, diced", "1 lg Onion, chopped",
          "Salt and pepper to taste", "1 1/2 ts Ground cumin"},
         {"Simmer everything for an hour, until the lentils are soft."},
         "6 servings"},
        // Ten dashes, one-column lines past column 40, a section of dashes.
        {"mm802-dashes.txt",
         0,
         "Beef Stir-Fry with Peppers",
         {"1 lb Beef round steak, trimmed and cut into Strips", "2 tb Soy sauce",
          "1 tb Cornstarch dissolved in 2 tablespoons cold water plus a little more if needed "
          "to thicken the sauce",
          "2 md Green peppers, seeded and cut into 1-inch squares", "#SAUCE", "3 tb Oyster sauce",
          "1 ts Sesame oil", "1 ts Sugar", "1/4 c Chicken broth or water"},
         {"Toss the beef with the soy sauce and the cornstarch and let it stand for 15 minutes. "
          "Stir-fry it over high heat, add the peppers, then the sauce, and cook until glossy."},
         "4"},
        // Another program's export: a banner before the header, blank lines of one
        // space, long lines, Windows-1252.
        {"mastercook-export.mmf",
         0,
         "Chicken Marsala",
         {"4 Chicken breast halves, boned, skinned and pounded thin", "1/4 c Flour",
          "Salt and freshly ground black pepper, to taste", "2 tb Olive oil",
          "8 oz Mushrooms, sliced à la minute (about 2 1/2 cups)",
          "3/4 c Marsala wine dry, not sweet"},
         {"Dredge the chicken in the seasoned flour and brown it in the oil, about 3 minutes a "
          "side. Add the mushrooms and the wine; simmer until the sauce thickens.",
          "Recipe By : Aunt Mary's kitchen"},
         "4 Servings"},
        // A short Western file in a Windows code page is not Japanese.
        {"creme-brulee-cp1252.mmf",
         0,
         "Crème brûlée",
         {"2 c Crème fraîche", "4 Egg yolks"},
         {"Bake in a bain-marie; brûler the sugar."},
         "4 servings"},
        // Japanese in Shift_JIS still is.
        {"nikujaga-sjis.mmf",
         0,
         "肉じゃが",
         {"300 g じゃがいも、ひと口大に切る", "200 g 牛肉の薄切り", "1 玉ねぎ、くし形に切る"},
         {"鍋に油を熱して牛肉を炒め、じゃがいもと玉ねぎを加えて、だしと醤油で煮る。"},
         "4 人分"},
    };
    for (const TWhole& w : cases)
        ExpectWhole(w);
}

TEST(Whole, GourmetBackup) {
    const TWhole cases[] = {
        // A recipe used as an ingredient, servings beside yields, markup escaped
        // once and twice.
        {"pies-backup.grmt",
         0,
         "Apple Tart",
         {"1 Pâte brisée", "4 apples, sliced", "#Glaze", "2 tbsp apricot jam（可选）"},
         {"Roll the pastry & line the tin.", "Arrange the apples well overlapping.",
          "Bake 45 minutes."},
         "1 tart，8 人份",
         nullptr,
         "Serve warm & with cream.",
         "30 min",
         nullptr,
         "dish.jpg"},
        {"pies-backup.grmt",
         1,
         "Pâte brisée",
         {"250 g flour", "125 g butter"},
         {"Rub the butter into the flour, add 4 tbsp cold water."},
         "8 人份"},
        {"pies-backup.grmt",
         2,
         "Mac & Cheese Pie",
         {"1/2 recipe Pâte brisée", "200 g macaroni"},
         {"Line the dish with the pastry.", "Fill & bake."},
         "6 servings"},
    };
    for (const TWhole& w : cases)
        ExpectWhole(w);
}

TEST(Whole, RecipeMlAlternativesRangesAndTimes) {
    const TWhole cases[] = {
        {"biscuits-recipeml.xml",
         0,
         "Buttermilk Biscuits",
         {"¾–1 cup buttermilk", "2 cups flour", "½ cup butter（或 ½ cup shortening）"},
         {"Cut the butter into the flour.",
          "Stir in the buttermilk; bake at 450 F for 12 minutes."},
         "2–3 dozen",
         nullptr,
         nullptr,
         nullptr,
         "25 minutes"},
        {"biscuits-recipeml.xml",
         1,
         "Quick Pickles",
         {"1½–2 lb cucumbers （sliced）",
          "1 cup cider vinegar（或 1 cup white vinegar）（或 rice vinegar）"},
         {"Pour the hot brine over the cucumbers and chill overnight."},
         "1 quart",
         nullptr,
         nullptr,
         "10 minutes"},
    };
    for (const TWhole& w : cases)
        ExpectWhole(w);
}

TEST(Whole, MicrodataPages) {
    const TWhole cases[] = {
        // Sections of several steps; steps with a title and a text.
        {"microdata-sections.html",
         0,
         "Chicken Pot Pie",
         {"2 cups cooked chicken, diced", "1 cup frozen peas", "1 sheet puff pastry"},
         {"#The filling", "Melt the butter and cook the onion until soft.",
          "Stir in the flour, then the stock, and simmer until thick.",
          "Add the chicken and the peas.", "#The crust",
          "Cover: Lay the pastry over the dish and cut a vent.",
          "Into the oven: Bake at 200 °C for 30 minutes."},
         "6",
         nullptr,
         nullptr,
         nullptr,
         "PT1H15M"},
        // The older properties; several ingredients in one element; numbers in spans.
        {"microdata-old-instructions.html",
         0,
         "Grandma's Banana Bread",
         {"3 ripe bananas, mashed", "1/3 cup melted butter", "3/4 cup sugar", "1 egg, beaten",
          "1 1/2 cups flour"},
         {"Preheat the oven to 350°F.",
          "Mix the butter into the bananas, then the sugar and the egg.",
          "Stir in the flour; bake 60 minutes."},
         "1 loaf"},
        // One ingredient over block elements; step numbers in blocks of their own.
        {"microdata-blocks-fr.html",
         0,
         "Quiche lorraine",
         {"80 g de lardons", "3 œufs battus", "20 cl de crème fraîche"},
         {"Faire revenir les lardons dans une poêle.",
          "Battre les œufs et la crème, verser sur la pâte avec les lardons.",
          "Cuire 30 min à 180 °C."}},
        // Markup inside content attributes.
        {"microdata-content-markup.html",
         0,
         "Crêpes",
         {"250 g de farine", "1/2 litre de lait", "4 œufs"},
         {"Mélanger la farine et les œufs.", "Ajouter le lait peu à peu.",
          "Laisser reposer 1 heure."},
         nullptr,
         "Les vraies crêpes."},
    };
    for (const TWhole& w : cases)
        ExpectWhole(w);
}

TEST(Whole, NextcloudFoldersAndABareRecipeJson) {
    const TWhole carbonara{
        "nextcloud-folder/Recipes/Pasta Carbonara",
        0,
        "Pasta Carbonara",
        {"200 g spaghetti", "100 g guanciale", "3 egg yolks", "50 g pecorino romano, grated"},
        {"Boil the spaghetti in salted water.", "Crisp the guanciale in a pan.",
         "Toss the pasta off the heat with the yolks, the cheese and a little "
         "pasta water."},
        "4",
        "Roman classic, no cream.",
        nullptr,
        "PT0H10M0S",
        nullptr,
        "nextcloud-folder/Recipes/Pasta Carbonara/full.jpg"};
    const TWhole oats{"nextcloud-folder/Recipes/Overnight Oats",
                      0,
                      "Overnight Oats",
                      {"50 g rolled oats", "150 ml milk", "1 tbsp honey"},
                      {"Stir everything together in a jar.", "Leave in the fridge overnight."},
                      "1"};
    TWhole bare = carbonara;
    bare.File = "nextcloud-folder/Recipes/Pasta Carbonara/recipe.json";
    TWhole inRecipes = oats;
    inRecipes.File = "nextcloud-folder/Recipes"; // in the order of the folders' names
    TWhole above = carbonara;
    above.File = "nextcloud-folder";
    above.Index = 1;
    for (const TWhole& w : {carbonara, oats, bare, inRecipes, above})
        ExpectWhole(w);
    EXPECT_EQ(ReadAllRecipes(Fixture("nextcloud-folder")).size(), 2u);
}

// A picture beside recipe.json is taken only when it is a regular file inside the
// folder the cook chose: a link out of it or a pipe is left out, not read.
TEST(Whole, NextcloudPicturesStayInTheirFolder) {
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.jpg"));
    QFile::copy(Fixture("dish.jpg"), secret);
    const QByteArray json = FixtureBytes("nextcloud-folder/Recipes/Overnight Oats/recipe.json");
    struct TCase {
        const char* Name;
        std::function<void(const QString& folder)> Make;
        bool Taken;
    };
    const TCase cases[] = {
        {"a regular file",
         [](const QString& f) {
             QFile::copy(Fixture("dish.jpg"), f + QStringLiteral("/full.jpg"));
         },
         true},
        {"a link inside",
         [](const QString& f) {
             QFile::copy(Fixture("dish.jpg"), f + QStringLiteral("/picture.jpg"));
             QFile::link(QStringLiteral("picture.jpg"), f + QStringLiteral("/full.jpg"));
         },
         true},
        {"a link out of the folder",
         [&](const QString& f) { QFile::link(secret, f + QStringLiteral("/full.jpg")); }, false},
        {"a pipe",
         [](const QString& f) {
             ASSERT_EQ(mkfifo(QFile::encodeName(f + QStringLiteral("/full.jpg")).constData(), 0600),
                       0);
         },
         false},
        {"a folder", [](const QString& f) { QDir(f).mkdir(QStringLiteral("full.jpg")); }, false},
    };
    int n = 0;
    for (const TCase& c : cases) {
        const QString folder = dir.filePath(QStringLiteral("choice%1/Oats").arg(++n));
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile file(folder + QStringLiteral("/recipe.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
        file.close();
        c.Make(folder);
        for (const QString& chosen :
             {QFileInfo(folder).path(), folder, folder + QStringLiteral("/recipe.json")}) {
            std::vector<TImportedRecipe> recipes;
            ASSERT_NO_THROW(recipes = ReadAllRecipes(chosen)) << c.Name;
            ASSERT_EQ(recipes.size(), 1u) << c.Name;
            EXPECT_EQ(recipes[0].Picture.isEmpty(), !c.Taken) << c.Name;
            if (c.Taken) {
                EXPECT_EQ(recipes[0].Picture, FixtureBytes("dish.jpg")) << c.Name;
            }
        }
    }
}

TEST(Whole, FoldersWithoutRecipesAreTold) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("empty/inner"));
    const QString folders[] = {dir.filePath(QStringLiteral("empty")), dir.path()};
    for (const QString& f : folders) {
        try {
            ReadAllRecipes(f);
            ADD_FAILURE() << "no recipe.json, yet read";
        } catch (const EImportError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("recipe.json"))) << e.what();
        }
    }
}

TEST(Whole, ShortWesternTextIsNotJapanese) {
    const std::pair<const char*, const char*> cases[] = {
        {"creme-brulee-cp1252.mmf", "windows-1252"},
        {"mastercook-export.mmf", "windows-1252"},
        {"nikujaga-sjis.mmf", "Shift_JIS"},
    };
    for (const auto& [file, encoding] : cases)
        EXPECT_EQ(DetectEncoding(FixtureBytes(file)), QByteArray(encoding)) << file;
    // Latin text in Windows-1252 whose accented letters pair into valid Shift_JIS.
    const QByteArray short1252[] = {"Cr\xE8me br\xFBl\xE9"
                                    "e",
                                    "P\xE2t\xE9 de campagne, cr\xEApes", "Caf\xE9 au lait"};
    for (const QByteArray& bytes : short1252)
        EXPECT_EQ(DetectEncoding(bytes), QByteArray("windows-1252")) << bytes.constData();
}
} // namespace

namespace {
std::vector<TImportedRecipe> FromMealMaster(const QString& ingredientLines) {
    std::vector<TImportedRecipe> out;
    ReadMealMasterText(QStringLiteral("MMMMM----- Recipe via Meal-Master (tm) v8.05\n\n"
                                      "      Title: T\n\n") +
                           ingredientLines + QStringLiteral("\n\n  Stir.\n\nMMMMM\n"),
                       [&](TImportedRecipe&& r) { out.push_back(std::move(r)); });
    return out;
}

QString Cell(const char* amount, const char* unit, const char* text) {
    return QString::fromUtf8(amount).rightJustified(7) + u' ' +
           QString::fromUtf8(unit).leftJustified(2) + u' ' + QString::fromUtf8(text);
}
// The right cell from index `at` (41: column 42, where the program itself puts it).
QString Two(const QString& left, int at, const QString& right) {
    return left.leftJustified(at) + right;
}

// Lines where a wrong guess of the layout would cut or invent an ingredient.
TEST(WholeEdges, MealMasterLinesTellTheirLayout) {
    const QString flour = Cell("1", "c", "Flour");
    const std::pair<QString, QStringList> cases[] = {
        // Words past column 41 that begin like an amount: still one line.
        {Cell("1", "c", "Flour, or a little more as needed  2 1/2 cups"),
         {"1 c Flour, or a little more as needed 2 1/2 cups"}},
        {Cell("1", "c", "Flour, or a little more as needed      2 1/2 cups"),
         {"1 c Flour, or a little more as needed 2 1/2 cups"}},
        // The left text runs into where a right cell would start: one line.
        {Two(Cell("1", "c", "Sugar, the finest you can find"), 41, Cell("2", "tb", "more")),
         {"1 c Sugar, the finest you can find 2 tb more"}},
        // Right columns at 42 and at 41, with and without an amount.
        {Two(flour, 41, Cell("2", "tb", "Butter")), {"1 c Flour", "2 tb Butter"}},
        {Two(flour, 40, Cell("2", "tb", "Butter")), {"1 c Flour", "2 tb Butter"}},
        {Two(flour, 41, Cell("", "", "Salt")), {"1 c Flour", "Salt"}},
        {Two(flour, 40, Cell("1 1/2", "", "Eggs")), {"1 c Flour", "1 1/2 Eggs"}},
        // Only a right column; a continuation with nothing before it in its column.
        {Two(QString(), 41, Cell("", "", "Salt")), {"Salt"}},
        {Two(flour, 41, Cell("", "", "-sifted")), {"1 c Flour", "sifted"}},
        // The right ingredient's own text is what continues, not the left one's.
        {Two(flour, 41, Cell("1/2", "c", "Milk")) + u'\n' +
             Two(QString(), 41, Cell("", "", "-warm")),
         {"1 c Flour", "1/2 c Milk warm"}},
        // A unit that is no MealMaster unit keeps the text with the left ingredient.
        {Two(Cell("1", "c", "Flour and water"), 41, Cell("2", "xx", "thing")),
         {"1 c Flour and water 2 xx thing"}},
    };
    for (const auto& [lines, expected] : cases) {
        const auto recipes = FromMealMaster(lines);
        ASSERT_EQ(recipes.size(), 1u) << lines.toStdString();
        EXPECT_EQ(LineTexts(recipes[0].Ingredients), expected) << lines.toStdString();
        EXPECT_EQ(LineTexts(recipes[0].Steps), QStringList{QStringLiteral("Stir.")})
            << lines.toStdString();
    }
}

TEST(WholeEdges, RecipeMlQuantities) {
    const std::pair<const char*, const char*> cases[] = {
        {"<qty>0.25</qty>", "¼ cup x"},
        {"<qty>2.5</qty>", "2½ cup x"},
        {"<qty>0.3</qty>", "0.3 cup x"},   // no fraction it stands for
        {"<qty>1.50</qty>", "1.50 cup x"}, // written so on purpose
        {"<qty>1/2</qty>", "1/2 cup x"},
        {"<qty><range><q1>1</q1></range></qty>", "1 cup x"},
        {"<qty><range><q2>3</q2></range></qty>", "3 cup x"},
        {"<qty><range><q1>0.5</q1><q2>0.75</q2></range></qty>", "½–¾ cup x"},
        {"<qty> 12 </qty>", "12 cup x"},
    };
    for (const auto& [qty, expected] : cases) {
        const QByteArray xml = QByteArray("<recipeml><recipe><head><title>T</title></head>"
                                          "<ingredients><ing><amt>") +
                               qty +
                               "<unit>cup</unit></amt><item>x</item></ing></ingredients>"
                               "</recipe></recipeml>";
        std::vector<TImportedRecipe> out;
        ReadRecipeMlXml(xml, [&](TImportedRecipe&& r) { out.push_back(std::move(r)); });
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(LineTexts(out[0].Ingredients), QStringList{QString::fromUtf8(expected)}) << qty;
    }
}

TEST(WholeEdges, GourmetMarkupEscapedAnyNumberOfTimes) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain &amp; simple", "plain & simple"},
        {"&lt;b&gt;once&lt;/b&gt;", "once"},
        {"&amp;lt;b&amp;gt;twice&amp;lt;/b&amp;gt;", "twice"},
        {"&amp;amp;lt;i&amp;amp;gt;thrice&amp;amp;lt;/i&amp;amp;gt;", "thrice"},
        {"5 &amp;lt; 6", "5 < 6"},
        {"caf&amp;eacute;", "café"},
    };
    for (const auto& [text, expected] : cases) {
        const QByteArray xml = QByteArray("<gourmetDoc><recipe><title>") + text +
                               "</title><instructions>" + text +
                               "</instructions></recipe></gourmetDoc>";
        std::vector<TImportedRecipe> out;
        ReadGourmetXml(xml, [&](TImportedRecipe&& r) { out.push_back(std::move(r)); });
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].Name, QString::fromUtf8(expected)) << text;
        EXPECT_EQ(LineTexts(out[0].Steps), QStringList{QString::fromUtf8(expected)}) << text;
    }
}

// Numbers of steps in elements of their own go; numbers that are part of the text stay.
TEST(WholeEdges, MicrodataStepNumbers) {
    const std::pair<const char*, QStringList> cases[] = {
        {"<li itemprop=recipeInstructions><b>2.</b> Stir.</li>", {"Stir."}},
        {"<li itemprop=recipeInstructions><span>Step 3</span><p>Stir.</p></li>", {"Stir."}},
        {"<li itemprop=recipeInstructions><span>第4步</span>搅拌。</li>", {"搅拌。"}},
        {"<li itemprop=recipeInstructions>Add <b>2</b> eggs.</li>", {"Add 2 eggs."}},
        {"<li itemprop=recipeInstructions>Bake <span>1.5</span> hours.</li>", {"Bake 1.5 hours."}},
        {"<li itemprop=recipeInstructions><span>1234</span> Stir.</li>", {"1234 Stir."}},
        {"<div itemprop=instructions><p>Mix.</p><p>Bake.</p></div>", {"Mix.", "Bake."}},
    };
    for (const auto& [html, steps] : cases) {
        const QByteArray page = QByteArray("<div itemscope itemtype=\"http://schema.org/Recipe\">"
                                           "<h1 itemprop=name>T</h1><ol>") +
                                html + "</ol></div>";
        const auto recipes = RecipesFromHtml(page, {});
        ASSERT_EQ(recipes.size(), 1u) << html;
        EXPECT_EQ(LineTexts(recipes[0].Steps), steps) << html;
    }
}
} // namespace

namespace {
// A HowToStep's name is kept when it says more than its text does.
TEST(WholeEdges, StepTitles) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Make the dough", "Mix flour and water.", "Make the dough: Mix flour and water."},
        {"和面", "面粉加水。", "和面：面粉加水。"},
        {"Rest.", "Cover and wait.", "Rest. Cover and wait."},
        {"Step 2", "Mix.", "Mix."},
        {"第3步", "搅拌。", "搅拌。"},
        {"Mix the flour…", "Mix the flour and the water.", "Mix the flour and the water."},
        {"mix the flour...", "Mix the flour and the water.", "Mix the flour and the water."},
        {"", "Mix.", "Mix."},
        {"Only a name", "", "Only a name"},
    };
    for (const auto& [name, text, expected] : cases) {
        QJsonObject step{{QStringLiteral("@type"), QStringLiteral("HowToStep")},
                         {QStringLiteral("name"), QString::fromUtf8(name)},
                         {QStringLiteral("text"), QString::fromUtf8(text)}};
        const QJsonObject recipe{{QStringLiteral("@type"), QStringLiteral("Recipe")},
                                 {QStringLiteral("name"), QStringLiteral("T")},
                                 {QStringLiteral("recipeInstructions"), QJsonArray{step}}};
        EXPECT_EQ(LineTexts(RecipeFromSchema(recipe).Recipe.Steps),
                  QStringList{QString::fromUtf8(expected)})
            << name << " / " << text;
    }
}
} // namespace

namespace {
// One ingredient is one line however it is built; <br> and <li> part several.
TEST(WholeEdges, MicrodataIngredientLines) {
    const std::pair<const char*, QStringList> cases[] = {
        {"<li itemprop=recipeIngredient><div>80 g</div><div>de lardons</div></li>",
         {"80 g de lardons"}},
        {"<li itemprop=recipeIngredient><p>2</p><p>eggs</p><p>beaten</p></li>", {"2 eggs beaten"}},
        {"<span itemprop=recipeIngredient>1\n      egg</span>", {"1 egg"}},
        {"<p itemprop=ingredients>1 egg<br>2 cups milk</p>", {"1 egg", "2 cups milk"}},
        {"<ul itemprop=ingredients><li>1 egg</li><li>2 cups <b>milk</b></li></ul>",
         {"1 egg", "2 cups milk"}},
        {"<meta itemprop=ingredients content=\"1 egg<br />2 cups milk\">",
         {"1 egg", "2 cups milk"}},
        {"<meta itemprop=recipeIngredient content=\"<p>1 <b>egg</b></p>\">", {"1 egg"}},
        {"<meta itemprop=recipeIngredient content=\"salt &amp; pepper\">", {"salt & pepper"}},
    };
    for (const auto& [html, lines] : cases) {
        const QByteArray page = QByteArray("<div itemscope itemtype=\"http://schema.org/Recipe\">"
                                           "<h1 itemprop=name>T</h1>") +
                                html + "</div>";
        const auto recipes = RecipesFromHtml(page, {});
        ASSERT_EQ(recipes.size(), 1u) << html;
        EXPECT_EQ(LineTexts(recipes[0].Ingredients), lines) << html;
    }
}
} // namespace
