// pinyingen: writes the pinyin table source from the Unicode Han database.
//   pinyingen BUNZIP2 Unihan_Readings.txt.bz2 Unihan_Variants.txt.bz2 OUT.cpp
// Readings come from kHanyuPinyin, kMandarin, kXHC1983, kTGHZ2013 and kHanyuPinlu
// (every reading of a character, tones stripped, ü written both v and u);
// simplified forms from kSimplifiedVariant, and kTraditionalVariant the other way.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace {

QByteArray Unpack(const QString& bunzip2, const QString& path) {
    QProcess p;
    p.start(bunzip2, {QStringLiteral("-c"), path});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error("cannot unpack " + path.toStdString());
    return p.readAllStandardOutput();
}

bool ParseCode(QStringView token, char32_t& code) {
    if (!token.startsWith(u"U+"))
        return false;
    bool ok = false;
    code = char32_t(token.mid(2).toUInt(&ok, 16));
    return ok && code <= 0x10FFFF;
}

// "hóng" -> "hong"; "lǜ" -> "lv"; empty when it is not a plain syllable.
QString Toneless(const QString& reading) {
    const QString d = reading.normalized(QString::NormalizationForm_D);
    QString out;
    for (qsizetype i = 0; i < d.size(); ++i) {
        const char16_t c = d[i].unicode();
        if (c >= u'a' && c <= u'z') {
            out += QChar(c);
        } else if (c >= u'A' && c <= u'Z') {
            out += QChar(c + 32);
        } else if (c == 0x0308 && out.endsWith(u'u')) {
            out.back() = u'v';
        } else if (c < 0x0300 || c > 0x036F) {
            return {}; // not a combining mark: no pinyin syllable
        }
    }
    return out.size() <= 6 ? out : QString();
}

struct TTables {
    std::map<char32_t, std::set<QString>> Readings;
    std::map<char32_t, char32_t> Fold;
};

void ReadReadings(const QByteArray& text, TTables& t) {
    static const QStringList fields = {QStringLiteral("kHanyuPinyin"), QStringLiteral("kMandarin"),
                                       QStringLiteral("kXHC1983"), QStringLiteral("kTGHZ2013"),
                                       QStringLiteral("kHanyuPinlu")};
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine);
        const QStringList parts = line.split(u'\t');
        char32_t code = 0;
        if (parts.size() < 3 || !ParseCode(parts[0], code) || !fields.contains(parts[1]))
            continue;
        for (const QString& entry : parts[2].split(u' ', Qt::SkipEmptyParts)) {
            const qsizetype colon = entry.indexOf(u':');
            for (QString r : entry.mid(colon + 1).split(u',', Qt::SkipEmptyParts)) {
                const qsizetype paren = r.indexOf(u'(');
                if (paren >= 0)
                    r.truncate(paren);
                const QString plain = Toneless(r);
                if (plain.isEmpty())
                    continue;
                t.Readings[code].insert(plain);
                if (plain.contains(u'v')) // typed either way
                    t.Readings[code].insert(QString(plain).replace(u'v', u'u'));
            }
        }
    }
}

void ReadVariants(const QByteArray& text, TTables& t) {
    std::map<char32_t, char32_t> reverse; // traditional -> simplified, from the simplified side
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine);
        const QStringList parts = line.split(u'\t');
        char32_t code = 0;
        if (parts.size() < 3 || !ParseCode(parts[0], code))
            continue;
        const bool simplified = parts[1] == QStringLiteral("kSimplifiedVariant");
        const bool traditional = parts[1] == QStringLiteral("kTraditionalVariant");
        if (!simplified && !traditional)
            continue;
        for (const QString& token : parts[2].split(u' ', Qt::SkipEmptyParts)) {
            char32_t other = 0;
            if (!ParseCode(token, other) || other == code)
                continue;
            if (simplified && !t.Fold.count(code))
                t.Fold[code] = other; // the first simplified form that differs
            if (traditional && !reverse.count(other))
                reverse[other] = code;
        }
    }
    for (const auto& [from, to] : reverse)
        if (!t.Fold.count(from))
            t.Fold[from] = to;
    // Chains end at a form that folds no further; cycles are cut.
    for (auto& [from, to] : t.Fold) {
        for (int step = 0; step < 4; ++step) {
            const auto next = t.Fold.find(to);
            if (next == t.Fold.end() || next->second == from)
                break;
            to = next->second;
        }
    }
    for (auto it = t.Fold.begin(); it != t.Fold.end();)
        it = it->first == it->second ? t.Fold.erase(it) : std::next(it);
}

