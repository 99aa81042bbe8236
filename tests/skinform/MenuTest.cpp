// Skinned menus: the system menu, pop-up menus drawn from MenuitemBG and
// MenuItem, and the menu bar drawn from Menubar.
#include "SkinFormSupport.h"
#include "SkinMessages.h"
#include "WinSkinMenu.h"

#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// Records the manager's menu kind whenever a menu is about to show.
struct TMenuTypeSpy : QObject {
    TSkinManage& Manager;
    std::vector<int> Seen;
    explicit TMenuTypeSpy(TSkinManage& m) : Manager(m) { qApp->installEventFilter(this); }
    ~TMenuTypeSpy() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && qobject_cast<QMenu*>(o)) {
            Seen.push_back(Manager.menutype);
        }
        return false;
    }
};

QStringList Texts(const QMenu& menu) {
    QStringList t;
    for (QAction* a : menu.actions()) {
        t << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return t;
}

std::unique_ptr<QMenu> ContextMenu() {
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("撤销"));
    menu->addAction(QStringLiteral("剪切"));
    menu->addSeparator();
    QAction* check = menu->addAction(QStringLiteral("全选"));
    check->setCheckable(true);
    check->setChecked(true);
    menu->addAction(QStringLiteral("删除"))->setEnabled(false);
    return menu;
}

} // namespace

TEST(SystemMenu, ItemsInChineseAndOpenedAsSystemMenu) {
    TSkinFixture f;
    QWidget w;
    w.setFixedSize(300, 200);
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(ShowAndActivate(w));
    ASSERT_TRUE(form.sysmenu);
    EXPECT_EQ(Texts(*form.sysmenu),
              (QStringList{QStringLiteral("还原"), QStringLiteral("移动"), QStringLiteral("大小"),
                           QStringLiteral("最小化"), QStringLiteral("最大化"), QStringLiteral("-"),
                           QStringLiteral("关闭\tAlt+F4")}));

    TMenuTypeSpy spy(f.Manager);
    QTest::mouseClick(&w, Qt::LeftButton, {}, form.CaptionIconRect().center());
    QTRY_VERIFY_WITH_TIMEOUT(form.sysmenu->isVisible(), 1000);
    ASSERT_FALSE(spy.Seen.empty());
    EXPECT_EQ(spy.Seen.front(), 2);
    EXPECT_EQ(f.Manager.menutype, 0);
    // A fixed-size normal window: only minimise, move and close apply.
    const auto actions = form.sysmenu->actions();
    EXPECT_FALSE(actions[0]->isEnabled()); // 还原
    EXPECT_TRUE(actions[1]->isEnabled());  // 移动
    EXPECT_FALSE(actions[2]->isEnabled()); // 大小
    EXPECT_TRUE(actions[3]->isEnabled());  // 最小化
    EXPECT_FALSE(actions[4]->isEnabled()); // 最大化
    form.sysmenu->hide();

    actions[6]->trigger();
    EXPECT_FALSE(w.isVisible());
}

TEST(SystemMenu, IconClickDoesNothingWithoutSystemMenuMember) {
    TSkinFixture f;
    f.Skin->SkinControls.Exclude(xcSystemMenu);
    QWidget w;
    w.setFixedSize(300, 200);
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(ShowAndActivate(w));
    QTest::mouseClick(&w, Qt::LeftButton, {}, form.CaptionIconRect().center());
    QTest::qWait(50);
    ASSERT_TRUE(form.sysmenu);
    EXPECT_FALSE(form.sysmenu->isVisible());
    EXPECT_TRUE(w.isVisible());
}

