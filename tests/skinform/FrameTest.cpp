// Skinned window frames: border widths, caption pixels from the Top border,
// caption buttons, region from masks, moving and resizing, and exact undo.
#include "SkinFormSupport.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A fixed-size window with hand-placed children, like the main window.
struct TFixedWindow : QWidget {
    QLabel* Label;
    QPushButton* Button;
    TFixedWindow() {
        setFixedSize(300, 200);
        Label = new QLabel(QStringLiteral("菜名"), this);
        Label->setGeometry(10, 10, 80, 20);
        Button = new QPushButton(QStringLiteral("保存"), this);
        Button->setGeometry(100, 150, 90, 30);
    }
};

// A resizable dialog laid out by a layout, like the file dialog.
struct TLayoutDialog : QDialog {
    QLineEdit* Edit;
    QPushButton* Ok;
    TLayoutDialog() {
        auto* layout = new QVBoxLayout(this);
        Edit = new QLineEdit(this);
        Ok = new QPushButton(QStringLiteral("确定"), this);
        Ok->setDefault(true);
        layout->addWidget(Edit);
        layout->addWidget(Ok);
        connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
        resize(320, 160);
    }
};

const TDataSkinBorder& Top(const TSkinData& skin) {
    return *skin.border[bsTop];
}

// Compares the caption strip, where nothing but the Top border is drawn, with
// frame `frame` of the Top border's bitmap (margins copied, middle repeated).
void ExpectCaptionFrame(const QImage& grab, const TSkinData& skin, int frame,
                        const std::vector<TCaptionButton>& buttons, const QRect& icon) {
    const TDataSkinBorder& top = Top(skin);
    const int h = top.Map.height() / top.frame;
    const int w = grab.width();
    const int left = top.r.Left;
    const int right = top.r.Right;
    const int middle = top.Map.width() - left - right;
    int checked = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QPoint p(x, y);
            if (icon.contains(p)) {
                continue; // caption icon
            }
            bool onButton = false;
            for (const auto& b : buttons) {
                onButton = onButton || b.Rect.contains(p);
            }
            if (onButton) {
                continue;
            }
            int bx;
            if (x < left) {
                bx = x;
            } else if (x >= w - right) {
                bx = top.Map.width() - (w - x);
            } else {
                bx = left + (x - left) % middle;
            }
            ASSERT_EQ(GrabPixel(grab, x, y), BitmapPixel(top.Map, bx, y + frame * h))
                << "at " << x << "," << y << " frame " << frame;
            ++checked;
        }
    }
    EXPECT_GT(checked, w * h / 2);
}

