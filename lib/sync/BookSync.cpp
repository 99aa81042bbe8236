#include "BookSync.h"

#include "ADODB.h"
#include "BookExport.h"
#include "ColumnMapping.h"
#include "ImportBudget.h"
#include "ImportPicture.h"
#include "RecipeFolder.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "SyncState.h"
#include "TransactionGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <map>
#include <optional>
#include <sqlite3.h>

namespace {
// A picture whose end has not arrived yet is refused: a sync client writes files
// front to back.
bool PictureComplete(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8"))
        return bytes.endsWith("\xFF\xD9");
    if (bytes.startsWith("\x89PNG"))
        return bytes.endsWith(QByteArray("IEND\xAE\x42\x60\x82", 8));
    return !bytes.isEmpty();
}

QByteArray BookPicture(const QByteArray& bytes, const QString& name, QString& why) {
    if (!PictureComplete(bytes)) {
        why = QStringLiteral("图片“%1”还没有写完").arg(name);
        return {};
    }
    try {
        return PictureAsJpeg(bytes);
    } catch (const Exception& e) {
        why = QStringLiteral("图片“%1”无法读取（%2）").arg(name, e.Message());
    }
    return {};
}

// The recipe a folder holds now, whole; nothing (and why) while any part of it
// is missing, half-written or unreadable.
std::optional<TRecipe> ReadFolderRecipe(const QString& root, const QString& name, QString& why) {
    TFolderRecipe folder;
    try {
        folder = ReadOneRecipeFolder(root + u'/' + name, root);
    } catch (const EImportError& e) {
        why = e.Message();
        return std::nullopt;
    }
    if (!folder.Missing.isEmpty()) {
        why = QStringLiteral("图片“%1”还没有到").arg(folder.Missing.first());
        return std::nullopt;
    }
    TImportedRecipe& in = folder.Recipe;
    if (!in.PictureProblem.isEmpty()) {
        why = in.PictureProblem;
        return std::nullopt;
    }
    CapRecipeTexts(in);
    TRecipe recipe = RecipeFromImport(in);
    if (!in.Picture.isEmpty()) {
        recipe.Cover = BookPicture(in.Picture, QStringLiteral("full.jpg"), why);
        if (recipe.Cover.isEmpty())
            return std::nullopt;
    }
    for (const TImportedPicture& p : in.Pictures) {
        QByteArray jpeg = BookPicture(p.Bytes, QFileInfo(p.Origin).fileName(), why);
        if (jpeg.isEmpty())
            return std::nullopt;
        recipe.Pictures.push_back({std::move(jpeg), p.Step, p.Caption});
    }
    return recipe;
}

void RenameAsConflict(TRecipe& recipe, const QDate& day) {
    const QString suffix = QStringLiteral("（同步冲突 %1）").arg(day.toString(Qt::ISODate));
    recipe.Columns.Name = CutToFit(recipe.Name, NameColumnChars - int(suffix.size())) + suffix;
    recipe.Name += suffix;
}

// What the book is to do, planned while the folder is read and written and done
// afterwards in one short transaction, so the window's own saves rarely wait.
struct TBookStep {
    enum TKind { Note, Replace, Append, Delete, Drop } Kind = Note;
    TSyncRow Row;
    qint64 Seen = 0;    // the book's changes the plan saw
    TRecipe Recipe;     // Replace, Append
    bool Check = false; // skipped when the book's recipe changed since it was planned
};

class TSyncRun {
public:
    TSyncRun(TADOConnection& connection, const QString& root, const TSyncOptions& options)
        : FConnection(connection), FRoot(root), FOptions(options), FStore(connection) {
        FToday = options.Today.isValid() ? options.Today : QDate::currentDate();
        FBookTrash = options.BookTrash.isEmpty() ? DefaultBookTrash(connection.DatabasePath())
                                                 : options.BookTrash;
    }

