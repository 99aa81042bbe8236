#include "ImportFile.h"

#include "FileErrors.h"
#include "ImportTypes.h"

QByteArray ReadImportFile(const QString& path) {
    return ReadRegularFile(path, MaxImportFileBytes);
}
