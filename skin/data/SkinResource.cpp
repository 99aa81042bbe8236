#include "SkinResource.h"

#include <QFile>
#include <QtEndian>

QByteArray DefaultSkinContainer() {
    QFile file(QStringLiteral(":/skin/SkinContainer.skn"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

QByteArray DefaultSkinStream() {
    const QByteArray container = DefaultSkinContainer();
    QByteArray value(4, '\0');
    qToLittleEndian<qint32>(static_cast<qint32>(container.size()), value.data());
    return value + container;
}
