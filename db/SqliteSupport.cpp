#include "SqliteSupport.h"

#ifdef __linux__
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "ADODB.h"

namespace {
// SQLite counts the memory it allocates under one mutex for the whole process, taken
// at every allocation and release. A lowered thread (the rows' reading) preempted
// inside it on a busy machine held the window's every statement behind it, for up to
// half a second; nothing here reads the counts. Set before SQLite starts (later, the
// call is refused and changes nothing).
[[maybe_unused]] const int MemoryUncounted = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
} // namespace

QString QuoteIdent(const QString& name) {
    QString s = name;
    s.replace(u'"', QStringLiteral("\"\""));
    return u'"' + s + u'"';
}

int ReadNumber(sqlite3* db, QByteArrayView sql, qint64& value) {
    value = 0;
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &raw, nullptr);
    if (prepared != SQLITE_OK) {
        return prepared;
    }
    TStmt g(raw);
    const int step = sqlite3_step(raw);
    if (step == SQLITE_ROW) {
        value = sqlite3_column_int64(raw, 0);
    }
    return step;
}

qint64 ReadNumberOr(sqlite3* db, QByteArrayView sql, qint64 otherwise) {
    qint64 value = 0;
    return ReadNumber(db, sql, value) == SQLITE_ROW ? value : otherwise;
}

bool RunStatements(TADOConnection& connection, const QString& sql) {
    sqlite3* db = connection.Handle();
    const QByteArray utf8 = sql.toUtf8();
    const char* tail = utf8.constData();
    const char* end = tail + utf8.size();
    bool changed = false;
    while (tail < end) {
        sqlite3_stmt* raw = nullptr;
        const char* next = nullptr;
        if (sqlite3_prepare_v2(db, tail, int(end - tail), &raw, &next) != SQLITE_OK) {
            connection.RaiseEngineError();
        }
        tail = next;
        if (!raw) {
            continue; // blanks or a comment
        }
        TStmt stmt(raw);
        if (!sqlite3_stmt_readonly(raw)) {
            connection.CheckWritable();
            changed = true;
        }
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            connection.RaiseEngineError();
        }
    }
    return changed;
}

// SQLITE_OK when the quick check says "ok"; a stop interrupts it.
int QuickCheck(sqlite3* db, const std::stop_token& stop) {
    sqlite3_progress_handler(
        db, 10000,
        [](void* token) { return static_cast<std::stop_token*>(token)->stop_requested() ? 1 : 0; },
        const_cast<std::stop_token*>(&stop));
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "pragma quick_check", -1, &raw, nullptr);
    TStmt stmt(raw);
    if (rc != SQLITE_OK)
        return sqlite3_extended_errcode(db);
    rc = sqlite3_step(raw);
    if (rc == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
        rc = text && qstrcmp(text, "ok") == 0 ? SQLITE_OK : SQLITE_CORRUPT;
    } else {
        rc = sqlite3_extended_errcode(db);
    }
    stmt.reset();
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    return rc;
}

void YieldToWindow() {
#ifdef __linux__
    // Per thread on Linux; a failure leaves the thread as it was.
    // Ten below the thread's own, not to 10: a program started lowered would
    // otherwise raise its copy above its window (root may raise).
    const auto tid = id_t(::syscall(SYS_gettid));
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, std::min(now + 10, 19));
    constexpr int ioprioWhoProcess = 1, ioprioClassBestEffort = 2, ioprioClassShift = 13;
    ::syscall(SYS_ioprio_set, ioprioWhoProcess, int(tid),
              (ioprioClassBestEffort << ioprioClassShift) | 7);
#endif
}