QByteArray Source(const TTables& t) {
    std::set<QString> all;
    for (const auto& entry : t.Readings)
        all.insert(entry.second.begin(), entry.second.end());
    const std::vector<QString> syllables(all.begin(), all.end());
    std::map<QString, int> idOf;
    for (size_t i = 0; i < syllables.size(); ++i)
        idOf[syllables[i]] = int(i);

    QByteArray s;
    s += "// Generated by tools/pinyingen from the Unicode Han database. Do not edit.\n";
    s += "#include \"PinyinData.h\"\n\nnamespace PinyinData {\n";
    s += "const int SyllableCount = " + QByteArray::number(qsizetype(syllables.size())) + ";\n";
    s += "const char* const Syllables[] = {";
    for (size_t i = 0; i < syllables.size(); ++i)
        s += (i % 12 ? " \"" : "\n    \"") + syllables[i].toLatin1() + "\",";
    s += "\n};\n";
    std::vector<int> ids;
    s += "const int CharCount = " + QByteArray::number(qsizetype(t.Readings.size())) + ";\n";
    s += "const TCharEntry Chars[] = {";
    int n = 0;
    for (const auto& [code, readings] : t.Readings) {
        s += (n++ % 6 ? " {" : "\n    {") + QByteArray::number(uint(code)) + "u, " +
             QByteArray::number(qsizetype(ids.size())) + "u, " +
             QByteArray::number(qsizetype(readings.size())) + "u},";
        for (const QString& r : readings)
            ids.push_back(idOf.at(r));
    }
    s += "\n};\nconst unsigned short ReadingIds[] = {";
    for (size_t i = 0; i < ids.size(); ++i)
        s += (i % 16 ? " " : "\n    ") + QByteArray::number(ids[i]) + ",";
    s += "\n};\n";
    s += "const int FoldCount = " + QByteArray::number(qsizetype(t.Fold.size())) + ";\n";
    s += "const TFoldEntry Folds[] = {";
    n = 0;
    for (const auto& [from, to] : t.Fold)
        s += (n++ % 6 ? " {" : "\n    {") + QByteArray::number(uint(from)) + "u, " +
             QByteArray::number(uint(to)) + "u},";
    s += "\n};\n} // namespace PinyinData\n";
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: pinyingen BUNZIP2 READINGS.bz2 VARIANTS.bz2 OUT.cpp\n");
        return 2;
    }
    try {
        TTables t;
        const QString bunzip2 = QString::fromLocal8Bit(argv[1]);
        ReadReadings(Unpack(bunzip2, QString::fromLocal8Bit(argv[2])), t);
        ReadVariants(Unpack(bunzip2, QString::fromLocal8Bit(argv[3])), t);
        if (t.Readings.size() < 1000 || t.Fold.size() < 1000)
            throw std::runtime_error("the Han database looks incomplete");
        QFile out(QString::fromLocal8Bit(argv[4]));
        const QByteArray text = Source(t);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(text) != text.size() || !out.flush())
            throw std::runtime_error("cannot write " + std::string(argv[4]));
        std::fprintf(stderr, "pinyingen: %zu characters, %zu simplified forms\n", t.Readings.size(),
                     t.Fold.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pinyingen: %s\n", e.what());
        return 1;
    }
    return 0;
}
