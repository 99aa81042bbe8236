#include "AboutPage.h"

#include <QDir>
#include <QFileInfo>

QString AboutPageFile(const QString& executableFolder) {
    const QDir folder(executableFolder);
    const QString installed =
        QDir::cleanPath(folder.filePath(QStringLiteral("../share/mycook/about.html")));
    const QString beside = folder.filePath(QStringLiteral("about.html"));
    if (!QFileInfo::exists(installed) && QFileInfo::exists(beside))
        return beside;
    return installed;
}
