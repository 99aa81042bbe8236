// Recipe pages shaped like real sites' (plugin cards, microformats, lenient
// schema data, Article pages, Chinese pages with their data only in markup,
// pages in several languages), each with menus, sidebars and comments whose
// lists must not be taken: title, every ingredient and every step.
#include "../common/TimeLimit.h"
#include "HtmlRecipe.h"
#include "ImportTestUtil.h"
#include "RecipeText.h"

#include <QElapsedTimer>

#include <map>

namespace {
struct TPageCase {
    const char* File;
    const char* Kind;
    const char* Title;
    int Ingredients; // lines, group headings among them
    int Steps;
    const char* FirstIngredient; // "#" before a heading
    const char* LastStep;
};

const TPageCase PageCases[] = {
    {"wprm-ld-without-ingredients.html", "card: WP Recipe Maker", "Beef Hand Pies", 9, 5,
     "#For the dough", "Bake at 200°C for 20 minutes until golden."},
    {"wprm-card-only.html", "card: WP Recipe Maker", "The Best Chewy Chocolate Chip Cookies", 6, 7,
     "1 cup unsalted butter softened", "Bake 10 to 12 minutes at 180°C."},
    {"wprm-ld-one-numbered-text.html", "schema: numbered text", "Spaghetti Carbonara", 5, 4,
     "500 g spaghetti", "Toss pasta with guanciale off the heat, then the egg mixture."},
    {"tasty-card-only.html", "card: Tasty Recipes", "Blueberry Muffins", 9, 4, "2 cups flour",
     "Fill the cups, sprinkle with topping, bake 22 minutes."},
    {"tasty-ld-without-steps.html", "card: Tasty Recipes", "Lemon Bars", 6, 4, "1 cup butter",
     "Cool, then cut into bars."},
    {"mediavine-card-only.html", "card: Mediavine Create", "Classic Gazpacho", 7, 3,
     "1 kg ripe tomatoes", "Season, then chill at least two hours."},
    {"mediavine-ld-name-fragment.html", "schema: name fragment of h1", "Easy Chicken Enchiladas", 6,
     4, "2 cups shredded chicken", "Pour the sauce over, top with cheese and bake 20 minutes."},
    {"zip-recipes.html", "card: Zip Recipes", "Overnight Oats", 5, 3, "1/2 cup rolled oats",
     "Top with fruit and serve cold."},
    {"h-recipe-lists.html", "h-recipe", "Pea Soup", 4, 3, "500 g frozen peas", "Blend smooth."},
    {"h-recipe-paragraphs.html", "h-recipe", "Rye Bread", 4, 3, "500 g rye flour",
     "Prove 2 hours, then bake 1 hour at 220°C."},
    {"ld-lowercase-type.html", "schema: lenient", "Banana Bread", 6, 4, "3 ripe bananas",
     "Bake 60 minutes at 175°C."},
    {"ld-type-list.html", "schema: lenient", "One-Pan Shakshuka with Feta", 6, 3,
     "2 tbsp olive oil", "Make wells, crack in the eggs, cover until set."},
    {"ld-nested-main-entity.html", "schema: lenient", "Miso Soup", 5, 3, "4 cups dashi",
     "Dissolve the miso off the boil; add onions."},
    {"ld-howto-sections.html", "schema: lenient", "Lasagna", 8, 9, "500 g minced beef",
     "Bake 40 minutes at 180°C."},
    {"ld-circled-numbers-zh.html", "schema: numbered text", "番茄炒蛋", 5, 4, "番茄 2个",
     "倒回鸡蛋翻匀，撒葱花出锅。"},
    {"ld-first-step-words-zh.html", "schema: numbered text", "可乐鸡翅", 5, 4, "鸡翅中 10个",
     "倒入可乐，大火烧开转小火20分钟，收汁即可。"},
    {"ld-escaped-twice.html", "schema: lenient", "Mac & Cheese", 5, 3, "250 g macaroni",
     "Melt in the cheese, fold in the pasta."},
    {"ld-line-separators.html", "schema: lenient", "Pancakes", 5, 3, "1 cup flour",
     "Cook on a hot griddle until bubbles form, then flip."},
    {"ld-type-as-address.html", "schema: lenient", "Guacamole", 6, 3, "3 avocados",
     "Season with salt."},
    {"article-headings-en.html", "Article + headings", "Tomato Soup", 6, 3, "2 tbsp olive oil",
     "Blend, stir in the cream and season."},
    {"article-paragraphs-zh.html", "Article + headings", "酸辣土豆丝", 5, 4, "土豆 2个",
     "沿锅边淋白醋，加盐翻匀出锅。"},
    {"xiachufang-like.html", "Chinese page markup", "红烧肉", 6, 4, "五花肉 500克",
     "加开水没过肉，小火炖一小时，大火收汁。"},
    {"douguo-like.html", "Chinese page markup", "宫保鸡丁", 6, 4, "鸡胸肉 300克",
     "倒入碗汁炒匀，下花生米和葱段出锅。"},
    {"meishij-like.html", "Chinese page markup", "糖醋排骨", 7, 4, "#主料",
     "小火炖40分钟，大火收汁。"},
    {"blog-one-paragraph-zh.html", "Chinese page markup", "蒜蓉西兰花", 5, 4, "西兰花1棵",
     "倒入西兰花翻匀，勾薄芡出锅。"},
    {"german-headings.html", "headings: other languages", "Apfelstrudel", 7, 4, "250 g Mehl",
     "Bei 200 °C 40 Minuten backen."},
    {"french-headings-sections.html", "headings: other languages", "Tarte aux pommes", 7, 4,
     "#Pour la pâte", "Cuire 35 minutes à 180 °C."},
    {"spanish-paragraphs.html", "headings: other languages", "Tortilla de patatas", 5, 4,
     "5 patatas medianas", "Cuajar la tortilla por ambos lados."},
    {"polish-headings.html", "headings: other languages", "Pierogi ruskie", 6, 4, "500 g mąki",
     "Lepić pierogi i gotować 3 minuty."},
    {"italian-headings.html", "headings: other languages", "Risotto alla milanese", 6, 4,
     "320 g riso Carnaroli", "Unire lo zafferano e mantecare con burro e parmigiano."},
    {"japanese-table.html", "headings: other languages", "肉じゃが", 5, 3, "牛薄切り肉 150g",
     "だしと調味料を入れて15分煮る。"},
    {"site-made-classes.html", "card: site-made classes", "Fish Tacos", 4, 3,
     "500 g white fish fillets", "Fill with fish and cabbage; squeeze over lime."},
    {"microdata-steps-in-one-text.html", "schema: numbered text", "Scones", 4, 3,
     "225 g self-raising flour", "Pat out, cut rounds and bake 12 minutes at 220°C."},
    {"ld-whole-with-comments.html", "schema: lenient", "Greek Salad", 6, 2, "2 tomatoes",
     "Top with feta and olives, drizzle with oil."},
    // Written after the readers, to see how they do on shapes they were not made for.
    {"holdout-wprm-glued-spans.html", "holdout", "Garlic Noodles", 4, 3, "8 oz egg noodles",
     "Toss noodles with garlic butter and sauce."},
    {"holdout-tasty-paragraph-steps.html", "holdout", "Cornbread", 6, 3, "1 cup cornmeal",
     "Bake 20 minutes in a greased pan."},
    {"holdout-ld-what-youll-need.html", "holdout", "Iced Coffee", 4, 3, "2 cups brewed coffee",
     "Pour coffee and milk over."},
    {"holdout-zh-food-list.html", "holdout", "清蒸鲈鱼", 4, 3, "鲈鱼 1条",
     "倒掉盘中汤汁，铺葱丝，淋热油和豉油。"},
    {"holdout-nested-headings.html", "holdout", "Caesar Salad", 4, 3, "1 romaine heart",
     "Top with croutons and parmesan."},
    {"holdout-german-strong-headings.html", "holdout", "Kartoffelsalat", 6, 3,
     "1 kg festkochende Kartoffeln",
     "Essig und Öl unterrühren, über die Kartoffeln gießen und ziehen lassen."},
    {"holdout-ld-html-list.html", "holdout", "Fried Rice", 5, 4, "3 cups cooked rice",
     "Return the eggs, add onions."},
    {"holdout-microdata-each-li.html", "holdout", "Hummus", 4, 3, "1 can chickpeas",
     "Season and serve with oil."},
    {"holdout-big-site-classes.html", "holdout", "Beef Stew", 5, 3, "2 lb beef chuck",
     "Add vegetables; simmer 45 minutes more."},
    {"holdout-zh-br-div.html", "holdout", "凉拌木耳", 5, 3, "干木耳 20克",
     "汁浇在木耳上拌匀即可。"},
    {"holdout-french-site-classes.html", "holdout", "Quiche lorraine", 4, 3, "200 g de lardons",
     "Battre oeufs et crème, verser, cuire 40 minutes."},
    {"holdout-h-recipe-spans.html", "holdout", "Lemonade", 3, 3, "6 lemons", "Chill."},
};

QString PageFixture(const TPageCase& c) {
    return Fixture((std::string("pages/") + c.File).c_str());
}

TEST(RecipePages, EachPageComesInWhole) {
    std::map<std::string, std::pair<int, int>> byKind; // whole, all
    for (const TPageCase& c : PageCases) {
        SCOPED_TRACE(c.File);
        std::vector<TImportedRecipe> recipes;
        try {
            recipes = ReadAllRecipes(PageFixture(c));
        } catch (const Exception& e) {
            ADD_FAILURE() << e.Message().toStdString();
        }
        auto& [whole, all] = byKind[c.Kind];
        ++all;
        if (recipes.size() != 1) {
            ADD_FAILURE() << "recipes: " << recipes.size();
            continue;
        }
        const TImportedRecipe& r = recipes[0];
        const QStringList ingredients = LineTexts(r.Ingredients);
        QStringList steps = LineTexts(r.Steps); // as the method shows them, without numbers
        for (QString& step : steps)
            step = WithoutStepNumber(step);
        const bool ok = r.Name == QString::fromUtf8(c.Title) &&
                        ingredients.size() == c.Ingredients && steps.size() == c.Steps &&
                        ingredients.value(0) == QString::fromUtf8(c.FirstIngredient) &&
                        steps.value(steps.size() - 1) == QString::fromUtf8(c.LastStep);
        whole += ok;
        EXPECT_EQ(r.Name.toStdString(), c.Title);
        EXPECT_EQ(ingredients.size(), c.Ingredients) << ingredients.join(u'|').toStdString();
        EXPECT_EQ(steps.size(), c.Steps) << steps.join(u'|').toStdString();
        EXPECT_EQ(ingredients.value(0).toStdString(), c.FirstIngredient);
        EXPECT_EQ(steps.value(steps.size() - 1).toStdString(), c.LastStep);
    }
    int whole = 0, all = 0;
    for (const auto& [kind, counts] : byKind) {
        std::printf("  %-32s %d / %d whole\n", kind.c_str(), counts.first, counts.second);
        whole += counts.first;
        all += counts.second;
    }
    std::printf("  %-32s %d / %d whole\n", "all pages", whole, all);
}
} // namespace