    TSyncSummary Run() {
        const bool sameFolder = SyncedFolder(FConnection) == FRoot;
        std::vector<TSyncRow> rows =
            sameFolder ? ReadSyncRows(FConnection) : std::vector<TSyncRow>{};
        const TFolderScan scan = ScanSyncFolder(FRoot);
        if (scan.Recipes.empty() && !rows.empty())
            throw ESyncError(
                QStringLiteral(
                    "同步文件夹“%1”是空的，而菜谱本上次和它同步过 %2 个菜谱："
                    "可能网盘还没有同步下来，或硬盘没有接上。这次没有同步，什么也没有删除。")
                    .arg(QDir::toNativeSeparators(FRoot))
                    .arg(rows.size()));
        for (const QString& name : scan.Taken)
            FTaken.insert(name);
        for (const QString& name : scan.Skipped)
            Wait(name, QStringLiteral("同步软件留下的冲突副本，请在文件夹里处理后再同步"));
        std::map<QString, const TFolderEntry*> entries;
        for (const TFolderEntry& e : scan.Recipes)
            entries[e.Name] = &e;
        QSet<qint64> book;
        ReadRowIds(book);
        FTotal = int(rows.size() + entries.size() + book.size());

        QSet<QString> pairedFolders;
        QSet<qint64> pairedRows;
        for (TSyncRow& row : rows) {
            Progress();
            const auto it = entries.find(row.Folder);
            const TFolderEntry* entry = it == entries.end() ? nullptr : it->second;
            pairedFolders.insert(row.Folder);
            const bool inBook = row.Recipe >= 0 && book.contains(row.Recipe);
            if (inBook)
                pairedRows.insert(row.Recipe);
            Pair(row, inBook, entry);
        }

        // Recipes new on either side: the same recipe on both is paired (a first
        // sync of two books, a sync killed before the book's side was done).
        std::vector<qint64> bookOnly;
        for (const qint64 id : book)
            if (!pairedRows.contains(id))
                bookOnly.push_back(id);
        std::sort(bookOnly.begin(), bookOnly.end());
        std::vector<TRecipe> bookRecipes;
        QHash<QByteArray, size_t> byDigest;
        QHash<QString, size_t> byName;
        for (const qint64 id : bookOnly) {
            bookRecipes.push_back(FStore.Read(id));
            const TRecipe& r = bookRecipes.back();
            byDigest.insert(RecipeDigest(r), bookRecipes.size() - 1);
            byName.insert(r.Name, bookRecipes.size() - 1);
        }
        std::vector<bool> joined(bookRecipes.size(), false);
        for (const auto& [name, entry] : entries) {
            if (pairedFolders.contains(name))
                continue;
            Progress();
            if (!entry->Busy.isEmpty()) {
                Wait(name, entry->Busy);
                continue;
            }
            QString why;
            std::optional<TRecipe> theirs = ReadFolderRecipe(FRoot, name, why);
            if (!theirs) {
                Wait(name, why);
                continue;
            }
            const QByteArray digest = RecipeDigest(*theirs);
            TSyncRow row;
            row.Folder = name;
            row.Stamp = entry->Stamp;
            if (const auto d = byDigest.constFind(digest); d != byDigest.cend() && !joined[*d]) {
                joined[*d] = true;
                row.Recipe = bookRecipes[*d].RowId;
                row.Digest = digest;
                AddStep(TBookStep::Note, row);
                continue;
            }
            if (const auto n = byName.constFind(theirs->Name); n != byName.cend() && !joined[*n]) {
                // The same dish made on both sides: the book's keeps the folder, the
                // folder's is kept beside it.
                joined[*n] = true;
                const TRecipe& ours = bookRecipes[*n];
                row.Recipe = ours.RowId;
                WriteFolder(row, ours);
                AddStep(TBookStep::Note, row);
                Conflict(ours.Name, *theirs);
                continue;
            }
            row.Digest = digest;
            AddStep(TBookStep::Append, row, 0, std::move(*theirs));
            FSummary.Details.append(
                QStringLiteral("文件夹 → 菜谱本：新增“%1”").arg(FSteps.back().Recipe.Name));
            ++FSummary.AddedToBook;
        }
        for (size_t i = 0; i < bookRecipes.size(); ++i) {
            if (joined[i])
                continue;
            Progress();
            TSyncRow row;
            row.Recipe = bookRecipes[i].RowId;
            row.Folder = NewFolderName(bookRecipes[i].Name);
            WriteFolder(row, bookRecipes[i]);
            AddStep(TBookStep::Note, row);
            FSummary.Details.append(
                QStringLiteral("菜谱本 → 文件夹：新增“%1”").arg(bookRecipes[i].Name));
            ++FSummary.AddedToFolder;
        }
        Apply(sameFolder);
        FSummary.Recipes = int(rows.size()) +
                           int(std::count_if(FSteps.begin(), FSteps.end(),
                                             [](const TBookStep& s) { return s.Row.Id < 0; })) -
                           int(std::count_if(FSteps.begin(), FSteps.end(), [](const TBookStep& s) {
                               return s.Kind == TBookStep::Delete || s.Kind == TBookStep::Drop;
                           }));
        return FSummary;
    }

private:
    void AddStep(TBookStep::TKind kind, const TSyncRow& row, qint64 seen = 0, TRecipe recipe = {},
                 bool check = false) {
        TBookStep step;
        step.Kind = kind;
        step.Row = row;
        step.Seen = seen;
        step.Recipe = std::move(recipe);
        step.Check = check;
        FSteps.push_back(std::move(step));
    }

