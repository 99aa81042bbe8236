// Finding and decoding the encoding of imported text.
#include "ImportTestUtil.h"
#include "TextDecode.h"

namespace {
struct TDecodeCase {
    const char* Name;
    QByteArray Bytes;
    const char* Encoding; // expected detector answer
    QString Text;
};

TEST(TextDecode, DetectsAndDecodes) {
    const QString chinese =
        QStringLiteral("红烧肉的做法：五花肉切块焯水，小火炒糖色，加水炖一个半小时，大火收汁。");
    const TDecodeCase cases[] = {
        {"ascii", "plain text\n", "UTF-8", QStringLiteral("plain text\n")},
        {"utf8", chinese.toUtf8(), "UTF-8", chinese},
        {"utf8 bom", "\xEF\xBB\xBF" + chinese.toUtf8(), "UTF-8", chinese},
        {"utf16le bom",
         QByteArray("\xFF\xFE", 2) +
             QByteArray(reinterpret_cast<const char*>(chinese.utf16()), chinese.size() * 2),
         "UTF-16LE", chinese},
        {"gb18030 file", FixtureBytes("chinese-gb18030.mmf"), "GB18030", QString()},
        {"big5 file", FixtureBytes("sanbeiji-big5.txt"), "Big5", QString()},
        {"cp437 file", FixtureBytes("desserts-cp437.mmf"), "ibm-437", QString()},
        // é è in Windows-1252
        {"windows-1252",
         "Cr\xE8me br\xFBl\xE9"
         "e et caf\xE9 au lait, tr\xE8s bon",
         "windows-1252", QStringLiteral("Crème brûlée et café au lait, très bon")},
        // é è in code page 437
        {"cp437 short",
         "Cr\x8Ame br\x96l\x82"
         "e et caf\x82 au lait, tr\x8As bon",
         "ibm-437", QStringLiteral("Crème brûlée et café au lait, très bon")},
    };
    for (const TDecodeCase& c : cases) {
        QByteArray used;
        const QString text = DecodeText(c.Bytes, TTextKind::Plain, &used);
        EXPECT_EQ(used, QByteArray(c.Encoding)) << c.Name;
        if (!c.Text.isEmpty()) {
            EXPECT_EQ(text, c.Text) << c.Name;
        }
        EXPECT_FALSE(text.contains(QChar(0xFFFD))) << c.Name;
    }
}

TEST(TextDecode, DecodedFixturesReadAsWritten) {
    EXPECT_TRUE(
        DecodeText(FixtureBytes("chinese-gb18030.mmf")).contains(QStringLiteral("西红柿炒鸡蛋")));
    EXPECT_TRUE(DecodeText(FixtureBytes("sanbeiji-big5.txt")).contains(QStringLiteral("三杯雞")));
    EXPECT_TRUE(
        DecodeText(FixtureBytes("desserts-cp437.mmf")).contains(QStringLiteral("Crème Brûlée")));
    EXPECT_TRUE(DecodeText(FixtureBytes("tomato-utf16.mmf")).startsWith(QStringLiteral("MMMMM")));
}

// A character cut between two pieces must come out whole, once, and a
// byte-order mark only at the very start is dropped.
TEST(TextDecode, PiecesDecodeAsTheWhole) {
    const QString mixed = QStringLiteral("\uFEFF红烧肉 Crème 🍜 三杯雞\r\n第二行\uFEFF");
    const std::pair<const char*, QByteArray> cases[] = {
        {"UTF-8", "\xEF\xBB\xBF" + mixed.toUtf8()},
        {"UTF-8", QByteArray("\xE4\xB8 broken \xF0\x9F\x8D")},
        {"UTF-16LE",
         QByteArray("\xFF\xFE", 2) +
             QByteArray(reinterpret_cast<const char*>(mixed.utf16()), mixed.size() * 2)},
        {"GB18030", FixtureBytes("chinese-gb18030.mmf")},
        {"Big5", FixtureBytes("sanbeiji-big5.txt")},
        {"ibm-437", FixtureBytes("desserts-cp437.mmf")},
        {"UTF-16LE", FixtureBytes("tomato-utf16.mmf")},
    };
    for (const auto& [encoding, bytes] : cases) {
        const QString whole = DecodeBytes(bytes, encoding);
        for (const qsizetype piece : {1, 2, 3, 5, 64}) {
            TTextPieces pieces(bytes, encoding);
            QString joined;
            while (!pieces.AtEnd())
                joined += pieces.Next(piece);
            EXPECT_EQ(joined, whole) << encoding << " in pieces of " << piece;
        }
    }
    // Only the first mark goes.
    EXPECT_EQ(DecodeBytes("\xEF\xBB\xBF" + mixed.toUtf8(), "UTF-8"), mixed);
}

TEST(TextDecode, HtmlMetaCharsetAndUtf8Validation) {
    EXPECT_EQ(DetectEncoding(FixtureBytes("mapo-gb2312.html"), TTextKind::Html),
              QByteArray("GB18030"));
    // A page saved as UTF-8 that kept its old label is read as UTF-8.
    const QByteArray relabelled = QStringLiteral("<meta charset=\"gbk\"><p>汤</p>").toUtf8();
    EXPECT_EQ(DetectEncoding(relabelled, TTextKind::Html), QByteArray("UTF-8"));
    const std::pair<QByteArray, bool> utf8[] = {
        {"abc", true},
        {"\xE4\xB8\xAD", true},
        {"\xE4\xB8", false},
        {"\xC0\xAF", false},
        {"\xED\xA0\x80", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF0\x9F\x8D\x9C", true},
        {"\x80", false},
    };
    for (const auto& [bytes, valid] : utf8)
        EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes.toHex().constData();
    EXPECT_THROW(DecodeBytes("x", "no-such-encoding-at-all"), EImportError);
}
} // namespace
