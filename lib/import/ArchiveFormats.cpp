#include "ArchiveFormats.h"

#include "Archive.h"
#include "ColumnMapping.h"
#include "HtmlDom.h"
#include "SchemaRecipe.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>
#include <map>

namespace {
QString Folder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}
QString FileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QStringList TextLines(const QString& text) {
    QStringList lines;
    for (const QString& line : HtmlToText(text).split(u'\n')) {
        const QString clean = CollapseWhitespace(line);
        if (!clean.isEmpty())
            lines.append(clean);
    }
    return lines;
}

QString JsonText(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isDouble())
        return QString::number(v.toDouble());
    return CollapseWhitespace(HtmlToText(v.toString()));
}
} // namespace

namespace {
using TZipWalk = std::function<void(const TArchiveVisit&)>;

bool IsPictureName(const QString& name) {
    for (const char* ext : {".jpg", ".jpeg", ".png", ".gif", ".webp", ".bmp"})
        if (name.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            return true;
    return false;
}

void NextcloudZip(const TZipWalk& walk, const TRecipeSink& sink) {
    struct TFolder {
        int Order = 0;
        QByteArray Json;
        QByteArray Picture;
        QString PicturePath;
        std::map<QString, QByteArray> Files; // the folder's other pictures, by name
        qint64 FileBytes = 0;
    };
    std::map<QString, TFolder> folders;
    int order = 0;
    walk([&](const QString& entry, const QByteArray& bytes) {
        const QString name = FileName(entry);
        const bool picture = IsPictureName(name);
        if (name != u"recipe.json" && !picture)
            return true;
        auto [it, added] = folders.try_emplace(Folder(entry));
        if (added)
            it->second.Order = order++;
        TFolder& folder = it->second;
        if (name == u"recipe.json") {
            folder.Json = bytes;
        } else if (name == u"full.jpg" && bytes.size() <= MaxImportPictureBytes) {
            folder.Picture = bytes;
            folder.PicturePath = entry;
        } else if (name != u"thumb.jpg" && name != u"thumb16.jpg" &&
                   bytes.size() <= MaxImportPictureBytes &&
                   folder.FileBytes + bytes.size() <= MaxArchiveEntryBytes) {
            // Kept until recipe.json says which of them belong to the recipe.
            folder.FileBytes += bytes.size();
            folder.Files[name] = bytes;
        }
        return true;
    });
    std::vector<const std::pair<const QString, TFolder>*> ordered;
    for (const auto& f : folders)
        if (!f.second.Json.isEmpty())
            ordered.push_back(&f);
    if (ordered.empty())
        throw EImportError(QStringLiteral("压缩包里没有 recipe.json"));
    std::sort(ordered.begin(), ordered.end(),
              [](auto* a, auto* b) { return a->second.Order < b->second.Order; });
    for (const auto* f : ordered) {
        const QString where = f->first.isEmpty() ? QStringLiteral("recipe.json")
                                                 : f->first + QStringLiteral("/recipe.json");
        QJsonValue json;
        try {
            json = ParseJson(f->second.Json);
        } catch (const EImportError& e) {
            throw EImportError(where + QStringLiteral("：") + e.Message());
        }
        std::vector<QJsonObject> objects = FindRecipeObjects(json);
        // Nextcloud's own files do not always say "@type".
        if (objects.empty() && json.isObject() && json.toObject().contains(QLatin1String("name")))
            objects.push_back(json.toObject());
        for (const QJsonObject& o : objects) {
            TSchemaRecipe s = RecipeFromSchema(o);
            if (!f->second.Picture.isEmpty()) {
                s.Recipe.Picture = f->second.Picture;
                s.Recipe.PictureOrigin = f->second.PicturePath;
            }
            const auto& files = f->second.Files;
            TakeFolderPictures(
                s,
                [&](const QString& name) -> std::optional<QByteArray> {
                    const auto it = files.find(name);
                    return it == files.end() ? std::nullopt : std::optional(it->second);
                },
                f->first);
            sink(std::move(s.Recipe));
        }
    }
}

} // namespace

void ReadNextcloudZip(const QString& path, const TRecipeSink& sink) {
    NextcloudZip([&](const TArchiveVisit& visit) { ReadZipFile(path, visit); }, sink);
}

void ReadNextcloudZipBytes(const QByteArray& zip, const TRecipeSink& sink) {
    NextcloudZip([&](const TArchiveVisit& visit) { ReadZipBytes(zip, visit); }, sink);
}

TImportedRecipe RecipeFromPaprika(const QByteArray& json) {
    const QJsonValue value = ParseJson(json);
    if (!value.isObject())
        throw EImportError(QStringLiteral("不是 Paprika 菜谱"));
    const QJsonObject o = value.toObject();
    TImportedRecipe r;
    r.Name = JsonText(o, "name");
    for (const QString& line : TextLines(o.value(QLatin1String("ingredients")).toString()))
        r.Ingredients.push_back({line, false});
    for (const QString& line : TextLines(o.value(QLatin1String("directions")).toString()))
        r.Steps.push_back({line, false});
    r.Description = JsonText(o, "description");
    r.Notes = TextLines(o.value(QLatin1String("notes")).toString()).join(u'\n');
    r.Yield = JsonText(o, "servings");
    r.PrepTime = JsonText(o, "prep_time");
    r.CookTime = JsonText(o, "cook_time");
    r.TotalTime = JsonText(o, "total_time");
    r.Source = JsonText(o, "source_url");
    if (r.Source.isEmpty())
        r.Source = JsonText(o, "source");
    for (const QJsonValue& c : o.value(QLatin1String("categories")).toArray())
        if (const QString text = CollapseWhitespace(c.toString()); !text.isEmpty())
            r.Categories.append(text);
    // Paprika rates 0 to 5 stars; four or more is a favourite.
    r.Favourite = o.value(QLatin1String("rating")).toDouble() >= 4;
    const QString created = JsonText(o, "created");
    r.Added = QDateTime::fromString(created, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!r.Added.isValid())
        r.Added = QDateTime::fromString(created, Qt::ISODate);
    auto decode = [](const QJsonValue& value) {
        const QByteArray text = value.toString().toLatin1();
        return text.size() <= MaxImportPictureBytes * 4 / 3 + 4 ? QByteArray::fromBase64(text)
                                                                : QByteArray();
    };
    const QJsonArray photos = o.value(QLatin1String("photos")).toArray();
    r.Picture = decode(o.value(QLatin1String("photo_data")));
    r.PictureOrigin = QStringLiteral("photo_data");
    for (qsizetype i = 0; i < photos.size() && i < 500; ++i) {
        const QJsonObject p = photos[i].toObject();
        QByteArray bytes = decode(p.value(QLatin1String("data")));
        if (bytes.isEmpty())
            continue;
        const QString name = JsonText(p, "name");
        const QString file = JsonText(p, "filename");
        if (r.Picture.isEmpty()) {
            r.Picture = std::move(bytes);
            r.PictureOrigin = file;
        } else if (bytes != r.Picture) {
            r.Pictures.push_back({std::move(bytes), 0, name, file});
        }
    }
    return r;
}

namespace {
void Paprika(const TZipWalk& walk, const TRecipeSink& sink) {
    int count = 0;
    walk([&](const QString& entry, const QByteArray& bytes) {
        if (!entry.endsWith(QLatin1String(".paprikarecipe"), Qt::CaseInsensitive))
            return true;
        try {
            sink(RecipeFromPaprika(Gunzip(bytes, MaxArchiveEntryBytes)));
        } catch (const EImportError& e) {
            throw EImportError(entry + QStringLiteral("：") + e.Message());
        }
        ++count;
        return true;
    });
    if (count == 0)
        throw EImportError(QStringLiteral("压缩包里没有 Paprika 菜谱"));
}
} // namespace

void ReadPaprika(const QString& path, const TRecipeSink& sink) {
    Paprika([&](const TArchiveVisit& visit) { ReadZipFile(path, visit); }, sink);
}

void ReadPaprikaBytes(const QByteArray& zip, const TRecipeSink& sink) {
    Paprika([&](const TArchiveVisit& visit) { ReadZipBytes(zip, visit); }, sink);
}
