#include "WinSkinIni.h"

#include "WinConvert.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace {

QByteArray ReadWholeFile(const QString& fileName, qint64 limit) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EFOpenError(
            FOpenErrorText(QFileInfo(fileName).absoluteFilePath(), file.errorString()));
    }
    return file.read(limit);
}

void WriteWholeFile(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw EFOpenError(
            FOpenErrorText(QFileInfo(fileName).absoluteFilePath(), file.errorString()));
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        throw EWriteError(file.errorString());
    }
}

int DigitValue(QChar c, bool hex) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (hex && u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (hex && u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

} // namespace

void TQuickIni::Clear() {
    FIniFile.clear();
    FSections.clear();
}

void TQuickIni::LoadFromStream(QIODevice& stream) {
    LoadFromBytes(stream.read(MaxTextSize));
}

void TQuickIni::LoadFromBytes(const QByteArray& bytes) {
    Clear();
    qsizetype end = bytes.indexOf('\0');
    if (end < 0) {
        end = bytes.size();
    }
    end = std::min<qsizetype>(end, MaxTextSize);
    // 8-bit text: every byte keeps its own character, so saving gives it back unchanged.
    const QString text = QString::fromLatin1(bytes.constData(), end);
    qsizetype start = 0;
    auto take = [this, &text](qsizetype from, qsizetype to) {
        const QString line = text.mid(from, to - from).trimmed();
        if (!line.isEmpty() && !line.startsWith(u';')) {
            FIniFile.append(line);
        }
    };
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            take(start, i);
            if (c == u'\r' && i + 1 < end && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < end) {
        take(start, end);
    }
    RebuildSections();
}

void TQuickIni::LoadFromFile(const QString& fileName) {
    FFileName = fileName;
    LoadFromBytes(ReadWholeFile(fileName, MaxTextSize));
}

QByteArray TQuickIni::SaveToBytes() const {
    QByteArray bytes;
    for (const QString& line : FIniFile) {
        bytes.append(line.toLatin1());
        bytes.append("\r\n");
    }
    return bytes;
}

void TQuickIni::SaveToStream(QIODevice& stream) const {
    const QByteArray bytes = SaveToBytes();
    if (stream.write(bytes) != bytes.size()) {
        throw EWriteError(stream.errorString());
    }
}

void TQuickIni::SaveToFile(const QString& fileName) const {
    WriteWholeFile(fileName, SaveToBytes());
}

void TQuickIni::LoadFromZip(const QString& fileName) {
    const QByteArray container = ReadWholeFile(fileName, TLZH::MaxUnpackedSize);
    LoadFromBytes(TLZH::UnpackContainer(container, MaxTextSize));
    FFileName = fileName;
}

void TQuickIni::SavetoZip(const QString& fileName) const {
    WriteWholeFile(fileName, TLZH::PackContainer(SaveToBytes()));
}

void TQuickIni::RebuildSections() {
    FSections.clear();
    for (int i = 0; i < FIniFile.size(); ++i) {
        const QString& line = FIniFile[i];
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            FSections.push_back({line, i});
        }
    }
}

