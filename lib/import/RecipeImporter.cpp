#include "RecipeImporter.h"

#include "ADODB.h"
#include "Archive.h"
#include "ArchiveFormats.h"
#include "ColumnMapping.h"
#include "FileErrors.h"
#include "HtmlRecipe.h"
#include "ImportBudget.h"
#include "ImportPicture.h"
#include "MealMaster.h"
#include "PlainTextRecipe.h"
#include "RecipeFolder.h"
#include "RecipeStore.h"
#include "TransactionGuard.h"
#include "XmlFormats.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sqlite3.h>
#include <thread>

namespace {
const QString NameColumn = QStringLiteral("菜名");

// A name alone (a page whose data is only a title, an app's empty card) still
// comes in, but the cook is told.
bool LacksIngredientsAndSteps(const TImportedRecipe& recipe) {
    if (recipe.Exact)
        return recipe.Exact->Ingredients.trimmed().isEmpty() &&
               recipe.Exact->Method.trimmed().isEmpty();
    for (const auto* lines : {&recipe.Ingredients, &recipe.Steps})
        for (const TRecipeLine& line : *lines)
            if (!line.Heading && !line.Text.trimmed().isEmpty())
                return false;
    return true;
}

// A large import fills more pages than SQLite's default cache holds, and each
// spill writes pages out mid-transaction; the cache grows for the import alone.
class TImportCache {
public:
    explicit TImportCache(TADOConnection& connection) : FDb(connection.Handle()) {
        if (!FDb)
            return;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(FDb, "pragma cache_size", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            FBefore = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        if (FBefore)
            Set(-ImportCacheKiB);
    }
    ~TImportCache() {
        if (FBefore)
            Set(*FBefore);
    }
    TImportCache(const TImportCache&) = delete;
    TImportCache& operator=(const TImportCache&) = delete;

private:
    static constexpr qint64 ImportCacheKiB = 64 * 1024;
    void Set(qint64 size) {
        const QByteArray sql = "pragma cache_size = " + QByteArray::number(size);
        sqlite3_exec(FDb, sql.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3* FDb;
    std::optional<qint64> FBefore;
};

// Rows by their exact 菜名 through an index that leads with the column; Ask says
// false when the book has no such index (a book another program made).
class TRowsByName {
public:
    explicit TRowsByName(TADOConnection& connection) : FConnection(connection) {
        sqlite3* db = connection.Handle();
        if (!db || !HasNameIndex(db))
            return;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "select rowid from mycook where 菜名 = ?1 order by rowid", -1,
                               &s, nullptr) == SQLITE_OK)
            FStatement.reset(s);
    }

    bool Ask(const QString& column, std::vector<qint64>& rows) {
        sqlite3_stmt* s = FStatement.get();
        if (!s)
            return false;
        sqlite3_bind_text16(s, 1, column.utf16(), int(column.size() * 2), SQLITE_TRANSIENT);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW)
            rows.push_back(sqlite3_column_int64(s, 0));
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        if (rc != SQLITE_DONE)
            FConnection.RaiseEngineError();
        return true;
    }

private:
    static bool HasNameIndex(sqlite3* db) {
        sqlite3_stmt* s = nullptr;
        const char* sql = "select 1 from pragma_index_list('mycook') l, "
                          "pragma_index_info(l.name) i where i.seqno = 0 and i.name = '菜名'";
        bool found = false;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK)
            found = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_finalize(s);
        return found;
    }
    struct TFinalize {
        void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
    };
    TADOConnection& FConnection;
    std::unique_ptr<sqlite3_stmt, TFinalize> FStatement;
};

class TImportRun {
public:
    TImportRun(TADOConnection& connection, const TDuplicateQuestion& ask,
               const TImportProgress& progress, const TSourceReader& reader)
        : FConnection(connection), FQuery(&connection), FAsk(ask), FProgress(progress),
          FReader(reader) {
        FQuery.SQL = QStringList{QStringLiteral("select * from mycook")};
        // A large book's rows take a second to read: they are read on a thread
        // of their own while the window keeps answering.
        FQuery.SetDeferredLoading(true);
        FQuery.Open();
        FQuery.StartLoading();
    }