    void Progress() {
        ++FDone;
        if (FOptions.Progress && !FOptions.Progress(FDone, FTotal))
            throw ESyncCancelled(QStringLiteral("同步已取消"));
    }

    void ReadRowIds(QSet<qint64>& out) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(FConnection.Handle(), "select rowid from mycook", -1, &raw,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(raw);
            FConnection.RaiseEngineError();
        }
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> s(raw, sqlite3_finalize);
        int rc;
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
            out.insert(sqlite3_column_int64(raw, 0));
        if (rc != SQLITE_DONE)
            FConnection.RaiseEngineError();
    }

    void Wait(const QString& name, const QString& why) {
        ++FSummary.Waiting;
        FSummary.WaitingNotes.append(
            QStringLiteral("文件夹里的“%1”这次没有同步（%2），稍后再试。").arg(name, why));
    }

    QString NewFolderName(const QString& recipeName) {
        const QString name = UniqueRecipeFolderName(
            recipeName, [this](const QString& n) { return FTaken.contains(n.toLower()); });
        FTaken.insert(name.toLower());
        return name;
    }

    // Writes the book's recipe into row.Folder; the row takes its digest and stamp.
    void Writing() {
        if (!FWriting && FOptions.BeforeWriting)
            FOptions.BeforeWriting();
        FWriting = true;
    }

    void WriteFolder(TSyncRow& row, const TRecipe& recipe) {
        Writing();
        std::vector<TExportFile> files;
        const QByteArray json = RecipeJson(recipe, &files);
        WriteRecipeFolder(FRoot, row.Folder, json, files, FOptions.AfterFile);
        row.Digest = RecipeDigest(recipe);
        row.Stamp = FolderStamp(FRoot + u'/' + row.Folder);
    }

    // The folder's version goes beside the book's under a name of its own, on both sides.
    void Conflict(const QString& name, TRecipe theirs) {
        RenameAsConflict(theirs, FToday);
        TSyncRow row;
        row.Folder = NewFolderName(theirs.Name);
        WriteFolder(row, theirs);
        AddStep(TBookStep::Append, row, 0, std::move(theirs));
        ++FSummary.Conflicts;
        FSummary.Problems.append(
            QStringLiteral("菜谱“%1”在菜谱本和文件夹里都改过：两份都留下了，文件夹里的那份叫“%2”。")
                .arg(name, FSteps.back().Recipe.Name));
        FSummary.Details.append(QStringLiteral("冲突：“%1”两份都留下").arg(name));
    }

