#include "EngineErrors.h"

#include "BackupFiles.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

bool IsDamageCode(int resultCode) {
    const int primary = resultCode & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QString BookSubject(const QString& path) {
    return QStringLiteral("菜谱库“%1”").arg(QDir::toNativeSeparators(path));
}

QString EngineErrorText(int resultCode, const QString& subject) {
    switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("%1正被另一个程序使用。请稍后再试，或先关闭那个程序。").arg(subject);
    case SQLITE_READONLY:
        return QStringLiteral("%1是只读的，无法写入。请检查这个文件和它所在文件夹的写入权限。")
            .arg(subject);
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，无法写入%1。请腾出磁盘空间后再试。").arg(subject);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("%1已损坏，或者不是菜谱库。").arg(subject);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("无法打开%1。请检查它是否存在，以及是否有读写它的权限。")
            .arg(subject);
    case SQLITE_IOERR:
        return QStringLiteral("读写%1时出现输入输出错误。请检查磁盘或存储设备是否正常。")
            .arg(subject);
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
        return QStringLiteral("内存不足，无法处理%1。请关闭其他程序后再试。").arg(subject);
    case SQLITE_PROTOCOL:
    case SQLITE_NOLFS:
        return QStringLiteral(
                   "无法锁定%1，它可能位于不支持文件锁的网络文件夹中。请把它放到本机磁盘上。")
            .arg(subject);
    default:
        return QStringLiteral("处理%1时出错（错误代码 %2）。").arg(subject).arg(resultCode);
    }
}

QString DamagedBookText(const QString& bookPath, TDamageReader reader) {
    const QFileInfo book(bookPath);
    const QString copy = NewestBackup(bookPath);
    const bool window = reader == TDamageReader::Window;
    // The window keeps running and refuses writes; the command line has written nothing.
    const QString kept = window ? QStringLiteral("为了不让损坏扩大，本次运行不再保存或删除菜谱。")
                                : QStringLiteral("为了不让损坏扩大，没有写入任何内容。");
    if (copy.isEmpty())
        return QStringLiteral("%1已损坏，而且没有可用的备份。%2%3先把“%4”另存一份，再设法修复。")
            .arg(BookSubject(bookPath), kept,
                 window ? QStringLiteral("请关闭本程序，") : QStringLiteral("请"), book.fileName());
    const QString relative = book.absoluteDir().relativeFilePath(copy);
    return QStringLiteral("%1已损坏。最新的完好备份是“%2”。恢复方法：%3把这个备份复制到“%4”，"
                          "覆盖原来的“%5”（复制后改名为“%5”）。%6")
        .arg(BookSubject(bookPath), relative, window ? QStringLiteral("关闭本程序，") : QString(),
             QDir::toNativeSeparators(book.absolutePath()), book.fileName(), kept);
}
