// What the control skins paint, checked on grabbed pixels against the
// skin's own frames.
#include "SkinCtlFixture.h"
#include "SkinPaint.h"
#include "WinSubClassAdd.h"
#include "WinSubClassBox.h"
#include "WinSubClassButton.h"
#include "WinSubClassDraw.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Frame `index` of `element` as it would be drawn at `size`.
QImage Expected(const TDataSkinObject& element, int index, const QSize& size) {
    return SkinElementAt(element, index, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// A point of the button face's left edge, away from text and focus marks.
QPoint FacePoint(const QSize& size) {
    return {2, size.height() / 2};
}

class TButtonPaint : public ::testing::Test {
protected:
    void SetUp() override {
        Window.Window->resize(200, 100);
        Other = new QPushButton("other", Window.Window.get());
        Other->setGeometry(110, 10, 80, 30);
        Button = new QPushButton("face", Window.Window.get());
        Button->setGeometry(10, 10, 80, 30);
        SkinFormControls(*Window.Form);
        Window.Window->show();
        Window.Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.Window.get()));
    }
    QRgb Face() { return Grab(*Button).pixel(FacePoint(Button->size())); }
    QRgb Frame(int index) {
        return Expected(*DefaultSkin().Button, index, Button->size())
            .pixel(FacePoint(Button->size()));
    }
    TSkinnedWindow Window;
    QPushButton* Button = nullptr;
    QPushButton* Other = nullptr;
};

} // namespace

TEST_F(TButtonPaint, FacesFollowTheButtonStates) {
    // The sample point tells the five frames apart.
    for (int a = 0; a < 5; ++a) {
        for (int b = a + 1; b < 5; ++b) {
            ASSERT_NE(Frame(a), Frame(b)) << a << " " << b;
        }
    }
    Other->setFocus();
    EXPECT_EQ(Face(), Frame(TSkinControl::stNormal));

    QTest::mouseMove(Button, QPoint(40, 15));
    QTest::qWait(20);
    EXPECT_EQ(Face(), Frame(TSkinControl::stOver));

    QTest::mousePress(Button, Qt::LeftButton, {}, QPoint(40, 15));
    EXPECT_EQ(Face(), Frame(TSkinControl::stDown));
    QTest::mouseRelease(Button, Qt::LeftButton, {}, QPoint(40, 15));

    QTest::mouseMove(Window.Window.get(), QPoint(150, 80));
    QTest::qWait(20);
    Button->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Face(), Frame(TSkinControl::stFocused));

    Button->setEnabled(false);
    EXPECT_EQ(Face(), Frame(TSkinControl::stDisabled));
}

TEST_F(TButtonPaint, NoFocusRectLeavesOnlyTheFocusedFrame) {
    Button->setFocus(Qt::TabFocusReason);
    const QImage withRect = Grab(*Button);
    const TSkinOptions options = DefaultSkin().Options;
    DefaultSkin().Options.Include(xoNoFocusRect);
    const QImage without = Grab(*Button);
    DefaultSkin().Options = options;
    EXPECT_NE(withRect, without);
    // The dotted rectangle runs 3 pixels inside the edge; the face is there now.
    const QImage face = Expected(*DefaultSkin().Button, TSkinControl::stFocused, Button->size());
    EXPECT_EQ(without.pixel(20, 3), face.pixel(20, 3) | 0xFF000000u);
}

TEST_F(TButtonPaint, TextIsDrawnInTheSchemeColour) {
    Other->setFocus();
    const QImage face = Grab(*Button);
    const QColor text = FaceTextColor(DefaultSkin(), DefaultSkin().Button.get(), 0);
    bool found = false;
    for (int y = 0; y < face.height() && !found; ++y) {
        for (int x = 0; x < face.width() && !found; ++x) {
            found = QColor(face.pixel(x, y)) == text;
        }
    }
    EXPECT_TRUE(found);
}

TEST(SkinPaintTransparency, Tag5555DrawsTransparentlyWithTheOptionClear) {
    // A face whose corner is the transparency colour, its own flag clear.
    TSkinData& skin = DefaultSkin();
    const TDataSkinButton saved = *skin.Button;
    const TSkinOptions options = skin.Options;
    QImage map = skin.Button->Map.convertToFormat(QImage::Format_RGB32);
    const int fw = map.width() / 5;
    for (int f = 0; f < 5; ++f) {
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                map.setPixel(f * fw + x, y, 0xFFFF00FF);
            }
        }
    }
    skin.Button->Map = map;
    skin.Button->trans = 0;
    skin.Options.Exclude(xoTransparent);

    TSkinnedWindow w;
    w.Window->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0, 0, 255));
    w.Window->setPalette(palette);
    auto* plain = new QPushButton("a", w.Window.get());
    auto* tagged = new QPushButton("b", w.Window.get());
    SetControlTag(*tagged, 5555);
    plain->setGeometry(0, 0, 60, 30);
    tagged->setGeometry(0, 40, 60, 30);
    SkinFormControls(*w.Form);
    const QImage all = Grab(*w.Window);
    EXPECT_EQ(all.pixel(0, 0), 0xFFFF00FFu);              // drawn as it is
    EXPECT_EQ(all.pixel(0, 40), QColor(0, 0, 255).rgb()); // the parent shows through

    skin.Options.Include(xoTransparent);
    plain->repaint();
    EXPECT_EQ(Grab(*w.Window).pixel(0, 0), QColor(0, 0, 255).rgb());
    *skin.Button = saved;
    skin.Options = options;
}

