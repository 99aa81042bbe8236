// The main window skinned by the program's own manager: its client area stays
// 703 x 586, and turning the skin off gives back exactly the never-skinned window.
#include "SkinFormSupport.h"
#include "Unit_main.h"
#include "ui_Unit_main.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QImage ShownGrab(TForm_main& window) {
    window.move(20, 20);
    if (!ShowAndActivate(window)) {
        return {};
    }
    // The status bar is filled on activation.
    QApplication::processEvents();
    return Grab(window);
}
} // namespace

TEST(MainWindowFrame, ClientAreaStaysAndUndoIsExact) {
    // A folder each: both windows start with a new, empty book.
    QTemporaryDir folder, otherFolder;
    ASSERT_TRUE(folder.isValid() && otherFolder.isValid());
    // The reference is built while the hook passes everything on.
    FinalizeSkinUnits();
    QImage neverGrab;
    QRect neverGeometry;
    {
        TForm_main never(folder.path());
        neverGrab = ShownGrab(never);
        neverGeometry = never.geometry();
        ASSERT_FALSE(SkinManager() && SkinManager()->FindForm(&never));
    }
    ASSERT_FALSE(neverGrab.isNull());
    FinalizeSkinUnits();
    InitializeSkinUnits();

    TForm_main form(otherFolder.path());
    const QPoint coolBar = form.Controls().CoolBar1->pos();
    const QPoint pages = form.Controls().PageControl1->pos();
    const QImage skinned = ShownGrab(form);
    ASSERT_TRUE(SkinManager());
    TWinSkinForm* skin = SkinManager()->FindForm(&form);
    ASSERT_TRUE(skin);
    ASSERT_TRUE(skin->DrawsFrame());
    const QMargins bw = skin->BorderWidths();
    const QSize client = form.size() - QSize(bw.left() + bw.right(), bw.top() + bw.bottom());
    EXPECT_EQ(client, QSize(703, 586));
    EXPECT_EQ(form.minimumSize(), form.size());
    EXPECT_EQ(form.maximumSize(), form.size());
    EXPECT_EQ(form.Controls().CoolBar1->pos(), coolBar + QPoint(bw.left(), bw.top()));
    EXPECT_EQ(form.Controls().PageControl1->pos(), pages + QPoint(bw.left(), bw.top()));
    EXPECT_NE(skinned.size(), neverGrab.size());

    // Action 2, as the component asks for it.
    form.SkinData1().SetActive(false);
    QTest::qWait(400);
    QApplication::processEvents();
    EXPECT_FALSE(SkinManager()->FindForm(&form));
    EXPECT_EQ(form.geometry(), neverGeometry);
    EXPECT_EQ(form.minimumSize(), QSize(703, 586));
    EXPECT_EQ(form.maximumSize(), QSize(703, 586));
    EXPECT_EQ(form.Controls().CoolBar1->pos(), coolBar);
    EXPECT_TRUE(SameImage(Grab(form), neverGrab));
    FinalizeSkinUnits();
    InitializeSkinUnits();
}
