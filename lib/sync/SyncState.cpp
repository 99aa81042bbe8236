#include "SyncState.h"

#include "ADODB.h"
#include "BookExport.h"
#include "RecipeStore.h"
#include "TransactionGuard.h"

#include <QCryptographicHash>
#include <sqlite3.h>

namespace {
const char* const CreateTables[] = {
    "create table if not exists mycook_sync(id integer primary key, recipe integer,"
    " folder text not null, digest blob not null, stamp blob, changes integer not null default 0)",
    "create index if not exists mycook_sync_recipe on mycook_sync(recipe)",
    "create table if not exists mycook_sync_folder(folder text not null)",
    // A deleted row leaves its sync row behind without a recipe: the book's deletion.
    "create trigger if not exists mycook_sync_gone after delete on mycook begin"
    " update mycook_sync set recipe = null where recipe = old.rowid; end",
    "create trigger if not exists mycook_sync_row after update on mycook begin"
    " update mycook_sync set changes = changes + 1 where recipe = new.rowid; end",
};

const char* const ExtrasTables[] = {"mycook_recipe", "mycook_label", "mycook_picture"};

struct TFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TFinalize>;

TStatement Prepare(TADOConnection& connection, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(connection.Handle(), sql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        connection.RaiseEngineError();
    }
    return TStatement(raw);
}

void Done(TADOConnection& connection, sqlite3_stmt* s) {
    if (sqlite3_step(s) != SQLITE_DONE)
        connection.RaiseEngineError();
}

qint64 Number(TADOConnection& connection, const char* sql) {
    TStatement s = Prepare(connection, sql);
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(s.get(), 0);
    if (rc != SQLITE_DONE)
        connection.RaiseEngineError();
    return 0;
}

QString Text(sqlite3_stmt* s, int i) {
    const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(s, i));
    return p ? QString::fromUtf16(p, sqlite3_column_bytes16(s, i) / 2) : QString();
}

QByteArray Bytes(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    return p ? QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(s, i)) : QByteArray();
}

void BindText(sqlite3_stmt* s, int i, const QString& text) {
    sqlite3_bind_text16(s, i, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
}

void BindBytes(sqlite3_stmt* s, int i, const QByteArray& bytes) {
    sqlite3_bind_blob64(s, i, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
}

bool HasSyncTable(TADOConnection& connection) {
    return Number(connection, "select count(*) from sqlite_master where type = 'table' and"
                              " name = 'mycook_sync'") > 0;
}
} // namespace

void EnsureSyncTables(TADOConnection& connection) {
    if (!connection.Connected())
        connection.SetConnected(true);
    if (Number(connection, "pragma user_version") >= SyncTablesVersion) {
        if (HasSyncTable(connection))
            return;
        throw EDatabaseError(QStringLiteral("这个菜谱本由更新版本的程序做成，本程序不能同步它。"));
    }
    TTransactionGuard transaction(connection);
    EnsureRecipeTables(connection);
    for (const char* sql : CreateTables)
        connection.Execute(QString::fromUtf8(sql));
    // Every change of a synced recipe's extras counts as a change of the recipe.
    for (const char* table : ExtrasTables)
        for (const auto& [when, row] :
             {std::pair{"insert", "new"}, {"update", "new"}, {"delete", "old"}})
            connection.Execute(
                QStringLiteral("create trigger if not exists %1_sync_%2 after %2"
                               " on %1 begin update mycook_sync set changes ="
                               " changes + 1 where recipe = %3.recipe; end")
                    .arg(QLatin1String(table), QLatin1String(when), QLatin1String(row)));
    connection.Execute(QStringLiteral("pragma user_version = %1").arg(SyncTablesVersion));
    transaction.Commit();
}

QString SyncedFolder(TADOConnection& connection) {
    TStatement s = Prepare(connection, "select folder from mycook_sync_folder limit 1");
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW)
        return Text(s.get(), 0);
    if (rc != SQLITE_DONE)
        connection.RaiseEngineError();
    return {};
}

void SetSyncedFolder(TADOConnection& connection, const QString& folder) {
    if (SyncedFolder(connection) == folder)
        return;
    connection.Execute(QStringLiteral("delete from mycook_sync"));
    connection.Execute(QStringLiteral("delete from mycook_sync_folder"));
    TStatement s = Prepare(connection, "insert into mycook_sync_folder(folder) values(?)");
    BindText(s.get(), 1, folder);
    Done(connection, s.get());
}

std::vector<TSyncRow> ReadSyncRows(TADOConnection& connection) {
    std::vector<TSyncRow> rows;
    TStatement s = Prepare(connection, "select id, recipe, folder, digest, stamp, changes"
                                       " from mycook_sync order by id");
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        TSyncRow row;
        row.Id = sqlite3_column_int64(s.get(), 0);
        row.Recipe =
            sqlite3_column_type(s.get(), 1) == SQLITE_NULL ? -1 : sqlite3_column_int64(s.get(), 1);
        row.Folder = Text(s.get(), 2);
        row.Digest = Bytes(s.get(), 3);
        row.Stamp = Bytes(s.get(), 4);
        row.Changes = sqlite3_column_int64(s.get(), 5);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        connection.RaiseEngineError();
    return rows;
}

void WriteSyncRow(TADOConnection& connection, TSyncRow& row, qint64 seen) {
    if (row.Id < 0) {
        TStatement s = Prepare(connection, "insert into mycook_sync(recipe, folder, digest,"
                                           " stamp, changes) values(?, ?, ?, ?, 0)");
        sqlite3_bind_int64(s.get(), 1, row.Recipe);
        BindText(s.get(), 2, row.Folder);
        BindBytes(s.get(), 3, row.Digest);
        BindBytes(s.get(), 4, row.Stamp);
        Done(connection, s.get());
        row.Id = sqlite3_last_insert_rowid(connection.Handle());
        return;
    }
    TStatement s = Prepare(connection, "update mycook_sync set recipe = ?, folder = ?, digest = ?,"
                                       " stamp = ?, changes = max(0, changes - ?) where id = ?");
    if (row.Recipe >= 0)
        sqlite3_bind_int64(s.get(), 1, row.Recipe);
    BindText(s.get(), 2, row.Folder);
    BindBytes(s.get(), 3, row.Digest);
    BindBytes(s.get(), 4, row.Stamp);
    sqlite3_bind_int64(s.get(), 5, seen);
    sqlite3_bind_int64(s.get(), 6, row.Id);
    Done(connection, s.get());
}

void DropSyncRow(TADOConnection& connection, qint64 id) {
    TStatement s = Prepare(connection, "delete from mycook_sync where id = ?");
    sqlite3_bind_int64(s.get(), 1, id);
    Done(connection, s.get());
}

qint64 SyncRowChanges(TADOConnection& connection, qint64 id) {
    TStatement s = Prepare(connection, "select changes from mycook_sync where id = ?");
    sqlite3_bind_int64(s.get(), 1, id);
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(s.get(), 0);
    if (rc != SQLITE_DONE)
        connection.RaiseEngineError();
    return -1;
}

QByteArray RecipeDigest(const TRecipe& recipe) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(RecipeJson(recipe));
    auto part = [&](const QByteArray& bytes) {
        const qint64 size = bytes.size();
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
        hash.addData(bytes);
    };
    part(recipe.Cover);
    for (const TRecipePicture& p : recipe.Pictures)
        part(p.Jpeg);
    return hash.result();
}