    void Pair(TSyncRow& row, bool inBook, const TFolderEntry* entry) {
        if (entry && !entry->Busy.isEmpty()) {
            Wait(entry->Name, entry->Busy);
            return;
        }
        std::optional<TRecipe> ours;
        bool bookChanged = false;
        if (inBook && row.Changes > 0) {
            ours = FStore.Read(row.Recipe);
            bookChanged = RecipeDigest(*ours) != row.Digest;
        }
        std::optional<TRecipe> theirs;
        bool folderChanged = false;
        QByteArray stamp = entry ? entry->Stamp : QByteArray();
        if (entry && entry->Stamp != row.Stamp) {
            QString why;
            theirs = ReadFolderRecipe(FRoot, row.Folder, why);
            if (!theirs) {
                Wait(row.Folder, why);
                return;
            }
            folderChanged = RecipeDigest(*theirs) != row.Digest;
        }
        const qint64 seen = row.Changes;
        if (inBook && entry) {
            if (bookChanged && folderChanged && RecipeDigest(*ours) == RecipeDigest(*theirs))
                bookChanged = folderChanged = false; // both made the same change
            if (!bookChanged && !folderChanged) {
                if (seen > 0 || theirs) { // touched, not changed
                    row.Stamp = stamp;
                    AddStep(TBookStep::Note, row, seen);
                }
                return;
            }
            if (bookChanged) {
                WriteFolder(row, *ours);
                AddStep(TBookStep::Note, row, seen);
                if (folderChanged)
                    Conflict(ours->Name, std::move(*theirs));
                else {
                    ++FSummary.ChangedInFolder;
                    FSummary.Details.append(
                        QStringLiteral("菜谱本 → 文件夹：更新“%1”").arg(ours->Name));
                }
                return;
            }
            row.Stamp = stamp;
            FSummary.Details.append(QStringLiteral("文件夹 → 菜谱本：更新“%1”").arg(theirs->Name));
            ++FSummary.ChangedInBook;
            AddStep(TBookStep::Replace, row, seen, std::move(*theirs), true);
            return;
        }
        if (inBook) { // gone from the folder
            if (!ours)
                ours = FStore.Read(row.Recipe);
            if (bookChanged) {
                WriteFolder(row, *ours);
                AddStep(TBookStep::Note, row, seen);
                FSummary.Details.append(
                    QStringLiteral("文件夹里删除了“%1”，但菜谱本里改过：保留，重新写入文件夹")
                        .arg(ours->Name));
                ++FSummary.AddedToFolder;
                return;
            }
            Writing();
            const QString trash = BookTrashName(ours->Name);
            std::vector<TExportFile> files;
            const QByteArray json = RecipeJson(*ours, &files);
            WriteRecipeFolder(FBookTrash, trash, json, files);
            AddStep(TBookStep::Delete, row, seen, {}, true);
            FSummary.Details.append(
                QStringLiteral("文件夹 → 菜谱本：删除“%1”（移入 %2）")
                    .arg(ours->Name, QDir::toNativeSeparators(FBookTrash + u'/' + trash)));
            ++FSummary.DeletedFromBook;
            return;
        }
        if (entry) { // gone from the book
            if (folderChanged) {
                FSummary.Details.append(
                    QStringLiteral("菜谱本里删除了“%1”，但文件夹里改过：保留，重新加入菜谱本")
                        .arg(theirs->Name));
                row.Stamp = stamp;
                row.Recipe = -1;
                AddStep(TBookStep::Append, row, seen, std::move(*theirs));
                ++FSummary.AddedToBook;
                return;
            }
            Writing();
            MoveIntoTrash(FRoot, row.Folder, FRoot + u'/' + QLatin1String(SyncTrashFolder));
            AddStep(TBookStep::Drop, row);
            FSummary.Details.append(QStringLiteral("菜谱本 → 文件夹：删除“%1”（移入 %2）")
                                        .arg(row.Folder, QLatin1String(SyncTrashFolder)));
            ++FSummary.DeletedFromFolder;
            return;
        }
        AddStep(TBookStep::Drop, row); // gone from both
    }

    QString BookTrashName(const QString& name) {
        if (!QDir().mkpath(FBookTrash))
            throw ESyncError(
                QStringLiteral("无法建立文件夹“%1”").arg(QDir::toNativeSeparators(FBookTrash)));
        const QString stamped = FToday.toString(Qt::ISODate) + u' ' + name;
        return UniqueRecipeFolderName(
            stamped, [this](const QString& n) { return QFileInfo::exists(FBookTrash + u'/' + n); });
    }

    TADOQuery& Query() {
        if (!FQuery) {
            FQuery = std::make_unique<TADOQuery>(&FConnection);
            FQuery->SQL = QStringList{QStringLiteral("select * from mycook")};
            FQuery->Open();
        }
        return *FQuery;
    }

