#include "FileErrors.h"

#include "ImportTypes.h"

#include <QFile>
#include <archive.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString SystemErrorText(int errorCode) {
    switch (errorCode) {
    case ENOENT:
        return QStringLiteral("文件不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有访问权限，请检查文件和它所在文件夹的权限");
    case EROFS:
        return QStringLiteral("所在的磁盘是只读的，请换一个可以写入的位置");
    case EISDIR:
        return QStringLiteral("这是一个文件夹，不是文件");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘已满，请腾出磁盘空间后再试");
    case EFBIG:
        return QStringLiteral("文件超过了文件系统允许的大小");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case ELOOP:
        return QStringLiteral("符号链接绕成了圈");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多，请关闭一些程序后再试");
    case ENOMEM:
        return QStringLiteral("内存不足，请关闭其他程序后再试");
    case EIO:
        return QStringLiteral("读写出错，请检查磁盘或存储设备是否正常");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被另一个程序使用");
    case EEXIST:
        return QStringLiteral("文件已经存在");
    case EAGAIN:
        return QStringLiteral("文件暂时无法读取");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("这是一个设备，不是文件");
    default:
        return QStringLiteral("系统错误（代码 %1）").arg(errorCode);
    }
}

QString FileDeviceErrorText(QFileDevice::FileError error, int errorCode) {
    if (errorCode != 0)
        return SystemErrorText(errorCode);
    switch (error) {
    case QFileDevice::NoError:
        return QString();
    case QFileDevice::ReadError:
        return QStringLiteral("读取出错");
    case QFileDevice::WriteError:
        return QStringLiteral("写入出错，磁盘可能已满或已拔出");
    case QFileDevice::ResourceError:
        return QStringLiteral("磁盘已满或系统资源不足，请腾出磁盘空间后再试");
    case QFileDevice::PermissionsError:
        return QStringLiteral("没有访问权限");
    case QFileDevice::OpenError:
        return QStringLiteral("无法打开");
    case QFileDevice::RenameError:
    case QFileDevice::CopyError:
        return QStringLiteral("无法改名或复制");
    case QFileDevice::RemoveError:
        return QStringLiteral("无法删除");
    case QFileDevice::AbortError:
        return QStringLiteral("操作被中止");
    case QFileDevice::TimeOutError:
        return QStringLiteral("操作超时");
    case QFileDevice::PositionError:
    case QFileDevice::ResizeError:
    case QFileDevice::FatalError:
    case QFileDevice::UnspecifiedError:
        break;
    }
    return QStringLiteral("读写出错（代码 %1）").arg(int(error));
}

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
