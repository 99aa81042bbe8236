// Printing the view and saving it as PDF: text kept as text, the picture at its own pixels.
#include "../common/TestFiles.h"
#include "ExtrasSupport.h"

#include <QAction>
#include <QMenu>
#include <QPrinter>
#include <QRegularExpression>

namespace {
class PrintTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        Add(QStringLiteral("宫保鸡丁"), QStringLiteral("鸡胸肉 花生"), QSize(400, 300));
        Add(QStringLiteral("拍黄瓜"), QStringLiteral("黄瓜 蒜"));
        Add(QStringLiteral("长卷"), QStringLiteral("面"), QSize(3000, 500));
        Search(QString());
    }
    QString PdfPath(const QString& name) { return Dir.filePath(name); }
    QStringList TextLines(const QString& pdf) {
        QStringList lines =
            Poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).split(u'\n');
        lines.removeAll(QString());
        lines.removeAll(QStringLiteral("\f"));
        return lines;
    }
    struct TPdfImage {
        int Width, Height, Ppi;
    };
    std::vector<TPdfImage> Images(const QString& pdf) {
        std::vector<TPdfImage> out;
        const QStringList rows =
            Poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(u'\n');
        for (const QString& row : rows.mid(2)) {
            const QStringList f = row.simplified().split(u' ');
            if (f.size() > 13 && f[2] == QStringLiteral("image"))
                out.push_back({f[3].toInt(), f[4].toInt(), f[12].toInt()});
        }
        return out;
    }
    static QStringList Seven(const QString& name, const QString& ingredients) {
        return {name,
                QStringLiteral("原料:"),
                ingredients,
                QStringLiteral("做法:"),
                QStringLiteral("做法") + name,
                QStringLiteral("说明:"),
                QStringLiteral("说明") + name};
    }
    void SetUpPoppler() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "poppler-utils not installed";
    }
};

TEST_F(PrintTest, ViewMenuOffersPrintAndPdf) {
    const std::unique_ptr<QMenu> menu = Form->Extras().RichEdit1Menu();
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            texts << a->text();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(texts[2], QStringLiteral("打印菜谱…"));
    EXPECT_EQ(texts[3], QStringLiteral("导出PDF…"));
    EXPECT_EQ(texts[4], QStringLiteral("开始做菜"));
}

TEST_F(PrintTest, PdfHoldsTheSevenLinesAndThePictureAtItsPixels) {
    SetUpPoppler();
    struct TCase {
        int Index;
        QStringList Lines;
        std::vector<QSize> Pictures;
        bool FitsPageWidth; // drawn smaller than at screen size
    };
    const TCase cases[] = {
        {0, Seven(QStringLiteral("宫保鸡丁"), QStringLiteral("鸡胸肉 花生")), {{400, 300}}, false},
        {1, Seven(QStringLiteral("拍黄瓜"), QStringLiteral("黄瓜 蒜")), {}, false},
        {2, Seven(QStringLiteral("长卷"), QStringLiteral("面")), {{3000, 500}}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Index);
        View(c.Index);
        const QString pdf = PdfPath(QStringLiteral("recipe%1.pdf").arg(c.Index));
        FileAnswers = {pdf};
        Messages.clear();
        Form->Extras().RichEdit1Menu()->actions()[4]->trigger();
        ASSERT_TRUE(Errors().empty()) << Errors().front().toStdString();
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].Text, QStringLiteral("保存完毕"));
        EXPECT_EQ(TextLines(pdf), c.Lines);
        // Every font embedded, with a map back to the characters (searchable).
        const QStringList fonts =
            Poppler(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
        EXPECT_FALSE(fonts.isEmpty());
        for (const QString& font : fonts) {
            const QStringList f = font.simplified().split(u' ');
            ASSERT_GE(f.size(), 7);
            EXPECT_EQ(f[f.size() - 5], QStringLiteral("yes")) << font.toStdString(); // emb
            EXPECT_EQ(f[f.size() - 3], QStringLiteral("yes")) << font.toStdString(); // uni
        }
        const std::vector<TPdfImage> images = Images(pdf);
        ASSERT_EQ(images.size(), c.Pictures.size());
        for (size_t i = 0; i < images.size(); ++i) {
            EXPECT_EQ(QSize(images[i].Width, images[i].Height), c.Pictures[i]);
            // At screen size a picture is 96 pixels an inch; fitted, many more.
            if (c.FitsPageWidth)
                EXPECT_GT(images[i].Ppi, 300);
            else
                EXPECT_NEAR(images[i].Ppi, 96, 2);
        }
    }
}

