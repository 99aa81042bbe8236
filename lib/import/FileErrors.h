#pragma once
// The cook's words for a file or archive that failed, chosen by the failure's code
// (errno, libarchive's archive_errno, QFileDevice::FileError); the libraries' own
// English texts never reach a message.

#include <QByteArray>
#include <QFileDevice>
#include <QString>

struct archive;

// errno as a reason, such as "没有读取权限" or "磁盘已满，请腾出空间后再试".
QString SystemErrorText(int errorCode);
// Qt's failure of a file: by the errno the call left (0 when unknown), else by Qt's code.
QString FileDeviceErrorText(QFileDevice::FileError error, int errorCode);
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
