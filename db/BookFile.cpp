#include "BookFile.h"

#include "FileErrorText.h"

#include "ADODB.h"
#include "EngineErrors.h"
#include "SqliteSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString NotOursText(const QString& path) {
    return QStringLiteral("菜谱库没有打开：“%1”不是本程序的菜谱库，程序没有改动它。"
                          "请把它移走或改名，下次启动时程序会建立新的菜谱库。")
        .arg(QDir::toNativeSeparators(path));
}

[[noreturn]] void RaiseOpenError(const QString& path, sqlite3* db, int rc) {
    Raise(EngineErrorText(db ? sqlite3_extended_errcode(db) : rc, BookSubject(path)));
}

// Looks at the file through a read-only handle, so that not even a hot journal of
// someone else's database is rolled back into it.
void CheckOurBook(const QString& path) {
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) {
        Raise(QStringLiteral("无法打开菜谱库“%1”：%2")
                  .arg(QDir::toNativeSeparators(path), FileDeviceErrorText(f.error(), errno)));
    }
    const QByteArray head = f.read(100);
    f.close();
    if (head.size() < 100 || !head.startsWith(QByteArray("SQLite format 3\0", 16))) {
        Raise(NotOursText(path));
    }
    // Our mark sits in the header and never changes, so it reads the same even when
    // a crash left a write unfinished; SQLite recovers such a book when it is opened.
    const auto* h = reinterpret_cast<const uchar*>(head.constData()) + 68;
    if (qint32((quint32(h[0]) << 24) | (quint32(h[1]) << 16) | (quint32(h[2]) << 8) | h[3]) ==
        BookApplicationId) {
        return;
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    TDbPtr db(raw);
    if (rc != SQLITE_OK) {
        RaiseOpenError(path, raw, rc);
    }
    sqlite3_busy_timeout(raw, BusyTimeoutMs);
    auto single = [&](const char* sql) -> qint64 {
        qint64 value = 0;
        const int rc = ReadNumber(raw, sql, value);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            RaiseOpenError(path, raw, rc);
        }
        return value;
    };
    if (single("pragma application_id") == BookApplicationId) {
        return;
    }
    if (single("select count(*) from sqlite_master where type='table' and name='mycook'") == 0) {
        Raise(NotOursText(path));
    }
}

void CreateDatabaseFile(const QString& creationString) {
    const QString path = ConnectionStringItem(creationString, QStringLiteral("Data Source"));
    if (path.isEmpty()) {
        Raise(QStringLiteral("建库字符串没有指明文件（Data Source）。"));
    }
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    // A file of no bytes (left by a copy that crashed) holds nothing: the book is
    // made in it.
    const bool empty = info.isFile() && !info.isSymLink() && info.size() == 0;
    if ((info.exists() || info.isSymLink()) && !empty) {
        Raise(QStringLiteral("菜谱库“%1”已经存在。").arg(shown));
    }
    {
        // Exclusive creation: a file that appears meanwhile is never taken over.
        QFile f(path);
        const QIODevice::OpenMode mode = empty ? QIODevice::ReadWrite | QIODevice::ExistingOnly
                                               : QIODevice::WriteOnly | QIODevice::NewOnly;
        if (!f.open(mode)) {
            Raise(QStringLiteral("无法建立菜谱库“%1”：%2").arg(shown, f.errorString()));
        }
        if (f.size() != 0) {
            Raise(QStringLiteral("菜谱库“%1”已经存在。").arg(shown));
        }
    }
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    TDbPtr db(raw);
    if (rc == SQLITE_OK) {
        const QByteArray sql =
            QStringLiteral("pragma application_id=%1").arg(BookApplicationId).toUtf8();
        rc = sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const QString why =
            EngineErrorText(raw ? sqlite3_extended_errcode(raw) : rc, QStringLiteral("这个文件"));
        db.reset();
        if (!empty) {
            QFile::remove(path);
        }
        Raise(QStringLiteral("无法建立菜谱库“%1”：%2").arg(shown, why));
    }
}

// On our own books the cached columns get a covering index: reading it touches a
// tenth of the pages a table scan would (rows carry long methods and pictures).
QString EnsureCacheIndex(sqlite3* db, const QString& tableName, const QString& table,
                         const std::vector<TColumn>& columns, bool damaged) {
    const QString index = QuoteIdent(QStringLiteral("mycook_cache_") + tableName);
    auto single = [&](const QString& sql) -> qint64 {
        return ReadNumberOr(db, sql.toUtf8(), -1);
    };
    if (single(QStringLiteral("pragma application_id")) != BookApplicationId || damaged) {
        return QString();
    }
    QString literal = tableName;
    literal.replace(u'\'', QStringLiteral("''"));
    // Counting the rows reads the smallest index; this one holds nothing but them,
    // so a deferred opening counts a large book without reading its texts.
    const qint64 counter = single(QStringLiteral("select count(*) from sqlite_master where "
                                                 "type='index' and name='mycook_count_%1'")
                                      .arg(literal));
    if (counter == 0 && sqlite3_get_autocommit(db)) {
        const QByteArray sql =
            QStringLiteral("create index if not exists %1 on %2(0)")
                .arg(QuoteIdent(QStringLiteral("mycook_count_") + tableName), table)
                .toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr); // without it: slower
    }
    const qint64 present = single(QStringLiteral("select count(*) from sqlite_master where "
                                                 "type='index' and name='mycook_cache_%1'")
                                      .arg(literal));
    if (present < 0) {
        return QString();
    }
    if (present == 0) {
        // Never inside the caller's transaction (a failure could end it); a read-only
        // or busy book simply goes without.
        if (!sqlite3_get_autocommit(db)) {
            return QString();
        }
        QString cols;
        for (const TColumn& c : columns) {
            if (c.Slot >= 0) {
                cols += (cols.isEmpty() ? QString() : QStringLiteral(", ")) + c.Quoted;
            }
        }
        const QByteArray sql = QStringLiteral("create index if not exists %1 on %2(%3)")
                                   .arg(index, table, cols)
                                   .toUtf8();
        if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            return QString();
        }
    }
    return index;
}
