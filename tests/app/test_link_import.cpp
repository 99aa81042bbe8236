// Import by link in the window: an address dropped or pasted onto the entry page fills
// it from the fetched page, "从网址导入…" imports at once; a local server stands in
// for the web.
#include "Clipboard.h"
#include "ExtrasSupport.h"
#include "LocalServer.h"
#include "RecipeExtras.h"
#include "RecipeExtrasEditor.h"
#include "RecipeImportUi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMimeData>
#include <QTest>

namespace {
QByteArray Png(QRgb colour) {
    QImage image(32, 20, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray Page(const QString& name) {
    const QJsonObject recipe{
        {"@context", "https://schema.org"},
        {"@type", "Recipe"},
        {"name", name},
        {"image", "/img/cover.png"},
        {"recipeCategory", QStringLiteral("家常菜")},
        {"recipeIngredient",
         QJsonArray{QStringLiteral("五花肉 500克"), QStringLiteral("冰糖 30克")}},
        {"recipeInstructions", QJsonArray{QJsonObject{{"@type", "HowToStep"},
                                                      {"text", QStringLiteral("切块")},
                                                      {"image", "/img/step1.png"}},
                                          QJsonObject{{"@type", "HowToStep"},
                                                      {"text", QStringLiteral("小火炖一小时")}}}}};
    return "<html><head><script type=\"application/ld+json\">" + QJsonDocument(recipe).toJson() +
           "</script></head><body></body></html>";
}

class TTextBoard final : public TClipboard {
public:
    QString Text;
    bool HasBitmap() const override { return false; }
    bool HasFormat(const QString& type) const override {
        return type == u"text/plain" && !Text.isEmpty();
    }
    QImage Bitmap() const override { return {}; }
    QByteArray Data(const QString& type) const override {
        return type == u"text/plain" ? Text.toUtf8() : QByteArray();
    }
};

class LinkImportTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Server.Serve("/img/cover.png", {200, "image/png", Png(qRgb(200, 40, 40))});
        Server.Serve("/img/step1.png", {200, "image/png", Png(qRgb(40, 200, 40))});
        Server.Serve("/hongshao",
                     {200, "text/html; charset=utf-8", Page(QStringLiteral("红烧肉"))});
        Server.Serve("/gone", {404, "text/html", "no"});
        Open();
        Form->BitBtn1Click(); // the entry page
    }
    void TearDown() override {
        SetAddressHook(nullptr);
        SetClipboard(nullptr);
    }
    bool Drop(QWidget* target, const QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    int Stored() {
        TADOQuery q(&Form->ADOConnection1);
        q.SQL = QStringList{QStringLiteral("select * from mycook")};
        q.Open();
        return q.RecordCount();
    }
    TRecipeExtrasEditor& Ed() { return Form->Extras().ExtrasEditor(); }
    // The page is filled once the fetch that follows the drop is done.
    bool Filled(const QString& name) {
        return QTest::qWaitFor([&] { return Ui().Edit1->text() == name; }, 10'000);
    }

    TLocalServer Server;
};

TEST_F(LinkImportTest, AnAddressDroppedFillsThePageWithPicturesForTheCookToSave) {
    QMimeData link; // a link dragged from a browser
    link.setUrls({Server.Url("/hongshao")});
    link.setHtml(
        QStringLiteral("<a href=\"%1\">红烧肉</a>").arg(Server.Url("/hongshao").toString()));
    ASSERT_TRUE(Drop(Ui().Memo2->viewport(), link));
    ASSERT_TRUE(Filled(QStringLiteral("红烧肉")));
    EXPECT_EQ(Ui().Memo1->Text(), QStringLiteral("五花肉 500克\n冰糖 30克"));
    EXPECT_TRUE(Ui().Memo2->Text().contains(QStringLiteral("小火炖一小时")));
    EXPECT_NE(Ui().Image2->Picture().Graphic(), nullptr);
    ASSERT_EQ(Ed().Pictures().size(), 1u);
    EXPECT_EQ(Ed().Pictures()[0].Step, 1);
    EXPECT_EQ(Ed().Source->text(), Server.Url("/hongshao").toString());
    EXPECT_EQ(Ed().Categories->text(), QStringLiteral("家常菜"));
    EXPECT_EQ(Stored(), 0); // nothing until "保存"
    Form->BitBtn5Click();
    EXPECT_EQ(Stored(), 1);
    EXPECT_TRUE(Errors().empty());
}

TEST_F(LinkImportTest, WhatADropCarriesDecidesWhetherThePageTakesIt) {
    auto make = [](auto fill) {
        auto data = std::make_unique<QMimeData>();
        fill(*data);
        return data;
    };
    const QUrl page = Server.Url("/hongshao");
    const struct {
        const char* What;
        std::unique_ptr<QMimeData> Data;
        bool Taken;
    } cases[] = {
        {"a link", make([&](QMimeData& d) { d.setUrls({page}); }), true},
        {"an address as text", make([&](QMimeData& d) {
             d.setText(QStringLiteral("  ") + page.toString() + QStringLiteral("\n"));
         }),
         true},
        {"two links", make([&](QMimeData& d) {
             d.setUrls({page, page});
         }),
         false},
        {"two addresses as text",
         make([&](QMimeData& d) { d.setText(page.toString() + u' ' + page.toString()); }), false},
        {"words", make([](QMimeData& d) { d.setText(QStringLiteral("红烧肉的做法")); }), false},
        {"a file: address as text",
         make([](QMimeData& d) { d.setText(QStringLiteral("file:///etc/passwd")); }), false},
        {"an ftp link", make([](QMimeData& d) { d.setUrls({QUrl("ftp://example.org/a.html")}); }),
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsRecipePageDrop(*c.Data), c.Taken) << c.What;
    // Over the picture box an address stays the box's to refuse.
    EXPECT_FALSE(Drop(Ui().Image2, *cases[0].Data));
    EXPECT_EQ(Server.Hits("/hongshao"), 0);
}

TEST_F(LinkImportTest, CtrlVPastesAnAddressOnlyWhereNoTextBoxTakesIt) {
    Form->show();
    QApplication::setActiveWindow(Form.get());
    TTextBoard board;
    board.Text = Server.Url("/hongshao").toString();
    SetClipboard(&board);
    // In a text box Ctrl+V is the box's own.
    Ui().Memo3->setFocus();
    QTest::keyClick(Ui().Memo3, Qt::Key_V, Qt::ControlModifier);
    QTest::qWait(100);
    EXPECT_EQ(Server.Hits("/hongshao"), 0);
    // On the page's button it fetches the address.
    Ui().BitBtn5->setFocus();
    QTest::keyClick(Ui().BitBtn5, Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(Filled(QStringLiteral("红烧肉")));
    EXPECT_EQ(Stored(), 0);
    // Words on the clipboard are not fetched.
    board.Text = QStringLiteral("不是网址");
    EXPECT_FALSE(PasteOntoEntryPage(Form->Extras().Site()));
}

TEST_F(LinkImportTest, TheMenuItemImportsAtOnceAndTellsAFailure) {
    std::vector<std::optional<QString>> answers{Server.Url("/hongshao").toString(), std::nullopt,
                                                Server.Url("/gone").toString()};
    size_t asked = 0;
    SetAddressHook([&] { return answers.at(asked++); });
    auto trigger = [&] {
        const std::unique_ptr<QMenu> menu = Form->Extras().ListBox1Menu(QPoint(1, 1));
        for (QAction* a : menu->actions())
            if (a->text() == QStringLiteral("从网址导入…"))
                a->trigger();
    };
    trigger();
    EXPECT_EQ(Stored(), 1);
    ASSERT_FALSE(Messages.empty());
    EXPECT_TRUE(Messages.back().Text.contains(QStringLiteral("导入 1 个")))
        << Messages.back().Text.toStdString();
    const size_t told = Messages.size();
    trigger(); // cancelled: nothing fetched, nothing said
    EXPECT_EQ(Messages.size(), told);
    trigger();
    EXPECT_EQ(Stored(), 1);
    ASSERT_GT(Messages.size(), told);
    EXPECT_EQ(Messages.back().Icon, QMessageBox::Warning); // nothing could be read
    EXPECT_TRUE(Messages.back().Details.contains(QStringLiteral("（404）")))
        << Messages.back().Details.toStdString();
    EXPECT_EQ(asked, 3u);
}

TEST_F(LinkImportTest, AFailedFetchLeavesThePageAndSaysWhy) {
    Ui().Edit1->setText(QStringLiteral("已有的菜名"));
    QMimeData link;
    link.setUrls({Server.Url("/gone")});
    ASSERT_TRUE(Drop(Ui().Edit1, link));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Errors().empty(); }, 10'000));
    EXPECT_TRUE(Errors()[0].contains(QStringLiteral("（404）"))) << Errors()[0].toStdString();
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("已有的菜名"));
}
} // namespace

namespace {
// The drop test and the import read from one table: a page saved as .xhtml is a page.
TEST_F(LinkImportTest, APageSavedAsXhtmlIsTakenAsTheImportReadsIt) {
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("hongshao.xhtml"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MYCOOK_IMPORT_FIXTURES "/hongshao.html"), page));
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(page)});
    ASSERT_TRUE(Drop(Ui().Memo1->viewport(), file));
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("红烧肉 & 卤蛋"));
}
} // namespace
