#pragma once
// One sync of the book with a folder of recipe folders, both ways: what either
// side added, changed or deleted since the last sync goes to the other. A recipe
// changed on both sides is kept twice (the folder's copy named "（同步冲突 日期）"),
// one deleted on one side and changed on the other is kept, and deletions go into
// trash folders: the sync folder's ".trash", and the book's own "cook-trash"
// beside it (a folder of recipe folders that "从文件夹导入…" takes back).
// The book changes in one transaction; files are written under temporary names
// and renamed, so a sync killed half-way loses nothing and the next one finishes
// it. What a sync client is still writing is left for the next sync.

#include "SyncFolder.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

class TADOConnection;

MYCOOK_DECLARE_EXCEPTION(ESyncCancelled, Exception)

struct TSyncOptions {
    QString BookTrash; // where the book's deleted recipes go; empty: "cook-trash" beside the book
    QDate Today;       // names conflicts' copies; invalid: today
    std::function<bool(int done, int total)> Progress; // false cancels (ESyncCancelled)
    // Before anything is written to either side (the book's check for damage); a
    // sync that finds nothing to do runs no check.
    std::function<void()> BeforeWriting;
    // Tests: after each file put in place, after each change of the book.
    std::function<void()> AfterFile;
    std::function<void()> AfterBookStep;
};

struct TSyncSummary {
    int AddedToBook = 0, ChangedInBook = 0, DeletedFromBook = 0;
    int AddedToFolder = 0, ChangedInFolder = 0, DeletedFromFolder = 0;
    int Conflicts = 0;
    int Waiting = 0;          // recipes a sync client is still writing: tried again next time
    int Recipes = 0;          // recipes in step after the sync
    QStringList Details;      // one line per recipe that changed
    QStringList Problems;     // what the cook must be told: the conflicts
    QStringList WaitingNotes; // which recipes wait and why
    bool BookChanged() const { return AddedToBook + ChangedInBook + DeletedFromBook > 0; }
    bool NothingChanged() const;
    QString Text() const; // the counts in one line
};

// Raises ESyncError (nothing done) when the folder is missing, or empty while the
// book synced recipes with it before; the book's own errors as they are.
TSyncSummary SyncBookWithFolder(TADOConnection& connection, const QString& folder,
                                const TSyncOptions& options = {});
// "cook-trash" beside the book.
QString DefaultBookTrash(const QString& bookPath);
