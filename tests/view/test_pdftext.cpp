// Mending the ToUnicode maps of a PDF as Qt writes it: ranges spelt out, offsets
// rewritten, other fonts and foreign files left alone.
#include "PdfText.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
// A PDF laid out as Qt's writer lays it out: numbered objects, one xref table.
QByteArray MakePdf(const QList<QByteArray>& bodies) {
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype at : offsets)
        pdf += QByteArray::number(qlonglong(at)).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<<\n/Size " + QByteArray::number(bodies.size() + 1) +
           "\n/Root 1 0 R\n>>\nstartxref\n" + QByteArray::number(qlonglong(xref)) + " \n%%EOF\n";
    return pdf;
}

QByteArray Cmap(const QByteArray& ranges) {
    const QByteArray map = "begincmap\n1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n" +
                           ranges + "endcmap\n";
    return "<< /Length " + QByteArray::number(map.size()) + " >>\nstream\n" + map + "\nendstream";
}

// Every object the xref names starts where it says.
bool OffsetsHold(const QByteArray& pdf) {
    const qsizetype xref = pdf.indexOf("xref\n");
    const QString table = QString::fromLatin1(pdf.mid(xref));
    static const QRegularExpression entry(QStringLiteral("(\\d{10}) 00000 n"));
    int number = 1;
    for (auto it = entry.globalMatch(table); it.hasNext(); ++number) {
        const qsizetype at = it.next().captured(1).toLongLong();
        if (!pdf.mid(at).startsWith(QByteArray::number(number) + " 0 obj"))
            return false;
    }
    return number > 1;
}

TEST(PdfText, MendsOnlyTheNamedFontsMaps) {
    const QList<QByteArray> bodies = {
        "<< /Type /Catalog >>",
        "<< /Type /Font\n/BaseFont /NotoSerifCJKsc-Regular\n/ToUnicode 3 0 R>>",
        Cmap("2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<4E94> <2F81> <0009> ]\n"
             "endbfrange\n"),
        "<< /Type /Font\n/BaseFont /ABCDEF+Other\n/ToUnicode 5 0 R>>",
        Cmap("1 beginbfrange\n<0001> <0002> <2F80>\nendbfrange\n"),
    };
    const QByteArray pdf = MakePdf(bodies);
    ASSERT_TRUE(OffsetsHold(pdf));
    TPdfCharFixes fixes;
    fixes["NotoSerifCJKsc-Regular"] = {{"2F81", "8089"}, {"0009", "0020"}};
    fixes["Other"] = {{"2F81", "1234"}}; // a range holding it, spelt out
    const QByteArray mended = MendPdfText(pdf, fixes);
    EXPECT_TRUE(OffsetsHold(mended));
    const qsizetype first = mended.indexOf("3 0 obj"), second = mended.indexOf("5 0 obj");
    const QByteArray noto = mended.mid(first, second - first);
    EXPECT_TRUE(noto.contains("<0002> <8089>"));
    EXPECT_TRUE(noto.contains("<0003> <0020>"));
    EXPECT_TRUE(noto.contains("<0001> <4E94>"));
    EXPECT_FALSE(noto.contains("2F81"));
    const QByteArray other = mended.mid(second);
    EXPECT_TRUE(other.contains("<0001> <2F80>"));
    EXPECT_TRUE(other.contains("<0002> <1234>"));
}

TEST(PdfText, LeavesWhatItCannotReadAsItIs) {
    TPdfCharFixes fixes;
    fixes["F"] = {{"2F81", "8089"}};
    const QByteArray font = "<< /BaseFont /F /ToUnicode 2 0 R >>";
    const QByteArray cases[] = {
        "",
        "not a pdf at all",
        MakePdf({font, Cmap("1 beginbfrange\n<0002> <0001> <2F81>\nendbfrange\n")}),
        MakePdf({font, Cmap("1 beginbfrange\n<0001> <0003> [<2F81>]\nendbfrange\n")}),
        MakePdf({font, "<< /Length 3 >>\nstream\nabc\nendstream"}),
        MakePdf({font, Cmap("1 beginbfchar\n<0001> <4E94>\nendbfchar\n")}), // nothing to mend
    };
    for (const QByteArray& pdf : cases) {
        SCOPED_TRACE(pdf.left(40).toStdString());
        EXPECT_EQ(MendPdfText(pdf, fixes), pdf);
        EXPECT_EQ(MendPdfText(pdf, {}), pdf);
    }
    // Cut short: the xref points past the end.
    QByteArray cut = MakePdf({font, Cmap("1 beginbfchar\n<0001> <2F81>\nendbfchar\n")});
    cut.remove(20, 10);
    EXPECT_EQ(MendPdfText(cut, fixes), cut);
}
} // namespace
