#include "BookLocation.h"

#include "AppIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {
bool FolderWritable(const QString& folder) {
    // Permission bits lie on some file systems; try to create a file instead.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".mycook-probe-XXXXXX")));
    return probe.open();
}
} // namespace

bool IsInstalledProgram(const QString& executableFolder) {
    const QDir folder(executableFolder);
    return folder.dirName() == QStringLiteral("bin") &&
           QFileInfo::exists(folder.filePath(QStringLiteral("../share/applications/%1.desktop")
                                                 .arg(QString::fromLatin1(DesktopFileName))));
}

QString RecipeBookFolder(const QString& executableFolder) {
    if (!IsInstalledProgram(executableFolder) &&
        (QFileInfo::exists(QDir(executableFolder).filePath(QStringLiteral("cook.mdb"))) ||
         FolderWritable(executableFolder)))
        return executableFolder;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}