int ButtonIndex(const TWinSkinForm& form, int action) {
    const auto& buttons = form.CaptionButtons();
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].Action == action) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Whether the grab shows exactly frame `frame` of the button's strip at its place.
bool ShowsButtonFrame(const QImage& grab, const TCaptionButton& b, int frame) {
    const QImage& map = b.Data->Map;
    const int fw = map.width() / b.Data->frame;
    for (int y = 0; y < b.Rect.height(); ++y) {
        for (int x = 0; x < b.Rect.width(); ++x) {
            if (GrabPixel(grab, b.Rect.x() + x, b.Rect.y() + y) !=
                BitmapPixel(map, frame * fw + x, y)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

TEST(SkinBorderWidths, DefaultSkinAndUnusableBorders) {
    auto skin = DefaultSkin();
    ASSERT_FALSE(skin->Empty);
    EXPECT_EQ(SkinBorderWidths(*skin), QMargins(4, 30, 4, 4));

    // No Top border: no caption to move the window by.
    auto noTop = DefaultSkin();
    noTop->border[bsTop]->Map = QImage();
    EXPECT_TRUE(SkinBorderWidths(*noTop).isNull());

    // A zero frame count must not divide by zero, and still gives the one frame.
    auto zeroFrames = DefaultSkin();
    zeroFrames->border[bsLeft]->frame = 0;
    EXPECT_EQ(SkinBorderWidths(*zeroFrames).left(), 8);

    // No close button: no way to close the window by mouse.
    auto noClose = DefaultSkin();
    std::erase_if(noClose->SysBtn, [](const auto& b) { return b->Action == caClose; });
    EXPECT_TRUE(SkinBorderWidths(*noClose).isNull());

    TSkinData empty;
    EXPECT_TRUE(SkinBorderWidths(empty).isNull());
}

TEST(FrameHitTest, FixedAndSizeableWindows) {
    const QSize size(300, 234);
    const QMargins bw(4, 30, 4, 4);
    struct {
        QPoint P;
        bool Sizeable;
        TFrameHit Want;
    } cases[] = {
        {{150, 15}, false, TFrameHit::Caption}, {{150, 100}, false, TFrameHit::Client},
        {{1, 100}, false, TFrameHit::Client},   {{150, 1}, false, TFrameHit::Caption},
        {{1, 100}, true, TFrameHit::Left},      {{298, 100}, true, TFrameHit::Right},
        {{150, 232}, true, TFrameHit::Bottom},  {{150, 1}, true, TFrameHit::Top},
        {{0, 0}, true, TFrameHit::TopLeft},     {{299, 233}, true, TFrameHit::BottomRight},
        {{299, 5}, true, TFrameHit::TopRight},  {{2, 230}, true, TFrameHit::BottomLeft},
        {{150, 15}, true, TFrameHit::Caption},  {{300, 15}, true, TFrameHit::Client},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrameHitTest(size, bw, c.P, c.Sizeable), c.Want) << c.P.x() << "," << c.P.y();
    }
}

TEST(CaptionButtons, LayoutFollowsFlagsAndState) {
    auto skin = DefaultSkin();
    auto actions = [](const std::vector<TCaptionButton>& v) {
        std::vector<int> a;
        for (const auto& b : v) {
            a.push_back(b.Action * 10 + (b.Enabled ? 1 : 0));
        }
        return a;
    };
    // Fixed size: maximise shown but disabled.
    EXPECT_EQ(actions(LayoutCaptionButtons(*skin, 300, false, true, true, false)),
              (std::vector<int>{1, 10, 21}));
    // Maximised sizeable window: restore instead of maximise.
    EXPECT_EQ(actions(LayoutCaptionButtons(*skin, 300, true, true, true, true)),
              (std::vector<int>{1, 41, 21}));
    // A dialog: only close.
    const auto dialog = LayoutCaptionButtons(*skin, 300, false, false, false, false);
    ASSERT_EQ(dialog.size(), 1u);
    EXPECT_EQ(dialog[0].Rect, QRect(274, 6, 20, 18));
}

TEST(SkinnedFrame, CaptionShowsActiveAndInactiveTopFrames) {
    TSkinFixture f;
    TFixedWindow w;
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(form.DrawsFrame());
    ASSERT_TRUE(ShowAndActivate(w));
    ExpectCaptionFrame(Grab(w), *f.Skin, 0, form.CaptionButtons(), form.CaptionIconRect());

    QWidget other;
    other.resize(100, 100);
    ASSERT_TRUE(ShowAndActivate(other));
    ASSERT_FALSE(w.isActiveWindow());
    ExpectCaptionFrame(Grab(w), *f.Skin, 1, form.CaptionButtons(), form.CaptionIconRect());
    // The two frames really differ, so the check above tells them apart.
    const TDataSkinBorder& top = Top(*f.Skin);
    EXPECT_NE(top.Map.copy(0, 0, 640, 30), top.Map.copy(0, 30, 640, 30));
}

// The caption icon keeps its own transparency (no magenta fringe from the skin's
// copy on magenta) and sits left of the caption text's tab, not under it.
TEST(SkinnedFrame, CaptionIconCleanAndBesideTheTextTab) {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 60, 220));
        p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
    }
    TSkinFixture f;
    // The skin's copy, as Loaded makes it: the icon over magenta.
    QImage onMagenta(16, 16, QImage::Format_RGB32);
    onMagenta.fill(QColor(255, 0, 255));
    {
        QPainter p(&onMagenta);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(0, 0, 16, 16), icon);
    }
    f.Skin->SysIcon = onMagenta;
    TFixedWindow w;
    w.setWindowTitle(QStringLiteral("提示"));
    w.setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(ShowAndActivate(w));
    const QImage grab = Grab(w);
    const QRect at = form.CaptionIconRect();
    const TDataSkinTitle& title = *f.Skin->Title;
    EXPECT_LT(at.right(), title.r.Left - title.backleft) << "under the text tab";
    int magenta = 0, blue = 0;
    for (int y = at.top(); y <= at.bottom(); ++y)
        for (int x = at.left(); x <= at.right(); ++x) {
            const QColor c = grab.pixelColor(x, y);
            magenta += c.red() > 150 && c.blue() > 150 && c.green() < 100;
            blue += c.blue() > 150 && c.red() < 80;
        }
    EXPECT_EQ(magenta, 0);
    EXPECT_GT(blue, 100);
}

