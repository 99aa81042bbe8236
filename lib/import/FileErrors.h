#pragma once
// The cook's words for an archive that failed, by libarchive's archive_errno (files'
// errno and Qt's codes: lib/core/FileErrorText.h), and reading a file the import
// may read without ever blocking.

#include "FileErrorText.h"

#include <QByteArray>
#include <QString>

struct archive;

// libarchive's failure while opening or reading an archive.
QString ArchiveErrorText(archive* a);
// The megabytes of a limit, as the cook reads it ("64 MB").
QString SizeLimitText(qint64 bytes);

// A file that is what the import may read: a regular file (a folder, a pipe or a
// device is told as what it is), opened without blocking and read to at most
// maxBytes; raises EImportError in Chinese otherwise. Empty `what` says "文件".
QByteArray ReadRegularFile(const QString& path, qint64 maxBytes, const QString& what = {});
// Raises EImportError unless path names a regular file (following links), never opening it.
void CheckRegularFile(const QString& path);
