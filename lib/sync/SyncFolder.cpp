#include "SyncFolder.h"

#include "FileErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString RecipeJsonName = QStringLiteral("recipe.json");

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

[[noreturn]] void RaiseFileError(const QString& what, const QString& path, int error) {
    throw ESyncError(QStringLiteral("%1“%2”：%3")
                         .arg(what, QDir::toNativeSeparators(path), SystemErrorText(error)));
}

struct TDirEntry {
    QString Name;
    bool Dir = false;
    qint64 Size = 0;
    qint64 Time = 0; // nanoseconds
};

// One folder's entries without following links; a plain readdir, as a sync of
// ten thousand folders must not wait on more than one stat per file.
std::vector<TDirEntry> ListFolder(const QString& path, int* error = nullptr) {
    std::vector<TDirEntry> out;
    DIR* dir = ::opendir(Native(path).constData());
    if (!dir) {
        if (error)
            *error = errno;
        return out;
    }
    const int fd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        struct stat st {};
        if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        TDirEntry entry;
        entry.Name = QFile::decodeName(n);
        entry.Dir = S_ISDIR(st.st_mode);
        entry.Size = qint64(st.st_size);
        entry.Time = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        out.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const TDirEntry& a, const TDirEntry& b) { return a.Name < b.Name; });
    if (error)
        *error = 0;
    return out;
}

void WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ESyncError(
            QStringLiteral("无法写入“%1”：%2")
                .arg(QDir::toNativeSeparators(path), FileDeviceErrorText(file.error(), errno)));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int error = errno;
        file.close();
        QFile::remove(path);
        throw ESyncError(
            QStringLiteral("无法写入“%1”：%2")
                .arg(QDir::toNativeSeparators(path), FileDeviceErrorText(file.error(), error)));
    }
    file.close();
}

void RenameOrRaise(const QString& from, const QString& to) {
    if (::rename(Native(from).constData(), Native(to).constData()) != 0)
        RaiseFileError(QStringLiteral("无法改名为"), to, errno);
}

// A temporary name no other writer uses, hidden and ending in ".part" as the
// clients' own, so readers (ours too) pass it by.
QString TemporaryName(const QString& name) {
    static std::atomic<int> counter{0};
    return QStringLiteral(".%1.mycook-%2-%3.part")
        .arg(name)
        .arg(::getpid())
        .arg(counter.fetch_add(1));
}

// Files this program writes into a recipe folder: the only ones it removes there.
bool OwnPictureName(const QString& name) {
    static const QRegularExpression own(
        QStringLiteral("^(full|thumb|thumb16|step-\\d+(-\\d+)?|picture-\\d+)\\.jpg$"));
    return own.match(name).hasMatch();
}

void RemoveTree(const QString& path) {
    QDir(path).removeRecursively();
}
} // namespace