namespace {
QByteArray Ld(const char* json) {
    return QByteArray("<script type=\"application/ld+json\">") + json + "</script>";
}

// What a page shows fills only what its data lacks, and only for a page of one recipe.
TEST(RecipePages, ThePageOnlyFillsWhatTheDataLacks) {
    const QByteArray card = "<ul class=\"wprm-recipe-ingredients\"><li class=\"wprm-recipe-"
                            "ingredient\">card 1</li><li class=\"wprm-recipe-ingredient\">card "
                            "2</li><li class=\"wprm-recipe-ingredient\">card 3</li></ul>";
    struct TCase {
        const char* Label;
        QByteArray Page;
        QStringList Names;
        QStringList FirstIngredients; // of the first recipe
    };
    const TCase cases[] = {
        {"data whole: the card is not mixed in",
         Ld(R"({"@type":"Recipe","name":"Soup","recipeIngredient":["a","b"]})") + card,
         {"Soup"},
         {"a", "b"}},
        {"data without ingredients: the card's",
         Ld(R"({"@type":"Recipe","name":"Soup","recipeInstructions":"Boil."})") + card,
         {"Soup"},
         {"card 1", "card 2", "card 3"}},
        {"two recipes: the page's one card belongs to neither",
         Ld(R"([{"@type":"Recipe","name":"A"},{"@type":"Recipe","name":"B"}])") + card,
         {"A", "B"},
         {}},
        {"an h1 that does not hold the name leaves it",
         "<h1>Site News</h1>" + Ld(R"({"@type":"Recipe","name":"Soup","recipeIngredient":["a"]})"),
         {"Soup"},
         {"a"}},
        {"an h1 that only says it is the dish's recipe leaves it",
         "<h1>红烧肉的做法</h1>" +
             Ld(R"({"@type":"Recipe","name":"红烧肉","recipeIngredient":["肉"]})"),
         {"红烧肉"},
         {"肉"}},
        {"no data, no card name: the h1 without its recipe words",
         "<h1>Best Pad Thai Recipe</h1>" + card,
         {"Best Pad Thai"},
         {"card 1", "card 2", "card 3"}},
        {"a page that is one form from top to bottom",
         "<form id=\"aspnetForm\"><h1>Soup</h1>" + card + "</form>",
         {"Soup"},
         {"card 1", "card 2", "card 3"}},
        {"no h1: og:title without the site's name",
         "<head><meta property=\"og:title\" content=\"番茄炒蛋 - 下厨房\"></head>" + card,
         {"番茄炒蛋"},
         {"card 1", "card 2", "card 3"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Label);
        const std::vector<TImportedRecipe> recipes = RecipesFromHtml(c.Page, {});
        QStringList names;
        for (const TImportedRecipe& r : recipes)
            names << r.Name;
        EXPECT_EQ(names, c.Names);
        ASSERT_FALSE(recipes.empty());
        EXPECT_EQ(LineTexts(recipes[0].Ingredients), c.FirstIngredients);
    }
}

// Lists in comments, sidebars, menus and hidden parts are never a recipe's.
TEST(RecipePages, FurnitureIsNeverRead) {
    const QByteArray lists = "<h2>Ingredients</h2><ul><li>1 egg</li><li>milk</li></ul>"
                             "<h2>Instructions</h2><ol><li>Mix.</li><li>Fry.</li></ol>";
    const QByteArray pages[] = {
        "<div id=\"comments\" class=\"comments-area\">" + lists + "</div>",
        "<aside class=\"widget-area\">" + lists + "</aside>",
        "<nav>" + lists + "</nav>",
        "<div class=\"sidebar-right\">" + lists + "</div>",
        "<footer>" + lists + "</footer>",
        "<div style=\"display: none\">" + lists + "</div>",
        "<div hidden>" + lists + "</div>",
        "<ol class=\"comment-list\"><li class=\"comment\"><ul class=\"ingredients\"><li>1 egg</li>"
        "</ul></li></ol>",
        "<p>Ingredients are what make it. Instructions were unclear to me.</p><ul><li>a</li></ul>",
    };
    for (const QByteArray& page : pages)
        EXPECT_THROW(RecipesFromHtml(page, {}), EImportError) << page.constData();
}

// A page nesting thousands of lists that name a part is read quickly.
TEST(RecipePages, NestedListsAreBounded) {
    QByteArray page;
    for (int i = 0; i < 3000; ++i)
        page += "<div class=\"ingredients\"><h3>Ingredients</h3>";
    page += "<ul><li>1 egg</li></ul>";
    for (int i = 0; i < 3000; ++i)
        page += "</div>";
    QElapsedTimer timer;
    timer.start();
    try {
        (void)RecipesFromHtml(page, {});
    } catch (const EImportError&) {
    }
    EXPECT_LT(timer.elapsed(), TimeLimitMs(5000));
}

// Microdata items nested eight deep, each named by several properties at once, are
// read once a level: read once a name, the page took the names to the power of the depth.
TEST(RecipePages, NestedMicrodataNamedManyTimesIsReadOnce) {
    QByteArray page = "<div itemscope itemtype=\"http://schema.org/Recipe\">"
                      "<h1 itemprop=\"name\">Soup</h1>"
                      "<span itemprop=\"recipeIngredient\">1 egg</span>"
                      "<p itemprop=\"recipeInstructions\">Boil it.</p>";
    for (int i = 0; i < 8; ++i)
        page += "<div itemprop=\"a b c d e f g h\" itemscope itemtype=\"http://schema.org/Thing\">"
                "<span itemprop=\"recipeIngredient\">salt</span>";
    for (int i = 0; i < 8; ++i)
        page += "</div>";
    page += "</div>";
    QElapsedTimer timer;
    timer.start();
    const std::vector<TImportedRecipe> recipes = RecipesFromHtml(page, {});
    EXPECT_LT(timer.elapsed(), TimeLimitMs(2000));
    ASSERT_EQ(recipes.size(), 1u);
    EXPECT_EQ(recipes[0].Name, QStringLiteral("Soup"));
    ASSERT_EQ(recipes[0].Ingredients.size(), 1u);
    EXPECT_EQ(recipes[0].Ingredients[0].Text, QStringLiteral("1 egg"));
}
} // namespace
