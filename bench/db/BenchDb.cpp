// The recipe book at its largest: 100,000 recipes (names of 4-12 Chinese characters,
// ~100-character ingredients, ~1,000-character methods, a 100 KB picture on one in ten).
// Measures opening the query, a keyword search walked to its end, and a look-up by
// name, next to SQLite's own LIKE count over the same file.
// Set MYCOOK_BENCH_ROWS to use a smaller book, MYCOOK_BENCH_BOOK=<file> to keep the
// generated book there and reuse it in later runs.

#include "ADODB.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Characters of ordinary recipes; the keyword's characters are not among them.
const QString Pool = QStringLiteral(
    "红烧清蒸糖醋鱼肉鸡鸭牛羊猪排骨虾蟹豆腐白菜萝卜土豆茄子青椒辣子葱姜蒜酱油醋盐糖酒香菇木耳"
    "粉丝面条米饭粥汤饼包饺馄饨炒炸煮炖焖烤拌腌卤熏蛋黄瓜番茄芹菜菠菜韭菜花生芝麻核桃红枣枸杞"
    "山药莲藕冬瓜南瓜丝瓜苦瓜玉米豌豆绿豆黄豆海带紫菜虾皮鱿鱼墨鱼鲍参翅肚片丁块条末泥丸球卷");
const QString Keyword = QStringLiteral("松茸");
const QString KeywordFilter = QStringLiteral("菜名 like  '%松茸%' or 原料 like  '%松茸%'");

int Rows() {
    const QByteArray env = qgetenv("MYCOOK_BENCH_ROWS");
    return env.isEmpty() ? 100000 : env.toInt();
}

QString RandomText(QRandomGenerator& rng, int length) {
    QString s;
    s.reserve(length);
    for (int i = 0; i < length; ++i) {
        s += Pool[int(rng.bounded(quint32(Pool.size())))];
    }
    return s;
}

double RssMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct TBook {
    QTemporaryDir Dir;
    QString Path;
    QStringList SampleNames;

    TBook() {
        Path = Dir.filePath(QStringLiteral("cook.mdb"));
        const QString kept = qEnvironmentVariable("MYCOOK_BENCH_BOOK");
        if (!kept.isEmpty()) {
            Path = kept;
        }
        if (kept.isEmpty() || !QFileInfo::exists(kept)) {
            Make();
        }
        ReadSamples();
        malloc_trim(0);
    }

    void Make() {
        CreateDatabaseFile(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + Path +
                           QStringLiteral(";Jet OLEDB:Database Password="));
        {
            TADOConnection c;
            c.SetConnectionString(ConnectString());
            c.SetConnected(true);
            c.Execute(QStringLiteral("create table mycook(菜名 char(30),原料 char(255),做法 "
                                     "memo,说明 char(255),img image)"));
        }
        // Generated in a child process so that its memory does not blur the RSS figures.
        const pid_t child = fork();
        if (child == 0) {
            Generate();
            // The first open through the layer adds its index; not part of the timings.
            TADOConnection c;
            c.SetConnectionString(ConnectString());
            c.SetConnected(true);
            TADOQuery q(&c);
            q.SQL = QStringList{QStringLiteral("select * from mycook")};
            q.Open();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        std::fprintf(stderr, "done\n");
    }

    void ReadSamples() {
        sqlite3* db = nullptr;
        sqlite3_open_v2(Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "select 菜名 from mycook where rowid % 997 = 1", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW) {
            SampleNames << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        }
        sqlite3_finalize(s);
        sqlite3_close(db);
    }

    void Generate() {
        std::fprintf(stderr, "generating %d recipes into %s ...\n", Rows(), qPrintable(Path));
        sqlite3* db = nullptr;
        sqlite3_open(Path.toUtf8().constData(), &db);
        sqlite3_exec(db, "pragma synchronous=OFF; begin", nullptr, nullptr, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "insert into mycook values(?,?,?,?,?)", -1, &s, nullptr);
        QRandomGenerator rng(20240601);
        QByteArray picture(100 * 1024, '\0');
        for (char& b : picture) {
            b = char(rng.bounded(256));
        }
        for (int i = 0; i < Rows(); ++i) {
            QString name = RandomText(rng, 4 + int(rng.bounded(9)));
            QString ingredients = RandomText(rng, 90 + int(rng.bounded(21)));
            if (i % 100 == 37) { // ~1% carry the keyword, half in the name
                if (i % 200 == 37) {
                    name.replace(1, 2, Keyword);
                } else {
                    ingredients.replace(40, 2, Keyword);
                }
            }
            const QString method = RandomText(rng, 900 + int(rng.bounded(201)));
            const QString note = RandomText(rng, int(rng.bounded(30)));
            sqlite3_bind_text16(s, 1, name.utf16(), int(name.size() * 2), SQLITE_TRANSIENT);
            sqlite3_bind_text16(s, 2, ingredients.utf16(), int(ingredients.size() * 2),
                                SQLITE_TRANSIENT);
            sqlite3_bind_text16(s, 3, method.utf16(), int(method.size() * 2), SQLITE_TRANSIENT);
            sqlite3_bind_text16(s, 4, note.utf16(), int(note.size() * 2), SQLITE_TRANSIENT);
            if (i % 10 == 3) {
                picture[0] = char(i);
                sqlite3_bind_blob(s, 5, picture.constData(), int(picture.size()), SQLITE_STATIC);
            } else {
                sqlite3_bind_null(s, 5);
            }
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    QString ConnectString() const {
        return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = "
                              "False;Mode = ReadWrite;Data Source=%1;Jet OLEDB:Database Password=")
            .arg(Path);
    }
};

TBook& Book() {
    static TBook book;
    return book;
}

// The program's one query, open on the whole table.
struct TOpenBook {
    TADOConnection Connection;
    TADOQuery Query{&Connection};
    TOpenBook() {
        Connection.SetConnectionString(Book().ConnectString());
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

void BM_KeywordFilterAndWalk(benchmark::State& state) {
    TOpenBook b;
    b.Query.Open();
    const QString name = QStringLiteral("菜名");
    int found = 0;
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

void BM_LocateByName(benchmark::State& state) {
    TOpenBook b;
    b.Query.Open();
    const QStringList& names = Book().SampleNames;
    const auto start = std::chrono::steady_clock::now();
    b.Query.Locate(QStringLiteral("菜名"), names.back()); // the first look-up after open
    state.counters["first_locate_us"] =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    qsizetype i = 0;
    int misses = 0;
    for (auto _ : state) {
        misses += b.Query.Locate(QStringLiteral("菜名"), names[i]) ? 0 : 1;
        i = (i + 1) % names.size();
    }
    state.counters["misses"] = misses;
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
    qsizetype i = 0;
    int misses = 0;
    for (auto _ : state) {
        misses += b.Query.Locate(QStringLiteral("菜名"), names[i]) ? 0 : 1;
        i = (i + 1) % names.size();
    }
    state.counters["misses"] = misses;
}

} // namespace

BENCHMARK(BM_OpenQuery)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_KeywordFilterAndWalk)
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
