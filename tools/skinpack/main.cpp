// skinpack: packs and inspects skin containers.
//   skinpack pack DIR OUT            bitmaps and one ini file of DIR into a container
//   skinpack unpack CONTAINER DIR    every entry into DIR
//   skinpack list CONTAINER          directory: name and size per line
//   skinpack ini CONTAINER           the description
//   skinpack lzh-pack IN OUT         any file into a size-plus-stream container
//   skinpack lzh-unpack IN OUT       and back
#include "SkinRead.h"
#include "WinConvert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <vector>

namespace {

class ESkinPackError : public Exception {
public:
    using Exception::Exception;
};

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw ESkinPackError(path + QStringLiteral(": ") + file.errorString());
    }
    if (file.size() > TLZH::MaxUnpackedSize) {
        throw ESkinPackError(path + QStringLiteral(": file too large"));
    }
    return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        throw ESkinPackError(path + QStringLiteral(": ") + file.errorString());
    }
}

TSkinReader OpenContainer(const QString& path) {
    QString message;
    TSkinMessageProc previous =
        SetSkinMessageProc([&message](const QString& text) { message = text; });
    TSkinReader reader;
    const bool ok = reader.Loadfromstream(ReadFile(path));
    SetSkinMessageProc(previous);
    if (!ok) {
        message.replace(u'\r', u' ');
        throw ESkinPackError(
            path + QStringLiteral(": ") +
            (message.isEmpty() ? QStringLiteral("not a usable skin container") : message));
    }
    return reader;
}

void Pack(const QString& dirPath, const QString& out) {
    QDir dir(dirPath);
    if (!dir.exists()) {
        throw ESkinPackError(dirPath + QStringLiteral(": no such folder"));
    }
    std::vector<TSkinEntry> entries;
    int inis = 0;
    for (const QFileInfo& fi : dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        const QString suffix = fi.suffix().toLower();
        if (suffix != QStringLiteral("bmp") && suffix != QStringLiteral("ini")) {
            continue;
        }
        if (fi.fileName().toLatin1() != fi.fileName().toUtf8()) {
            throw ESkinPackError(fi.fileName() + QStringLiteral(": entry names must be ASCII"));
        }
        inis += suffix == QStringLiteral("ini") ? 1 : 0;
        entries.push_back({fi.fileName(), ReadFile(fi.filePath())});
    }
    if (inis != 1) {
        throw ESkinPackError(dirPath +
                             QStringLiteral(": needs exactly one .ini file, found %1").arg(inis));
    }
    if (static_cast<int>(entries.size()) > TSkinReader::MaxEntries) {
        throw ESkinPackError(dirPath + QStringLiteral(": too many files"));
    }
    WriteFile(out, TSkinReader::MakeContainer(entries));
}

void Unpack(const QString& container, const QString& dirPath) {
    const TSkinReader reader = OpenContainer(container);
    QDir().mkpath(dirPath);
    for (int i = 0; i < reader.Dir.size(); ++i) {
        const QString& name = reader.Dir[i];
        // Entry names come from outside: keep them inside the target folder.
        if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') ||
            name == QStringLiteral(".") || name == QStringLiteral("..") || name.contains(u':')) {
            throw ESkinPackError(container + QStringLiteral(": unsafe entry name \"") + name +
                                 u'"');
        }
        QByteArray bytes;
        reader.readfile(name, bytes);
        WriteFile(QDir(dirPath).filePath(name), bytes);
    }
}

void List(const QString& container) {
    const TSkinReader reader = OpenContainer(container);
    for (int i = 0; i < reader.Dir.size(); ++i) {
        std::printf("%s\t%lld\n", reader.Dir[i].toLatin1().constData(),
                    static_cast<long long>(reader.EntrySize(i)));
    }
}

void Ini(const QString& container) {
    const TSkinReader reader = OpenContainer(container);
    QByteArray bytes;
    QString name;
    reader.readIni(QStringLiteral(".ini"), bytes, name);
    if (name.isEmpty()) {
        throw ESkinPackError(container + QStringLiteral(": no description (.ini) entry"));
    }
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int Usage() {
    std::fprintf(stderr, "usage: skinpack pack DIR OUT | unpack CONTAINER DIR | list CONTAINER | "
                         "ini CONTAINER | lzh-pack IN OUT | lzh-unpack IN OUT\n");
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const QString command = QString::fromLocal8Bit(argv[1]);
    QStringList args;
    for (int i = 2; i < argc; ++i) {
        args.append(QString::fromLocal8Bit(argv[i]));
    }
    try {
        if (command == QStringLiteral("pack") && args.size() == 2) {
            Pack(args[0], args[1]);
        } else if (command == QStringLiteral("unpack") && args.size() == 2) {
            Unpack(args[0], args[1]);
        } else if (command == QStringLiteral("list") && args.size() == 1) {
            List(args[0]);
        } else if (command == QStringLiteral("ini") && args.size() == 1) {
            Ini(args[0]);
        } else if (command == QStringLiteral("lzh-pack") && args.size() == 2) {
            WriteFile(args[1], TLZH::PackContainer(ReadFile(args[0])));
        } else if (command == QStringLiteral("lzh-unpack") && args.size() == 2) {
            WriteFile(args[1], TLZH::UnpackContainer(ReadFile(args[0])));
        } else {
            return Usage();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skinpack: %s\n", e.what());
        return 1;
    }
    return 0;
}
