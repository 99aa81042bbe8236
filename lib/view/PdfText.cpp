#include "PdfText.h"

#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace {
QByteArray Hex(char16_t c) {
    return QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
}

// The font's PostScript name (name table entry 6), as the PDF's /BaseFont gives it.
QByteArray PostScriptName(const QRawFont& font) {
    const QByteArray table = font.fontTable("name");
    const auto u16 = [&](qsizetype at) {
        return at + 2 <= table.size()
                   ? qFromBigEndian<quint16>(reinterpret_cast<const uchar*>(table.constData() + at))
                   : quint16(0);
    };
    const int count = u16(2);
    const qsizetype strings = u16(4);
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * qsizetype(i);
        if (record + 12 > table.size())
            break;
        if (u16(record + 6) != 6)
            continue;
        const quint16 platform = u16(record), length = u16(record + 8);
        const qsizetype offset = strings + u16(record + 10);
        if (offset + length > table.size())
            continue;
        const QByteArray raw = table.mid(offset, length);
        if (platform == 1)
            return raw;
        if (platform == 3 || platform == 0) {
            QByteArray name;
            for (qsizetype k = 0; k + 1 < raw.size(); k += 2)
                name.append(raw.at(k + 1));
            return name;
        }
    }
    return {};
}

// The lowest character of the font's Basic Multilingual Plane that each glyph draws.
std::vector<char16_t> FirstCharOfGlyphs(const QRawFont& font) {
    QString all;
    all.reserve(0xF800);
    for (char32_t c = 1; c < 0x10000; ++c)
        if (c < 0xD800 || c >= 0xE000)
            all.append(QChar(char16_t(c)));
    std::vector<quint32> glyphs(all.size());
    int count = int(glyphs.size());
    if (!font.glyphIndexesForChars(all.constData(), int(all.size()), glyphs.data(), &count))
        return {};
    std::vector<char16_t> first;
    for (int i = 0; i < count; ++i) {
        const quint32 glyph = glyphs[i];
        if (glyph == 0)
            continue;
        if (glyph >= first.size())
            first.resize(glyph + 1, 0);
        if (!first[glyph])
            first[glyph] = all.at(i).unicode();
    }
    return first;
}

struct TCmapEntry {
    QByteArray Source, Target; // hex, as written
};

// Entries of a ToUnicode map, ranges spelt out; empty when it is not understood.
std::vector<TCmapEntry> ReadCmap(const QByteArray& cmap, bool& ok) {
    std::vector<TCmapEntry> entries;
    ok = true;
    static const QRegularExpression token(QStringLiteral("<([0-9A-Fa-f]*)>|\\[|\\]|(\\w+)"));
    enum { None, Char, Range } section = None;
    QList<QByteArray> pending; // hex strings of the current entry
    bool inArray = false;
    QList<QByteArray> array;
    auto it = token.globalMatch(QString::fromLatin1(cmap));
    while (it.hasNext() && ok) {
        const auto m = it.next();
        const QString word = m.captured(2);
        if (!word.isEmpty()) {
            if (word == QStringLiteral("beginbfchar"))
                section = Char;
            else if (word == QStringLiteral("beginbfrange"))
                section = Range;
            else if (word.startsWith(QStringLiteral("endbf")))
                section = None;
            pending.clear();
            continue;
        }
        if (section == None)
            continue;
        if (m.captured(0) == QStringLiteral("[")) {
            inArray = true;
            array.clear();
            continue;
        }
        const QByteArray hex = m.captured(1).toLatin1().toUpper();
        if (m.captured(0) == QStringLiteral("]")) {
            inArray = false;
            if (pending.size() != 2) {
                ok = false;
                break;
            }
            const uint low = pending[0].toUInt(nullptr, 16), high = pending[1].toUInt(nullptr, 16);
            if (high < low || qsizetype(high - low + 1) != array.size()) {
                ok = false;
                break;
            }
            for (uint code = low; code <= high; ++code)
                entries.push_back(
                    {QByteArray::number(code, 16).toUpper().rightJustified(pending[0].size(), '0'),
                     array.at(code - low)});
            pending.clear();
            continue;
        }
        if (inArray) {
            array.append(hex);
            continue;
        }
        pending.append(hex);
        if (section == Char && pending.size() == 2) {
            entries.push_back({pending[0], pending[1]});
            pending.clear();
        } else if (section == Range && pending.size() == 3) {
            const uint low = pending[0].toUInt(nullptr, 16), high = pending[1].toUInt(nullptr, 16);
            const uint target = pending[2].toUInt(nullptr, 16);
            if (high < low || high - low > 0xFFFF || pending[2].size() > 4) {
                ok = false;
                break;
            }
            for (uint code = low; code <= high; ++code)
                entries.push_back(
                    {QByteArray::number(code, 16).toUpper().rightJustified(pending[0].size(), '0'),
                     Hex(char16_t(target + code - low))});
            pending.clear();
        }
    }
    return entries;
}

