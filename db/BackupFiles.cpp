#include "BackupFiles.h"

#include <QDir>
#include <QFileInfo>

const QRegularExpression& CopyName() {
    static const QRegularExpression name(QStringLiteral("^cook-\\d{4}-\\d{2}-\\d{2}\\.mdb$"));
    return name;
}

QString BackupFolder(const QString& bookPath) {
    return QFileInfo(bookPath).absoluteDir().filePath(QStringLiteral("cook-backups"));
}

QString BackupFileName(const QDate& day) {
    return QStringLiteral("cook-%1.mdb").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

QString NewestBackup(const QString& bookPath) {
    const QDir folder(BackupFolder(bookPath));
    for (const QString& file : folder.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        if (CopyName().match(file).hasMatch())
            return folder.filePath(file);
    }
    return {};
}
