#include "BenchBook.h"

#include "ADODB.h"
#include "Recipe.h"
#include "RecipeText.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <sqlite3.h>

#include <algorithm>
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
// Real photographs' JPEGs, as the importer takes only pictures it can read: a few
// dozen differently sized and coloured pictures of about 100 KB (soft colour with
// grain, as a photo of a dish), each recipe's made its own by a comment segment
// naming it.
QByteArray PoolPicture(int k) {
    QRandomGenerator rng(quint32(7919 * k + 1));
    QImage image(360 + 16 * (k % 7), 270 + 12 * (k % 5), QImage::Format_RGB32);
    const int r0 = int(rng.bounded(256)), g0 = int(rng.bounded(256)), b0 = int(rng.bounded(256));
    const int grain = 24 + 6 * (k % 4);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(rng.bounded(grain)) - grain / 2;
            line[x] = qRgb(std::clamp(r0 + x / 3 + n, 0, 255), std::clamp(g0 + y / 3 + n, 0, 255),
                           std::clamp(b0 - (x + y) / 6 + n, 0, 255));
        }
    }
    QByteArray jpeg;
    QBuffer out(&jpeg);
    out.open(QIODevice::WriteOnly);
    image.save(&out, "JPEG", 88);
    return jpeg;
}
} // namespace

