#pragma once
// The recipe book's database layer: a connection and one navigable record set
// over SQLite, offering the operations the pages rely on (see docs/ARCHITECTURE.md).
// Every failure raises EDatabaseError carrying the engine's message.

#include "SysUtils.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

struct sqlite3;
class TADOQuery;

// The recipes' whole names and ingredients where 菜名 and 原料 hold them cut; a
// keyword filter on the table mycook matches them (written by lib/recipe).
inline constexpr char WholeTextsTable[] = "mycook_whole";

class TADOConnection {
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    // Provider-style text; the file path is read from its "Data Source" item.
    void SetConnectionString(const QString& text);
    const QString& ConnectionString() const { return FConnectionString; }
    void SetLoginPrompt(bool on) { FLoginPrompt = on; }
    bool LoginPrompt() const { return FLoginPrompt; }

    // Opening a file that is not one of our books fails and leaves it untouched. A
    // connection asked for that could not be made is tried again when next needed.
    void SetConnected(bool on);
    bool Connected() const { return FDb != nullptr; }

    // A damaged book is still read, but nothing more is written into it in this run:
    // writes raise the text of DamagedBookText.
    bool Damaged() const { return FDamaged; }
    void MarkDamaged() { FDamaged = true; }
    void CheckWritable() const;
    // The check the daily copy makes of every page, run now: a damaged book is marked
    // as such and answers false; raises when the check itself cannot run.
    bool CheckBookIntact();

    // Runs on the connection's own thread when a statement starts waiting for another
    // program's lock (the wait itself stays as it was).
    void SetWaitHandler(std::function<void()> handler) { FWaitHandler = std::move(handler); }
    const std::function<void()>& WaitHandler() const { return FWaitHandler; }

    // Re-reads the open queries when another connection changed the book since the
    // last look; true when it did.
    bool SyncWithBook();
    // SQLite's count of other connections' changes (-1 when it cannot be read), and
    // the count that a query's reading of the book matches.
    qint64 DataVersion() const;
    void NoteSeen(qint64 version) { FDataVersion = version; }

    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const;
    // Transactions and savepoints rolled back so far: what a caller learnt of the
    // book inside one (tables it made, say) may have gone with it.
    int Rollbacks() const { return FRollbacks; }

    // On: a transaction's commit (its disk flushes) runs on a thread of its own while
    // the connection's thread keeps its event loop going with user input held, so a
    // window keeps painting. CommitTrans still returns only once the commit is on
    // disk. Meanwhile any use of the connection on that thread first waits for the
    // commit the same way (the loop turning), so nothing runs inside or between its
    // steps and the window never stops painting.
    void SetCommitAside(bool on) { FCommitAside = on; }
    // Whether such a commit is running now (its event loop is turning).
    bool Committing() const { return FAside != nullptr; }

    sqlite3* Handle() const;
    QString DatabasePath() const { return FPath; }
    // Why the book could not be opened, for errors raised later by its queries.
    const QString& LastOpenError() const { return FLastOpenError; }

    // Runs one or more statements; raises with the engine's message. Used by the
    // queries so that a transaction lost by the engine is noticed everywhere.
    void Execute(const QString& sql);
    // Raises the engine's current error, first resynchronising the transaction
    // state when the engine rolled the transaction back on its own.
    [[noreturn]] void RaiseEngineError(const QString& context = QString());

private:
    struct TAsideCommit;
    friend class TADOQuery;
    void RefreshQueries(); // after a rollback the open queries re-read the book
    void CheckConnected();
    void Connect(bool on);
    void CommitWhilePainting();
    // The commit running aside has ended and been accounted for; waits turning the
    // event loop unless told not to (the connection's end joins).
    void Settle(bool turnLoop = true);
    [[noreturn]] void RaiseEngineCode(int code, const QString& context);
    static int BusyHandler(void* self, int count);
    // Every row this connection writes, so rows being read meanwhile catch up on it.
    static void UpdateHook(void* self, int op, const char* database, const char* table,
                           long long rowId);

    std::vector<TADOQuery*> FQueries;
    QString FConnectionString;
    QString FPath;
    QString FLastOpenError; // why the last attempt to connect failed
    bool FLoginPrompt = true;
    sqlite3* FDb = nullptr;
    int FTransLevel = 0;
    int FRollbacks = 0;
    bool FWantConnected = false; // asked to connect; a failed attempt is retried
    bool FDamaged = false;
    qint64 FDataVersion = -1;
    std::function<void()> FWaitHandler;
    std::thread::id FOwnerThread; // the daily copy may step through this connection
    std::atomic<std::thread::id> FCommitThread{};
    bool FCommitAside = false;
    TAsideCommit* FAside = nullptr; // the commit running on its thread, not yet settled
    qint64 FWaitStartMs = 0;
};

