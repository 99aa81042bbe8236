#include "ArchiveDirectory.h"

#include "Archive.h"
#include "FileErrors.h"
#include "ImportBudget.h"
#include "TextDecode.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {
constexpr quint32 RecordSignature = 0x02014b50;
constexpr quint32 HeaderSignature = 0x04034b50;
constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 End64Signature = 0x06064b50;
constexpr quint32 Locator64Signature = 0x07064b50;
constexpr qsizetype RecordBytes = 46;
constexpr qsizetype HeaderBytes = 30;
constexpr qsizetype EndBytes = 22;
constexpr quint32 Unknown32 = 0xFFFFFFFF;
// Members packed to at most this are unpacked whole (libdeflate), larger ones a
// piece at a time (zlib), so that no more than this is held beside a member.
constexpr qint64 WholeInflateBytes = 4 * 1024 * 1024;

quint16 U16(const char* p) {
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
quint32 U32(const char* p) {
    return quint32(U16(p)) | quint32(U16(p + 2)) << 16;
}
quint64 U64(const char* p) {
    return quint64(U32(p)) | quint64(U32(p + 4)) << 32;
}

[[noreturn]] void BrokenDirectory() {
    throw EImportError(QStringLiteral("压缩包已损坏：目录不完整，请重新导出或重新下载这个压缩包"));
}

[[noreturn]] void BrokenMember(const QString& path, const QString& why) {
    throw EImportError(QStringLiteral("压缩包里的“%1”无法解开：%2，请重新导出或重新下载这个压缩包")
                           .arg(path, why));
}

// The name as the archive gives it: UTF-8 when flagged or well-formed, then
// Info-ZIP's Unicode path field, else the GB18030 of Chinese Windows' zippers.
QString MemberName(QByteArrayView raw, quint16 flags, QByteArrayView extra) {
    if ((flags & 0x800) || IsValidUtf8(raw))
        return QString::fromUtf8(raw);
    for (qsizetype at = 0; at + 4 <= extra.size();) {
        const quint16 id = U16(extra.data() + at);
        const qsizetype size = U16(extra.data() + at + 2);
        if (at + 4 + size > extra.size())
            break;
        const QByteArrayView field = extra.sliced(at + 4, size);
        // Version 1, the CRC of the name it stands for, the name in UTF-8.
        if (id == 0x7075 && size > 5 && field[0] == 1 &&
            U32(field.data() + 1) ==
                crc32(0, reinterpret_cast<const Bytef*>(raw.data()), uInt(raw.size())) &&
            IsValidUtf8(field.sliced(5)))
            return QString::fromUtf8(field.sliced(5));
        at += 4 + size;
    }
    return DecodeBytes(raw, "GB18030");
}
} // namespace

