// The main window skinned: its client area stays 703 x 586 and everything comes
// back exactly when the skin is undone.
#include "SkinFormSupport.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Fails since the merge of the skin run time; kept off until mended.
TEST(MainWindowFrame, DISABLED_ClientAreaStaysAndUndoIsExact) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    TSkinFixture f;
    TForm_main never(folder.path());
    never.move(20, 20);
    never.show();
    const QImage neverGrab = Grab(never);
    never.hide();

    TForm_main form(folder.path());
    form.move(20, 20);
    form.show();
    const QRect geometry = form.geometry();
    const QPoint coolBar = form.Controls().CoolBar1->pos();
    const QPoint pages = form.Controls().PageControl1->pos();
    TWinSkinForm& skin = f.SkinWindow(form);
    ASSERT_TRUE(skin.DrawsFrame());
    const QMargins bw = skin.BorderWidths();
    const QSize client = form.size() - QSize(bw.left() + bw.right(), bw.top() + bw.bottom());
    EXPECT_EQ(client, QSize(703, 586));
    EXPECT_EQ(form.minimumSize(), form.size());
    EXPECT_EQ(form.maximumSize(), form.size());
    EXPECT_EQ(form.Controls().CoolBar1->pos(), coolBar + QPoint(bw.left(), bw.top()));
    EXPECT_EQ(form.Controls().PageControl1->pos(), pages + QPoint(bw.left(), bw.top()));
    // The client area of the skinned grab is the unskinned window's content.
    const QImage skinned = Grab(form);
    EXPECT_EQ(skinned.copy(bw.left(), bw.top(), 703, 586).pixel(350, 300),
              neverGrab.pixel(350, 300));

    skin.UnSubclass(false);
    EXPECT_EQ(form.geometry(), geometry);
    EXPECT_EQ(form.minimumSize(), QSize(703, 586));
    EXPECT_EQ(form.maximumSize(), QSize(703, 586));
    EXPECT_EQ(form.Controls().CoolBar1->pos(), coolBar);
    EXPECT_TRUE(SameImage(Grab(form), neverGrab));
}
