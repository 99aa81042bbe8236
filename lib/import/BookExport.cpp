#include "BookExport.h"

#include "ADODB.h"
#include "Archive.h"
#include "RecipeImporter.h"
#include "SchemaRecipe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

QString RecipeFolderName(const QString& name) {
    QString out;
    for (const QChar c : name.trimmed()) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            out.append(u'_');
        else
            out.append(c);
    }
    while (out.startsWith(u'.'))
        out.remove(0, 1);
    return out.isEmpty() ? QStringLiteral("未命名菜谱") : out;
}

QByteArray RecipeJson(const TRecipeColumns& columns, bool hasPicture) {
    QJsonObject o;
    o.insert(QStringLiteral("@context"), QStringLiteral("https://schema.org"));
    o.insert(QStringLiteral("@type"), QStringLiteral("Recipe"));
    o.insert(QStringLiteral("name"), columns.Name.trimmed());
    QJsonArray ingredients;
    for (const QString& line : columns.Ingredients.split(u'\n'))
        if (!line.trimmed().isEmpty())
            ingredients.append(line.trimmed());
    o.insert(QStringLiteral("recipeIngredient"), ingredients);
    QJsonArray steps;
    for (const QString& line : columns.Method.split(u'\n')) {
        if (line.trimmed().isEmpty())
            continue;
        steps.append(QJsonObject{{QStringLiteral("@type"), QStringLiteral("HowToStep")},
                                 {QStringLiteral("text"), line.trimmed()}});
    }
    o.insert(QStringLiteral("recipeInstructions"), steps);
    o.insert(QStringLiteral("description"), columns.Note.trimmed());
    if (hasPicture)
        o.insert(QStringLiteral("image"), QStringLiteral("full.jpg"));
    o.insert(QLatin1String(ExactColumnsKey),
             QJsonObject{{QStringLiteral("菜名"), columns.Name},
                         {QStringLiteral("原料"), columns.Ingredients},
                         {QStringLiteral("做法"), columns.Method},
                         {QStringLiteral("说明"), columns.Note}});
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

TExportSummary ExportBook(TADOConnection& connection, const QString& zipPath,
                          const std::function<bool(int, int)>& progress) {
    TADOQuery query(&connection);
    query.SQL = QStringList{QStringLiteral("select * from mycook")};
    query.Open();
    TZipWriter zip(zipPath);
    TExportSummary summary;
    QSet<QString> used;
    const int total = query.RecordCount();
    TField& name = query.FieldByName(QStringLiteral("菜名"));
    TField& ingredients = query.FieldByName(QStringLiteral("原料"));
    TField& method = query.FieldByName(QStringLiteral("做法"));
    TField& note = query.FieldByName(QStringLiteral("说明"));
    TField& img = query.FieldByName(QStringLiteral("img"));
    for (query.First(); !query.Eof(); query.Next()) {
        if (progress && !progress(summary.Recipes, total))
            throw EImportCancelled(QStringLiteral("导出已取消"));
        const TRecipeColumns columns{name.AsString(), ingredients.AsString(), method.AsString(),
                                     note.AsString()};
        const QString base = RecipeFolderName(columns.Name);
        QString folder = base;
        for (int n = 2; used.contains(folder.toLower()); ++n)
            folder = QStringLiteral("%1 (%2)").arg(base).arg(n);
        used.insert(folder.toLower());
        const QByteArray picture = img.IsNull() ? QByteArray() : img.AsBytes();
        zip.Add(folder + QStringLiteral("/recipe.json"), RecipeJson(columns, !picture.isEmpty()));
        if (!picture.isEmpty()) {
            zip.Add(folder + QStringLiteral("/full.jpg"), picture);
            ++summary.Pictures;
        }
        ++summary.Recipes;
    }
    zip.Commit();
    return summary;
}
