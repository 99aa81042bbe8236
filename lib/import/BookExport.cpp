#include "BookExport.h"

#include "ADODB.h"
#include "Archive.h"
#include "Graphics.h"
#include "RecipeImporter.h"
#include "RecipeStore.h"
#include "RecipeText.h"
#include "SchemaRecipe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {
constexpr int MaxFolderBytes = 200;

QString TrimEnd(QString text) {
    while (!text.isEmpty() && (text.endsWith(u'.') || text.back().isSpace()))
        text.chop(1);
    return text;
}

// At most `bytes` bytes of UTF-8, cut between characters.
QString CutToBytes(const QString& text, int bytes) {
    if (text.toUtf8().size() <= bytes)
        return text;
    QString out;
    int used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const int size = int(text.mid(i, n).toUtf8().size());
        if (used + size > bytes)
            break;
        out += text.mid(i, n);
        used += size;
        i += n;
    }
    return out;
}

bool DeviceName(const QString& name) {
    const QString base = name.section(u'.', 0, 0).trimmed().toUpper();
    static const QSet<QString> reserved{
        QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),
        QStringLiteral("NUL"),  QStringLiteral("COM1"), QStringLiteral("COM2"),
        QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
        QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
        QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
        QStringLiteral("LPT3"), QStringLiteral("LPT4"), QStringLiteral("LPT5"),
        QStringLiteral("LPT6"), QStringLiteral("LPT7"), QStringLiteral("LPT8"),
        QStringLiteral("LPT9")};
    return reserved.contains(base);
}

// A smaller copy of the cover as Nextcloud Cookbook keeps beside it; empty when
// the cover cannot be decoded.
QByteArray Thumbnail(const QByteArray& jpeg, int side) {
    QImage image;
    try {
        TJPEGImage cover;
        cover.SetData(jpeg);
        image = cover.ToImage();
    } catch (const Exception&) {
        return {};
    }
    if (image.isNull())
        return {};
    if (image.width() > side || image.height() > side)
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    TBitmap bitmap;
    bitmap.SetImage(image.convertToFormat(QImage::Format_RGB32));
    TJPEGImage thumb;
    thumb.Assign(bitmap);
    return thumb.Data();
}

QJsonValue ImageEntry(const QString& file, const QString& caption) {
    if (caption.isEmpty())
        return file;
    return QJsonObject{{QStringLiteral("@type"), QStringLiteral("ImageObject")},
                       {QStringLiteral("url"), file},
                       {QStringLiteral("caption"), caption}};
}

// One entry as it is, several as a list.
QJsonValue OneOrList(const QJsonArray& list) {
    return list.size() == 1 ? list.first() : QJsonValue(list);
}

bool IsAddress(const QString& text) {
    return text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

QString DateText(const QDateTime& when) {
    return when.isValid() ? when.toUTC().toString(Qt::ISODate) : QString();
}
} // namespace

QString RecipeFolderName(const QString& name) {
    QString out;
    for (const QChar c : name.trimmed()) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c))
            out.append(u'_');
        else
            out.append(c);
    }
    while (out.startsWith(u'.'))
        out.remove(0, 1);
    out = TrimEnd(CutToBytes(TrimEnd(out), MaxFolderBytes));
    if (out.isEmpty())
        return QStringLiteral("未命名菜谱");
    if (DeviceName(out))
        out.insert(out.indexOf(u'.') < 0 ? out.size() : out.indexOf(u'.'), u'_');
    return out;
}

QString UniqueRecipeFolderName(const QString& name,
                               const std::function<bool(const QString&)>& taken) {
    const QString base = RecipeFolderName(name);
    QString folder = base;
    for (int n = 2; taken(folder); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        folder = TrimEnd(CutToBytes(base, MaxFolderBytes - int(suffix.toUtf8().size()))) + suffix;
    }
    return folder;
}