QByteArray BenchPicture(int index) {
    static const std::vector<QByteArray> pool = [] {
        std::vector<QByteArray> pictures;
        for (int k = 0; k < 24; ++k)
            pictures.push_back(PoolPicture(k));
        return pictures;
    }();
    const QByteArray& picture = pool[size_t(index) % pool.size()];
    // A comment segment (FF FE, its length, the text) after the start marker.
    const QByteArray text = "mycook bench picture " + QByteArray::number(index);
    const int length = int(text.size()) + 2;
    QByteArray segment("\xFF\xFE", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(text);
    return picture.left(2) + segment + picture.mid(2);
}

const QString BenchKeyword = QStringLiteral("松茸");
const QString BenchKeywordFilter = QStringLiteral("菜名 like  '%松茸%' or 原料 like  '%松茸%'");

int PictureEvery() {
    const int every = qEnvironmentVariableIntValue("MYCOOK_BENCH_PICTURE_EVERY");
    return every > 3 ? every : 10;
}

int BenchRows() {
    const QByteArray env = qgetenv("MYCOOK_BENCH_ROWS");
    return env.isEmpty() ? 100000 : env.toInt();
}

QString BenchRandomText(QRandomGenerator& rng, int length) {
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

TBook::TBook() {
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

void TBook::Make() {
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

void TBook::ReadSamples() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "select 菜名 from mycook where rowid % 997 = 1", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
        SampleNames << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
}

void TBook::Generate() {
    std::fprintf(stderr, "generating %d recipes into %s ...\n", BenchRows(), qPrintable(Path));
    sqlite3* db = nullptr;
    sqlite3_open(Path.toUtf8().constData(), &db);
    sqlite3_exec(db, "pragma synchronous=OFF; begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "insert into mycook values(?,?,?,?,?)", -1, &s, nullptr);
    QRandomGenerator rng(20240601);
    for (int i = 0; i < BenchRows(); ++i) {
        QString name = BenchRandomText(rng, 4 + int(rng.bounded(9)));
        QString ingredients = BenchRandomText(rng, 90 + int(rng.bounded(21)));
        if (i % 100 == 37) { // ~1% carry the keyword, half in the name
            if (i % 200 == 37) {
                name.replace(1, 2, BenchKeyword);
            } else {
                ingredients.replace(40, 2, BenchKeyword);
            }
        }
        // The recipes the book with extras holds whole, as the columns hold them.
        name = CutToFit(BenchWholeName(i, name), NameColumnChars);
        ingredients = CutToFit(BenchWholeIngredients(i, ingredients), IngredientsColumnChars);
        const QString method = BenchRandomText(rng, 900 + int(rng.bounded(201)));
        const QString note = BenchRandomText(rng, int(rng.bounded(30)));
        sqlite3_bind_text16(s, 1, name.utf16(), int(name.size() * 2), SQLITE_TRANSIENT);
        sqlite3_bind_text16(s, 2, ingredients.utf16(), int(ingredients.size() * 2),
                            SQLITE_TRANSIENT);
        sqlite3_bind_text16(s, 3, method.utf16(), int(method.size() * 2), SQLITE_TRANSIENT);
        sqlite3_bind_text16(s, 4, note.utf16(), int(note.size() * 2), SQLITE_TRANSIENT);
        if (i % PictureEvery() == 3) {
            const QByteArray picture = BenchPicture(i);
            sqlite3_bind_blob(s, 5, picture.constData(), int(picture.size()), SQLITE_TRANSIENT);
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

QString TBook::ConnectString() const {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = "
                          "False;Mode = ReadWrite;Data Source=%1;Jet OLEDB:Database Password=")
        .arg(Path);
}

QString TBook::Folder() const {
    return QFileInfo(Path).absolutePath();
}

TBook& Book() {
    static TBook book;
    return book;
}

QByteArray BenchJpeg(QSize size, int seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int n = int(rng.bounded(24));
            line[x] = qRgb((x * 255 / size.width() + n) & 255, (y * 255 / size.height() + n) & 255,
                           (seed * 40 + n) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

namespace {

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, error);
        sqlite3_free(error);
        std::abort();
    }
}

void BindText(sqlite3_stmt* s, int i, const QString& text) {
    sqlite3_bind_text16(s, i, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
}

// Our own tables as lib/recipe makes them (the book library stays below it).
const char* const ExtrasTables =
    "create table if not exists mycook_recipe("
    "recipe integer primary key, name_column text not null, name text,"
    " ingredients_column text, ingredients text, note_column text, note text, steps text,"
    " servings real, servings_unit text, prep_time text, cook_time text, total_time text,"
    " source text, favourite integer not null default 0, added text, changed text);"
    "create table if not exists mycook_label(recipe integer not null, kind integer not null,"
    " position integer not null, text text not null, primary key(recipe, kind, position));"
    "create index if not exists mycook_label_text on mycook_label(kind, text, recipe);"
    "create table if not exists mycook_picture(recipe integer not null,"
    " position integer not null, step integer not null default 0, caption text,"
    " jpeg blob not null);"
    "create unique index if not exists mycook_picture_order on mycook_picture(recipe, position);"
    "create table if not exists mycook_whole(recipe integer primary key, name text,"
    " ingredients text);"
    "create trigger if not exists mycook_extras_gone after delete on mycook begin"
    " delete from mycook_whole where recipe = old.rowid;"
    " delete from mycook_recipe where recipe = old.rowid;"
    " delete from mycook_label where recipe = old.rowid;"
    " delete from mycook_picture where recipe = old.rowid; end;"
    "create trigger if not exists mycook_extras_fresh after insert on mycook begin"
    " delete from mycook_whole where recipe = new.rowid;"
    " delete from mycook_recipe where recipe = new.rowid;"
    " delete from mycook_label where recipe = new.rowid;"
    " delete from mycook_picture where recipe = new.rowid; end;"
    "pragma user_version = 1;";

// A well-mixed hash of a row's block, so the rows picked follow no residue.
quint32 Mix(quint64 x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return quint32(x);
}
} // namespace

// One row in each five, drawn by a hash of the five's number rather than a fixed
// residue: the generator puts the keyword into names at a fixed residue (the 37th of
// every 200), and a residue of five that it shares (37 % 5 == 2) lengthened exactly
// the names holding the keyword, which made keystrokes typing it look slower than
// longer names make them.
bool BenchWholeNameRunsOn(qint64 row) {
    return qint64(Mix(quint64(row / 5)) % 5) == row % 5;
}

// One of those rows in each fifty, again drawn by hash.
bool BenchWholeIngredientsRunOn(qint64 row) {
    return BenchWholeNameRunsOn(row) &&
           qint64(Mix(quint64(row / 50) ^ 0x5bd1e995ULL) % 10) == (row / 5) % 10;
}

namespace {
// What runs on past the drawn text: its own draw per row, so both books and the
// index's benchmark make the same whole texts without sharing a generator.
const QChar NameAside = u'（', MoreIngredients = u'；';

QString RunOn(qint64 row, quint32 salt, int length) {
    QRandomGenerator rng(Mix(quint64(row) ^ (quint64(salt) << 40)));
    return BenchRandomText(rng, length);
}
} // namespace

QString BenchWholeName(qint64 row, const QString& drawn) {
    if (!BenchWholeNameRunsOn(row))
        return drawn;
    return drawn + NameAside + RunOn(row, 1, 24) + QStringLiteral("）");
}

QString BenchWholeIngredients(qint64 row, const QString& drawn) {
    if (!BenchWholeIngredientsRunOn(row))
        return drawn;
    return drawn + MoreIngredients + RunOn(row, 2, 199);
}

namespace {

void AddExtras(const QString& path) {
    std::fprintf(stderr, "adding extras into %s ...\n", qPrintable(path));
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    Exec(db, "pragma synchronous=OFF; begin");
    Exec(db, ExtrasTables);
    sqlite3_stmt *rows = nullptr, *recipe = nullptr, *label = nullptr, *picture = nullptr,
                 *whole = nullptr;
    sqlite3_prepare_v2(db, "select rowid, 菜名, 原料 from mycook order by rowid", -1, &rows,
                       nullptr);
    sqlite3_prepare_v2(db,
                       "insert into mycook_recipe(recipe, name_column, name, ingredients_column,"
                       " ingredients, servings, servings_unit, prep_time, cook_time, source,"
                       " favourite) values(?, ?, ?, ?, ?, 4, '人份', 'PT15M', 'PT1H',"
                       " 'https://www.example.com/r', ?)",
                       -1, &recipe, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into mycook_label(recipe, kind, position, text) values(?, 0, ?, ?)",
                       -1, &label, nullptr);
    sqlite3_prepare_v2(db,
                       "insert into mycook_picture(recipe, position, step, caption, jpeg)"
                       " values(?, ?, ?, '步骤', ?)",
                       -1, &picture, nullptr);
    sqlite3_prepare_v2(db, "insert into mycook_whole(recipe, name, ingredients) values(?, ?, ?)",
                       -1, &whole, nullptr);
    const QByteArray small = BenchJpeg(QSize(64, 48), 1);
    QRandomGenerator rng(11);
    qint64 n = 0;
    auto text = [](sqlite3_stmt* s, int i) {
        return QString::fromUtf16(static_cast<const char16_t*>(sqlite3_column_text16(s, i)),
                                  sqlite3_column_bytes16(s, i) / 2);
    };
    while (sqlite3_step(rows) == SQLITE_ROW) {
        const qint64 id = sqlite3_column_int64(rows, 0);
        const QString name = text(rows, 1), ingredients = text(rows, 2);
        const bool cut = BenchWholeNameRunsOn(n), cutIngredients = BenchWholeIngredientsRunOn(n);
        // The drawn texts end where the cut ones' run-on begins.
        const QString wholeName = BenchWholeName(n, name.section(NameAside, 0, 0));
        const QString wholeIngredients =
            BenchWholeIngredients(n, ingredients.section(MoreIngredients, 0, 0));
        sqlite3_bind_int64(recipe, 1, id);
        BindText(recipe, 2, name);
        BindText(recipe, 3, wholeName);
        BindText(recipe, 4, ingredients);
        BindText(recipe, 5, wholeIngredients);
        sqlite3_bind_int(recipe, 6, n % 10 == 0);
        sqlite3_step(recipe);
        sqlite3_reset(recipe);
        if (cut) {
            sqlite3_bind_int64(whole, 1, id);
            BindText(whole, 2, wholeName);
            if (cutIngredients)
                BindText(whole, 3, wholeIngredients);
            sqlite3_step(whole);
            sqlite3_reset(whole);
            sqlite3_clear_bindings(whole);
        }
        const int count = 1 + int(rng.bounded(2));
        for (int k = 0; k < count; ++k) {
            sqlite3_bind_int64(label, 1, id);
            sqlite3_bind_int(label, 2, k);
            BindText(label, 3, BenchCategory(int(rng.bounded(BenchCategories))));
            sqlite3_step(label);
            sqlite3_reset(label);
        }
        if (n % 5 == 0)
            for (int k = 0; k < 3; ++k) {
                sqlite3_bind_int64(picture, 1, id);
                sqlite3_bind_int(picture, 2, k);
                sqlite3_bind_int(picture, 3, k + 1);
                sqlite3_bind_blob(picture, 4, small.constData(), int(small.size()), SQLITE_STATIC);
                sqlite3_step(picture);
                sqlite3_reset(picture);
            }
        ++n;
    }
    for (sqlite3_stmt* s : {rows, recipe, label, picture, whole})
        sqlite3_finalize(s);
    Exec(db, "commit");
    sqlite3_close(db);
}
} // namespace

QString BenchCategory(int i) {
    static const QStringList names = {
        QStringLiteral("川菜"),   QStringLiteral("粤菜"),   QStringLiteral("鲁菜"),
        QStringLiteral("苏菜"),   QStringLiteral("浙菜"),   QStringLiteral("闽菜"),
        QStringLiteral("湘菜"),   QStringLiteral("徽菜"),   QStringLiteral("家常菜"),
        QStringLiteral("早餐"),   QStringLiteral("汤"),     QStringLiteral("凉菜"),
        QStringLiteral("面食"),   QStringLiteral("甜点"),   QStringLiteral("素菜"),
        QStringLiteral("海鲜"),   QStringLiteral("烧烤"),   QStringLiteral("火锅"),
        QStringLiteral("小吃"),   QStringLiteral("粥"),     QStringLiteral("饮品"),
        QStringLiteral("烘焙"),   QStringLiteral("快手菜"), QStringLiteral("下饭菜"),
        QStringLiteral("宴客菜"), QStringLiteral("减脂"),   QStringLiteral("儿童"),
        QStringLiteral("节日"),   QStringLiteral("腌腊"),   QStringLiteral("卤味")};
    return names[i % names.size()];
}

TExtrasBook::TExtrasBook() {
    const QString kept = qEnvironmentVariable("MYCOOK_BENCH_BOOK");
    Path = kept.isEmpty() ? Dir.filePath(QStringLiteral("cook.mdb"))
                          : QFileInfo(kept).dir().filePath(QStringLiteral("extras/cook.mdb"));
    if (QFileInfo::exists(Path))
        return;
    QDir().mkpath(QFileInfo(Path).absolutePath());
    const QString part = Path + QStringLiteral(".part");
    QFile::remove(part);
    QFile::copy(Book().Path, part);
    AddExtras(part);
    QFile::rename(part, Path);
    malloc_trim(0);
}

QString TExtrasBook::Folder() const {
    return QFileInfo(Path).absolutePath();
}

QString TExtrasBook::ConnectString() const {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info = "
                          "False;Mode = ReadWrite;Data Source=%1;Jet OLEDB:Database Password=")
        .arg(Path);
}

TExtrasBook& ExtrasBook() {
    static TExtrasBook book;
    return book;
}