    TImportSummary Run(const QStringList& files) {
        FFileCount = int(files.size());
        while (FQuery.RowsLoading()) {
            CheckCancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        FQuery.WaitForRows();
        const TImportCache cache(FConnection);
        TTransactionGuard transaction(FConnection);
        for (int i = 0; i < files.size(); ++i) {
            FFileIndex = i;
            CheckCancel();
            File(files[i]);
        }
        CheckCancel();
        transaction.Commit();
        return FSummary;
    }

private:
    void CheckCancel() {
        if (FProgress && !FProgress(FFileIndex, FFileCount, FRecipes))
            throw EImportCancelled(QStringLiteral("导入已取消，菜谱本没有改变"));
    }

    void File(const QString& path) {
        const QString shown =
            path.contains(QLatin1String("://")) ? path : QFileInfo(path).fileName();
        const TImportSummary before = FSummary;
        const int recipesBefore = FRecipes;
        // A savepoint: a file that breaks half-way leaves none of its recipes.
        TTransactionGuard file(FConnection);
        int found = 0;
        try {
            const TRecipeSink sink = [&](TImportedRecipe&& recipe) {
                ++found;
                const bool cut = CapRecipeTexts(recipe) || recipe.TextCut;
                Store(shown, recipe, cut);
                CheckCancel();
            };
            if (FReader)
                FReader(path, sink, FBudget, [this] {
                    return !FProgress || FProgress(FFileIndex, FFileCount, FRecipes);
                });
            else
                ReadRecipeFile(path, sink, FBudget);
        } catch (const EImportError& e) {
            Failed(shown, e.Message(), before, recipesBefore);
            return;
        }
        if (found == 0) {
            Failed(shown, QStringLiteral("没有找到菜谱"), before, recipesBefore);
            return;
        }
        file.Commit();
    }

    void Failed(const QString& shown, const QString& reason, const TImportSummary& before,
                int recipesBefore) {
        FSummary = before;
        FRecipes = recipesBefore;
        ++FSummary.FailedFiles;
        FSummary.Details.append(QStringLiteral("%1：无法读取（%2）").arg(shown, reason));
    }

    // A picture made ready for the book, or the reason it is left out.
    static QByteArray Jpeg(const QByteArray& bytes, QString& problem) {
        try {
            return PictureAsJpeg(bytes);
        } catch (const Exception& e) {
            problem = e.Message();
        }
        return {};
    }

    // The book's rows by their 菜名 column. Asked of the index that leads with it,
    // so the window does not stop while every name of a large book is hashed; a
    // book without one has its names hashed once and kept as recipes come in.
    std::vector<qint64> RowsNamed(const QString& column) {
        std::vector<qint64> found;
        if (!FByName)
            FByName.emplace(FConnection);
        if (FByName->Ask(column, found))
            return found;
        if (!FIndexed) {
            FIndexed = true;
            const TRowReader& rows = FQuery.Rows();
            const int col = rows.Column(NameColumn);
            QString scratch;
            for (qsizetype i = 0; i < rows.Count(); ++i)
                FByColumn.insert(rows.Text(i, col, scratch).toString(), rows.RowId(i));
        }
        for (auto it = FByColumn.constFind(column); it != FByColumn.cend() && it.key() == column;
             ++it)
            found.push_back(it.value());
        std::sort(found.begin(), found.end());
        return found;
    }

    void NameChanged(const QString& before, const QString& after, qint64 row) {
        if (!FIndexed)
            return;
        if (!before.isNull())
            FByColumn.remove(before, row);
        FByColumn.insert(after, row);
    }

    // The row whose whole name is this one; -1 when there is none. Rows whose
    // column holds the same cut name are read whole only then.
    qint64 Duplicate(const TRecipe& recipe) {
        for (const qint64 row : RowsNamed(recipe.Columns.Name)) {
            if (recipe.Name == recipe.Columns.Name.trimmed())
                return row; // a name the column holds whole: nothing to read
            if (FStore.Read(row).Name == recipe.Name)
                return row;
        }
        return -1;
    }

    bool ColumnTaken(const QString& name) { return !RowsNamed(name).empty(); }

    void Store(const QString& shown, const TImportedRecipe& imported, bool cut) {
        ++FRecipes;
        TRecipe recipe = RecipeFromImport(imported);
        QString pictureNote = cut ? QStringLiteral("，") + RecipeCutNote() : QString();
        QStringList problems;
        if (!imported.Picture.isEmpty()) {
            QString problem;
            recipe.Cover = Jpeg(imported.Picture, problem);
            if (!problem.isEmpty())
                problems.append(problem);
        } else if (!imported.PictureProblem.isEmpty()) {
            pictureNote += QStringLiteral("，") + imported.PictureProblem;
        }
        for (const TImportedPicture& p : imported.Pictures) {
            QString problem;
            QByteArray jpeg = Jpeg(p.Bytes, problem);
            if (jpeg.isEmpty()) {
                if (!problem.isEmpty() && !problems.contains(problem))
                    problems.append(problem);
                continue;
            }
            recipe.Pictures.push_back({std::move(jpeg), p.Step, p.Caption});
        }
        if (!problems.isEmpty())
            pictureNote +=
                QStringLiteral("，图片未导入（%1）").arg(problems.join(QStringLiteral("；")));
        const bool empty = LacksIngredientsAndSteps(imported);
        if (empty)
            pictureNote.prepend(QStringLiteral("：没有配料和做法"));
        const QString line = QStringLiteral("%1：%2 — ").arg(shown, recipe.Name);
        if (const qint64 existing = Duplicate(recipe); existing >= 0) {
            TDuplicateAnswer answer = FStanding ? *FStanding : TDuplicateAnswer::Skip;
            if (!FStanding) {
                const TDuplicateChoice choice = FAsk ? FAsk(recipe.Name) : TDuplicateChoice{};
                answer = choice.Answer;
                if (choice.ForAll)
                    FStanding = answer;
            }
            if (answer == TDuplicateAnswer::Skip) {
                ++FSummary.Skipped;
                FSummary.Details.append(line + QStringLiteral("已跳过（菜名已存在）"));
                return;
            }
            if (answer == TDuplicateAnswer::Overwrite) {
                if (!FQuery.LocateRowId(existing))
                    throw EDatabaseError(QStringLiteral("菜谱库里找不到要覆盖的菜谱。"));
                const QString before = FQuery.FieldByName(NameColumn).AsString();
                FStore.Overwrite(FQuery, recipe);
                if (before != recipe.Columns.Name)
                    NameChanged(before, recipe.Columns.Name, existing);
                ++FSummary.Overwritten;
                FSummary.Empty += empty;
                FSummary.Details.append(line + QStringLiteral("已覆盖") + pictureNote);
                return;
            }
            // Each copy keeps its own extras; the whole name takes the column's number.
            const QString column = KeepBothName(
                recipe.Columns.Name, [this](const QString& n) { return ColumnTaken(n); });
            recipe.Name += column.mid(column.lastIndexOf(u'（'));
            recipe.Columns.Name = column;
            Append(recipe);
            ++FSummary.Imported;
            FSummary.Empty += empty;
            FSummary.Details.append(line + QStringLiteral("已导入为“%1”").arg(recipe.Name) +
                                    pictureNote);
            return;
        }
        Append(recipe);
        ++FSummary.Imported;
        FSummary.Empty += empty;
        FSummary.Details.append(line + QStringLiteral("已导入") + pictureNote);
    }

    void Append(TRecipe& recipe) {
        FStore.Append(FQuery, recipe);
        NameChanged(QString(), recipe.Columns.Name, recipe.RowId);
    }

    TADOConnection& FConnection;
    TADOQuery FQuery;
    TRecipeStore FStore{FConnection};
    std::optional<TRowsByName> FByName;    // made once the query has made its index
    QMultiHash<QString, qint64> FByColumn; // only for a book without the index
    bool FIndexed = false;
    const TDuplicateQuestion& FAsk;
    const TImportProgress& FProgress;
    const TSourceReader& FReader;
    std::optional<TDuplicateAnswer> FStanding;
    TImportSummary FSummary;
    TImportBudget FBudget; // one for every archive of the import
    int FFileIndex = 0;
    int FFileCount = 0;
    int FRecipes = 0;
};
} // namespace

QString KeepBothName(const QString& name, const std::function<bool(const QString&)>& taken) {
    for (int n = 2;; ++n) {
        const QString suffix = QStringLiteral("（%1）").arg(n);
        QString candidate = name + suffix;
        if (candidate.size() > NameColumnChars)
            candidate = CutToFit(name, NameColumnChars - int(suffix.size())) + suffix;
        if (!taken(candidate))
            return candidate;
    }
}

QString TImportSummary::CountsText() const {
    QString text = QStringLiteral("导入 %1 个，覆盖 %2 个，跳过 %3 个，无法读取的文件 %4 个")
                       .arg(Imported)
                       .arg(Overwritten)
                       .arg(Skipped)
                       .arg(FailedFiles);
    if (Empty > 0)
        text += QStringLiteral("；其中 %1 个没有配料和做法").arg(Empty);
    return text;
}

TImportSummary ImportRecipeFiles(TADOConnection& connection, const QStringList& files,
                                 const TDuplicateQuestion& ask, const TImportProgress& progress,
                                 const TSourceReader& reader) {
    TImportRun run(connection, ask, progress, reader);
    return run.Run(files);
}
