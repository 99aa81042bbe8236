#include "ImportFile.h"

#include "ImportTypes.h"

#include <QFile>

QByteArray ReadImportFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EImportError(QStringLiteral("无法打开：%1").arg(file.errorString()));
    if (file.size() > MaxImportFileBytes)
        throw EImportError(QStringLiteral("文件太大"));
    return file.readAll();
}
