#pragma once
// The bytes of one file to import, refused when it cannot be opened or is larger than
// any recipe file could be.

#include <QByteArray>
#include <QString>

QByteArray ReadImportFile(const QString& path);
