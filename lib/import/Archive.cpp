#include "Archive.h"

#include "FileErrors.h"
#include "ImportBudget.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <locale.h>
#include <zlib.h>

namespace {
// libarchive turns member names into the thread's locale and back: under a locale
// that is not UTF-8 (a command line run with LANG=C), Chinese names come out
// broken and recipe folders run together. Names pass through UTF-8 alone.
class TUtf8Names {
public:
    TUtf8Names() : FLocale(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0))) {
        if (FLocale)
            FBefore = uselocale(FLocale);
    }
    ~TUtf8Names() {
        if (FLocale) {
            uselocale(FBefore);
            freelocale(FLocale);
        }
    }
    TUtf8Names(const TUtf8Names&) = delete;
    TUtf8Names& operator=(const TUtf8Names&) = delete;

private:
    locale_t FLocale;
    locale_t FBefore = LC_GLOBAL_LOCALE;
};

struct TReadClose {
    void operator()(archive* a) const { archive_read_free(a); }
};
using TReadArchive = std::unique_ptr<archive, TReadClose>;

[[noreturn]] void Broken(archive* a) {
    throw EImportError(QStringLiteral("压缩包已损坏：%1").arg(ArchiveErrorText(a)));
}

void Walk(archive* a, TImportBudget& budget, const TMemberVisit& visit, TWalkCount count) {
    const TUtf8Names names;
    archive_entry* entry = nullptr;
    for (;;) {
        const int rc = archive_read_next_header(a, &entry);
        if (rc == ARCHIVE_EOF)
            return;
        if (rc < ARCHIVE_WARN)
            Broken(a);
        if (count == TWalkCount::Members)
            budget.CountMember();
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const char* raw = archive_entry_pathname(entry);
        const QString path =
            utf8 ? QString::fromUtf8(utf8) : QString::fromLocal8Bit(raw ? raw : "");
        if (archive_entry_filetype(entry) != AE_IFREG || IsArchiveLeftover(path))
            continue;
        if (archive_entry_is_data_encrypted(entry))
            throw EImportError(QStringLiteral("压缩包里的“%1”加了密码，无法解开").arg(path));
        TArchiveMember member(
            a, path, archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1, budget);
        if (!visit(member))
            return;
    }
}

TReadArchive OpenReader() {
    TReadArchive a(archive_read_new());
    if (!a)
        throw EImportError(QStringLiteral("内存不足"));
    archive_read_support_format_zip(a.get());
    return a;
}

[[noreturn]] void NotAZip(archive* a) {
    throw EImportError(QStringLiteral("不是可读的 zip 压缩包：%1").arg(ArchiveErrorText(a)));
}
} // namespace

bool IsArchiveLeftover(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    return path.startsWith(QLatin1String("__MACOSX/")) ||
           path.contains(QLatin1String("/__MACOSX/")) || name.startsWith(QLatin1String("._")) ||
           name == u".DS_Store";
}

QByteArray TArchiveMember::Read() {
    const TArchiveLimits& limits = FBudget.Limits();
    if (FDeclared > limits.MemberBytes)
        FBudget.CountBytes(0, 0, FDeclared, FDeclared, FPath); // refused before unpacking
    QByteArray bytes;
    if (FDeclared > 0 && FDeclared <= limits.RatioFreeBytes)
        bytes.reserve(qsizetype(FDeclared)); // a claim past that waits for the bytes
    // What the member has taken of the archive so far: the packed side of the ratio.
    const qint64 start = archive_filter_bytes(FArchive, 0);
    qint64 taken = 0;
    char buffer[64 * 1024];
    for (;;) {
        const la_ssize_t n = archive_read_data(FArchive, buffer, sizeof buffer);
        if (n == 0)
            return bytes;
        if (n < 0)
            throw EImportError(QStringLiteral("压缩包里的“%1”无法解开：%2")
                                   .arg(FPath, ArchiveErrorText(FArchive)));
        const qint64 now = archive_filter_bytes(FArchive, 0) - start;
        FBudget.CountBytes(n, now - taken, bytes.size() + n, now, FPath);
        taken = now;
        bytes.append(buffer, qsizetype(n));
    }
}

void WalkZipFile(const QString& path, TImportBudget& budget, const TMemberVisit& visit,
                 TWalkCount count) {
    CheckRegularFile(path); // libarchive would wait on a pipe
    TReadArchive a = OpenReader();
    if (archive_read_open_filename(a.get(), QFile::encodeName(path).constData(), 64 * 1024) !=
        ARCHIVE_OK)
        NotAZip(a.get());
    Walk(a.get(), budget, visit, count);
}

