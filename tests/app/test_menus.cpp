// The context menus of the picture box and of the recipe view.
#include "../common/RawBook.h"
#include "ExtrasSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QTextCursor>

namespace {
class MenuTest : public TExtrasFixture {
protected:
    void SetUp() override { Open(); }
    static QAction* Item(QMenu& menu, const char* text) {
        for (QAction* a : menu.actions())
            if (a->text() == QString::fromUtf8(text))
                return a;
        return nullptr;
    }
    int StoredPictures() {
        TRawBook book(BookPath());
        return book.Texts(QStringLiteral("select count(*) from mycook where img is not null"))
            .value(0)
            .toInt();
    }
};

// A loaded picture can be taken out again, so a recipe can be saved without one.
TEST_F(MenuTest, PictureBoxIsEmptiedFromItsMenu) {
    Form->BitBtn1Click();
    {
        const std::unique_ptr<QMenu> menu = Form->Extras().Image2Menu();
        QAction* clear = Item(*menu, "清除图片");
        ASSERT_NE(clear, nullptr);
        EXPECT_FALSE(clear->isEnabled()) << "nothing to clear yet";
    }
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QMimeData data;
    data.setImageData(image);
    Form->Extras().Image2Drop(data);
    ASSERT_NE(Ui().Image2->Picture().Graphic(), nullptr);
    const std::unique_ptr<QMenu> menu = Form->Extras().Image2Menu();
    QAction* clear = Item(*menu, "清除图片");
    ASSERT_NE(clear, nullptr);
    ASSERT_TRUE(clear->isEnabled());
    clear->trigger();
    EXPECT_EQ(Ui().Image2->Picture().Graphic(), nullptr);
    EXPECT_TRUE(Ui().Image2->grab().toImage().pixelColor(20, 15) != QColor(Qt::red));
    Ui().Edit1->setText(QStringLiteral("汤"));
    Form->BitBtn5Click();
    EXPECT_EQ(StoredPictures(), 0);
}

// 复制 and 全选 beside printing; 复制 only with something chosen.
TEST_F(MenuTest, RecipeViewCopiesAndSelectsAll) {
    Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉"));
    Search(QString());
    View(0);
    {
        const std::unique_ptr<QMenu> menu = Form->Extras().RichEdit1Menu();
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                texts << a->text();
        EXPECT_EQ(texts, (QStringList{"复制", "全选", "打印菜谱…", "导出PDF…", "开始做菜"}));
        EXPECT_FALSE(Item(*menu, "复制")->isEnabled());
        Item(*menu, "全选")->trigger();
    }
    EXPECT_TRUE(Ui().RichEdit1->textCursor().hasSelection());
    QGuiApplication::clipboard()->clear();
    const std::unique_ptr<QMenu> menu = Form->Extras().RichEdit1Menu();
    ASSERT_TRUE(Item(*menu, "复制")->isEnabled());
    Item(*menu, "复制")->trigger();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("红烧肉"))) << copied.toStdString();
    EXPECT_TRUE(copied.contains(QStringLiteral("五花肉")));
}
} // namespace
