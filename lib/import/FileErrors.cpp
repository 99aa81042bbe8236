#include "FileErrors.h"

#include "ImportTypes.h"

#include <QFile>
#include <archive.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// libarchive's own codes on this platform (its header only names them).
constexpr int ArchiveFileFormat = EILSEQ;
constexpr int ArchiveMisc = -1;
constexpr int ArchiveProgrammer = EINVAL;

QString ArchiveErrorText(archive* a) {
    const int code = a ? archive_errno(a) : 0;
    switch (code) {
    case ArchiveFileFormat:
        return QStringLiteral("不是 zip 压缩包，或者压缩包不完整");
    case ArchiveMisc:
    case 0:
        return QStringLiteral("压缩的数据已损坏");
    case ArchiveProgrammer:
        return QStringLiteral("压缩包里有本程序读不了的内容");
    default:
        return SystemErrorText(code);
    }
}

QString SizeLimitText(qint64 bytes) {
    const qint64 mb = bytes / (1024 * 1024);
    if (mb >= 1024 && mb % 1024 == 0)
        return QStringLiteral("%1 GB").arg(mb / 1024);
    if (mb > 0)
        return QStringLiteral("%1 MB").arg(mb);
    return QStringLiteral("%1 KB").arg(qMax<qint64>(bytes / 1024, 1));
}

namespace {
struct TFd {
    int Fd = -1;
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
};

QString KindText(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("这是一个文件夹，不是文件");
    if (S_ISFIFO(mode))
        return QStringLiteral("这是一个管道，不是普通文件");
    if (S_ISSOCK(mode))
        return QStringLiteral("这是一个套接字，不是普通文件");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("这是一个设备，不是普通文件");
    return QStringLiteral("不是普通文件");
}
} // namespace

void CheckRegularFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        throw EImportError(SystemErrorText(errno));
    if (!S_ISREG(st.st_mode))
        throw EImportError(KindText(st.st_mode));
}

QByteArray ReadRegularFile(const QString& path, qint64 maxBytes, const QString& what) {
    const QString subject = what.isEmpty() ? QStringLiteral("文件") : what;
    // Non-blocking: a pipe put in a file's place must not stop the program.
    TFd fd{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (fd.Fd < 0)
        throw EImportError(SystemErrorText(errno));
    struct stat st {};
    if (::fstat(fd.Fd, &st) != 0)
        throw EImportError(SystemErrorText(errno));
    if (!S_ISREG(st.st_mode))
        throw EImportError(KindText(st.st_mode));
    if (st.st_size > maxBytes)
        throw EImportError(
            QStringLiteral("%1太大（上限 %2）").arg(subject, SizeLimitText(maxBytes)));
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.Fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EImportError(SystemErrorText(errno));
        if (n == 0)
            break; // cut short meanwhile
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}
