// A recipe pasted as text onto the entry page: Ctrl+V where no text box has the
// focus, or the page's context menu; nothing is stored until "保存".
#include "Clipboard.h"
#include "ExtrasSupport.h"
#include "RecipePaste.h"

#include <QMenu>
#include <QTest>

namespace {
class TTextClipboard : public TClipboard {
public:
    QString Text;
    QImage Picture;
    bool HasBitmap() const override { return !Picture.isNull(); }
    bool HasFormat(const QString& type) const override {
        return type == u"text/plain" && !Text.isNull();
    }
    QImage Bitmap() const override { return Picture; }
    QByteArray Data(const QString& type) const override {
        return HasFormat(type) ? Text.toUtf8() : QByteArray();
    }
};

const QString Chat =
    QStringLiteral("红烧肉的做法\n用料：五花肉500克、冰糖30克\n做法：\n1. 切块焯水\n2. "
                   "炒糖色\n3. 小火炖一小时\n\n小贴士：糖色不要炒糊");

class PasteTest : public TExtrasFixture {
protected:
    void SetUp() override {
        Open();
        SetClipboard(&Board);
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Form->BitBtn1Click(); // the entry page
    }
    void TearDown() override { SetClipboard(nullptr); }
    QStringList Page() {
        return {Ui().Edit1->text(), Ui().Memo1->toPlainText(), Ui().Memo2->toPlainText(),
                Ui().Memo3->toPlainText()};
    }
    int Stored() { return Form->ADOQuery1.RecordCount(); }
    TTextClipboard Board;
};

const QStringList Filled{"红烧肉", "五花肉500克\n冰糖30克",
                         "1. 切块焯水\n2. 炒糖色\n3. 小火炖一小时", "小贴士：糖色不要炒糊"};

TEST_F(PasteTest, CtrlVWhereNoTextBoxHasTheFocusFillsThePage) {
    Board.Text = Chat;
    Ui().BitBtn5->setFocus(); // "保存": a button, no text box
    QTest::keyClick(Ui().BitBtn5, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Page(), Filled);
    EXPECT_EQ(Stored(), 0) << "nothing is stored until 保存";
    EXPECT_TRUE(Errors().empty());
    Form->BitBtn5Click();
    EXPECT_EQ(Stored(), 1);
}

TEST_F(PasteTest, CtrlVWithAPictureAndNoTextPastesThePicture) {
    Board.Picture = QImage(40, 20, QImage::Format_RGB32);
    Board.Picture.fill(Qt::green);
    Ui().BitBtn5->setFocus();
    QTest::keyClick(Ui().BitBtn5, Qt::Key_V, Qt::ControlModifier);
    EXPECT_NE(Ui().Image2->Picture().Graphic(), nullptr);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Ui().Edit1->text(), QString());
}

TEST_F(PasteTest, ATextBoxKeepsItsOwnPaste) {
    Board.Text = Chat;
    Ui().Memo3->setFocus();
    QTest::keyClick(Ui().Memo3, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Ui().Edit1->text(), QString()) << "the recipe paste ran in a text box";
}

TEST_F(PasteTest, AFilledPageIsReplacedOnlyWhenTheCookSaysSo) {
    Board.Text = Chat;
    struct TCase {
        QMessageBox::StandardButton Answer;
        bool Replaced;
    };
    for (const TCase c : {TCase{QMessageBox::No, false}, TCase{QMessageBox::Yes, true}}) {
        Ui().Edit1->setText(QStringLiteral("我的菜"));
        Ui().Memo1->setPlainText(QStringLiteral("盐"));
        Ui().Memo2->clear();
        Ui().Memo3->clear();
        Answers = {c.Answer};
        Messages.clear();
        EXPECT_EQ(PasteRecipeFromClipboard(Form->Extras().Site()), c.Replaced);
        ASSERT_EQ(Messages.size(), 1u);
        EXPECT_EQ(Messages[0].DefaultButton, QMessageBox::No);
        EXPECT_EQ(Page(), c.Replaced ? Filled : QStringList({"我的菜", "盐", "", ""}));
    }
}

TEST_F(PasteTest, TheContextMenuItemAndTextsThatAreNoRecipe) {
    Board.Text = QString();
    {
        const std::unique_ptr<QMenu> menu = EntryPageMenu(Form->Extras().Site());
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("粘贴菜谱"));
        EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "nothing to paste";
    }
    // Not a recipe: told, and the page stays as it was.
    Board.Text = QStringLiteral("明天见");
    Ui().Edit1->setText(QStringLiteral("留着"));
    EntryPageMenu(Form->Extras().Site())->actions()[0]->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(Errors()[0].contains(QStringLiteral("用料"))) << Errors()[0].toStdString();
    EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("留着"));
    Ui().Edit1->clear();
    Board.Text = Chat;
    const std::unique_ptr<QMenu> menu = EntryPageMenu(Form->Extras().Site());
    EXPECT_TRUE(menu->actions()[0]->isEnabled());
    menu->actions()[0]->trigger();
    EXPECT_EQ(Page(), Filled);
    EXPECT_EQ(Stored(), 0);
}
} // namespace