TEST(SkinPaintGlyphs, CheckAndRadioShowTheirStripFrames) {
    TSkinData& skin = DefaultSkin();
    for (bool radio : {false, true}) {
        TSkinnedWindow w;
        QAbstractButton* b =
            radio ? static_cast<QAbstractButton*>(new QRadioButton("r", w.Window.get()))
                  : new QCheckBox("c", w.Window.get());
        b->setGeometry(0, 0, 100, 24);
        SkinFormControls(*w.Form);
        ASSERT_EQ(w.ClassOfSkin(b), radio ? "TSkinRadioButton" : "TSkinCheckBox");
        const QImage& strip = radio ? skin.Button->RadioMap : skin.Button->CheckMap;
        const int frames = radio ? skin.Button->radioframe : skin.Button->checkframe;
        ASSERT_EQ(frames, 8);
        const int fw = strip.width() / frames;
        // The glyph's centre pixel: unchecked normal is frame 0, checked normal frame 4.
        auto centreOf = [&](int frame) {
            return strip.pixel(frame * fw + fw / 2, strip.height() / 2) | 0xFF000000u;
        };
        ASSERT_NE(centreOf(0), centreOf(4));
        auto glyphCentre = [&] {
            QStyleOptionButton option;
            option.initFrom(b);
            const QRect ind = b->style()->subElementRect(
                radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, b);
            const QPoint c(ind.x() + (ind.width() - fw) / 2 + fw / 2,
                           ind.y() + (ind.height() - strip.height()) / 2 + strip.height() / 2);
            return Grab(*b).pixel(c);
        };
        EXPECT_EQ(glyphCentre(), centreOf(0)) << radio;
        b->setChecked(true);
        EXPECT_EQ(glyphCentre(), centreOf(4)) << radio;
        b->setEnabled(false);
        EXPECT_EQ(glyphCentre(), centreOf(7)) << radio; // checked, disabled
    }
}

TEST(SkinPaintBoxes, GroupBoxEdgeAndLabel) {
    TSkinnedWindow w;
    auto* box = new QGroupBox(QStringLiteral("Browse"), w.Window.get());
    box->setGeometry(0, 0, 200, 90);
    SkinFormControls(*w.Form);
    const QImage g = Grab(*box);
    QRect frame, plate, label;
    TSkinGroupBox::Layout(*box, DefaultSkin(), frame, plate, label);
    const QImage edge = Expected(*DefaultSkin().Box, 0, frame.size());
    // The edge's bottom-left stretch, far from the label.
    const QPoint at(frame.width() / 2, frame.height() - 1);
    EXPECT_EQ(g.pixel(frame.topLeft() + at), edge.pixel(at) | 0xFF000000u);
    const TDataSkinBoxLabel& back = *DefaultSkin().boxlabel;
    const QImage plateImage = Expected(back, 0, plate.size());
    const QPoint p(2, plate.height() / 2);
    ASSERT_TRUE(box->rect().contains(plate));
    EXPECT_EQ(g.pixel(plate.topLeft() + p), plateImage.pixel(p) | 0xFF000000u);
    // The title in the label's colour.
    const QColor ink = ColorToQColor(back.Normalcolor & 0xFFFFFF);
    bool found = false;
    for (int y = label.top(); y <= label.bottom() && !found; ++y) {
        for (int x = label.left(); x <= label.right() && !found; ++x) {
            found = QColor(g.pixel(x, y)) == ink;
        }
    }
    EXPECT_TRUE(found);
}

TEST(SkinPaintBoxes, StatusBarPanelsAndEditBorder) {
    TSkinnedWindow w;
    auto* status = new QStatusBar(w.Window.get());
    status->setSizeGripEnabled(false);
    status->setGeometry(0, 100, 300, 26);
    auto* panel = new QLabel("panel", status);
    panel->setFrameShape(QFrame::Panel);
    panel->setGeometry(0, 0, 100, 26);
    auto* edit = new QLineEdit(w.Window.get());
    edit->setGeometry(10, 10, 120, 24);
    SkinFormControls(*w.Form);
    ASSERT_EQ(w.ClassOfSkin(status), "TSkinStatusBar");
    const QImage s = Grab(*status);
    const QImage barFrame = Expected(*DefaultSkin().StatusBar, 0, status->size());
    const QImage panelFrame = Expected(*DefaultSkin().StatusBar, 1, panel->size());
    EXPECT_EQ(s.pixel(200, 20), barFrame.pixel(200, 20) | 0xFF000000u);
    // The panel's own sunken frame is replaced by the skin's panel.
    EXPECT_EQ(s.pixel(50, 3), panelFrame.pixel(50, 3) | 0xFF000000u);
    EXPECT_EQ(s.pixel(50, 24), panelFrame.pixel(50, 24) | 0xFF000000u);

    const QImage e = Grab(*edit);
    const QRgb shadow = SchemeColor(DefaultSkin(), scButtonShadow).rgb();
    EXPECT_EQ(e.pixel(60, 0), shadow);
    EXPECT_EQ(e.pixel(0, 12), shadow);
    EXPECT_EQ(e.pixel(60, 1), 0xFFFFFFFFu);
    EXPECT_EQ(e.pixel(60, 2), 0xFFFFFFFFu);
    EXPECT_EQ(e.pixel(119, 12), shadow);
    EXPECT_EQ(e.pixel(117, 12), 0xFFFFFFFFu);
}

TEST(SkinPaintBoxes, TurningOffGivesTheControlsOwnLookBack) {
    TSkinnedWindow w;
    auto* button = new QPushButton("b", w.Window.get());
    auto* check = new QCheckBox("c", w.Window.get());
    check->move(0, 40);
    const QImage before = Grab(*w.Window);
    SkinFormControls(*w.Form);
    EXPECT_NE(Grab(*w.Window), before);
    UnskinFormControls(*w.Form, false);
    EXPECT_EQ(Grab(*w.Window), before);
    (void)button;
}