// The narrow "保存完毕" box: wide enough for "提示" and its close button, the text
// laid out up to the button; undo gives its own size back.
TEST(SkinnedFrame, NarrowBoxKeepsItsCaption) {
    TSkinFixture f;
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("保存完毕"),
                    QMessageBox::Ok);
    ASSERT_TRUE(ShowAndActivate(box));
    QApplication::processEvents();
    const QSize natural = box.size();
    TWinSkinForm& form = f.SkinWindow(box, false);
    ASSERT_TRUE(form.DrawsFrame());
    QApplication::processEvents();
    EXPECT_GE(box.width(), form.CaptionWidthNeeded());
    const TDataSkinTitle& title = *f.Skin->Title;
    QFont font = f.Skin->CaptionFont;
    font.setPixelSize(title.FontHeight > 0 ? title.FontHeight : 14);
    const int text = QFontMetrics(font).horizontalAdvance(QStringLiteral("提示"));
    EXPECT_GE(form.CaptionTextRight(box.width()) - title.r.Left, text);
    const TCaptionButton* close = nullptr;
    for (const TCaptionButton& b : form.CaptionButtons())
        if (b.Action == caClose)
            close = &b;
    ASSERT_NE(close, nullptr);
    EXPECT_GE(close->Rect.left(), title.r.Left + text);
    EXPECT_LE(close->Rect.right(), box.width() - form.BorderWidths().right());
    form.UnSubclass(false);
    QApplication::processEvents();
    EXPECT_EQ(box.size(), natural);
}

TEST(SkinnedFrame, CloseButtonNormalOverPressedThenCloses) {
    TSkinFixture f;
    TFixedWindow w;
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(ShowAndActivate(w));
    const int close = ButtonIndex(form, caClose);
    ASSERT_GE(close, 0);
    const TCaptionButton button = form.CaptionButtons()[static_cast<size_t>(close)];
    EXPECT_TRUE(ShowsButtonFrame(Grab(w), button, 0));

    QTest::mouseMove(&w, button.Rect.center());
    EXPECT_EQ(form.HotButton(), close);
    EXPECT_TRUE(ShowsButtonFrame(Grab(w), button, 1));

    QTest::mousePress(&w, Qt::LeftButton, {}, button.Rect.center());
    EXPECT_TRUE(ShowsButtonFrame(Grab(w), button, 2));
    EXPECT_TRUE(w.isVisible());

    QTest::mouseRelease(&w, Qt::LeftButton, {}, button.Rect.center());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 1000);
}

// Hints only with the option: one at a time, under the button, gone on leaving
// the button and when the window's skin is undone.
TEST(SkinnedFrame, CaptionButtonHintsFollowTheOption) {
    for (const bool option : {false, true}) {
        SCOPED_TRACE(option);
        TSkinFixture f;
        if (option) {
            f.Skin->Options.Include(xoCaptionButtonHint);
        } else {
            f.Skin->Options.Exclude(xoCaptionButtonHint);
        }
        TFixedWindow w;
        TWinSkinForm& form = f.SkinWindow(w);
        ASSERT_TRUE(ShowAndActivate(w));
        const int close = ButtonIndex(form, caClose);
        const int minimize = ButtonIndex(form, caMinimize);
        ASSERT_GE(close, 0);
        ASSERT_GE(minimize, 0);
        const auto& buttons = form.CaptionButtons();
        const QPoint caption(w.width() / 3, form.BorderWidths().top() / 2);
        QTest::mouseMove(&w, caption); // a move only counts from somewhere else
        QTest::mouseMove(&w, buttons[static_cast<size_t>(close)].Rect.center());
        EXPECT_EQ(f.Skin->IsHint(), option);
        auto* hint =
            f.Skin->fhintwindow ? qobject_cast<QLabel*>(f.Skin->fhintwindow.get()) : nullptr;
        if (option) {
            ASSERT_TRUE(hint);
            EXPECT_EQ(hint->text(), QStringLiteral("关闭"));
            EXPECT_GT(hint->y(),
                      w.mapToGlobal(buttons[static_cast<size_t>(close)].Rect.bottomLeft()).y());
            QTest::mouseMove(&w, buttons[static_cast<size_t>(minimize)].Rect.center());
            EXPECT_EQ(hint->text(), QStringLiteral("最小化"));
            EXPECT_EQ(f.Skin->hintcount, 2);
        }
        QTest::mouseMove(&w, caption);
        EXPECT_FALSE(f.Skin->IsHint());
        QTest::mouseMove(&w, buttons[static_cast<size_t>(close)].Rect.center());
        form.UnSubclass(false);
        EXPECT_FALSE(f.Skin->IsHint());
    }
}

