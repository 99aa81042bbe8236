#pragma once
// Reading and writing zip archives through libarchive, and gunzip through zlib,
// with every size bounded: an entry claiming gigabytes is refused before it is
// unpacked, one that lies about its size is stopped at the bound, and members are
// unpacked one at a time, only those a reader asks for.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

struct archive;
class TImportBudget;

// One member of an archive as the walk meets it; its bytes are unpacked only when
// read, and count against the import's budget.
class TArchiveMember {
public:
    TArchiveMember(archive* a, QString path, qint64 declaredSize, TImportBudget& budget)
        : FArchive(a), FPath(std::move(path)), FDeclared(declaredSize), FBudget(budget) {}
    const QString& Path() const { return FPath; }
    // The size the archive claims, -1 when it says none.
    qint64 DeclaredSize() const { return FDeclared; }
    // The unpacked bytes; raises EImportError for a broken member or one past the budget.
    QByteArray Read();

private:
    archive* FArchive;
    QString FPath;
    qint64 FDeclared;
    TImportBudget& FBudget;
};
using TMemberVisit = std::function<bool(TArchiveMember& member)>;

// Whether a walk counts the archive's members against the budget: a reader that
// walks one archive again (names first, then contents) counts them once.
enum class TWalkCount { Members, Again };
// Walks the regular files of the zip in archive order, other systems' leftovers
// (__MACOSX/, ._*, .DS_Store) left out; raises EImportError for a broken archive or
// one past the budget. visit returns false to stop early.
void WalkZipFile(const QString& path, TImportBudget& budget, const TMemberVisit& visit,
                 TWalkCount count = TWalkCount::Members);
void WalkZipBytes(const QByteArray& bytes, TImportBudget& budget, const TMemberVisit& visit,
                  TWalkCount count = TWalkCount::Members);
// Whether a member is a leftover of another system's zipping, never a recipe.
bool IsArchiveLeftover(const QString& path);

// Calls visit(path, bytes) for each regular file of the zip, every member read.
using TArchiveVisit = std::function<bool(const QString& path, const QByteArray& bytes)>;
void ReadZipFile(const QString& path, const TArchiveVisit& visit);
void ReadZipBytes(const QByteArray& bytes, const TArchiveVisit& visit);

// The unpacked bytes of a gzip stream, at most maxBytes.
QByteArray Gunzip(const QByteArray& bytes, qint64 maxBytes);
// The same counted against the import's budget as a member named `member`.
QByteArray Gunzip(const QByteArray& bytes, TImportBudget& budget, const QString& member);
// gzip-compresses (for tests and for writing Paprika-like data).
QByteArray Gzip(const QByteArray& bytes);

// Writes a zip into a file that replaces the target only when complete; JPEG and
// PNG members are stored as they are, the rest deflated.
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