QByteArray WriteCmap(const QByteArray& original, const std::vector<TCmapEntry>& entries) {
    const qsizetype begin = original.indexOf("endcodespacerange");
    const qsizetype end = original.indexOf("endcmap");
    QByteArray out = original.left(begin + qsizetype(strlen("endcodespacerange"))) + '\n';
    for (size_t i = 0; i < entries.size(); i += 100) {
        const size_t n = std::min<size_t>(100, entries.size() - i);
        out += QByteArray::number(qulonglong(n)) + " beginbfchar\n";
        for (size_t k = i; k < i + n; ++k)
            out += '<' + entries[k].Source + "> <" + entries[k].Target + ">\n";
        out += "endbfchar\n";
    }
    return out + original.mid(end);
}

struct TObject {
    int Number;
    qsizetype Begin, End;
};
} // namespace

TPdfCharFixes PdfCharFixes(const QTextDocument& document) {
    TPdfCharFixes fixes;
    // Per font: the characters drawn in it; then what Qt would write for each.
    std::map<QByteArray, std::pair<QRawFont, QSet<char16_t>>> drawn;
    QSet<char16_t> typed;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (QChar c : text)
            typed.insert(c.unicode());
        const QTextLayout* layout = block.layout();
        if (!layout)
            continue;
        QList<QGlyphRun> runs;
        for (int i = 0; i < layout->lineCount(); ++i)
            runs += layout->lineAt(i).glyphRuns();
        for (const QGlyphRun& run : runs) {
            const QRawFont font = run.rawFont();
            const QByteArray name = PostScriptName(font);
            if (name.isEmpty())
                continue;
            const QList<quint32> runGlyphs = run.glyphIndexes();
            const QSet<quint32> glyphs(runGlyphs.begin(), runGlyphs.end());
            auto& [rawFont, chars] = drawn[name];
            rawFont = font;
            for (QChar c : text) {
                quint32 glyph = 0;
                int one = 1;
                if (font.glyphIndexesForChars(&c, 1, &glyph, &one) && glyphs.contains(glyph))
                    chars.insert(c.unicode());
            }
        }
    }
    for (const auto& [name, fontAndChars] : drawn) {
        const auto& [font, chars] = fontAndChars;
        const std::vector<char16_t> first = FirstCharOfGlyphs(font);
        for (char16_t c : chars) {
            const QChar ch(c);
            quint32 glyph = 0;
            int one = 1;
            if (!font.glyphIndexesForChars(&ch, 1, &glyph, &one) || glyph >= first.size())
                continue;
            const char16_t written = first[glyph];
            // Both typed and drawn alike: the map can name only one of them.
            if (written && written != c && !typed.contains(written))
                fixes[name][Hex(written)] = Hex(c);
        }
    }
    return fixes;
}

