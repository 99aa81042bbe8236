#pragma once
// Guards and small helpers over SQLite's C interface, shared by the layer's units
// (private to db/).

#include "SysUtils.h"

#include <QByteArrayView>
#include <QString>
#include <memory>
#include <sqlite3.h>
#include <stop_token>

class TADOConnection;

struct TStmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtDeleter>;

// A statement left stepped would hold a read lock and stall the other program copy.
struct TResetGuard {
    sqlite3_stmt* S;
    ~TResetGuard() {
        if (S) {
            sqlite3_reset(S);
            sqlite3_clear_bindings(S);
        }
    }
    // Resets now and lets go: raising may re-read the query, which finalizes S.
    void Release() {
        sqlite3_reset(S);
        sqlite3_clear_bindings(S);
        S = nullptr;
    }
};

struct TDbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using TDbPtr = std::unique_ptr<sqlite3, TDbCloser>;

[[noreturn]] inline void Raise(const QString& text) {
    throw EDatabaseError(text);
}

QString QuoteIdent(const QString& name);

// Steps a statement that yields one number: SQLITE_ROW with `value` set, SQLITE_DONE
// when it yields none (`value` 0), otherwise the failing result code.
int ReadNumber(sqlite3* db, QByteArrayView sql, qint64& value);
// The number, or `otherwise` when it cannot be read.
qint64 ReadNumberOr(sqlite3* db, QByteArrayView sql, qint64 otherwise);

// Lets the window's thread go first: the calling thread (the rows' reading, the
// daily copy) takes the processor and the disk only when the window does not.
void YieldToWindow();

// Runs every statement of the text; true when one of them may have changed data.
bool RunStatements(TADOConnection& connection, const QString& sql);

// The engine's quick check of every page: SQLITE_OK when it says "ok", a damage code
// when it finds damage, the failing code otherwise; a stop interrupts it.
int QuickCheck(sqlite3* db, const std::stop_token& stop = {});
