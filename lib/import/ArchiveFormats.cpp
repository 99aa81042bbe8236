#include "ArchiveFormats.h"

#include "Archive.h"
#include "ArchiveDirectory.h"
#include "ColumnMapping.h"
#include "FileErrors.h"
#include "HtmlDom.h"
#include "ImportBudget.h"
#include "ImportFile.h"
#include "SchemaRecipe.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrl>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace {
QString Folder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}
QString FileName(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// Paprika's texts break lines with U+2028 as often as with a newline.
QString WithNewlines(QString text) {
    text.replace(QChar(0x2028), u'\n').replace(QChar(0x2029), u'\n');
    return text;
}

QStringList TextLines(const QString& text) {
    QStringList lines;
    for (const QString& line : HtmlToText(WithNewlines(text)).split(u'\n')) {
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
using TZipWalk = std::function<void(const TMemberVisit&, TWalkCount)>;

bool IsPictureName(const QString& name) {
    for (const char* ext : {".jpg", ".jpeg", ".png", ".gif", ".webp", ".bmp"})
        if (name.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            return true;
    return false;
}

// A picture of a recipe folder beside full.jpg and its thumbnails.
bool IsFurtherPicture(const QString& name) {
    return IsPictureName(name) && name != u"full.jpg" && name != u"thumb.jpg" &&
           name != u"thumb16.jpg";
}

// A folder's further pictures by name: `file` gives them, or nothing for a name
// the folder does not hold.
using TFolderFile = std::function<std::optional<QByteArray>(const QString& name)>;

void SinkNextcloudRecipe(const QString& folder, const QByteArray& json, TImportedRecipe picture,
                         const TFolderFile& file, const TRecipeSink& sink) {
    const QString where =
        folder.isEmpty() ? QStringLiteral("recipe.json") : folder + QStringLiteral("/recipe.json");
    QJsonValue value;
    try {
        value = ParseJson(json);
    } catch (const EImportError& e) {
        throw EImportError(where + QStringLiteral("：") + e.Message());
    }
    const bool cut = JsonMayNeedCapping(json) && CapJsonTexts(value);
    std::vector<QJsonObject> objects = FindRecipeObjects(value);
    // Nextcloud's own files do not always say "@type".
    if (objects.empty() && value.isObject() && value.toObject().contains(QLatin1String("name")))
        objects.push_back(value.toObject());
    // The bytes stand for the object only while it is the file's whole, uncut.
    const bool whole =
        !cut && objects.size() == 1 && value.isObject() && objects.front() == value.toObject();
    for (const QJsonObject& o : objects) {
        TSchemaRecipe s =
            RecipeFromSchema(o, false, whole ? QByteArrayView(json) : QByteArrayView());
        s.Recipe.Picture = picture.Picture;
        s.Recipe.PictureOrigin = picture.PictureOrigin;
        s.Recipe.PictureProblem = picture.PictureProblem;
        s.Recipe.TextCut = cut;
        TakeFolderPictures(s, file, folder);
        sink(std::move(s.Recipe));
    }
}

std::optional<QByteArray> FromMap(const std::map<QString, QByteArray>& files, const QString& name) {
    const auto it = files.find(name);
    return it == files.end() ? std::nullopt : std::optional(it->second);
}

// A folder per recipe. A first walk over the members' names learns which folders
// hold what; the second unpacks a folder's files and hands its recipe on as soon as
// they are in. Folders whose files lie apart are held meanwhile, up to the budget's
// HeldBytes together; a folder that would pass that is let go and read in a later
// walk, so an archive of any size and order is read in bounded memory.
void NextcloudZip(const TZipWalk& walk, const TRecipeSink& sink, const TImportBudget& budget) {
    const qint64 maxHeld = budget.Limits().HeldBytes;
    struct TLayout {
        bool Json = false;
        bool Picture = false;
        int Others = 0; // further pictures, held until all are in
    };
    // Folders by a hash of their names: a hundred thousand recipes' names would
    // cost more than their layouts.
    std::unordered_map<quint64, TLayout> layout;
    const auto key = [](const QString& folder) {
        return quint64(qHash(folder, 0x6d79636f6f6b));
    };
    walk(
        [&](TArchiveMember& m) {
            const QString name = FileName(m.Path());
            if (name == u"recipe.json")
                layout[key(Folder(m.Path()))].Json = true;
            else if (name == u"full.jpg")
                layout[key(Folder(m.Path()))].Picture = true;
            else if (IsFurtherPicture(name))
                ++layout[key(Folder(m.Path()))].Others;
            return true;
        },
        TWalkCount::Members);
    if (std::none_of(layout.begin(), layout.end(), [](const auto& f) { return f.second.Json; }))
        throw EImportError(QStringLiteral("压缩包里没有 recipe.json"));
    struct TPending {
        std::optional<QByteArray> Json;
        std::optional<TImportedRecipe> Picture;
        std::map<QString, QByteArray> Files;
        int Others = 0;
        qint64 Bytes = 0;     // further pictures, within one member's bound
        qint64 HeldBytes = 0; // all of the folder's bytes held
    };
    std::unordered_set<quint64> done, later;
    for (bool first = true; first || !later.empty(); first = false) {
        const std::unordered_set<quint64> now = std::exchange(later, {});
        std::map<QString, TPending> pending;
        qint64 held = 0;
        walk(
            [&](TArchiveMember& m) {
                const QString name = FileName(m.Path());
                const QString folder = Folder(m.Path());
                const bool json = name == u"recipe.json";
                const bool further = IsFurtherPicture(name);
                if (!json && !further && name != u"full.jpg")
                    return true;
                const quint64 id = key(folder);
                const auto files = layout.find(id);
                if (files == layout.end() || !files->second.Json)
                    return true; // a picture without a recipe is never unpacked
                if (done.count(id) || later.count(id) || (!first && !now.count(id)))
                    return true;
                TPending& p = pending[folder];
                const qint64 before = p.HeldBytes;
                if (further) {
                    ++p.Others;
                    if (m.DeclaredSize() <= MaxImportPictureBytes &&
                        p.Bytes + m.DeclaredSize() <= MaxArchiveEntryBytes) {
                        QByteArray bytes = m.Read();
                        p.Bytes += bytes.size();
                        p.HeldBytes += bytes.size();
                        p.Files[name] = std::move(bytes);
                    }
                } else if (json) {
                    p.Json = m.Read();
                    p.HeldBytes += p.Json->size();
                } else {
                    TImportedRecipe picture;
                    if (m.DeclaredSize() > MaxImportPictureBytes) {
                        picture.PictureProblem = QStringLiteral("图片太大（上限 %1），没有导入")
                                                     .arg(SizeLimitText(MaxImportPictureBytes));
                    } else {
                        picture.Picture = m.Read();
                        picture.PictureOrigin = m.Path();
                        p.HeldBytes += picture.Picture.size();
                    }
                    p.Picture = std::move(picture);
                }
                held += p.HeldBytes - before;
                const TLayout& expected = files->second;
                if (p.Json && (p.Picture || !expected.Picture) && p.Others == expected.Others) {
                    TPending whole = std::move(p);
                    held -= whole.HeldBytes;
                    pending.erase(folder);
                    done.insert(id);
                    SinkNextcloudRecipe(
                        folder, *whole.Json,
                        whole.Picture ? std::move(*whole.Picture) : TImportedRecipe{},
                        [&](const QString& name) { return FromMap(whole.Files, name); }, sink);
                } else if (held > maxHeld && pending.size() > 1) {
                    // Let this folder go for now; the first one held always stays, so
                    // every walk finishes at least one.
                    held -= p.HeldBytes;
                    pending.erase(folder);
                    later.insert(id);
                }
                return true;
            },
            TWalkCount::Again);
        // A folder whose files never all came (the names walk saw more): what is in.
        for (auto& [folder, p] : pending) {
            if (!p.Json)
                continue;
            done.insert(key(folder));
            SinkNextcloudRecipe(
                folder, *p.Json, p.Picture ? std::move(*p.Picture) : TImportedRecipe{},
                [&](const QString& name) { return FromMap(p.Files, name); }, sink);
        }
    }
}

} // namespace

namespace {
// A folder per recipe, read through the zip's directory: one pass over it learns
// where each folder's files lie, then every folder's files are unpacked together,
// folders in the order they first appear, wherever the archive keeps their files.
// One folder's bytes are held at a time. False, with nothing read, when a member it
// needs is one the directory's reader cannot unpack (then the walk reads the zip).
bool NextcloudZipDirect(TZipDirectory& zip, const TRecipeSink& sink, TImportBudget& budget) {
    enum : quint8 { Json, Cover, Further };
    struct TEntry {
        size_t Folder; // a hash of its name; the names themselves are compared when read
        quint32 Order;
        quint8 Kind;
        TZipMember Member;
    };
    std::vector<TEntry> entries;
    entries.reserve(size_t(std::min<quint64>(zip.Entries(), quint64(budget.Limits().Members))));
    // A seed of this run's own: no archive can be made to run folders together.
    const size_t seed = size_t(QRandomGenerator::system()->generate64());
    bool readable = true;
    zip.Walk(budget, [&](const QString& path, const TZipMember& m) {
        const QString name = FileName(path);
        quint8 kind = Further;
        if (name == u"recipe.json")
            kind = Json;
        else if (name == u"full.jpg")
            kind = Cover;
        else if (!IsFurtherPicture(name))
            return true;
        readable = readable && m.Readable();
        const qsizetype slash = std::max<qsizetype>(path.lastIndexOf(u'/'), 0);
        entries.push_back(
            {qHash(QStringView(path).first(slash), seed), quint32(entries.size()), kind, m});
        return true;
    });
    if (!readable)
        return false;
    if (std::none_of(entries.begin(), entries.end(),
                     [](const TEntry& e) { return e.Kind == Json; }))
        throw EImportError(QStringLiteral("压缩包里没有 recipe.json"));
    {
        std::vector<const TZipMember*> members;
        members.reserve(entries.size());
        for (const TEntry& e : entries)
            members.push_back(&e.Member);
        zip.CheckApart(std::move(members));
    }
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return a.Folder != b.Folder ? a.Folder < b.Folder : a.Order < b.Order;
    });
    struct TGroup {
        quint32 Begin, End, First;
    };
    std::vector<TGroup> groups;
    for (size_t i = 0; i < entries.size();) {
        size_t end = i + 1;
        while (end < entries.size() && entries[end].Folder == entries[i].Folder)
            ++end;
        groups.push_back({quint32(i), quint32(end), entries[i].Order});
        i = end;
    }
    std::sort(groups.begin(), groups.end(),
              [](const TGroup& a, const TGroup& b) { return a.First < b.First; });

    // One folder's files: a later member of the same name stands, as unzipping has it.
    const auto folder = [&](const QString& name,
                            const std::vector<std::pair<QString, const TEntry*>>& files) {
        const std::pair<QString, const TEntry*>*json = nullptr, *cover = nullptr;
        std::map<QString, const std::pair<QString, const TEntry*>*> further;
        for (const auto& file : files) {
            if (file.second->Kind == Json)
                json = &file;
            else if (file.second->Kind == Cover)
                cover = &file;
            else
                further[FileName(file.first)] = &file;
        }
        if (!json)
            return; // a picture without a recipe is never unpacked
        const QByteArray bytes = zip.Read(json->second->Member, json->first, budget);
        TImportedRecipe picture;
        if (cover && cover->second->Member.Size > quint64(MaxImportPictureBytes)) {
            picture.PictureProblem = QStringLiteral("图片太大（上限 %1），没有导入")
                                         .arg(SizeLimitText(MaxImportPictureBytes));
        } else if (cover) {
            picture.Picture = zip.Read(cover->second->Member, cover->first, budget);
            picture.PictureOrigin = cover->first;
        }
        // Further pictures are unpacked when the recipe names them, together within
        // one member's bound.
        qint64 furtherBytes = 0;
        SinkNextcloudRecipe(
            name, bytes, std::move(picture),
            [&](const QString& file) -> std::optional<QByteArray> {
                const auto it = further.find(file);
                if (it == further.end())
                    return std::nullopt;
                const TZipMember& m = it->second->second->Member;
                if (m.Size > quint64(MaxImportPictureBytes) ||
                    quint64(furtherBytes) + m.Size > quint64(MaxArchiveEntryBytes))
                    return std::nullopt;
                QByteArray picture = zip.Read(m, it->second->first, budget);
                furtherBytes += picture.size();
                return picture;
            },
            sink);
    };
    for (const TGroup& g : groups) {
        std::vector<std::pair<QString, const TEntry*>> files;
        for (quint32 i = g.Begin; i < g.End; ++i)
            files.emplace_back(zip.Path(entries[i].Member), &entries[i]);
        std::sort(files.begin(), files.end(),
                  [](const auto& a, const auto& b) { return a.second->Order < b.second->Order; });
        // Folders whose names share the hash by chance part here, each whole.
        while (!files.empty()) {
            const QString name = Folder(files.front().first);
            const auto other = std::stable_partition(
                files.begin(), files.end(), [&](const auto& f) { return Folder(f.first) == name; });
            const std::vector<std::pair<QString, const TEntry*>> mine(files.begin(), other);
            files.erase(files.begin(), other);
            folder(name, mine);
        }
    }
    return true;
}
} // namespace

namespace {
void WalkNextcloudZip(const QString& path, const TRecipeSink& sink, TImportBudget& budget,
                      bool counted) {
    NextcloudZip(
        [&](const TMemberVisit& visit, TWalkCount count) {
            WalkZipFile(path, budget, visit, counted ? TWalkCount::Again : count);
        },
        sink, budget);
}
} // namespace

void ReadNextcloudZip(const QString& path, const TRecipeSink& sink, TImportBudget& budget) {
    bool counted = false; // the directory's walk counted the members
    if (const std::unique_ptr<TZipDirectory> zip = TZipDirectory::OpenFile(path)) {
        if (NextcloudZipDirect(*zip, sink, budget))
            return;
        counted = true;
    }
    WalkNextcloudZip(path, sink, budget, counted);
}

void ReadNextcloudZipWalking(const QString& path, const TRecipeSink& sink, TImportBudget& budget) {
    WalkNextcloudZip(path, sink, budget, false);
}

void ReadNextcloudZipBytes(const QByteArray& bytes, const TRecipeSink& sink) {
    TImportBudget budget;
    bool counted = false;
    if (const std::unique_ptr<TZipDirectory> zip = TZipDirectory::OpenBytes(bytes)) {
        if (NextcloudZipDirect(*zip, sink, budget))
            return;
        counted = true;
    }
    NextcloudZip(
        [&](const TMemberVisit& visit, TWalkCount count) {
            WalkZipBytes(bytes, budget, visit, counted ? TWalkCount::Again : count);
        },
        sink, budget);
}

TImportedRecipe RecipeFromPaprika(const QByteArray& json) {
    QJsonValue value = ParseJson(json);
    if (!value.isObject())
        throw EImportError(QStringLiteral("不是 Paprika 菜谱"));
    const bool cut = JsonMayNeedCapping(json) &&
                     CapJsonTexts(value, {QStringLiteral("photo_data"), QStringLiteral("data")});
    const QJsonObject o = value.toObject();
    TImportedRecipe r;
    r.TextCut = cut;
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
void Paprika(const TZipWalk& walk, const TRecipeSink& sink, TImportBudget& budget) {
    int count = 0;
    walk(
        [&](TArchiveMember& m) {
            if (!m.Path().endsWith(QLatin1String(".paprikarecipe"), Qt::CaseInsensitive))
                return true;
            try {
                sink(RecipeFromPaprika(Gunzip(m.Read(), budget, m.Path())));
            } catch (const EImportError& e) {
                throw EImportError(m.Path() + QStringLiteral("：") + e.Message());
            }
            ++count;
            return true;
        },
        TWalkCount::Members);
    if (count == 0)
        throw EImportError(QStringLiteral("压缩包里没有 Paprika 菜谱"));
}

bool IsGzip(const QByteArray& head) {
    return head.size() >= 2 && quint8(head[0]) == 0x1F && quint8(head[1]) == 0x8B;
}
} // namespace

void ReadPaprika(const QString& path, const TRecipeSink& sink, TImportBudget& budget) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && IsGzip(file.peek(2))) {
        // One recipe, as Paprika shares it: gzip-compressed JSON with the photo inside.
        file.close();
        budget.CountMember();
        sink(RecipeFromPaprika(Gunzip(ReadImportFile(path), budget, QFileInfo(path).fileName())));
        return;
    }
    Paprika([&](const TMemberVisit& visit,
                TWalkCount count) { WalkZipFile(path, budget, visit, count); },
            sink, budget);
}

void ReadPaprikaBytes(const QByteArray& bytes, const TRecipeSink& sink) {
    TImportBudget budget;
    if (IsGzip(bytes)) {
        sink(RecipeFromPaprika(Gunzip(bytes, budget, QString())));
        return;
    }
    Paprika([&](const TMemberVisit& visit,
                TWalkCount count) { WalkZipBytes(bytes, budget, visit, count); },
            sink, budget);
}

TZipContent ZipContent(const QString& path) {
    TImportBudget budget;
    TZipContent found = TZipContent::Other;
    const auto look = [&](const QString& member) {
        if (member.endsWith(QLatin1String(".paprikarecipe"), Qt::CaseInsensitive)) {
            found = TZipContent::Paprika;
            return false;
        }
        if (FileName(member) == u"recipe.json")
            found = TZipContent::RecipeFolders;
        return true;
    };
    try {
        if (const std::unique_ptr<TZipDirectory> zip = TZipDirectory::OpenFile(path))
            zip->Walk(budget,
                      [&](const QString& member, const TZipMember&) { return look(member); });
        else
            WalkZipFile(path, budget, [&](TArchiveMember& m) { return look(m.Path()); });
    } catch (const EImportError&) {
        // Told when the file is read.
    }
    return found;
}