TEST(SkinnedFrame, PressReleasedOutsideDoesNothingAndDisabledMaximiseIsDimmed) {
    TSkinFixture f;
    TFixedWindow w;
    TWinSkinForm& form = f.SkinWindow(w);
    ASSERT_TRUE(ShowAndActivate(w));
    const auto close = form.CaptionButtons()[static_cast<size_t>(ButtonIndex(form, caClose))];
    QTest::mousePress(&w, Qt::LeftButton, {}, close.Rect.center());
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::qWait(20);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(form.PressedButton(), -1);

    // Fixed size: the maximise button is there but shows no usable frame and does nothing.
    const int maxIndex = ButtonIndex(form, caMaximize);
    ASSERT_GE(maxIndex, 0);
    const auto max = form.CaptionButtons()[static_cast<size_t>(maxIndex)];
    EXPECT_FALSE(max.Enabled);
    const QImage grab = Grab(w);
    EXPECT_FALSE(ShowsButtonFrame(grab, max, 0));
    const auto min = form.CaptionButtons()[static_cast<size_t>(ButtonIndex(form, caMinimize))];
    EXPECT_TRUE(ShowsButtonFrame(grab, min, 0));
    QTest::mouseClick(&w, Qt::LeftButton, {}, max.Rect.center());
    QTest::qWait(20);
    EXPECT_FALSE(w.isMaximized());
}

TEST(SkinnedFrame, MinimiseAndRestoreButtons) {
    TSkinFixture f;
    TLayoutDialog d;
    d.setWindowFlags(Qt::Window);
    TWinSkinForm& form = f.SkinWindow(d);
    ASSERT_TRUE(ShowAndActivate(d));
    const auto max = form.CaptionButtons()[static_cast<size_t>(ButtonIndex(form, caMaximize))];
    QTest::mouseClick(&d, Qt::LeftButton, {}, max.Rect.center());
    QTRY_VERIFY_WITH_TIMEOUT(d.isMaximized(), 1000);
    // Maximised: the restore button takes the maximise button's place.
    const int restore = ButtonIndex(form, caRestore);
    ASSERT_GE(restore, 0);
    EXPECT_EQ(ButtonIndex(form, caMaximize), -1);
    const auto r = form.CaptionButtons()[static_cast<size_t>(restore)];
    QTest::mouseClick(&d, Qt::LeftButton, {}, r.Rect.center());
    QTRY_VERIFY_WITH_TIMEOUT(!d.isMaximized(), 1000);
    const auto min = form.CaptionButtons()[static_cast<size_t>(ButtonIndex(form, caMinimize))];
    QTest::mouseClick(&d, Qt::LeftButton, {}, min.Rect.center());
    QTRY_VERIFY_WITH_TIMEOUT(d.isMinimized(), 1000);
}