void WalkZipBytes(const QByteArray& bytes, TImportBudget& budget, const TMemberVisit& visit,
                  TWalkCount count) {
    TReadArchive a = OpenReader();
    if (archive_read_open_memory(a.get(), bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK)
        NotAZip(a.get());
    Walk(a.get(), budget, visit, count);
}

void ReadZipFile(const QString& path, const TArchiveVisit& visit) {
    TImportBudget budget;
    WalkZipFile(path, budget, [&](TArchiveMember& m) { return visit(m.Path(), m.Read()); });
}

void ReadZipBytes(const QByteArray& bytes, const TArchiveVisit& visit) {
    TImportBudget budget;
    WalkZipBytes(bytes, budget, [&](TArchiveMember& m) { return visit(m.Path(), m.Read()); });
}

QByteArray Gunzip(const QByteArray& bytes, qint64 maxBytes) {
    TArchiveLimits limits;
    limits.MemberBytes = maxBytes;
    TImportBudget budget(limits);
    return Gunzip(bytes, budget, QString());
}

QByteArray Gunzip(const QByteArray& bytes, TImportBudget& budget, const QString& member) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) // 32: gzip or zlib header
        throw EImportError(QStringLiteral("内存不足"));
    struct TEnd {
        z_stream& S;
        ~TEnd() { inflateEnd(&S); }
    } end{stream};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    QByteArray out;
    qint64 packed = 0;
    char buffer[64 * 1024];
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        const int rc = inflate(&stream, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(sizeof buffer - stream.avail_out);
        const qint64 taken = qint64(stream.total_in);
        budget.CountBytes(produced, taken - packed, out.size() + produced, taken,
                          member.isEmpty() ? QStringLiteral("gzip 数据") : member);
        packed = taken;
        out.append(buffer, produced);
        if (rc == Z_STREAM_END)
            return out;
        if (rc != Z_OK || (produced == 0 && stream.avail_in == 0))
            throw EImportError(QStringLiteral("gzip 数据已损坏"));
    }
}

QByteArray Gzip(const QByteArray& bytes) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw EWriteError(QStringLiteral("内存不足"));
    QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int rc = deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    if (rc != Z_STREAM_END)
        throw EWriteError(QStringLiteral("压缩失败"));
    return out;
}

struct TZipWriter::Impl {
    QSaveFile File;
    archive* Archive = nullptr;
    QString Error;

    static la_ssize_t Write(archive*, void* data, const void* buffer, size_t length) {
        auto* self = static_cast<Impl*>(data);
        const qint64 n = self->File.write(static_cast<const char*>(buffer), qint64(length));
        if (n != qint64(length)) {
            self->Error = FileDeviceErrorText(self->File.error(), errno);
            return -1;
        }
        return la_ssize_t(n);
    }
    [[noreturn]] void Fail() {
        const QString reason = Error.isEmpty() ? ArchiveErrorText(Archive) : Error;
        throw EWriteError(QStringLiteral("无法写入“%1”：%2").arg(File.fileName(), reason));
    }
};

TZipWriter::TZipWriter(const QString& path) : FImpl(std::make_unique<Impl>()) {
    FImpl->File.setFileName(path);
    errno = 0;
    if (!FImpl->File.open(QIODevice::WriteOnly))
        throw EWriteError(QStringLiteral("无法写入“%1”：%2")
                              .arg(path, FileDeviceErrorText(FImpl->File.error(), errno)));
    FImpl->Archive = archive_write_new();
    if (!FImpl->Archive)
        throw EWriteError(QStringLiteral("内存不足"));
    archive_write_set_format_zip(FImpl->Archive);
    archive_write_set_options(FImpl->Archive, "hdrcharset=UTF-8");
    archive_write_set_bytes_in_last_block(FImpl->Archive, 1);
    if (archive_write_open2(FImpl->Archive, FImpl.get(), nullptr, &Impl::Write, nullptr, nullptr) !=
        ARCHIVE_OK)
        FImpl->Fail();
}

TZipWriter::~TZipWriter() {
    if (FImpl->Archive)
        archive_write_free(FImpl->Archive); // closes; a failed export leaves the target alone
    FImpl->File.cancelWriting();
}

void TZipWriter::Add(const QString& path, const QByteArray& bytes) {
    struct TEntryFree {
        void operator()(archive_entry* e) const { archive_entry_free(e); }
    };
    std::unique_ptr<archive_entry, TEntryFree> entry(archive_entry_new());
    const QByteArray name = path.toUtf8();
    archive_entry_set_pathname_utf8(entry.get(), name.constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), bytes.size());
    archive_entry_set_mtime(entry.get(), QDateTime::currentSecsSinceEpoch(), 0);
    // A JPEG or PNG is packed already: deflating it again saves a percent or two
    // and costs every later reading its time.
    if (bytes.startsWith("\xFF\xD8\xFF") || bytes.startsWith("\x89PNG\r\n\x1A\n"))
        archive_write_zip_set_compression_store(FImpl->Archive);
    else
        archive_write_zip_set_compression_deflate(FImpl->Archive);
    if (archive_write_header(FImpl->Archive, entry.get()) != ARCHIVE_OK)
        FImpl->Fail();
    if (!bytes.isEmpty() &&
        archive_write_data(FImpl->Archive, bytes.constData(), size_t(bytes.size())) != bytes.size())
        FImpl->Fail();
}

void TZipWriter::Commit() {
    if (archive_write_close(FImpl->Archive) != ARCHIVE_OK)
        FImpl->Fail();
    archive_write_free(FImpl->Archive);
    FImpl->Archive = nullptr;
    if (!FlushToDisk(FImpl->File)) {
        const int code = errno;
        throw EWriteError(
            QStringLiteral("无法写入“%1”：%2")
                .arg(FImpl->File.fileName(), FileDeviceErrorText(FImpl->File.error(), code)));
    }
    errno = 0;
    if (!FImpl->File.commit())
        throw EWriteError(
            QStringLiteral("无法写入“%1”：%2")
                .arg(FImpl->File.fileName(), FileDeviceErrorText(FImpl->File.error(), errno)));
}