TEST(PopupMenu, FrameAndHighlightFromMenuElements) {
    TSkinFixture f;
    auto menu = ContextMenu();
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    const QImage plain = Grab(*menu);

    auto skin = std::make_unique<TWinSkinPopMenu>(*menu, *f.Skin, f.Manager);
    EXPECT_TRUE(IsSkinnedObject(menu.get()));
    QAction* first = menu->actions().first();
    menu->setActiveAction(first);
    const QImage g = Grab(*menu);
    if (!qgetenv("MYCOOK_SAVE_GRABS").isEmpty()) {
        g.save(QStringLiteral("/tmp/s2menu.png"));
    }
    const TDataSkinObject& bg = *f.Skin->MenuitemBG;
    const int w = g.width();
    const int h = g.height();
    // Corners and the left side bar come from MenuitemBG unscaled.
    EXPECT_EQ(GrabPixel(g, 0, 0), BitmapPixel(bg.Map, 0, 0));
    EXPECT_EQ(GrabPixel(g, w - 1, h - 1),
              BitmapPixel(bg.Map, bg.Map.width() - 1, bg.Map.height() - 1));
    EXPECT_EQ(GrabPixel(g, 5, h - 1), BitmapPixel(bg.Map, 5, bg.Map.height() - 1));
    // xoMenuBG clear: inside the frame the menu's own colour.
    const QRect item = menu->actionGeometry(menu->actions()[1]);
    EXPECT_EQ(QColor(g.pixel(item.right() - 3, item.center().y())),
              ColorToQColor(f.Skin->Colors[16]));
    // The highlighted item: MenuItem's mouse-over frame at its left edge.
    const TDataSkinObject& mi = *f.Skin->MenuItem;
    const QRect hot = menu->actionGeometry(first);
    const int fw = mi.Map.width() / mi.frame;
    EXPECT_EQ(GrabPixel(g, hot.left() + 1, hot.top() + 1), BitmapPixel(mi.Map, fw + 1, 1));
    EXPECT_EQ(GrabPixel(g, hot.right() - 1, hot.top() + 1), BitmapPixel(mi.Map, 2 * fw - 2, 1));
    EXPECT_NE(g, plain);

    // Released: the menu's own look, exactly.
    skin->Unsubclass();
    menu->setActiveAction(nullptr);
    EXPECT_FALSE(menu->testAttribute(Qt::WA_SetStyle));
    EXPECT_FALSE(IsSkinnedObject(menu.get()));
    EXPECT_TRUE(SameImage(Grab(*menu), plain));
}

TEST(PopupMenu, MenuBackgroundOptionAndInactiveManager) {
    TSkinFixture f;
    f.Skin->Options.Include(xoMenuBG);
    auto menu = ContextMenu();
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    const QImage plain = Grab(*menu);
    TWinSkinPopMenu skin(*menu, *f.Skin, f.Manager);
    const QImage g = Grab(*menu);
    const TDataSkinObject& bg = *f.Skin->MenuitemBG;
    // xoMenuBG: the background's own middle (repeated) instead of the menu colour.
    const QRect item = menu->actionGeometry(menu->actions()[1]);
    const QPoint p(item.right() - 3, item.center().y());
    const int mx = bg.r.Left + (p.x() - bg.r.Left) % (bg.Map.width() - bg.r.Left - bg.r.Right);
    const int my = bg.r.Top + (p.y() - bg.r.Top) % (bg.Map.height() - bg.r.Top - bg.r.Bottom);
    EXPECT_EQ(GrabPixel(g, p.x(), p.y()), BitmapPixel(bg.Map, mx, my));

    // While the manager is not active the menu, opened again, is left to itself.
    f.Manager.active = false;
    menu->hide();
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    EXPECT_TRUE(SameImage(Grab(*menu), plain));
    // And skinned again when it comes back.
    f.Manager.active = true;
    menu->hide();
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    EXPECT_TRUE(SameImage(Grab(*menu), g));
}

TEST(PopupMenu, MenuDestroyedBeforeItsSkin) {
    TSkinFixture f;
    auto menu = ContextMenu();
    TWinSkinPopMenu skin(*menu, *f.Skin, f.Manager);
    menu.reset();
    EXPECT_FALSE(skin.hwnd);
    skin.Unsubclass(); // touches nothing
    EXPECT_TRUE(skin.done);
}

TEST(MenuBar, DrawnFromMenubarAndOpensAsMenuBarKind) {
    TSkinFixture f;
    QWidget w;
    auto* bar = new QMenuBar(&w);
    QMenu* file = bar->addMenu(QStringLiteral("文件"));
    file->addAction(QStringLiteral("打开"));
    bar->addMenu(QStringLiteral("帮助"));
    bar->setGeometry(0, 0, 300, 22);
    bar->setFixedHeight(22);
    w.resize(300, 200);
    const QImage plain = Grab(*bar);
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(form.menu);
    ASSERT_TRUE(ShowAndActivate(w));
    const QImage g = Grab(*bar);
    const TDataSkinObject& mb = *f.Skin->Menubar;
    // Left margin unscaled; the bar is as high as the bitmap.
    EXPECT_EQ(GrabPixel(g, 1, 5), BitmapPixel(mb.Map, 1, 5));
    EXPECT_EQ(GrabPixel(g, 299, 20), BitmapPixel(mb.Map, mb.Map.width() / 2 - 1, 20));
    EXPECT_TRUE(IsSkinnedObject(bar));

    TMenuTypeSpy spy(f.Manager);
    file->popup(QPoint(10, 30));
    QTRY_VERIFY_WITH_TIMEOUT(file->isVisible(), 1000);
    ASSERT_FALSE(spy.Seen.empty());
    EXPECT_EQ(spy.Seen.front(), 1);
    file->hide();
    EXPECT_EQ(f.Manager.menutype, 0);

    form.UnSubclass(false);
    EXPECT_FALSE(IsSkinnedObject(bar));
    EXPECT_TRUE(SameImage(Grab(*bar), plain));
}
