// Many windows and menus opened and closed, shut-down while one is open, and
// a skin change under an open dialog: nothing may be left behind or touched
// after it is gone (the suite runs under ASan with leak detection).
#include "SkinMgrFixture.h"

#include <QBuffer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>
#include <QTimer>

#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {
int LiveSkinForms() {
    int n = 0;
    for (QWidget* w : QApplication::allWidgets()) {
        n += static_cast<int>(w->findChildren<TWinSkinForm*>(Qt::FindDirectChildrenOnly).size());
    }
    return n;
}

void Settle() {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}
} // namespace

TEST_F(SkinMgrTest, HundredsOfBoxesDialogsAndMenusLeaveNothingBehind) {
    QWidget& window = NewWindow();
    StartMain(window);
    for (int i = 0; i < 300; ++i) {
        auto* box = new QMessageBox(QMessageBox::Information, "提示", QString::number(i),
                                    QMessageBox::Ok, &window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        box->activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(Manager().FindForm(box)) << i;
        box->close();
        Settle();
    }
    for (int i = 0; i < 30; ++i) {
        QFileDialog dialog(&window);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.show();
        dialog.activateWindow();
        QApplication::processEvents();
        EXPECT_TRUE(Manager().FindForm(&dialog));
    }
    for (int i = 0; i < 300; ++i) {
        auto* menu = new QMenu(&window);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(QStringLiteral("复制"));
        menu->popup(window.mapToGlobal(QPoint(10, 10)));
        QApplication::processEvents();
        ASSERT_EQ(Manager().Mlist.size(), 1) << i;
        menu->close();
        Settle();
        ASSERT_TRUE(Manager().Mlist.isEmpty()) << i;
    }
    Manager().Purge();
    EXPECT_EQ(Manager().Flist.size(), 1); // the main window only
    EXPECT_EQ(LiveSkinForms(), 1);
    EXPECT_FALSE(Manager().Timer.isActive());
    EXPECT_EQ(Manager().menutype, 0);
    EXPECT_FALSE(Manager().menuactive);
}

TEST_F(SkinMgrTest, ShutDownWhileAMessageBoxIsOpen) {
    QWidget& window = NewWindow();
    StartMain(window);
    QMessageBox box(QMessageBox::Question, "提示", "?", QMessageBox::Yes | QMessageBox::No,
                    &window);
    bool skinnedWhileOpen = false;
    QTimer::singleShot(150, [&] {
        skinnedWhileOpen = Manager().FindForm(&box) != nullptr;
        FinalizeSkinUnits();
        // The box keeps working without its skin.
        QTimer::singleShot(50, &box, [&] { box.done(QMessageBox::No); });
    });
    EXPECT_EQ(box.exec(), QMessageBox::No);
    EXPECT_TRUE(skinnedWhileOpen);
    EXPECT_EQ(SkinManager(), nullptr);
    EXPECT_EQ(LiveSkinForms(), 0);
}

TEST_F(SkinMgrTest, ShutDownWhileAMenuIsOpen) {
    QWidget& window = NewWindow();
    StartMain(window);
    QMenu menu(&window);
    menu.addAction(QStringLiteral("粘贴"));
    bool hooked = false;
    QTimer::singleShot(150, [&] {
        hooked = Manager().FindPopupMenu(&menu) != nullptr;
        FinalizeSkinUnits();
        QTimer::singleShot(50, &menu, [&] { menu.close(); });
    });
    menu.exec(window.mapToGlobal(QPoint(5, 5)));
    EXPECT_TRUE(hooked);
    EXPECT_EQ(SkinManager(), nullptr);
    EXPECT_TRUE(menu.findChildren<TWinSkinPopMenu*>().isEmpty());
}

TEST_F(SkinMgrTest, SkinChangeAndOffOnWhileADialogIsOpen) {
    QWidget& window = NewWindow();
    TSkinData& skin = StartMain(window);
    int changed = 0;
    skin.OnSkinChanged = [&](TSkinData*) {
        ++changed;
    };
    QMessageBox box(QMessageBox::Information, "提示", "x", QMessageBox::Ok, &window);
    bool boxKeptItsSkin = false;
    bool boxUnskinned = false;
    bool boxSkinnedAgain = false;
    QTimer::singleShot(150, [&] {
        QBuffer buffer;
        buffer.setData(DefaultSkinContainer());
        buffer.open(QIODevice::ReadOnly);
        QPointer<TWinSkinForm> form = Manager().FindForm(&box);
        skin.LoadFromStream(buffer);
        QTest::qWait(350);
        boxKeptItsSkin = form && Manager().FindForm(&box) == form.data();
        skin.SetActive(false);
        QTest::qWait(350);
        boxUnskinned = !form && !Manager().FindForm(&box);
        skin.SetActive(true);
        QTest::qWait(350);
        boxSkinnedAgain = Manager().FindForm(&box) != nullptr;
        box.accept();
    });
    box.exec();
    EXPECT_TRUE(boxKeptItsSkin);
    EXPECT_TRUE(boxUnskinned);
    EXPECT_TRUE(boxSkinnedAgain);
    EXPECT_EQ(changed, 3);
    Settle();
    Manager().Purge();
    EXPECT_EQ(LiveForms(), 2); // the box is still alive (on the stack), hidden
}
