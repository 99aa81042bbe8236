#pragma once
// Reading and writing zip archives through libarchive, and gunzip through zlib,
// with every size bounded: an entry claiming gigabytes is refused before it is
// unpacked, and one that lies about its size is stopped at the bound.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

struct archive;

// Calls visit(path, bytes) for each regular file of the zip, in archive order;
// raises EImportError for a broken archive or an entry over the bounds.
// visit returns false to stop early.
using TArchiveVisit = std::function<bool(const QString& path, const QByteArray& bytes)>;
void ReadZipFile(const QString& path, const TArchiveVisit& visit);
void ReadZipBytes(const QByteArray& bytes, const TArchiveVisit& visit);

// The unpacked bytes of a gzip stream, at most maxBytes.
QByteArray Gunzip(const QByteArray& bytes, qint64 maxBytes);
// gzip-compresses (for tests and for writing Paprika-like data).
QByteArray Gzip(const QByteArray& bytes);

// Writes a zip into a file that replaces the target only when complete.
class TZipWriter {
public:
    explicit TZipWriter(const QString& path);
    ~TZipWriter();
    TZipWriter(const TZipWriter&) = delete;
    TZipWriter& operator=(const TZipWriter&) = delete;

    void Add(const QString& path, const QByteArray& bytes);
    void Commit(); // raises EWriteError; without it the target stays as it was

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};