QByteArray MendPdfText(const QByteArray& pdf, const TPdfCharFixes& fixes) {
    if (fixes.isEmpty())
        return pdf;
    // The objects, from the cross-reference table that Qt writes once at the end.
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (startxref < 0)
        return pdf;
    const QList<QByteArray> tail = pdf.mid(startxref + 9, 32).simplified().split(' ');
    const qsizetype xref = tail.isEmpty() ? 0 : tail.first().toLongLong();
    const qsizetype trailer = pdf.indexOf("trailer", xref);
    if (xref <= 0 || xref >= startxref || !pdf.mid(xref, 4).startsWith("xref") || trailer < 0)
        return pdf;
    static const QRegularExpression entry(QStringLiteral("(\\d{10})\\s+(\\d{5})\\s+([nf])"));
    const QString table = QString::fromLatin1(pdf.mid(xref, trailer - xref));
    const QStringList head = table.section(u'\n', 1, 1).split(u' ', Qt::SkipEmptyParts);
    if (head.size() != 2 || head[0] != QStringLiteral("0"))
        return pdf;
    std::vector<TObject> objects;
    int number = 0;
    for (auto it = entry.globalMatch(table, table.indexOf(u'\n', 5)); it.hasNext(); ++number) {
        const auto m = it.next();
        if (m.captured(3) == QStringLiteral("n"))
            objects.push_back({number, qsizetype(m.captured(1).toLongLong()), 0});
    }
    if (objects.empty() || number != head[1].toInt())
        return pdf;
    std::sort(objects.begin(), objects.end(),
              [](const TObject& a, const TObject& b) { return a.Begin < b.Begin; });
    for (size_t i = 0; i < objects.size(); ++i) {
        objects[i].End = i + 1 < objects.size() ? objects[i + 1].Begin : xref;
        if (objects[i].Begin <= 0 || objects[i].End <= objects[i].Begin ||
            !pdf.mid(objects[i].Begin, 16)
                 .startsWith(QByteArray::number(objects[i].Number) + " 0 obj"))
            return pdf;
    }

    // Which font each ToUnicode map belongs to.
    static const QRegularExpression font(QStringLiteral(
        "/BaseFont\\s*/(?:[A-Z]{6}\\+)?([^\\s/\\[<>()]+)[\\s\\S]*?/ToUnicode\\s+(\\d+)\\s+0\\s+R"));
    std::map<int, QByteArray> fontOfMap;
    for (const TObject& o : objects) {
        const QString body = QString::fromLatin1(pdf.mid(o.Begin, o.End - o.Begin));
        if (const auto m = font.match(body); m.hasMatch())
            fontOfMap[m.captured(2).toInt()] = m.captured(1).toLatin1();
    }

    QByteArray out = pdf.left(objects.front().Begin);
    std::map<int, qsizetype> offsets;
    bool changed = false;
    for (const TObject& o : objects) {
        QByteArray body = pdf.mid(o.Begin, o.End - o.Begin);
        const auto owner = fontOfMap.find(o.Number);
        if (owner != fontOfMap.end() && fixes.contains(owner->second)) {
            const qsizetype streamAt = body.indexOf("stream\n");
            const qsizetype endAt = body.lastIndexOf("endstream");
            bool ok = streamAt > 0 && endAt > streamAt;
            std::vector<TCmapEntry> entries;
            QByteArray cmap;
            if (ok) {
                cmap = body.mid(streamAt + 7, endAt - streamAt - 7);
                entries = ReadCmap(cmap, ok);
            }
            const QHash<QByteArray, QByteArray>& map = fixes[owner->second];
            bool mended = false;
            for (TCmapEntry& e : entries)
                if (const auto fix = map.find(e.Target); ok && fix != map.end()) {
                    e.Target = *fix;
                    mended = true;
                }
            if (ok && mended && cmap.contains("endcodespacerange") && cmap.contains("endcmap")) {
                const QByteArray stream = WriteCmap(cmap, entries);
                body = QByteArray::number(o.Number) + " 0 obj\n<< /Length " +
                       QByteArray::number(stream.size()) + " >>\nstream\n" + stream +
                       "\nendstream\nendobj\n";
                changed = true;
            }
        }
        offsets[o.Number] = out.size();
        out += body;
    }
    if (!changed)
        return pdf;
    const qsizetype newXref = out.size();
    out += "xref\n0 " + QByteArray::number(number) + "\n0000000000 65535 f \n";
    for (int n = 1; n < number; ++n) {
        const auto at = offsets.find(n);
        out +=
            at == offsets.end()
                ? QByteArray("0000000000 65535 f \n")
                : QByteArray::number(qlonglong(at->second)).rightJustified(10, '0') + " 00000 n \n";
    }
    out += pdf.mid(trailer, startxref - trailer);
    out += "startxref\n" + QByteArray::number(qlonglong(newXref)) + "\n%%EOF\n";
    return out;
}