bool PartialFileName(const QString& name) {
    static const char* const endings[] = {".part", ".partial", ".crdownload", ".tmp", "~"};
    for (const char* ending : endings)
        if (name.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    // Nextcloud's downloads in progress (".name.~1a2b"), Syncthing's temporaries.
    return name.startsWith(QLatin1String(".syncthing.")) || name.contains(QLatin1String(".~")) ||
           name.startsWith(QLatin1String("~$"));
}

bool SyncConflictName(const QString& name) {
    static const QRegularExpression conflict(
        QStringLiteral("\\((conflicted copy|conflict|Konflikt|冲突)[^)]*\\)|\\.sync-conflict-\\d|"
                       "_conflict-\\d{8}-\\d{6}"),
        QRegularExpression::CaseInsensitiveOption);
    return conflict.match(name).hasMatch();
}

QByteArray FolderStamp(const QString& folder, QString* busy) {
    QByteArray stamp;
    bool hasJson = false;
    for (const TDirEntry& e : ListFolder(folder)) {
        if (SyncConflictName(e.Name))
            continue; // the client's copy beside the real one: not ours to read
        if (busy && busy->isEmpty() && PartialFileName(e.Name))
            *busy = QStringLiteral("“%1”还在写入").arg(e.Name);
        hasJson = hasJson || (e.Name == RecipeJsonName && !e.Dir);
        stamp += e.Name.toUtf8();
        stamp += '\0';
        stamp += QByteArray::number(e.Size);
        stamp += ':';
        stamp += QByteArray::number(e.Time);
        stamp += '\n';
    }
    if (busy && busy->isEmpty() && !hasJson)
        *busy = QStringLiteral("还没有 recipe.json");
    return stamp;
}

TFolderScan ScanSyncFolder(const QString& root) {
    int error = 0;
    const std::vector<TDirEntry> entries = ListFolder(root, &error);
    if (error != 0)
        RaiseFileError(QStringLiteral("无法读取同步文件夹"), root, error);
    TFolderScan scan;
    for (const TDirEntry& e : entries) {
        scan.Taken.append(e.Name.toLower());
        if (!e.Dir || e.Name.startsWith(u'.'))
            continue;
        if (SyncConflictName(e.Name) || PartialFileName(e.Name)) {
            scan.Skipped.append(e.Name);
            continue;
        }
        TFolderEntry entry;
        entry.Name = e.Name;
        entry.Stamp = FolderStamp(root + u'/' + e.Name, &entry.Busy);
        scan.Recipes.push_back(std::move(entry));
    }
    return scan;
}

void WriteRecipeFolder(const QString& root, const QString& name, const QByteArray& json,
                       const std::vector<TExportFile>& files,
                       const std::function<void()>& afterFile) {
    const QString target = root + u'/' + name;
    struct stat st {};
    if (::lstat(Native(target).constData(), &st) != 0) {
        // A new folder appears whole or not at all.
        const QString temporary = root + u'/' + TemporaryName(name);
        if (::mkdir(Native(temporary).constData(), 0755) != 0)
            RaiseFileError(QStringLiteral("无法建立文件夹"), temporary, errno);
        try {
            for (const TExportFile& file : files)
                WriteWholeFile(temporary + u'/' + file.Name, file.Bytes);
            WriteWholeFile(temporary + u'/' + RecipeJsonName, json);
            RenameOrRaise(temporary, target);
        } catch (...) {
            RemoveTree(temporary);
            throw;
        }
        if (afterFile)
            afterFile();
        return;
    }
    if (!S_ISDIR(st.st_mode))
        throw ESyncError(QStringLiteral("“%1”不是文件夹").arg(QDir::toNativeSeparators(target)));
    QSet<QString> written;
    auto put = [&](const QString& file, const QByteArray& bytes) {
        const QString temporary = target + u'/' + TemporaryName(file);
        WriteWholeFile(temporary, bytes);
        try {
            RenameOrRaise(temporary, target + u'/' + file);
        } catch (...) {
            QFile::remove(temporary);
            throw;
        }
        written.insert(file);
        if (afterFile)
            afterFile();
    };
    for (const TExportFile& file : files)
        put(file.Name, file.Bytes);
    put(RecipeJsonName, json);
    for (const TDirEntry& e : ListFolder(target))
        if (!e.Dir && OwnPictureName(e.Name) && !written.contains(e.Name))
            QFile::remove(target + u'/' + e.Name);
}

QString MoveIntoTrash(const QString& root, const QString& name, const QString& trash) {
    if (::mkdir(Native(trash).constData(), 0755) != 0 && errno != EEXIST)
        RaiseFileError(QStringLiteral("无法建立文件夹"), trash, errno);
    QString free = name;
    for (int n = 2;
         QFileInfo::exists(trash + u'/' + free) || QFileInfo(trash + u'/' + free).isSymLink(); ++n)
        free = QStringLiteral("%1 (%2)").arg(name).arg(n);
    RenameOrRaise(root + u'/' + name, trash + u'/' + free);
    return free;
}
