#pragma once
// A zip read through its central directory: the members' list in one read of the
// directory at the archive's end, and any member's bytes when asked, by its place
// in the file, in any order. A reader that wants a recipe folder's files together
// reads them together wherever they lie, without walking the archive again.
// Stored and deflated members only; an archive it does not follow (no directory
// at its end, spanned over disks, another compression or a password) is left to
// the walk of Archive.h, which reads or refuses it as before.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class TImportBudget;

// Where one member lies; small, so that a reader may keep one per member.
struct TZipMember {
    quint64 Record = 0; // its central directory record
    quint64 Header = 0; // its local header
    quint64 Packed = 0;
    quint64 Size = 0;
    quint32 Crc = 0;
    quint16 Method = 0;
    quint16 Flags = 0;
    // Stored or deflated and without a password.
    bool Readable() const { return (Method == 0 || Method == 8) && !(Flags & 1); }
};

class TZipDirectory {
public:
    // Null when the file has no central directory this reader follows.
    static std::unique_ptr<TZipDirectory> OpenFile(const QString& path);
    // The same over bytes in memory, which must outlive the directory.
    static std::unique_ptr<TZipDirectory> OpenBytes(const QByteArray& bytes);
    ~TZipDirectory();
    TZipDirectory(const TZipDirectory&) = delete;
    TZipDirectory& operator=(const TZipDirectory&) = delete;

    // The regular files in directory order, other systems' leftovers left out;
    // every record counts against the budget's members. visit returns false to
    // stop. Raises EImportError for a broken directory.
    using TVisit = std::function<bool(const QString& path, const TZipMember& member)>;
    void Walk(TImportBudget& budget, const TVisit& visit);
    // A member's path as the directory names it.
    QString Path(const TZipMember& member);
    // The member's unpacked bytes, counted against the budget before they are
    // unpacked; raises EImportError for a member that is cut, damaged, past its
    // bound, or lies about its size.
    QByteArray Read(const TZipMember& member, const QString& path, TImportBudget& budget);
    // Raises EImportError when members share bytes of the archive: a bomb that
    // unpacks one packed stream over and over through many names, each counted as
    // if its bytes were its own.
    void CheckApart(std::vector<const TZipMember*> members) const;
    // Records the directory says it holds.
    quint64 Entries() const { return FEntries; }

    struct TSource; // the file or the bytes

private:
    explicit TZipDirectory(std::unique_ptr<TSource> source);
    bool Find();
    std::unique_ptr<TSource> FSource;
    quint64 FStart = 0; // of the directory
    quint64 FBytes = 0; // of the directory
    quint64 FEntries = 0;
    quint64 FShift = 0; // bytes put before the archive (a self-extracting stub)
};
