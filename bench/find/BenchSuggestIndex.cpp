// The suggestion index alone, on recipes drawn as the benchmark book draws them but
// without a book file, so a million recipes cost memory and not disk: every
// keystroke of the typed texts, against plainly scanning every name for the typed
// characters in the same run; the index's memory and build time. arg 1: as the
// book with extras gives them (one in five whole names run on past 30 characters,
// one in fifty whole ingredients longer, on the same rows as there); arg 0: the same
// recipes as the columns hold them, cut.
// MYCOOK_BENCH_ROWS sets the recipes; MYCOOK_BENCH_CHARS=n draws the texts from n
// characters, the first far more often, as a real book's thousands are, instead of
// the benchmark book's 150 equally often.
#include "BenchBook.h"
#include "Keystrokes.h"
#include "Recipe.h"
#include "RecipeText.h"
#include "SuggestIndex.h"

#include <QRandomGenerator>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

struct TRecipes {
    std::vector<QString> Names, Ingredients;
};

int Wide() {
    static const int wide = qEnvironmentVariableIntValue("MYCOOK_BENCH_CHARS");
    return std::max(wide, 0);
}

QString Text(QRandomGenerator& rng, int length) {
    const int wide = Wide();
    if (wide == 0)
        return BenchRandomText(rng, length);
    QString s;
    for (int i = 0; i < length; ++i) {
        const double u = rng.generateDouble();
        s += QChar(char16_t(0x4E00 + int(std::min(wide, 20000) * u * u * u)));
    }
    return s;
}

// extras: 0 none; 1 as the book with extras.
TRecipes Draw(bool extras) {
    TRecipes r;
    QRandomGenerator rng(20240601), more(11);
    const int rows = BenchRows();
    r.Names.reserve(size_t(rows));
    r.Ingredients.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i) {
        QString name = Text(rng, 4 + int(rng.bounded(9)));
        QString ingredients = Text(rng, 90 + int(rng.bounded(21)));
        if (i % 100 == 37) { // as the book: ~1% carry the keyword, half in the name
            if (i % 200 == 37)
                name.replace(1, 2, BenchKeyword);
            else
                ingredients.replace(40, 2, BenchKeyword);
        }
        if (!Wide()) {
            name = BenchWholeName(i, name);
            ingredients = BenchWholeIngredients(i, ingredients);
        } else if (BenchWholeNameRunsOn(i)) {
            name += QStringLiteral("（") + Text(more, 24) + QStringLiteral("）");
            if (BenchWholeIngredientsRunOn(i))
                ingredients += QStringLiteral("；") + Text(more, 199);
        }
        // Without extras, as the columns hold them.
        r.Names.push_back(extras ? name : CutToFit(name, NameColumnChars));
        r.Ingredients.push_back(extras ? ingredients
                                       : CutToFit(ingredients, IngredientsColumnChars));
    }
    return r;
}

const TRecipes& Recipes(int extras) {
    static const TRecipes r[2] = {Draw(false), Draw(true)};
    return r[extras];
}

TSuggestIndex Build(const TRecipes& r) {
    TSuggestIndex index;
    index.BeginBulk(qsizetype(r.Names.size()));
    for (size_t i = 0; i < r.Names.size(); ++i)
        index.Put(qint64(i), r.Names[i], r.Ingredients[i]);
    index.EndBulk();
    return index;
}

const TSuggestIndex& Index(int extras) {
    static const TSuggestIndex index[2] = {Build(Recipes(0)), Build(Recipes(1))};
    return index[extras];
}

const QStringList& Typed() {
    static const QStringList typed = SuggestKeystrokes();
    return typed;
}

// args: the keystroke; 0 names as the book holds them, 1 with the extras' whole ones.
void BM_SuggestIndex(benchmark::State& state) {
    const int extras = int(state.range(1));
    const TRecipes& r = Recipes(extras);
    const TSuggestIndex& index = Index(extras);
    const QString typed = Typed()[state.range(0)];
    const TIngredientsOf ingredients = [&r](qint64 id, QString&) {
        return QStringView(r.Ingredients[size_t(id)]);
    };
    size_t found = 0;
    for (auto _ : state)
        found = index.Suggest(typed, ingredients).size();
    state.SetLabel(typed.toStdString());
    state.counters["found"] = double(found);
}

// The reference: every name's characters scanned once for the typed characters.
void BM_ScanNames(benchmark::State& state) {
    const TRecipes& r = Recipes(int(state.range(0)));
    const QString typed = QStringLiteral("红烧鱼丸");
    size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const QString& name : r.Names)
            found += name.contains(typed);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = double(found);
}

void BM_BuildIndex(benchmark::State& state) {
    const TRecipes& r = Recipes(int(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state)
        bytes = Build(r).MemoryBytes();
    state.counters["index_MiB"] = double(bytes) / 1048576.0;
}

// The first saves after the book's reading built the index: the first of them grows
// whatever the bulk left without room. Three saves timed, then the index dropped.
void BM_SavesAfterBuild(benchmark::State& state) {
    const TRecipes& r = Recipes(int(state.range(0)));
    const qint64 first = qint64(r.Names.size());
    double slowest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto index = std::make_unique<TSuggestIndex>(Build(r));
        state.ResumeTiming();
        for (int i = 0; i < 3; ++i) {
            const auto start = std::chrono::steady_clock::now();
            index->Put(first + i, r.Names[size_t(i) * 7919 % r.Names.size()],
                       r.Ingredients[size_t(i) * 104729 % r.Names.size()]);
            slowest = std::max(slowest, std::chrono::duration<double, std::milli>(
                                            std::chrono::steady_clock::now() - start)
                                            .count());
        }
        state.PauseTiming();
        index.reset();
        state.ResumeTiming();
    }
    state.counters["slowest_ms"] = slowest;
}

} // namespace

BENCHMARK(BM_SavesAfterBuild)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanNames)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SuggestIndex)
    ->ArgsProduct({benchmark::CreateDenseRange(0, int(SuggestKeystrokes().size()) - 1, 1), {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildIndex)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
