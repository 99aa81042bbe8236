// Limits: scaling a 40-line ingredient list ≤ 1 ms; the shopping list of 30
// recipes ≤ 20 ms; its QR codes ≤ 20 ms. The reference splits the same text into
// lines, the least any reading of it costs.
#include "Ingredient.h"
#include "QrCode.h"
#include "ShoppingList.h"

#include <benchmark/benchmark.h>

namespace {

// Forty lines of the kinds a book holds: Chinese and Western, ranges, fractions,
// Chinese numerals, words for amounts, headings.
QString FortyLines() {
    const char16_t* kinds[] = {
        u"五花肉 500克",     u"鸡蛋两个",
        u"土豆 一个半",      u"青椒 两三个",
        u"盐 适量",          u"生抽 1汤匙",
        u"冰糖 15～20克",    u"料酒 1-2勺",
        u"1 1/2 cups flour", u"2-3 cloves garlic, minced",
        u"½ cup sugar",      u"salt to taste",
        u"2 c Heavy cream",  u"调料：",
        u"老抽 1/2 勺",      u"8 oz. cream cheese",
        u"葱 2根",           u"姜 3片",
        u"蒜 5瓣",           u"水 1.5升",
    };
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QString::fromUtf16(kinds[i % 20]);
    return lines.join(u'\n');
}

std::vector<TShoppingRecipe> ThirtyRecipes() {
    std::vector<TShoppingRecipe> recipes;
    const char16_t* pantry[] = {u"五花肉", u"鸡蛋", u"青菜", u"豆腐", u"虾仁", u"葱",
                                u"姜",     u"蒜",   u"生抽", u"老抽", u"冰糖", u"土豆",
                                u"番茄",   u"牛肉", u"鸡翅", u"木耳", u"香菇", u"青椒"};
    const char16_t* amounts[] = {u" 300克", u" 2个", u" 1勺", u" 适量", u" 两根", u" 1/2 斤"};
    for (int r = 0; r < 30; ++r) {
        QStringList lines;
        for (int i = 0; i < 12; ++i)
            lines << QString::fromUtf16(pantry[(r * 5 + i) % 18]) +
                         QString::fromUtf16(amounts[(r + i) % 6]);
        recipes.push_back({QStringLiteral("菜%1").arg(r), lines.join(u'\n'), r % 3 ? 1 : 2});
    }
    return recipes;
}

void BM_SplitLinesReference(benchmark::State& state) {
    const QString text = FortyLines();
    for (auto _ : state)
        benchmark::DoNotOptimize(text.split(u'\n'));
}
BENCHMARK(BM_SplitLinesReference)->Unit(benchmark::kMicrosecond);

void BM_Scale40Lines(benchmark::State& state) {
    const QString text = FortyLines();
    for (auto _ : state)
        benchmark::DoNotOptimize(ScaleIngredients(text, 2));
    state.counters["limit_ms"] = 1;
}
BENCHMARK(BM_Scale40Lines)->Unit(benchmark::kMicrosecond);

void BM_ShoppingList30Recipes(benchmark::State& state) {
    const auto recipes = ThirtyRecipes();
    size_t items = 0;
    for (auto _ : state) {
        const auto list = MakeShoppingList(recipes);
        benchmark::DoNotOptimize(ShoppingText(list, {}));
        items = list.size();
    }
    state.counters["items"] = double(items);
    state.counters["limit_ms"] = 20;
}
BENCHMARK(BM_ShoppingList30Recipes)->Unit(benchmark::kMillisecond);

void BM_QrOf30RecipeList(benchmark::State& state) {
    const QString text = ShoppingText(MakeShoppingList(ThirtyRecipes()), {});
    int codes = 0;
    for (auto _ : state) {
        const QStringList pieces = QrPieces(text);
        for (const QString& piece : pieces)
            benchmark::DoNotOptimize(EncodeQr(piece.toUtf8()));
        codes = int(pieces.size());
    }
    state.counters["codes"] = codes;
    state.counters["bytes"] = double(text.toUtf8().size());
    state.counters["limit_ms"] = 20;
}
BENCHMARK(BM_QrOf30RecipeList)->Unit(benchmark::kMillisecond);

// The longest list a code must carry: 600 bytes in one.
void BM_QrOneFullCode(benchmark::State& state) {
    const QByteArray bytes = QString(200, u'肉').toUtf8();
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodeQr(bytes));
    state.counters["limit_ms"] = 20;
}
BENCHMARK(BM_QrOneFullCode)->Unit(benchmark::kMillisecond);

} // namespace
