#include "RecipeFolder.h"

#include "ImportFile.h"
#include "SchemaRecipe.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString RecipeJson = QStringLiteral("recipe.json");

// A picture only from a regular file inside the folder the cook chose, after
// links are resolved: a link could reach the cook's other files, and a pipe or
// a device would never end. Opened without waiting, checked again once open.
std::optional<QByteArray> FolderPicture(const QString& path, const QString& root,
                                        QString& problem) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty()) {
        problem = QStringLiteral("%1 无法打开").arg(info.fileName()); // a link to nothing
        return std::nullopt;
    }
    if (!canonical.startsWith(root + u'/')) {
        problem = QStringLiteral("%1 指向所选文件夹以外的文件").arg(info.fileName());
        return std::nullopt;
    }
    const int fd = ::open(QFile::encodeName(canonical).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = QStringLiteral("%1 无法打开").arg(info.fileName());
        return std::nullopt;
    }
    struct TClose {
        int Fd;
        ~TClose() { ::close(Fd); }
    } close{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = QStringLiteral("%1 不是普通文件").arg(info.fileName());
        return std::nullopt;
    }
    if (st.st_size > MaxImportPictureBytes) {
        problem = QStringLiteral("%1 太大").arg(info.fileName());
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// missing: when given, receives the pictures recipe.json names that the folder
// does not hold (yet).
void ReadJson(const QString& path, const QString& root, const QString& shown,
              const TRecipeSink& sink, QStringList* missing = nullptr) {
    QJsonValue json;
    try {
        json = ParseJson(ReadImportFile(path));
    } catch (const EImportError& e) {
        throw EImportError(shown + QStringLiteral("：") + e.Message());
    }
    std::vector<QJsonObject> objects = FindRecipeObjects(json);
    // The app's own files do not always say "@type".
    if (objects.empty() && json.isObject() && json.toObject().contains(QLatin1String("name")))
        objects.push_back(json.toObject());
    const QDir folder = QFileInfo(path).dir();
    for (const QJsonObject& o : objects) {
        TSchemaRecipe s = RecipeFromSchema(o);
        if (QFileInfo(path).fileName() == RecipeJson) {
            if (missing && s.ImageUrls.contains(QStringLiteral("full.jpg")) &&
                !QFileInfo::exists(folder.filePath(QStringLiteral("full.jpg"))))
                missing->append(QStringLiteral("full.jpg"));
            for (const char* name : {"full.jpg", "thumb.jpg"}) {
                const QString picture = folder.filePath(QLatin1String(name));
                QString problem;
                if (auto bytes = FolderPicture(picture, root, problem)) {
                    s.Recipe.Picture = *bytes;
                    s.Recipe.PictureOrigin = picture;
                    break;
                }
                if (!problem.isEmpty()) {
                    s.Recipe.PictureProblem = problem;
                    break;
                }
            }
            // Addresses on the web name the pictures' origins, not files of the folder.
            QSet<QString> local;
            for (const QString& url : s.ImageUrls)
                if (!url.contains(QLatin1String("://")))
                    local.insert(url.mid(url.lastIndexOf(u'/') + 1));
            for (const auto& [step, url] : s.StepImageUrls)
                if (!url.contains(QLatin1String("://")))
                    local.insert(url.mid(url.lastIndexOf(u'/') + 1));
            TakeFolderPictures(
                s,
                [&](const QString& name) {
                    QString problem;
                    auto bytes = FolderPicture(folder.filePath(name), root, problem);
                    if (!bytes && missing && local.contains(name))
                        missing->append(name);
                    return bytes;
                },
                folder.path());
        }
        sink(std::move(s.Recipe));
    }
}

// Recipe folders at most two levels below `folder`; links to folders are not followed.
void FindRecipeFolders(const QDir& folder, int depth, QStringList& out) {
    if (QFileInfo(folder.filePath(RecipeJson)).isFile()) {
        out.append(folder.path());
        return;
    }
    if (depth >= 2)
        return;
    const QStringList children = folder.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name | QDir::LocaleAware);
    for (const QString& child : children) {
        if (out.size() >= MaxRecipesPerFile)
            throw EImportError(QStringLiteral("文件夹里的菜谱太多"));
        FindRecipeFolders(QDir(folder.filePath(child)), depth + 1, out);
    }
}
} // namespace

void ReadRecipeFolder(const QString& path, const TRecipeSink& sink) {
    const QString root = QFileInfo(path).canonicalFilePath();
    if (root.isEmpty())
        throw EImportError(QStringLiteral("文件夹不存在"));
    QStringList folders;
    FindRecipeFolders(QDir(root), 0, folders);
    if (folders.isEmpty())
        throw EImportError(QStringLiteral("文件夹里没有菜谱（recipe.json）"));
    for (const QString& folder : folders) {
        const QString shown = QDir(root).relativeFilePath(QDir(folder).filePath(RecipeJson));
        ReadJson(QDir(folder).filePath(RecipeJson), root, shown, sink);
    }
}

void ReadRecipeJsonFile(const QString& path, const TRecipeSink& sink) {
    const QFileInfo info(path);
    ReadJson(path, QFileInfo(info.absolutePath()).canonicalFilePath(), info.fileName(), sink);
}

TFolderRecipe ReadOneRecipeFolder(const QString& folder, const QString& root) {
    TFolderRecipe out;
    int found = 0;
    const QString path = QDir(folder).filePath(RecipeJson);
    ReadJson(
        path, root, QDir(root).relativeFilePath(path),
        [&](TImportedRecipe&& recipe) {
            if (found++ == 0)
                out.Recipe = std::move(recipe);
        },
        &out.Missing);
    if (found != 1)
        throw EImportError(
            QStringLiteral("%1：没有找到菜谱").arg(QDir(root).relativeFilePath(path)));
    return out;
}
