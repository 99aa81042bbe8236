#pragma once
// A database file opened with SQLite itself, beside the program's layer: to see what
// the file really holds, or to act as another program at work on it.

#include <QString>
#include <QStringList>
#include <sqlite3.h>

class TRawBook {
public:
    // By default as another program would: read-write, made when missing.
    explicit TRawBook(const QString& path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &FDb, flags, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(FDb);
            FDb = nullptr;
        }
    }
    ~TRawBook() { sqlite3_close_v2(FDb); }
    TRawBook(const TRawBook&) = delete;
    TRawBook& operator=(const TRawBook&) = delete;

    // Null when the file could not be opened.
    sqlite3* Db() const { return FDb; }
    int Run(const char* sql) { return sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr); }
    // The column of every row the statement gives, as text.
    QStringList Texts(const QString& sql, int column = 0) {
        QStringList out;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(FDb, sql.toUtf8().constData(), -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            out << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(st, column)));
        sqlite3_finalize(st);
        return out;
    }
    // The first row's first column; `none` when there is no row.
    QString Text(const QString& sql, const QString& none = {}) {
        const QStringList rows = Texts(sql);
        return rows.isEmpty() ? none : rows.first();
    }

private:
    sqlite3* FDb = nullptr;
};