    // The book's side, all or nothing.
    void Apply(bool sameFolder) {
        if (FSteps.empty() && sameFolder)
            return;
        Writing();
        TTransactionGuard transaction(FConnection);
        SetSyncedFolder(FConnection, FRoot);
        std::vector<qint64> deletes;
        for (TBookStep& step : FSteps) {
            TSyncRow& row = step.Row;
            if (step.Check && SyncRowChanges(FConnection, row.Id) != step.Seen) {
                // The cook changed it meanwhile: the next sync sees both changes.
                --(step.Kind == TBookStep::Replace ? FSummary.ChangedInBook
                                                   : FSummary.DeletedFromBook);
                continue;
            }
            switch (step.Kind) {
            case TBookStep::Note:
                WriteSyncRow(FConnection, row, step.Seen);
                break;
            case TBookStep::Replace:
                if (!Query().LocateRowId(row.Recipe))
                    break;
                FStore.Replace(Query(), step.Recipe);
                row.Digest = RecipeDigest(FStore.Read(row.Recipe));
                WriteSyncRow(FConnection, row, std::numeric_limits<int>::max());
                break;
            case TBookStep::Append:
                FStore.Append(Query(), step.Recipe);
                row.Recipe = step.Recipe.RowId;
                row.Digest = RecipeDigest(FStore.Read(row.Recipe));
                WriteSyncRow(FConnection, row, std::numeric_limits<int>::max());
                break;
            case TBookStep::Delete:
                deletes.push_back(row.Recipe);
                DropSyncRow(FConnection, row.Id);
                break;
            case TBookStep::Drop:
                DropSyncRow(FConnection, row.Id);
                break;
            }
            if (FOptions.AfterBookStep)
                FOptions.AfterBookStep();
        }
        for (const qint64 id : deletes)
            FConnection.Execute(QStringLiteral("delete from mycook where rowid = %1").arg(id));
        transaction.Commit();
    }

    TADOConnection& FConnection;
    const QString FRoot;
    const TSyncOptions& FOptions;
    TRecipeStore FStore;
    std::unique_ptr<TADOQuery> FQuery;
    QDate FToday;
    QString FBookTrash;
    QSet<QString> FTaken;
    std::vector<TBookStep> FSteps;
    TSyncSummary FSummary;
    int FDone = 0;
    int FTotal = 0;
    bool FWriting = false;
};
} // namespace

QString DefaultBookTrash(const QString& bookPath) {
    return QFileInfo(bookPath).absoluteDir().filePath(QStringLiteral("cook-trash"));
}

bool TSyncSummary::NothingChanged() const {
    return !BookChanged() && AddedToFolder + ChangedInFolder + DeletedFromFolder + Conflicts == 0;
}

QString TSyncSummary::Text() const {
    if (NothingChanged())
        return Waiting > 0 ? QStringLiteral("没有变化（%1 个菜谱一致，%2 个稍后再同步）")
                                 .arg(Recipes)
                                 .arg(Waiting)
                           : QStringLiteral("没有变化：%1 个菜谱两边一致").arg(Recipes);
    QString text =
        QStringLiteral("同步完毕：菜谱本新增 %1、更新 %2、删除 %3；文件夹新增 %4、更新 %5、删除 %6")
            .arg(AddedToBook)
            .arg(ChangedInBook)
            .arg(DeletedFromBook)
            .arg(AddedToFolder)
            .arg(ChangedInFolder)
            .arg(DeletedFromFolder);
    if (Conflicts > 0)
        text += QStringLiteral("；冲突 %1").arg(Conflicts);
    if (Waiting > 0)
        text += QStringLiteral("；%1 个稍后再同步").arg(Waiting);
    return text;
}

TSyncSummary SyncBookWithFolder(TADOConnection& connection, const QString& folder,
                                const TSyncOptions& options) {
    const QFileInfo info(folder);
    const QString root = info.canonicalFilePath();
    if (root.isEmpty() || !info.isDir())
        throw ESyncError(
            QStringLiteral("同步文件夹“%1”不存在或没有接上（硬盘没插好、网盘没挂载？）。"
                           "这次没有同步，什么也没有删除。")
                .arg(QDir::toNativeSeparators(folder)));
    if (!connection.Connected())
        connection.SetConnected(true);
    connection.CheckWritable();
    EnsureSyncTables(connection);
    TSyncRun run(connection, root, options);
    return run.Run();
}