struct TZipDirectory::TSource {
    virtual ~TSource() = default;
    virtual quint64 Size() const = 0;
    // Exactly n bytes at the offset, or false.
    virtual bool ReadAt(quint64 offset, char* into, qsizetype n) = 0;
    std::vector<char> Buffer = std::vector<char>(256 * 1024); // packed bytes on their way
    struct TFree {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    std::unique_ptr<libdeflate_decompressor, TFree> Inflater{libdeflate_alloc_decompressor()};
};

namespace {
struct TFileSource final : TZipDirectory::TSource {
    int Fd = -1;
    quint64 Bytes = 0;
    ~TFileSource() override {
        if (Fd >= 0)
            ::close(Fd);
    }
    quint64 Size() const override { return Bytes; }
    bool ReadAt(quint64 offset, char* into, qsizetype n) override {
        while (n > 0) {
            const ssize_t got = ::pread(Fd, into, size_t(n), off_t(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            into += got;
            offset += quint64(got);
            n -= got;
        }
        return true;
    }
};

struct TBytesSource final : TZipDirectory::TSource {
    const QByteArray& Bytes;
    explicit TBytesSource(const QByteArray& bytes) : Bytes(bytes) {}
    quint64 Size() const override { return quint64(Bytes.size()); }
    bool ReadAt(quint64 offset, char* into, qsizetype n) override {
        if (n < 0 || offset > Size() || quint64(n) > Size() - offset)
            return false;
        std::memcpy(into, Bytes.constData() + offset, size_t(n));
        return true;
    }
};
} // namespace

TZipDirectory::TZipDirectory(std::unique_ptr<TSource> source) : FSource(std::move(source)) {}
TZipDirectory::~TZipDirectory() = default;

std::unique_ptr<TZipDirectory> TZipDirectory::OpenFile(const QString& path) {
    CheckRegularFile(path);
    auto source = std::make_unique<TFileSource>();
    source->Fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (source->Fd < 0 || ::fstat(source->Fd, &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr; // the walk says why
    source->Bytes = quint64(st.st_size);
    std::unique_ptr<TZipDirectory> zip(new TZipDirectory(std::move(source)));
    return zip->Find() ? std::move(zip) : nullptr;
}

std::unique_ptr<TZipDirectory> TZipDirectory::OpenBytes(const QByteArray& bytes) {
    std::unique_ptr<TZipDirectory> zip(new TZipDirectory(std::make_unique<TBytesSource>(bytes)));
    return zip->Find() ? std::move(zip) : nullptr;
}

// The end record within the last 64 KB (its comment may be that long), then the
// zip64 one where the counts overflow. Bytes before the archive (a stub that
// unpacks it) shift every offset the directory gives.
bool TZipDirectory::Find() {
    const quint64 size = FSource->Size();
    if (size < quint64(EndBytes))
        return false;
    const qsizetype tailBytes = qsizetype(std::min<quint64>(size, EndBytes + 0xFFFF));
    QByteArray tail(tailBytes, Qt::Uninitialized);
    if (!FSource->ReadAt(size - quint64(tailBytes), tail.data(), tailBytes))
        return false;
    qsizetype at = tailBytes - EndBytes;
    for (; at >= 0; --at)
        if (U32(tail.constData() + at) == EndSignature &&
            at + EndBytes + U16(tail.constData() + at + 20) <= tailBytes)
            break;
    if (at < 0)
        return false;
    const char* end = tail.constData() + at;
    const quint64 endAt = size - quint64(tailBytes) + quint64(at);
    quint64 entries = U16(end + 10);
    quint64 bytes = U32(end + 12);
    quint64 start = U32(end + 16);
    quint64 directoryEnd = endAt;
    const bool wide = U16(end + 4) == 0xFFFF || U16(end + 6) == 0xFFFF || entries == 0xFFFF ||
                      bytes == Unknown32 || start == Unknown32;
    if (wide) {
        char locator[20];
        if (endAt < sizeof locator || !FSource->ReadAt(endAt - sizeof locator, locator, 20) ||
            U32(locator) != Locator64Signature || U32(locator + 4) != 0 || U32(locator + 16) > 1)
            return false;
        char record[56];
        quint64 recordAt = U64(locator + 8);
        const quint64 justBefore = endAt - sizeof locator - sizeof record;
        auto read = [&](quint64 offset) {
            return offset <= endAt && FSource->ReadAt(offset, record, 56) &&
                   U32(record) == End64Signature;
        };
        if (!read(recordAt)) {
            if (endAt < sizeof locator + sizeof record || !read(justBefore))
                return false;
            recordAt = justBefore;
        }
        if (U32(record + 16) != 0 || U32(record + 20) != 0)
            return false; // spanned over disks
        entries = U64(record + 32);
        bytes = U64(record + 40);
        start = U64(record + 48);
        directoryEnd = recordAt;
    } else if (U16(end + 4) != 0 || U16(end + 6) != 0) {
        return false;
    }
    if (start > directoryEnd || bytes > directoryEnd - start ||
        entries > bytes / quint64(RecordBytes))
        return false;
    FShift = directoryEnd - start - bytes;
    FStart = start + FShift;
    FBytes = bytes;
    FEntries = entries;
    return true;
}

void TZipDirectory::Walk(TImportBudget& budget, const TVisit& visit) {
    // The directory read a large piece at a time; a record never spans more than
    // 46 bytes and three 64 KB fields.
    QByteArray window;
    quint64 windowAt = FStart;
    qsizetype pos = 0;
    const quint64 end = FStart + FBytes;
    auto need = [&](qsizetype n) {
        if (pos + n <= window.size())
            return;
        const quint64 at = windowAt + quint64(pos);
        if (at > end || quint64(n) > end - at)
            BrokenDirectory();
        const qsizetype take =
            qsizetype(std::min<quint64>(end - at, std::max<quint64>(n, 1 << 20)));
        window.resize(take);
        if (!FSource->ReadAt(at, window.data(), take))
            BrokenDirectory();
        windowAt = at;
        pos = 0;
    };
    for (quint64 i = 0; i < FEntries; ++i) {
        need(RecordBytes);
        const char* r = window.constData() + pos;
        if (U32(r) != RecordSignature)
            BrokenDirectory();
        const quint16 madeBy = U16(r + 4);
        TZipMember m;
        m.Flags = U16(r + 8);
        m.Method = U16(r + 10);
        m.Crc = U32(r + 16);
        m.Packed = U32(r + 20);
        m.Size = U32(r + 24);
        const qsizetype nameBytes = U16(r + 28), extraBytes = U16(r + 30),
                        commentBytes = U16(r + 32);
        const quint32 attributes = U32(r + 38);
        m.Header = U32(r + 42);
        m.Record = windowAt + quint64(pos);
        need(RecordBytes + nameBytes + extraBytes + commentBytes);
        r = window.constData() + pos;
        const QByteArrayView name(r + RecordBytes, nameBytes);
        const QByteArrayView extra(r + RecordBytes + nameBytes, extraBytes);
        pos += RecordBytes + nameBytes + extraBytes + commentBytes;
        budget.CountMember();
        // Sizes past 4 GB, and offsets past it, stand in the zip64 field in this order.
        if (m.Size == Unknown32 || m.Packed == Unknown32 || m.Header == Unknown32) {
            bool found = false;
            for (qsizetype at = 0; at + 4 <= extra.size();) {
                const qsizetype size = U16(extra.data() + at + 2);
                if (at + 4 + size > extra.size())
                    break;
                if (U16(extra.data() + at) == 0x0001) {
                    const char* f = extra.data() + at + 4;
                    qsizetype left = size;
                    for (quint64* value : {&m.Size, &m.Packed, &m.Header}) {
                        if (*value != Unknown32)
                            continue;
                        if (left < 8)
                            BrokenDirectory();
                        *value = U64(f);
                        f += 8;
                        left -= 8;
                    }
                    found = true;
                    break;
                }
                at += 4 + size;
            }
            if (!found)
                BrokenDirectory();
        }
        if (m.Header > FStart - FShift)
            BrokenDirectory(); // a member must lie before the directory
        m.Header += FShift;
        const QString path = MemberName(name, m.Flags, extra);
        // A folder, a link or a device is no file to read, as the walk has it.
        bool regular = !path.endsWith(u'/');
        if ((madeBy >> 8) == 3) {
            const quint32 type = (attributes >> 16) & S_IFMT;
            regular = regular && (type == 0 || type == S_IFREG);
        } else {
            regular = regular && !(attributes & 0x10);
        }
        if (!regular || IsArchiveLeftover(path))
            continue;
        if (!visit(path, m))
            return;
    }
}

QString TZipDirectory::Path(const TZipMember& member) {
    char r[RecordBytes];
    if (!FSource->ReadAt(member.Record, r, RecordBytes) || U32(r) != RecordSignature)
        BrokenDirectory();
    const qsizetype nameBytes = U16(r + 28), extraBytes = U16(r + 30);
    QByteArray rest(nameBytes + extraBytes, Qt::Uninitialized);
    if (!FSource->ReadAt(member.Record + RecordBytes, rest.data(), rest.size()))
        BrokenDirectory();
    return MemberName(QByteArrayView(rest).first(nameBytes), U16(r + 8),
                      QByteArrayView(rest).sliced(nameBytes));
}

QByteArray TZipDirectory::Read(const TZipMember& member, const QString& path,
                               TImportBudget& budget) {
    if (!member.Readable())
        BrokenMember(path, QStringLiteral("加了密码或用了本程序不认识的压缩方法"));
    // What the directory says is counted before anything is unpacked: a member
    // that would pass a bound is refused without costing its bytes. One that
    // unpacks to more than it said is stopped there.
    budget.CountBytes(qint64(std::min<quint64>(member.Size, quint64(1) << 62)),
                      qint64(std::min<quint64>(member.Packed, quint64(1) << 62)),
                      qint64(std::min<quint64>(member.Size, quint64(1) << 62)),
                      qint64(std::min<quint64>(member.Packed, quint64(1) << 62)), path);
    char header[HeaderBytes];
    if (!FSource->ReadAt(member.Header, header, HeaderBytes) || U32(header) != HeaderSignature)
        BrokenMember(path, QStringLiteral("文件头不对"));
    const quint64 data = member.Header + HeaderBytes + U16(header + 26) + U16(header + 28);
    if (data > FStart || member.Packed > FStart - data)
        BrokenMember(path, QStringLiteral("数据不完整"));
    if (member.Size > quint64(std::numeric_limits<uInt>::max()))
        BrokenMember(path, QStringLiteral("文件太大"));
    QByteArray bytes(qsizetype(member.Size), Qt::Uninitialized);
    if (member.Method == 0) {
        if (member.Packed != member.Size || !FSource->ReadAt(data, bytes.data(), bytes.size()))
            BrokenMember(path, QStringLiteral("数据不完整"));
    } else if (member.Packed <= quint64(WholeInflateBytes) && FSource->Inflater) {
        // A recipe's file or picture in one go, its packed bytes held meanwhile.
        std::vector<char>& packed = FSource->Buffer;
        if (packed.size() < member.Packed)
            packed.resize(size_t(member.Packed));
        if (!FSource->ReadAt(data, packed.data(), qsizetype(member.Packed)))
            BrokenMember(path, QStringLiteral("数据不完整"));
        size_t produced = 0;
        switch (libdeflate_deflate_decompress(FSource->Inflater.get(), packed.data(),
                                              size_t(member.Packed), bytes.data(),
                                              size_t(bytes.size()), &produced)) {
        case LIBDEFLATE_SUCCESS:
            if (produced != member.Size)
                BrokenMember(path, QStringLiteral("大小与压缩包所记的不符"));
            break;
        case LIBDEFLATE_INSUFFICIENT_SPACE:
            BrokenMember(path, QStringLiteral("大小与压缩包所记的不符"));
        default:
            BrokenMember(path, QStringLiteral("压缩的数据已损坏或不完整"));
        }
    } else {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            throw EImportError(QStringLiteral("内存不足"));
        struct TEnd {
            z_stream& S;
            ~TEnd() { inflateEnd(&S); }
        } endStream{stream};
        std::vector<char>& buffer = FSource->Buffer;
        quint64 taken = 0;
        Bytef spare = 0; // room for the byte that would show an empty member is not
        for (;;) {
            if (stream.avail_in == 0 && taken < member.Packed) {
                const qsizetype n =
                    qsizetype(std::min<quint64>(buffer.size(), member.Packed - taken));
                if (!FSource->ReadAt(data + taken, buffer.data(), n))
                    BrokenMember(path, QStringLiteral("数据不完整"));
                taken += quint64(n);
                stream.next_in = reinterpret_cast<Bytef*>(buffer.data());
                stream.avail_in = uInt(n);
            }
            const quint64 out = stream.total_out;
            if (out < member.Size) {
                stream.next_out = reinterpret_cast<Bytef*>(bytes.data()) + out;
                stream.avail_out = uInt(member.Size - out);
            } else {
                stream.next_out = &spare;
                stream.avail_out = 1;
            }
            const int rc = inflate(&stream, Z_NO_FLUSH);
            if (stream.total_out > member.Size)
                BrokenMember(path, QStringLiteral("大小与压缩包所记的不符"));
            if (rc == Z_STREAM_END)
                break;
            if (rc == Z_BUF_ERROR && stream.avail_in == 0 && taken == member.Packed)
                BrokenMember(path, QStringLiteral("数据不完整"));
            if (rc != Z_OK)
                BrokenMember(path, QStringLiteral("压缩的数据已损坏"));
        }
        if (stream.total_out != member.Size)
            BrokenMember(path, QStringLiteral("大小与压缩包所记的不符"));
    }
    if (quint32(libdeflate_crc32(0, bytes.constData(), size_t(bytes.size()))) != member.Crc)
        BrokenMember(path, QStringLiteral("校验不符，数据已损坏"));
    return bytes;
}

void TZipDirectory::CheckApart(std::vector<const TZipMember*> members) const {
    std::sort(members.begin(), members.end(),
              [](const TZipMember* a, const TZipMember* b) { return a->Header < b->Header; });
    // Each member's header and packed bytes end before the next one's begin. One
    // running into the directory is cut, and told so when it is read.
    for (size_t i = 1; i < members.size(); ++i) {
        const TZipMember& m = *members[i - 1];
        const quint64 gap = members[i]->Header - m.Header;
        if (gap < quint64(HeaderBytes) || gap - quint64(HeaderBytes) < m.Packed)
            throw EImportError(QStringLiteral("压缩包已损坏：几个文件的数据互相重叠（也可能是"
                                              "压缩炸弹），请重新导出或重新下载这个压缩包"));
    }
}
