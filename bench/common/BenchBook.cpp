#include "BenchBook.h"

#include "ADODB.h"

#include <QBuffer>
#include <QDir>
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
        const QString method = BenchRandomText(rng, 900 + int(rng.bounded(201)));
        const QString note = BenchRandomText(rng, int(rng.bounded(30)));
        sqlite3_bind_text16(s, 1, name.utf16(), int(name.size() * 2), SQLITE_TRANSIENT);
        sqlite3_bind_text16(s, 2, ingredients.utf16(), int(ingredients.size() * 2),
                            SQLITE_TRANSIENT);
        sqlite3_bind_text16(s, 3, method.utf16(), int(method.size() * 2), SQLITE_TRANSIENT);
        sqlite3_bind_text16(s, 4, note.utf16(), int(note.size() * 2), SQLITE_TRANSIENT);
        if (i % 10 == 3) {
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