// Creates an empty book at the path; raises when the file exists or cannot be made.
void CreateDatabaseFile(const QString& creationString);

// The value of one item of a provider-style connection string ("" when absent).
// Items are split on ";", key and value on the first "=", blanks around keys ignored,
// keys compared without regard to ASCII case.
QString ConnectionStringItem(const QString& text, const QString& key);

class TField {
public:
    virtual ~TField() = default;
    virtual QString FieldName() const = 0;
    virtual QString AsString() const = 0;
    virtual void SetAsString(const QString& value) = 0;
    virtual bool IsNull() const = 0;
    virtual void Clear() = 0;
    // Binary content to and from a device (the picture column).
    virtual void SaveToStream(QIODevice& dest) const = 0;
    virtual void LoadFromStream(QIODevice& source) = 0;
    virtual QByteArray AsBytes() const = 0;
};

// The rows a query holds in memory, in row order, read without moving it.
class TRowReader {
public:
    virtual ~TRowReader() = default;
    virtual qsizetype Count() const = 0;
    virtual qint64 RowId(qsizetype row) const = 0;
    virtual qsizetype Find(qint64 rowId) const = 0;    // -1 when there is no such row
    virtual int Column(const QString& name) const = 0; // -1 when there is none
    // The column's text, empty when null; `scratch` may hold what the view shows.
    virtual QStringView Text(qsizetype row, int col, QString& scratch) const = 0;
};
// Sees every fresh reading of the rows before the query uses them, on the thread
// that read them.
using TRowsLoaded = std::function<void(const TRowReader&)>;

class TADOQuery {
public:
    explicit TADOQuery(TADOConnection* connection);
    ~TADOQuery();
    TADOQuery(const TADOQuery&) = delete;
    TADOQuery& operator=(const TADOQuery&) = delete;

    QStringList SQL; // statement text, as lines

    void ExecSQL(); // run SQL without a result set
    void Open();    // run SQL and make its rows navigable
    void Close();
    bool Active() const;

    int RecordCount() const;                                  // rows in the current (filtered) view
    bool Locate(const QString& field, const QVariant& value); // exact match
    void AppendRecord(const QList<QVariant>& values);         // leading columns, posted
    void Edit();
    void Post();
    void Cancel();
    void Delete(); // removes the current row; the next row becomes current
    // Identity of the current row in the book, -1 when there is none.
    qint64 RowId() const;
    // Makes the row of that identity current when the view shows it.
    bool LocateRowId(qint64 rowId);
    TField& FieldByName(const QString& name);

    void First();
    void Next();
    bool Eof() const;
    // Every row of the view in its order: its identity and the column's text (empty
    // when null), as First, AsString and Next read them once an edit is posted, but
    // quick over the cached columns; the query ends past its last row, as that walk
    // does. `each` must not change the query.
    void ForEachInView(const QString& field,
                       const std::function<void(qint64 rowId, QStringView text)>& each);
    int RecNo() const; // from 1; 0 or -1 when there is no current row

    void SetFilter(const QString& text); // applied when Filtered is on
    const QString& Filter() const { return FFilter; }
    void SetFiltered(bool on); // invalid filter text raises here
    bool Filtered() const { return FFiltered; }
    // Shows only these rows (identities, ascending) besides what the filter says, with
    // the filter on or off; null: every row. Kept across re-reads, as the filter is.
    void SetNarrowing(std::shared_ptr<const std::vector<qint64>> rowIds);
    bool Narrowed() const { return FNarrowing != nullptr; }

    TADOConnection* Connection() const { return FConnection; }

    // Deferred: opening counts the rows and leaves reading them for later, so a
    // window can show the count of a large book at once. StartLoading reads them on
    // a thread of its own with its own connection; whatever needs them first waits
    // for that reading, or reads them itself when none was started.
    void SetDeferredLoading(bool on) { FDeferred = on; }
    void StartLoading();
    bool RowsPending() const;
    // Whether rows that StartLoading began are still being read on their thread.
    bool RowsLoading() const;
    void WaitForRows();
    void SetOnRowsLoaded(TRowsLoaded hook) { FOnRowsLoaded = std::move(hook); }
    int FieldIndex(const QString& name) const; // -1 when there is none
    const TRowReader& Rows();                  // waits for the rows

    struct Impl; // opaque; named by the layer's own helpers

private:
    friend class TADOConnection;
    void Reload(); // re-read the book keeping filter and position where possible
    void NoteWrite(int op, const char* table, qint64 rowId);
    void Detach(); // the connection goes away

    TADOConnection* FConnection;
    QString FReopenSql; // what Open was asked for and a later action opens again
    QString FFilter;
    bool FFiltered = false;
    std::shared_ptr<const std::vector<qint64>> FNarrowing;
    bool FDeferred = false;
    TRowsLoaded FOnRowsLoaded;
    std::unique_ptr<Impl> FImpl;
};