TEST_F(PrintTest, PdfDialogFilterAndNameRule) {
    View(1);
    struct TCase {
        const char* Chosen;
        const char* Written;
    };
    const TCase cases[] = {
        {"plain", "plain.pdf"},
        {"Upper.PDF", "Upper.PDF"},
        {"recipe.rtf", "recipe.rtf.pdf"},
        {"dot.folder/name", "dot.folder/name.pdf"},
    };
    QDir(Dir.path()).mkdir(QStringLiteral("dot.folder"));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Chosen);
        DialogRequests.clear();
        FileAnswers = {PdfPath(QString::fromUtf8(c.Chosen))};
        Form->Extras().ExportPdf();
        ASSERT_EQ(DialogRequests.size(), 1u);
        EXPECT_EQ(DialogRequests[0].Kind, TFileDialogRequest::Save);
        EXPECT_EQ(DialogRequests[0].Filters, QStringList{QStringLiteral("PDF (*.pdf)")});
        EXPECT_TRUE(QFile::exists(PdfPath(QString::fromUtf8(c.Written))));
    }
}

TEST_F(PrintTest, PdfDialogSuggestsTheDishName) {
    Add(QStringLiteral("鱼/虾\\汤"), QStringLiteral("鱼"));
    Search(QString());
    struct TCase {
        int Index;
        const char* Suggested;
    };
    const TCase cases[] = {{1, "拍黄瓜.pdf"}, {3, "鱼_虾_汤.pdf"}, {0, "宫保鸡丁.pdf"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Suggested);
        View(c.Index);
        DialogRequests.clear();
        FileAnswers = {std::nullopt};
        Form->Extras().ExportPdf();
        ASSERT_EQ(DialogRequests.size(), 1u);
        EXPECT_EQ(DialogRequests[0].FileName, QString::fromUtf8(c.Suggested));
    }
}

TEST_F(PrintTest, CancelWritesNothingAndFailureSaysSo) {
    View(0);
    FileAnswers = {std::nullopt};
    Form->Extras().ExportPdf();
    EXPECT_TRUE(Messages.empty());

    // A folder that does not exist: the error shows, "保存完毕" does not, nothing is left.
    const QString target = PdfPath(QStringLiteral("missing/x.pdf"));
    FileAnswers = {target};
    Form->Extras().RichEdit1Menu()->actions()[4]->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(Errors()[0].contains(QStringLiteral("x.pdf")));
    EXPECT_EQ(Messages.size(), 1u);
    EXPECT_FALSE(QFile::exists(target));

    // An existing file is replaced whole.
    const QString existing = PdfPath(QStringLiteral("old.pdf"));
    ASSERT_TRUE(WriteFile(existing, QByteArray(100000, 'z')));
    FileAnswers = {existing};
    Form->Extras().ExportPdf();
    QFile written(existing);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    EXPECT_FALSE(written.readAll().contains(QByteArray(1000, 'z')));
}

TEST_F(PrintTest, PrintGoesThroughTheDialogToThePrinter) {
    SetUpPoppler();
    View(0);
    const QString out = PdfPath(QStringLiteral("printed.pdf"));
    int asked = 0;
    bool accept = false;
    SetPrintDialogHook([&](QPrinter& printer) {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        return accept;
    });
    Form->Extras().RichEdit1Menu()->actions()[3]->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFile::exists(out)) << "cancelled: nothing printed";

    accept = true;
    Form->Extras().RichEdit1Menu()->actions()[3]->trigger();
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(TextLines(out), Seven(QStringLiteral("宫保鸡丁"), QStringLiteral("鸡胸肉 花生")));
    ASSERT_EQ(Images(out).size(), 1u);
    EXPECT_EQ(Images(out)[0].Width, 400);
}
} // namespace
