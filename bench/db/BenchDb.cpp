// The recipe book at its largest: 100,000 recipes (names of 4-12 Chinese characters,
// ~100-character ingredients, ~1,000-character methods, a 100 KB picture on one in ten).
// Measures opening the query, a keyword search walked to its end (and the search on the
// book with extras against the same book without), and a look-up by name, next to
// SQLite's own LIKE count over the same file.
// Set MYCOOK_BENCH_ROWS to use a smaller book, MYCOOK_BENCH_BOOK=<file> to keep the
// generated book there and reuse it in later runs.

#include "ADODB.h"
#include "BenchBook.h"
#include "InTurn.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString& Keyword = BenchKeyword;
const QString& KeywordFilter = BenchKeywordFilter;

// The program's one query, open on the whole table; of the book with extras when
// `extras` (every recipe with extras, one in five with its whole name and
// ingredients cut by the columns).
struct TOpenBook {
    TADOConnection Connection;
    TADOQuery Query{&Connection};
    explicit TOpenBook(bool extras = false) {
        Connection.SetConnectionString(extras ? ExtrasBook().ConnectString()
                                              : Book().ConnectString());
        Connection.SetConnected(true);
        Query.SQL = QStringList{QStringLiteral("select * from mycook")};
    }
};

void BM_OpenQuery(benchmark::State& state) {
    TOpenBook b;
    malloc_trim(0);
    const double before = RssMiB();
    b.Query.Open();
    const double rssIncrease = RssMiB() - before;
    b.Query.Close();
    for (auto _ : state) {
        b.Query.Open();
        benchmark::DoNotOptimize(b.Query.RecordCount());
        state.PauseTiming();
        b.Query.Close();
        state.ResumeTiming();
    }
    state.counters["rss_increase_MiB"] = rssIncrease;
}

// arg 0: the book without extras; 1: with them.
void BM_KeywordFilterAndWalk(benchmark::State& state) {
    TOpenBook b(state.range(0) != 0);
    b.Query.Open();
    const QString name = QStringLiteral("菜名");
    int found = 0;
    // The first search after opening may wait for the whole texts: timed on its own.
    const auto start = std::chrono::steady_clock::now();
    b.Query.SetFilter(KeywordFilter);
    b.Query.SetFiltered(true);
    state.counters["first_search_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    b.Query.SetFiltered(false);
    for (auto _ : state) {
        b.Query.SetFilter(KeywordFilter);
        b.Query.SetFiltered(true);
        found = 0;
        for (b.Query.First(); !b.Query.Eof(); b.Query.Next()) {
            benchmark::DoNotOptimize(b.Query.FieldByName(name).AsString());
            ++found;
        }
        state.PauseTiming();
        b.Query.SetFiltered(false);
        state.ResumeTiming();
    }
    state.counters["rows"] = found;
}

// The keyword filter on the book without extras and on the same book with them, taken
// in turn (the order swapped each time) so that both meet the same load on a shared
// machine: medians of each, wall and the process's CPU (both threads walk), and their
// ratios. The iteration's own time is both searches.
void BM_KeywordFilterExtrasRatio(benchmark::State& state) {
    TOpenBook books[2] = {TOpenBook(false), TOpenBook(true)};
    for (TOpenBook& b : books) {
        b.Query.Open();
        b.Query.SetFilter(KeywordFilter); // the first search may wait for the whole texts
        b.Query.SetFiltered(true);
        b.Query.SetFiltered(false);
    }
    TInTurn turns;
    int found[2] = {};
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const int book = k ^ turns.First();
            TOpenBook& b = books[book];
            turns.Time(book, [&] {
                b.Query.SetFilter(KeywordFilter);
                b.Query.SetFiltered(true);
            });
            state.PauseTiming();
            found[book] = b.Query.RecordCount();
            b.Query.SetFiltered(false);
            state.ResumeTiming();
        }
        turns.NextRound();
    }
    turns.Report(state, "_extras");
    state.counters["rows"] = found[0];
    state.counters["rows_extras"] = found[1];
}

// The memory floor of a search: reading the searched texts (菜名 and 原料 of every
// recipe, as UTF-16) once, laid out back to back.
void BM_ReadSearchedText(benchmark::State& state) {
    std::u16string all;
    {
        sqlite3* db = nullptr;
        sqlite3_open_v2(Book().Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "select 菜名, 原料 from mycook", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            for (int i = 0; i < 2; ++i)
                all.append(static_cast<const char16_t*>(sqlite3_column_text16(s, i)),
                           size_t(sqlite3_column_bytes16(s, i)) / 2);
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    const auto* words = reinterpret_cast<const uint64_t*>(all.data());
    const size_t n = all.size() / 4;
    for (auto _ : state) {
        uint64_t sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += words[i];
        benchmark::DoNotOptimize(sum);
    }
    state.counters["MiB"] = double(all.size() * 2) / 1048576.0;
}

// SQLite's own answer; state.range(0) = 1 keeps it off the layer's covering index.
void BM_SqliteLikeCount(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(Book().Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql =
        QStringLiteral("select count(*) from mycook%2 where 菜名 like '%%1%' or "
                       "原料 like '%%1%'")
            .arg(Keyword, state.range(0) ? QStringLiteral(" not indexed") : QString())
            .toUtf8();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
    int count = 0;
    for (auto _ : state) {
        sqlite3_step(s);
        count = sqlite3_column_int(s, 0);
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    state.counters["rows"] = count;
}

// Looks the names up in turn, one each iteration, and counts the misses.
void LocateInTurn(benchmark::State& state, TADOQuery& query, const QStringList& names) {
    qsizetype i = 0;
    int misses = 0;
    for (auto _ : state) {
        misses += query.Locate(QStringLiteral("菜名"), names[i]) ? 0 : 1;
        i = (i + 1) % names.size();
    }
    state.counters["misses"] = misses;
}

void BM_LocateByName(benchmark::State& state) {
    TOpenBook b;
    b.Query.Open();
    const QStringList& names = Book().SampleNames;
    const auto start = std::chrono::steady_clock::now();
    b.Query.Locate(QStringLiteral("菜名"), names.back()); // the first look-up after open
    state.counters["first_locate_us"] =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    LocateInTurn(state, b.Query, names);
}

void BM_LocateUnderFilter(benchmark::State& state) {
    TOpenBook b;
    b.Query.Open();
    b.Query.SetFilter(KeywordFilter);
    b.Query.SetFiltered(true);
    QStringList names;
    for (b.Query.First(); !b.Query.Eof(); b.Query.Next()) {
        names << b.Query.FieldByName(QStringLiteral("菜名")).AsString();
    }
    LocateInTurn(state, b.Query, names);
}

} // namespace

BENCHMARK(BM_OpenQuery)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
// The walk is shared with a helper thread: the process's CPU time counts both.
BENCHMARK(BM_KeywordFilterAndWalk)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_KeywordFilterExtrasRatio)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3);
BENCHMARK(BM_ReadSearchedText)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SqliteLikeCount)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_LocateByName)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_LocateUnderFilter)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