// The borders of a sizeable window show where it resizes; elsewhere, and after
// undo, the window's own cursor exactly as it was (its own, or none set).
TEST(SkinnedFrame, ResizeCursorsOnTheBordersOnly) {
    for (const bool ownCursor : {false, true}) {
        SCOPED_TRACE(ownCursor);
        TSkinFixture f;
        TLayoutDialog d;
        if (ownCursor) {
            d.setCursor(Qt::CrossCursor);
        }
        TWinSkinForm& form = f.SkinWindow(d, false);
        ASSERT_TRUE(ShowAndActivate(d));
        const QMargins bw = form.BorderWidths();
        const Qt::CursorShape own = ownCursor ? Qt::CrossCursor : Qt::ArrowCursor;
        const struct {
            QPoint At;
            Qt::CursorShape Shape;
        } cases[] = {
            {{1, d.height() / 2}, Qt::SizeHorCursor},
            {{d.width() / 3, 15}, own}, // the caption
            {{d.width() - 1, d.height() / 2}, Qt::SizeHorCursor},
            {{d.width() / 2, d.height() - 1}, Qt::SizeVerCursor},
            {{d.width() - 2, d.height() - 2}, Qt::SizeFDiagCursor},
            {{1, d.height() - 2}, Qt::SizeBDiagCursor},
            {{bw.left() + 2, d.height() / 2}, own}, // inside
        };
        QTest::mouseMove(&d, d.rect().center()); // a move only counts from somewhere else
        for (const auto& c : cases) {
            QTest::mouseMove(&d, c.At);
            EXPECT_EQ(d.cursor().shape(), c.Shape) << c.At.x() << "," << c.At.y();
        }
        QTest::mouseMove(&d, QPoint(1, d.height() / 2));
        ASSERT_EQ(d.cursor().shape(), Qt::SizeHorCursor);
        form.UnSubclass(false);
        EXPECT_EQ(d.testAttribute(Qt::WA_SetCursor), ownCursor);
        EXPECT_EQ(d.cursor().shape(), own);
    }
}

TEST(SkinnedFrame, CaptionDragMovesAndDoubleClickMaximisesSizeable) {
    TSkinFixture f;
    TLayoutDialog d;
    f.SkinWindow(d, false);
    ASSERT_TRUE(ShowAndActivate(d));
    const QPoint start = d.pos();
    // No window manager offscreen: the skin follows the mouse itself.
    QTest::mousePress(&d, Qt::LeftButton, {}, QPoint(150, 15));
    QTest::mouseMove(&d, QPoint(180, 25));
    QTest::mouseRelease(&d, Qt::LeftButton, {}, QPoint(180, 25));
    EXPECT_EQ(d.pos() - start, QPoint(30, 10));

    // The bottom-right corner resizes.
    const QSize before = d.size();
    const QPoint corner(d.width() - 2, d.height() - 2);
    QTest::mousePress(&d, Qt::LeftButton, {}, corner);
    QTest::mouseMove(&d, corner + QPoint(40, 20));
    QTest::mouseRelease(&d, Qt::LeftButton, {}, corner + QPoint(40, 20));
    EXPECT_EQ(d.size(), before + QSize(40, 20));

    QTest::mouseDClick(&d, Qt::LeftButton, {}, QPoint(150, 15));
    QTRY_VERIFY_WITH_TIMEOUT(d.isMaximized(), 1000);
    QTest::mouseDClick(&d, Qt::LeftButton, {}, QPoint(150, 15));
    QTRY_VERIFY_WITH_TIMEOUT(!d.isMaximized(), 1000);
}

TEST(SkinnedFrame, FixedWindowIgnoresDoubleClickAndBorders) {
    TSkinFixture f;
    TFixedWindow w;
    f.SkinWindow(w);
    ASSERT_TRUE(ShowAndActivate(w));
    const QSize size = w.size();
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(150, 15));
    QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(w.width() - 1, w.height() - 1));
    QTest::mouseMove(&w, QPoint(w.width() + 30, w.height() + 30));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(w.width() + 30, w.height() + 30));
    QTest::qWait(20);
    EXPECT_FALSE(w.isMaximized());
    EXPECT_EQ(w.size(), size);
}