int TQuickIni::FindSection(const QString& section) const {
    const QString header = u'[' + section + u']';
    for (size_t i = 0; i < FSections.size(); ++i) {
        if (FSections[i].Line.compare(header, Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TQuickIni::SectionEnd(int sectionIndex) const {
    const size_t next = static_cast<size_t>(sectionIndex) + 1;
    return next < FSections.size() ? FSections[next].Index : static_cast<int>(FIniFile.size());
}

QString TQuickIni::KeyOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

int TQuickIni::FindKey(const QString& section, const QString& key) const {
    const int s = FindSection(section);
    if (s < 0) {
        return -1;
    }
    const QString name = key.trimmed();
    for (int i = FSections[s].Index + 1, end = SectionEnd(s); i < end; ++i) {
        const QString& line = FIniFile[i];
        if (line.contains(u'=') && KeyOf(line).compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

bool TQuickIni::SectionExists(const QString& section) const {
    return FindSection(section) >= 0;
}

bool TQuickIni::ValueExists(const QString& section, const QString& key) const {
    return FindKey(section, key) >= 0;
}

QString TQuickIni::ReadString(const QString& section, const QString& key,
                              const QString& def) const {
    const int i = FindKey(section, key);
    if (i < 0) {
        return def;
    }
    const QString& line = FIniFile[i];
    const QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    return value.isEmpty() ? def : value;
}

bool TQuickIni::ParseInteger(const QString& text, int& value) {
    const QString s = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
        negative = s[i] == u'-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == u'$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) {
        return false;
    }
    quint64 v = 0;
    for (; i < s.size(); ++i) {
        const int d = DigitValue(s[i], hex);
        if (d < 0) {
            return false;
        }
        v = v * (hex ? 16 : 10) + static_cast<quint64>(d);
        if (v > 0xFFFFFFFFull) {
            return false;
        }
    }
    if (hex) {
        // Hex text names the 32 bits themselves.
        qint32 bits = static_cast<qint32>(static_cast<quint32>(v));
        value = negative ? -bits : bits;
        return true;
    }
    if (negative ? v > 0x80000000ull : v > 0x7FFFFFFFull) {
        return false;
    }
    value = negative ? static_cast<int>(-static_cast<qint64>(v)) : static_cast<int>(v);
    return true;
}

int TQuickIni::ReadInteger(const QString& section, const QString& key, int def) const {
    int value = def;
    return ParseInteger(ReadString(section, key, QString()), value) ? value : def;
}

bool TQuickIni::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TQuickIni::ReadSection(const QString& section, QStringList* strings) const {
    if (!strings) {
        throw EAssertionFailed(AssertionText(QStringLiteral("The parameter Strings is unassigned!"),
                                             QStringLiteral("WinSkinIni"), __LINE__));
    }
    strings->clear();
    const int s = FindSection(section);
    if (s < 0) {
        return;
    }
    for (int i = FSections[s].Index + 1, end = SectionEnd(s); i < end; ++i) {
        if (FIniFile[i].contains(u'=')) {
            strings->append(KeyOf(FIniFile[i]));
        }
    }
}

void TQuickIni::ReadSections(QStringList* strings) const {
    if (!strings) {
        throw EAssertionFailed(AssertionText(QStringLiteral("The parameter Strings is unassigned!"),
                                             QStringLiteral("WinSkinIni"), __LINE__));
    }
    strings->clear();
    for (const TSectionHeader& h : FSections) {
        strings->append(h.Line.mid(1, h.Line.size() - 2).trimmed());
    }
}

void TQuickIni::ReadSectionValues(const QString& section, QStringList* strings) const {
    if (!strings) {
        return;
    }
    strings->clear();
    const int s = FindSection(section);
    if (s < 0) {
        return;
    }
    for (int i = FSections[s].Index + 1, end = SectionEnd(s); i < end; ++i) {
        strings->append(FIniFile[i]);
    }
}

void TQuickIni::Changed() {
    RebuildSections();
    if (FAuto && !FFileName.isEmpty()) {
        SaveToFile(FFileName);
    }
}

void TQuickIni::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString line = key.trimmed() + u'=' + value.trimmed();
    const int k = FindKey(section, key);
    if (k >= 0) {
        FIniFile[k] = line;
    } else {
        const int s = FindSection(section);
        if (s >= 0) {
            FIniFile.insert(SectionEnd(s), line);
        } else {
            FIniFile.append(u'[' + section.trimmed() + u']');
            FIniFile.append(line);
        }
    }
    Changed();
}

void TQuickIni::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TQuickIni::WriteBool(const QString& section, const QString& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

void TQuickIni::DeleteKey(const QString& section, const QString& key) {
    const int k = FindKey(section, key);
    if (k >= 0) {
        FIniFile.removeAt(k);
        Changed();
    }
}

void TQuickIni::EraseSection(const QString& section) {
    const int s = FindSection(section);
    if (s < 0) {
        return;
    }
    const int from = FSections[s].Index;
    const int to = SectionEnd(s);
    FIniFile.erase(FIniFile.begin() + from, FIniFile.begin() + to);
    Changed();
}
