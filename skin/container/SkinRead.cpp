#include "SkinRead.h"

#include "WinConvert.h"

#include <QFile>
#include <QtDebug>

namespace {

TSkinMessageProc& MessageProc() {
    static TSkinMessageProc proc = [](const QString& text) {
        qWarning().noquote() << text;
    };
    return proc;
}

qint32 ReadInt32(const QByteArray& data, qint64 offset) {
    const auto* p = reinterpret_cast<const uchar*>(data.constData() + offset);
    return static_cast<qint32>(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 |
                               quint32(p[3]) << 24);
}

// Splits at CR, LF and CR LF; a final line break adds no empty line.
QStringList SplitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
        ++i;
    }
    if (start < n) {
        lines.append(text.mid(start));
    }
    return lines;
}

} // namespace

TSkinMessageProc SetSkinMessageProc(TSkinMessageProc proc) {
    TSkinMessageProc previous = std::move(MessageProc());
    MessageProc() = std::move(proc);
    return previous;
}

void ShowSkinMessage(const QString& text) {
    if (MessageProc()) {
        MessageProc()(text);
    }
}

int TSkinReader::VersionBase(qint32 version) {
    switch (version) {
    case 20000:
        return 16;
    case 30000:
        return 272;
    case 40000:
        return 96;
    case 50000:
        return 64;
    case 60000:
        return 133;
    case 70000:
        return 85;
    default:
        return -1;
    }
}

void TSkinReader::Decompress(const QByteArray& source, QByteArray& dest) {
    dest = TLZH::UnpackContainer(source);
}

bool TSkinReader::Loadfromstream(QIODevice& container) {
    return Loadfromstream(container.readAll());
}

bool TSkinReader::loadfromfile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // Skin files carry the same 8-bit directory as stored skins.
    return Loadfromstream(file);
}

bool TSkinReader::Loadfromstream(const QByteArray& container) {
    Dir.clear();
    FSizes.clear();
    FOffsets.clear();
    FData.clear();
    FDataStart = 0;
    QByteArray unpacked;
    try {
        Decompress(container, unpacked);
    } catch (const ElzhException&) {
        return false;
    }
    return Parse(unpacked);
}

bool TSkinReader::Parse(const QByteArray& data) {
    const qint64 size = data.size();
    if (size < 16) {
        return false;
    }
    FHeader.Version = ReadInt32(data, 0);
    FHeader.DirLen = ReadInt32(data, 4);
    FHeader.U1 = ReadInt32(data, 8);
    FHeader.U2 = ReadInt32(data, 12);
    const int base = VersionBase(FHeader.Version);
    if (base < 0) {
        ShowSkinMessage(OlderSkinText);
        return false;
    }
    if (FHeader.DirLen < 0 || base + qint64(FHeader.DirLen) > size) {
        return false;
    }
    const QString text = QString::fromLatin1(data.constData() + base, FHeader.DirLen).toLower();
    QStringList names = SplitLines(text);
    if (names.size() > MaxEntries) {
        return false;
    }
    const qint64 num = names.size();
    const qint64 sizesAt = base + qint64(FHeader.DirLen);
    if (sizesAt + 4 * num > size) {
        return false;
    }
    const qint64 start = sizesAt + 4 * num;
    qint64 total = 0;
    std::vector<qint64> sizes;
    std::vector<qint64> offsets;
    for (qint64 i = 0; i < num; ++i) {
        const qint64 s = ReadInt32(data, sizesAt + 4 * i);
        if (s < 0 || total + s > size - start) {
            return false;
        }
        offsets.push_back(total);
        sizes.push_back(s);
        total += s;
    }
    Dir = std::move(names);
    FSizes = std::move(sizes);
    FOffsets = std::move(offsets);
    FData = data;
    FDataStart = start;
    return true;
}

QByteArray TSkinReader::Entry(int index) const {
    return QByteArray(FData.constData() + FDataStart + FOffsets[index], FSizes[index]);
}

void TSkinReader::readfile(const QString& name, QByteArray& stream) const {
    stream.clear();
    const QString wanted = name.toLower();
    for (int i = 0; i < Dir.size(); ++i) {
        if (Dir[i] == wanted) {
            stream = Entry(i);
            return;
        }
    }
}

void TSkinReader::readIni(const QString& part, QByteArray& stream, QString& foundName) const {
    stream.clear();
    foundName.clear();
    for (int i = 0; i < Dir.size(); ++i) {
        if (Dir[i].contains(part)) {
            stream = Entry(i);
            foundName = Dir[i];
            return;
        }
    }
}

QByteArray TSkinReader::MakeImage(const std::vector<TSkinEntry>& entries, qint32 version) {
    QByteArray dir;
    for (const TSkinEntry& e : entries) {
        if (!dir.isEmpty()) {
            dir.append("\r\n");
        }
        dir.append(e.Name.toLatin1());
    }
    auto putInt = [](QByteArray& target, qint64 value) {
        const auto v = static_cast<quint32>(value);
        for (int i = 0; i < 4; ++i) {
            target.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    };
    QByteArray image;
    putInt(image, version);
    putInt(image, dir.size());
    putInt(image, 0);
    putInt(image, 0);
    const int base = VersionBase(version);
    image.append(QByteArray(std::max(0, base - 16), '\0'));
    image.append(dir);
    for (const TSkinEntry& e : entries) {
        putInt(image, e.Bytes.size());
    }
    for (const TSkinEntry& e : entries) {
        image.append(e.Bytes);
    }
    return image;
}

QByteArray TSkinReader::MakeContainer(const std::vector<TSkinEntry>& entries, qint32 version) {
    return TLZH::PackContainer(MakeImage(entries, version));
}