TEST(SkinnedFrame, KeyboardOfDialogsUnchanged) {
    TSkinFixture f;
    {
        TLayoutDialog d;
        f.SkinWindow(d, false);
        ASSERT_TRUE(ShowAndActivate(d));
        d.Edit->setFocus();
        QTest::keyClick(d.Edit, Qt::Key_Tab);
        EXPECT_TRUE(d.Ok->hasFocus());
        QTest::keyClick(d.Ok, Qt::Key_Return);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    {
        TLayoutDialog d;
        f.SkinWindow(d, false);
        ASSERT_TRUE(ShowAndActivate(d));
        QTest::keyClick(d.Edit, Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }
    {
        TLayoutDialog d;
        f.SkinWindow(d, false);
        ASSERT_TRUE(ShowAndActivate(d));
        QTest::keyClick(d.Edit, Qt::Key_F4, Qt::AltModifier);
        EXPECT_FALSE(d.isVisible());
    }
}

TEST(WindowRegion, MasksCutTheCorners) {
    TSkinFixture f;
    // A test skin whose Top border mask cuts a three-pixel triangle off both corners.
    TDataSkinBorder& top = *f.Skin->border[bsTop];
    QImage mask(top.Map.size(), QImage::Format_RGB32);
    mask.fill(Qt::black);
    for (int frame = 0; frame < 2; ++frame) {
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x + y < 3; ++x) {
                mask.setPixel(x, frame * 30 + y, 0xFFFFFFFF);
                mask.setPixel(mask.width() - 1 - x, frame * 30 + y, 0xFFFFFFFF);
            }
        }
    }
    top.MaskMap = mask;
    TLayoutDialog d;
    TWinSkinForm& form = f.SkinWindow(d, false);
    ASSERT_TRUE(ShowAndActivate(d));
    const int w = d.width();
    QRegion region = d.mask();
    ASSERT_FALSE(region.isEmpty());
    EXPECT_EQ(region, form.WinRgn);
    for (QPoint cut : {QPoint(0, 0), QPoint(2, 0), QPoint(1, 1), QPoint(0, 2), QPoint(w - 1, 0),
                       QPoint(w - 3, 0), QPoint(w - 2, 1)}) {
        EXPECT_FALSE(region.contains(cut)) << cut.x() << "," << cut.y();
    }
    for (QPoint kept : {QPoint(3, 0), QPoint(2, 1), QPoint(0, 3), QPoint(w - 4, 0),
                        QPoint(w / 2, 0), QPoint(0, d.height() - 1), QPoint(w / 2, 100)}) {
        EXPECT_TRUE(region.contains(kept)) << kept.x() << "," << kept.y();
    }
    // A new size: the cut follows the right edge.
    d.resize(w + 50, d.height());
    region = d.mask();
    EXPECT_FALSE(region.contains(QPoint(w + 49, 0)));
    EXPECT_TRUE(region.contains(QPoint(w - 1, 0)));
}

TEST(WindowRegion, TransparencyColourWithoutMaskAndNoCutNoMask) {
    TSkinFixture f;
    {
        TFixedWindow w;
        f.SkinWindow(w);
        EXPECT_TRUE(w.mask().isEmpty()); // the default skin cuts nothing
    }
    TDataSkinBorder& top = *f.Skin->border[bsTop];
    top.trans = 1;
    top.Map.setPixel(0, 0, SkinTransparentColor);
    TFixedWindow w;
    f.SkinWindow(w);
    const QRegion region = w.mask();
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_TRUE(region.contains(QPoint(1, 0)));
    EXPECT_TRUE(region.contains(QPoint(0, 1)));
}

TEST(SkinUndo, FixedWindowComesBackPixelForPixel) {
    TSkinFixture f;
    TFixedWindow never;
    never.move(40, 50);
    const QImage neverGrab = Grab(never);

    TFixedWindow w;
    w.move(40, 50);
    w.show();
    const QRect geometry = w.geometry();
    const Qt::WindowFlags flags = w.windowFlags();
    TWinSkinForm& form = f.SkinWindow(w);
    EXPECT_EQ(w.size(), QSize(308, 234));
    EXPECT_EQ(w.minimumSize(), QSize(308, 234));
    EXPECT_EQ(w.Label->pos(), QPoint(14, 40));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_NE(Grab(w).size(), neverGrab.size());

    form.UnSubclass(false);
    delete &form;
    EXPECT_EQ(w.geometry(), geometry);
    EXPECT_EQ(w.windowFlags(), flags);
    EXPECT_EQ(w.minimumSize(), QSize(300, 200));
    EXPECT_EQ(w.maximumSize(), QSize(300, 200));
    EXPECT_EQ(w.Label->pos(), QPoint(10, 10));
    EXPECT_FALSE(w.testAttribute(Qt::WA_SetPalette));
    EXPECT_FALSE(w.hasMouseTracking());
    EXPECT_TRUE(w.mask().isEmpty());
    EXPECT_TRUE(SameImage(Grab(w), neverGrab));
}

