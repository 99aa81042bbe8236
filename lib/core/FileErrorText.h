#pragma once
// The cook's words for a failed file operation, chosen by its code (errno, or Qt's
// QFileDevice::FileError when no errno is known); Qt's and the system's own texts are
// English and never reach a message. libarchive's codes: lib/import/FileErrors.

#include <QFileDevice>
#include <QString>
#include <cerrno>
#include <unistd.h>

// errno as a reason, such as "没有访问权限…" or "磁盘已满，请腾出磁盘空间后再试".
inline QString SystemErrorText(int errorCode) {
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

inline QString FileDeviceErrorText(QFileDevice::FileError error, int errorCode) {
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

// Writes out what a file still buffers and asks the disk to keep it; false, with the
// file's error set, when that fails. Needed before QSaveFile::commit, which (Qt 6.4)
// puts a file whose last writes failed on a full disk in the target's place and
// answers true.
inline bool FlushToDisk(QFileDevice& file) {
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return false;
    return file.handle() < 0 || ::fdatasync(file.handle()) == 0;
}