QByteArray RecipeJson(const TRecipe& recipe, std::vector<TExportFile>* files) {
    QJsonObject o;
    o.insert(QStringLiteral("@context"), QStringLiteral("https://schema.org"));
    o.insert(QStringLiteral("@type"), QStringLiteral("Recipe"));
    o.insert(QStringLiteral("name"), recipe.Name.trimmed());
    o.insert(QStringLiteral("description"), recipe.Note.trimmed());
    QJsonArray ingredients;
    for (const QString& line : recipe.Ingredients.split(u'\n'))
        if (!line.trimmed().isEmpty())
            ingredients.append(line.trimmed());
    o.insert(QStringLiteral("recipeIngredient"), ingredients);

    // Picture files: the cover, then the others named after what they show.
    QJsonArray images;
    std::map<int, QJsonArray> stepImages;
    if (!recipe.Cover.isEmpty()) {
        images.append(QStringLiteral("full.jpg"));
        if (files) {
            files->push_back({QStringLiteral("full.jpg"), recipe.Cover});
            for (const auto& [file, side] :
                 {std::pair{QStringLiteral("thumb.jpg"), 256}, {QStringLiteral("thumb16.jpg"), 16}})
                if (QByteArray thumb = Thumbnail(recipe.Cover, side); !thumb.isEmpty())
                    files->push_back({file, std::move(thumb)});
        }
    }
    int stepCount = 0;
    for (const TRecipeLine& step : recipe.Steps)
        stepCount += step.Heading || step.Text.isEmpty() ? 0 : 1;
    std::map<int, int> perStep;
    int others = 0;
    QJsonArray order;
    for (const TRecipePicture& p : recipe.Pictures) {
        const bool ofStep = p.Step > 0 && p.Step <= stepCount;
        const int n = ofStep ? ++perStep[p.Step] : ++others;
        const QString file = ofStep ? (n == 1 ? QStringLiteral("step-%1.jpg").arg(p.Step)
                                              : QStringLiteral("step-%1-%2.jpg").arg(p.Step).arg(n))
                                    : QStringLiteral("picture-%1.jpg").arg(n);
        if (files)
            files->push_back({file, p.Jpeg});
        order.append(file);
        (ofStep ? stepImages[p.Step] : images).append(ImageEntry(file, p.Caption));
    }
    if (!images.isEmpty())
        o.insert(QStringLiteral("image"), OneOrList(images));

    QJsonArray steps;
    QString section;
    int number = 0;
    for (const TRecipeLine& step : recipe.Steps) {
        if (step.Text.isEmpty())
            continue;
        if (step.Heading) {
            section = step.Text;
            continue;
        }
        ++number;
        QJsonObject s{{QStringLiteral("@type"), QStringLiteral("HowToStep")},
                      {QStringLiteral("name"), !step.Title.isEmpty() ? step.Title
                                               : !section.isEmpty()
                                                   ? section
                                                   : QStringLiteral("第%1步").arg(number)},
                      {QStringLiteral("text"), WithoutStepNumber(step.Text)}};
        if (const auto it = stepImages.find(number); it != stepImages.end())
            s.insert(QStringLiteral("image"), OneOrList(it->second));
        steps.append(s);
    }
    o.insert(QStringLiteral("recipeInstructions"), steps);
    o.insert(QStringLiteral("recipeYield"), YieldText(recipe.Servings, recipe.ServingsUnit));
    if (!recipe.Categories.isEmpty())
        o.insert(QStringLiteral("recipeCategory"), recipe.Categories.join(QStringLiteral(", ")));
    if (!recipe.Keywords.isEmpty())
        o.insert(QStringLiteral("keywords"), recipe.Keywords.join(QStringLiteral(", ")));
    const std::pair<const char*, const QString*> times[] = {{"prepTime", &recipe.PrepTime},
                                                            {"cookTime", &recipe.CookTime},
                                                            {"totalTime", &recipe.TotalTime}};
    for (const auto& [key, value] : times)
        if (const QString iso = IsoDuration(*value); !iso.isEmpty())
            o.insert(QLatin1String(key), iso);
    if (IsAddress(recipe.Source))
        o.insert(QStringLiteral("url"), recipe.Source);
    else if (!recipe.Source.isEmpty())
        o.insert(QStringLiteral("author"),
                 QJsonObject{{QStringLiteral("@type"), QStringLiteral("Person")},
                             {QStringLiteral("name"), recipe.Source}});
    if (recipe.Added.isValid())
        o.insert(QStringLiteral("dateCreated"), DateText(recipe.Added));
    if (recipe.Changed.isValid())
        o.insert(QStringLiteral("dateModified"), DateText(recipe.Changed));

    // What schema.org says as written here: a program that edits it leaves the
    // exact copies below behind, and its edits win.
    const QString schema = SchemaDigest(o);
    o.insert(QLatin1String(ExactColumnsKey),
             QJsonObject{{QStringLiteral("菜名"), recipe.Columns.Name},
                         {QStringLiteral("原料"), recipe.Columns.Ingredients},
                         {QStringLiteral("做法"), recipe.Columns.Method},
                         {QStringLiteral("说明"), recipe.Columns.Note},
                         {QStringLiteral("name"), recipe.Name.trimmed()}});
    QJsonArray exactSteps;
    for (const TRecipeLine& step : recipe.Steps) {
        QJsonObject s{{QStringLiteral("text"), step.Text}};
        if (step.Heading)
            s.insert(QStringLiteral("heading"), true);
        if (!step.Title.isEmpty())
            s.insert(QStringLiteral("title"), step.Title);
        exactSteps.append(s);
    }
    o.insert(
        QLatin1String(ExactExtrasKey),
        QJsonObject{{QStringLiteral("yield"), YieldText(recipe.Servings, recipe.ServingsUnit)},
                    {QStringLiteral("prepTime"), recipe.PrepTime},
                    {QStringLiteral("cookTime"), recipe.CookTime},
                    {QStringLiteral("totalTime"), recipe.TotalTime},
                    {QStringLiteral("source"), recipe.Source},
                    {QStringLiteral("categories"), QJsonArray::fromStringList(recipe.Categories)},
                    {QStringLiteral("keywords"), QJsonArray::fromStringList(recipe.Keywords)},
                    {QStringLiteral("favourite"), recipe.Favourite},
                    {QStringLiteral("pictures"), order},
                    {QStringLiteral("steps"), exactSteps},
                    {QLatin1String(SchemaDigestKey), schema}});
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

TExportSummary ExportBook(TADOConnection& connection, const QString& zipPath,
                          const std::function<bool(int, int)>& progress) {
    TADOQuery query(&connection);
    query.SQL = QStringList{QStringLiteral("select * from mycook")};
    query.Open();
    TRecipeStore store(connection);
    TZipWriter zip(zipPath);
    TExportSummary summary;
    QSet<QString> used;
    const int total = query.RecordCount();
    for (query.First(); !query.Eof(); query.Next()) {
        if (progress && !progress(summary.Recipes, total))
            throw EImportCancelled(QStringLiteral("导出已取消"));
        const TRecipe recipe = store.Read(query.RowId());
        const QString folder = UniqueRecipeFolderName(
            recipe.Name, [&](const QString& f) { return used.contains(f.toLower()); });
        used.insert(folder.toLower());
        const QString path = QStringLiteral("Recipes/") + folder + u'/';
        std::vector<TExportFile> files;
        zip.Add(path + QStringLiteral("recipe.json"), RecipeJson(recipe, &files));
        for (const TExportFile& file : files)
            zip.Add(path + file.Name, file.Bytes);
        if (!recipe.Cover.isEmpty())
            ++summary.Pictures;
        ++summary.Recipes;
    }
    zip.Commit();
    return summary;
}