TEST(SkinUndo, LayoutDialogWithOwnPaletteAndMask) {
    TSkinFixture f;
    QPalette own;
    own.setColor(QPalette::Window, QColor(10, 120, 200));
    // Both shown and active, so both have laid out and focused their edit.
    TLayoutDialog never;
    never.setPalette(own);
    never.setMask(QRegion(0, 0, 300, 150));
    ASSERT_TRUE(ShowAndActivate(never));
    QApplication::processEvents();
    const QImage neverGrab = Grab(never);
    never.hide();

    TLayoutDialog d;
    d.setPalette(own);
    d.setMask(QRegion(0, 0, 300, 150));
    ASSERT_TRUE(ShowAndActivate(d));
    QApplication::processEvents();
    const QRect geometry = d.geometry();
    const QMargins margins = d.contentsMargins();
    const QRect editGeometry = d.Edit->geometry();
    TWinSkinForm& form = f.SkinWindow(d);
    EXPECT_EQ(d.contentsMargins(), margins + QMargins(4, 30, 4, 4));
    EXPECT_EQ(d.size(), geometry.size() + QSize(8, 34));
    form.UnSubclass(false);
    QApplication::processEvents();
    EXPECT_EQ(d.geometry(), geometry);
    EXPECT_EQ(d.contentsMargins(), margins);
    EXPECT_EQ(d.Edit->geometry(), editGeometry);
    EXPECT_EQ(d.mask(), QRegion(0, 0, 300, 150));
    EXPECT_EQ(d.palette().color(QPalette::Window), QColor(10, 120, 200));
    EXPECT_TRUE(SameImage(Grab(d), neverGrab));
}

// A dark desktop: our windows and foreign dialogs take every colour from the skin,
// and undo gives each window exactly the palette it had, its own or inherited.
TEST(SkinUndo, SkinColoursWhateverTheDesktopAndBackExactly) {
    const QPalette desktop = QApplication::palette();
    QPalette dark(QColor(50, 50, 54), QColor(35, 35, 38));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Base, QColor(25, 25, 28));
    QApplication::setPalette(dark);
    TSkinFixture f;
    const QColor text = ColorToQColor(f.Skin->Colors[0]);
    const QColor face = ColorToQColor(f.Skin->Colors[3]);
    QPalette ownText;
    ownText.setColor(QPalette::WindowText, QColor(200, 0, 0));
    const struct {
        bool OwnWindow;
        bool OwnPalette;
    } cases[] = {{true, false}, {false, false}, {true, true}, {false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.OwnWindow << c.OwnPalette);
        TLayoutDialog d;
        auto* label = new QLabel(QStringLiteral("菜名"), &d);
        if (c.OwnPalette)
            d.setPalette(ownText);
        const QPalette before = d.palette();
        const auto beforeMask = before.resolveMask();
        TWinSkinForm& form = f.SkinWindow(d, c.OwnWindow);
        for (QWidget* w : std::initializer_list<QWidget*>{&d, label, d.Edit}) {
            EXPECT_EQ(w->palette().color(QPalette::WindowText), text);
            EXPECT_EQ(w->palette().color(QPalette::Text), text);
            EXPECT_EQ(w->palette().color(QPalette::Window), face);
            EXPECT_GT(w->palette().color(QPalette::Base).lightness(), 200);
        }
        form.UnSubclass(false);
        delete &form;
        EXPECT_EQ(d.testAttribute(Qt::WA_SetPalette), c.OwnPalette);
        EXPECT_EQ(d.palette().resolveMask(), beforeMask);
        EXPECT_EQ(d.palette(), before);
        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                  c.OwnPalette ? QColor(200, 0, 0) : QColor(Qt::white));
        EXPECT_EQ(d.Edit->palette().color(QPalette::Base), QColor(25, 25, 28));
    }
    QApplication::setPalette(desktop);
}

TEST(SkinUndo, WindowDestroyedWhileSkinnedLeavesNothing) {
    TSkinFixture f;
    auto w = std::make_unique<TFixedWindow>();
    QPointer<TWinSkinForm> form = &f.SkinWindow(*w);
    QPointer<QMenu> sysmenu = form->sysmenu;
    ASSERT_TRUE(sysmenu);
    w.reset();
    EXPECT_FALSE(form);
    EXPECT_FALSE(sysmenu);
}

