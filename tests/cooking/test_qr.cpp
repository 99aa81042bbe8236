// The shopping list's QR codes read back by a reader of its own (zbarimg from
// Debian's zbar-tools): the same text, in one code or in several.
#include "QrCode.h"
#include "ShoppingList.h"
#include "SysUtils.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QImage Picture(const TQrCode& code) {
    constexpr int Module = 4, Quiet = 4;
    const int side = (code.Width + 2 * Quiet) * Module;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < code.Width; ++y)
        for (int x = 0; x < code.Width; ++x)
            if (code.At(x, y))
                for (int dy = 0; dy < Module; ++dy)
                    for (int dx = 0; dx < Module; ++dx)
                        image.setPixel((x + Quiet) * Module + dx, (y + Quiet) * Module + dy, 0);
    return image;
}

// What zbarimg reads from the code, its charset guessed as a phone guesses it;
// null when it is not installed.
QString Decoded(const TQrCode& code, const QTemporaryDir& dir, int index) {
    const QString zbarimg = QStandardPaths::findExecutable(u"zbarimg"_s);
    if (zbarimg.isEmpty())
        return QString();
    const QString file = dir.filePath(u"qr%1.png"_s.arg(index));
    EXPECT_TRUE(Picture(code).save(file));
    QProcess p;
    p.start(zbarimg, {u"--raw"_s, u"-q"_s, file});
    EXPECT_TRUE(p.waitForFinished(60000));
    QByteArray out = p.readAllStandardOutput();
    return QString::fromUtf8(out);
}

QString ShoppingOfRecipes(int recipes) {
    std::vector<TShoppingRecipe> list;
    QStringList dishes;
    for (int i = 0; i < recipes; ++i) {
        dishes << u"菜%1"_s.arg(i);
        list.push_back({dishes.back(), u"五花肉 %1克\n鸡蛋 %2个\n青菜%3 300克\n盐 适量\n"
                                       u"生抽 1汤匙\n2 cups flour\n豆腐%4 1块"_s.arg(100 + i)
                                           .arg(i % 3 + 1)
                                           .arg(i)
                                           .arg(i)});
    }
    return ShoppingText(MakeShoppingList(list), dishes);
}

TEST(QrCode, ZbarReadsTheListBack) {
    if (QStandardPaths::findExecutable(u"zbarimg"_s).isEmpty())
        GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    QTemporaryDir dir;
    const struct {
        const char* What;
        QString Text;
        int Codes;
    } cases[] = {
        {"five recipes, one code", ShoppingOfRecipes(5), 1},
        {"forty recipes, several codes", ShoppingOfRecipes(40), 0},
        {"one line longer than a code", QString(700, u'肉'), 0},
        {"Latin and symbols", u"Shopping: ½ cup sugar, 2–3 cloves garlic; 100% butter"_s, 1},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const QStringList pieces = QrPieces(c.Text);
        if (c.Codes > 0)
            EXPECT_EQ(pieces.size(), c.Codes);
        else
            EXPECT_GT(pieces.size(), 1);
        QStringList read;
        for (const QString& piece : pieces) {
            EXPECT_LE(piece.toUtf8().size(), QrPieceBytes);
            QString text = Decoded(EncodeQr(piece.toUtf8()), dir, index++);
            ASSERT_TRUE(text.endsWith(u'\n'));
            text.chop(1); // zbarimg ends each symbol with a line end
            read << text;
        }
        EXPECT_TRUE(JoinQrPieces(read) == c.Text) << JoinQrPieces(read).left(80).toStdString();
    }
}

TEST(QrPieces, WholeLinesInOrder) {
    const QString text = u"aaaa\nbbbbbb\ncccccccc\ndddddddddd"_s;
    EXPECT_EQ(QrPieces(text, 100), QStringList{text});
    const QStringList small = QrPieces(text, 20); // sixteen bytes a piece beside its place
    ASSERT_GT(small.size(), 1);
    EXPECT_TRUE(small.front().startsWith(u"(1/"_s));
    EXPECT_EQ(JoinQrPieces(small), text);
    QStringList shuffled = small;
    std::reverse(shuffled.begin(), shuffled.end());
    EXPECT_EQ(JoinQrPieces(shuffled), text);
    EXPECT_EQ(JoinQrPieces({u"(1/2)\nx"_s, u"no place"_s}), QString());
    // A character outside the basic plane is never cut in half.
    const QString emoji = QString(40, u'x') + u"🍜🍜🍜🍜🍜🍜🍜🍜🍜🍜"_s;
    EXPECT_TRUE(JoinQrPieces(QrPieces(emoji, 20)) == emoji);
    for (const QString& piece : QrPieces(emoji, 20))
        EXPECT_FALSE(piece.back().isHighSurrogate());
}

TEST(EncodeQr, TooMuchForOneCodeIsAnError) {
    EXPECT_NO_THROW(EncodeQr(QByteArray(2000, 'a')));
    EXPECT_THROW(EncodeQr(QByteArray(5000, 'a')), Exception);
    const TQrCode small = EncodeQr("x");
    EXPECT_EQ(small.Width, 21); // version 1
    EXPECT_EQ(small.Dark.size(), 21u * 21u);
}

} // namespace
