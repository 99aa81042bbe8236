#include "RecipeImporter.h"

#include "ADODB.h"
#include "Archive.h"
#include "ArchiveFormats.h"
#include "ColumnMapping.h"
#include "HtmlRecipe.h"
#include "ImportPicture.h"
#include "MealMaster.h"
#include "RecipeFolder.h"
#include "TransactionGuard.h"
#include "XmlFormats.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <thread>

namespace {
const QString NameColumn = QStringLiteral("菜名");

TImportFormat FormatOfContent(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TImportFormat::Unknown;
    const QByteArray head = file.read(4096);
    if (head.startsWith("PK")) {
        bool paprika = false;
        try {
            ReadZipFile(path, [&](const QString& entry, const QByteArray&) {
                paprika = entry.endsWith(QLatin1String(".paprikarecipe"), Qt::CaseInsensitive);
                return false;
            });
        } catch (const EImportError&) {
        }
        return paprika ? TImportFormat::Paprika : TImportFormat::RecipeZip;
    }
    const QByteArray lower = head.toLower();
    if (lower.contains("<gourmetdoc"))
        return TImportFormat::Gourmet;
    if (lower.contains("<recipeml"))
        return TImportFormat::RecipeMl;
    if (lower.contains("<html") || lower.contains("<!doctype html"))
        return TImportFormat::Html;
    if (lower.contains("meal-master"))
        return TImportFormat::MealMaster;
    return TImportFormat::Unknown;
}

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

class TImportRun {
public:
    TImportRun(TADOConnection& connection, const TDuplicateQuestion& ask,
               const TImportProgress& progress)
        : FConnection(connection), FQuery(&connection), FAsk(ask), FProgress(progress) {
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
        const QString shown = QFileInfo(path).fileName();
        const TImportSummary before = FSummary;
        const int recipesBefore = FRecipes;
        // A savepoint: a file that breaks half-way leaves none of its recipes.
        TTransactionGuard file(FConnection);
        int found = 0;
        try {
            ReadRecipeFile(path, [&](TImportedRecipe&& recipe) {
                ++found;
                Store(shown, recipe);
                CheckCancel();
            });
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

    void Store(const QString& shown, const TImportedRecipe& recipe) {
        ++FRecipes;
        TRecipeColumns columns = MapToColumns(recipe);
        QString pictureNote;
        QByteArray jpeg;
        if (!recipe.Picture.isEmpty()) {
            try {
                jpeg = PictureAsJpeg(recipe.Picture);
            } catch (const Exception& e) {
                pictureNote = QStringLiteral("，图片未导入（%1）").arg(e.Message());
            }
        } else if (!recipe.PictureProblem.isEmpty()) {
            pictureNote = QStringLiteral("，图片未导入（%1）").arg(recipe.PictureProblem);
        }
        const bool empty = LacksIngredientsAndSteps(recipe);
        if (empty)
            pictureNote.prepend(QStringLiteral("：没有配料和做法"));
        const QString line = QStringLiteral("%1：%2 — ").arg(shown, columns.Name);
        if (FQuery.Locate(NameColumn, columns.Name)) {
            TDuplicateAnswer answer = FStanding ? *FStanding : TDuplicateAnswer::Skip;
            if (!FStanding) {
                const TDuplicateChoice choice = FAsk ? FAsk(columns.Name) : TDuplicateChoice{};
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
                FQuery.Edit();
                FQuery.FieldByName(NameColumn).SetAsString(columns.Name);
                FQuery.FieldByName(QStringLiteral("原料")).SetAsString(columns.Ingredients);
                FQuery.FieldByName(QStringLiteral("做法")).SetAsString(columns.Method);
                FQuery.FieldByName(QStringLiteral("说明")).SetAsString(columns.Note);
                FQuery.Post();
                // As the save does: no new picture keeps the stored one.
                StorePicture(jpeg);
                ++FSummary.Overwritten;
                FSummary.Empty += empty;
                FSummary.Details.append(line + QStringLiteral("已覆盖") + pictureNote);
                return;
            }
            const QString original = columns.Name;
            columns.Name = KeepBothName(
                original, [this](const QString& n) { return FQuery.Locate(NameColumn, n); });
            FQuery.AppendRecord({columns.Name, columns.Ingredients, columns.Method, columns.Note});
            StorePicture(jpeg);
            ++FSummary.Imported;
            FSummary.Empty += empty;
            FSummary.Details.append(line + QStringLiteral("已导入为“%1”").arg(columns.Name) +
                                    pictureNote);
            return;
        }
        FQuery.AppendRecord({columns.Name, columns.Ingredients, columns.Method, columns.Note});
        StorePicture(jpeg);
        ++FSummary.Imported;
        FSummary.Empty += empty;
        FSummary.Details.append(line + QStringLiteral("已导入") + pictureNote);
    }

    // The current row takes the picture, as the designed save stores it.
    void StorePicture(const QByteArray& jpeg) {
        if (jpeg.isEmpty())
            return;
        QBuffer stream;
        stream.setData(jpeg);
        stream.open(QIODevice::ReadOnly);
        FQuery.Edit();
        FQuery.FieldByName(QStringLiteral("img")).LoadFromStream(stream);
        FQuery.Post();
    }

    TADOConnection& FConnection;
    TADOQuery FQuery;
    const TDuplicateQuestion& FAsk;
    const TImportProgress& FProgress;
    std::optional<TDuplicateAnswer> FStanding;
    TImportSummary FSummary;
    int FFileIndex = 0;
    int FFileCount = 0;
    int FRecipes = 0;
};
} // namespace

TImportFormat FormatOfFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"html" || suffix == u"htm" || suffix == u"xhtml" || suffix == u"mhtml" ||
        suffix == u"mht")
        return TImportFormat::Html;
    if (suffix == u"mmf" || suffix == u"mm")
        return TImportFormat::MealMaster;
    if (suffix == u"paprikarecipes")
        return TImportFormat::Paprika;
    if (suffix == u"grmt")
        return TImportFormat::Gourmet;
    if (suffix == u"xml")
        return XmlRootName([&] {
                   QFile f(path);
                   return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024) : QByteArray();
               }()) == u"gourmetDoc"
                   ? TImportFormat::Gourmet
                   : TImportFormat::RecipeMl;
    if (suffix == u"zip")
        return TImportFormat::RecipeZip;
    const TImportFormat sniffed = FormatOfContent(path);
    if (sniffed == TImportFormat::Unknown && suffix == u"txt")
        return TImportFormat::MealMaster;
    return sniffed;
}

void ReadRecipeFile(const QString& path, const TRecipeSink& sink) {
    const QFileInfo info(path);
    if (info.isDir()) {
        ReadRecipeFolder(path, sink);
        return;
    }
    if (!info.isFile())
        throw EImportError(QStringLiteral("文件不存在"));
    if (info.suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0) {
        ReadRecipeJsonFile(path, sink);
        return;
    }
    switch (FormatOfFile(path)) {
    case TImportFormat::Html:
        for (TImportedRecipe& r : RecipesFromPageFile(path))
            sink(std::move(r));
        return;
    case TImportFormat::MealMaster:
        ReadMealMasterFile(path, sink);
        return;
    case TImportFormat::Paprika:
        ReadPaprika(path, sink);
        return;
    case TImportFormat::Gourmet:
    case TImportFormat::RecipeMl:
        ReadXmlRecipeFile(path, sink);
        return;
    case TImportFormat::RecipeZip:
        ReadNextcloudZip(path, sink);
        return;
    case TImportFormat::Unknown:
        break;
    }
    throw EImportError(QStringLiteral("不认识的文件格式"));
}

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
                                 const TDuplicateQuestion& ask, const TImportProgress& progress) {
    TImportRun run(connection, ask, progress);
    return run.Run(files);
}