// Undo gives back the outer size from before skinning; where the user has moved the
// window meanwhile, it stays. A window skinned while maximised gets its normal size.
TEST(SkinUndo, OuterSizeComesBackThePositionStays) {
    TSkinFixture f;
    TLayoutDialog d;
    d.move(120, 90);
    ASSERT_TRUE(ShowAndActivate(d));
    QApplication::processEvents();
    const QRect before = d.geometry();
    TWinSkinForm& form = f.SkinWindow(d);
    ASSERT_NE(d.size(), before.size());
    const QPoint skinnedAt = d.frameGeometry().topLeft();
    d.move(skinnedAt + QPoint(80, 60)); // the user drags it
    QApplication::processEvents();
    const QPoint moved = d.frameGeometry().topLeft() - skinnedAt;
    ASSERT_FALSE(moved.isNull());
    form.UnSubclass(false);
    QApplication::processEvents();
    EXPECT_EQ(d.geometry(), before.translated(moved)) << "back where it was skinned";

    TLayoutDialog m;
    m.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    QApplication::processEvents();
    ASSERT_TRUE(m.isMaximized());
    const QSize normal = m.normalGeometry().size();
    ASSERT_NE(normal, m.size());
    TWinSkinForm& maximised = f.SkinWindow(m);
    m.showNormal();
    QApplication::processEvents();
    maximised.UnSubclass(false);
    QApplication::processEvents();
    EXPECT_EQ(m.size(), normal);
}

// A skinned dialog closing: from the start of its destruction nothing is given back
// to it (palette, flags that re-parent, sizes, geometry, mask).
TEST(SkinUndo, DestroyedWindowIsNotRestored) {
    class TDyingDialog : public QDialog {
    public:
        ~TDyingDialog() override { *Dying = true; }
        bool* Dying = nullptr;
    };
    class TWatch : public QObject {
    public:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (watched == Target && Dying)
                Seen.push_back(event->type());
            return false;
        }
        QObject* Target = nullptr;
        bool Dying = false;
        std::vector<QEvent::Type> Seen;
    } watch;
    TSkinFixture f;
    auto* d = new TDyingDialog;
    d->Dying = &watch.Dying;
    d->resize(300, 200);
    d->setPalette(QPalette(QColor(10, 120, 200)));
    ASSERT_TRUE(ShowAndActivate(*d));
    TWinSkinForm& form = f.SkinWindow(*d);
    ASSERT_TRUE(form.DrawsFrame());
    watch.Target = d;
    qApp->installEventFilter(&watch);
    delete d;
    qApp->removeEventFilter(&watch);
    for (QEvent::Type type : watch.Seen)
        for (QEvent::Type restored : {QEvent::PaletteChange, QEvent::ParentAboutToChange,
                                      QEvent::ParentChange, QEvent::Resize, QEvent::Move})
            EXPECT_NE(type, restored);
}

TEST(ZeroBorders, WindowKeepsThePlatformFrame) {
    for (int kind = 0; kind < 2; ++kind) {
        TSkinFixture f;
        if (kind == 0) {
            f.Skin->border[bsTop]->Map = QImage();
        } else {
            std::erase_if(f.Skin->SysBtn, [](const auto& b) { return b->Action == caClose; });
        }
        TFixedWindow w;
        w.show();
        const QRect geometry = w.geometry();
        TWinSkinForm& form = f.SkinWindow(w);
        EXPECT_FALSE(form.DrawsFrame()) << kind;
        EXPECT_FALSE(w.windowFlags() & Qt::FramelessWindowHint) << kind;
        EXPECT_EQ(w.geometry(), geometry) << kind;
        EXPECT_EQ(w.Label->pos(), QPoint(10, 10)) << kind;
        EXPECT_EQ(form.Skinstate, TWinSkinForm::ssSkinned) << kind;
    }
}

TEST(SkinMessages, SkinnedWindowAnswersQueryAndFinishesOnce) {
    TSkinFixture f;
    TFixedWindow w;
    EXPECT_FALSE(IsSkinnedObject(&w));
    auto* form = new TWinSkinForm(w, f.Manager);
    form->fsd = f.Skin.get();
    form->InitTform();
    EXPECT_TRUE(IsSkinnedObject(&w));
    EXPECT_EQ(form->Skinstate, TWinSkinForm::ssNone);
    QCoreApplication::postEvent(&w, new TSkinMessage(SkinMsg::Finish, 0, 1000));
    QApplication::processEvents();
    EXPECT_EQ(form->Skinstate, TWinSkinForm::ssSkinned);
    EXPECT_TRUE(form->timer.isActive());
    EXPECT_EQ(form->timer.interval(), 250);
    // A second finish must not grow the window again.
    const QSize size = w.size();
    QCoreApplication::postEvent(&w, new TSkinMessage(SkinMsg::Finish, 0, 1000));
    QApplication::processEvents();
    EXPECT_EQ(w.size(), size);
}
