// Scroll bars drawn from the skin: arrows, track and thumb pictures, states
// from real mouse events, exact undo, and controls dying while skinned.

#include "SkinCtl2Util.h"
#include "SkinMessages.h"
#include "WinSubClassScroll.h"

#include <QApplication>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSizeGrip>
#include <QStringListModel>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>
#include <memory>

namespace {

enum {
    Up = 0,
    Down = 4,
    Left = 8,
    Right = 12,
    EndUp = 19,
    EndDown = 20,
    EndLeft = 21,
    EndRight = 22
};

std::unique_ptr<QScrollBar> MakeBar(Qt::Orientation o, int value = 50) {
    auto bar = std::make_unique<QScrollBar>(o);
    bar->setRange(0, 100);
    bar->setPageStep(10);
    bar->setValue(value);
    if (o == Qt::Vertical) {
        bar->resize(16, 200);
    } else {
        bar->resize(200, 16);
    }
    return bar;
}

TSkinScControl* SkinBar(QScrollBar& bar) {
    auto* s = new TSkinScControl(bar, nullptr, DefaultSkin());
    s->Init();
    return s;
}

QRect Part(QScrollBar& bar, QStyle::SubControl sc) {
    QStyleOptionSlider opt;
    opt.initFrom(&bar);
    opt.orientation = bar.orientation();
    opt.minimum = bar.minimum();
    opt.maximum = bar.maximum();
    opt.sliderPosition = bar.sliderPosition();
    opt.sliderValue = bar.value();
    opt.pageStep = bar.pageStep();
    opt.singleStep = bar.singleStep();
    opt.upsideDown = false;
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, &bar);
}

int ArrowMismatch(QScrollBar& bar, QStyle::SubControl sc, int frame) {
    const QRect r = Part(bar, sc);
    return Mismatches(Grab(bar), r.topLeft(), FrameImage(*DefaultSkin().SArrow, frame));
}

} // namespace

TEST(ScrollSkin, DefaultSkinHasTheScrollElements) {
    TSkinData& s = DefaultSkin();
    ASSERT_FALSE(s.Empty);
    for (const TDataSkinObject* e :
         {s.SArrow.get(), s.VBar.get(), s.HBar.get(), s.VSlider.get(), s.HSlider.get()}) {
        ASSERT_TRUE(e && !e->Map.isNull());
    }
    EXPECT_EQ(SkinFrameSize(*s.SArrow), QSize(16, 16));
}

TEST(ScrollSkin, VerticalBarShowsArrowsTrackAndThumb) {
    auto bar = MakeBar(Qt::Vertical);
    SkinBar(*bar);
    const QImage g = Grab(*bar);
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, Up), 0);
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarAddLine, Down), 0);
    EXPECT_EQ(Part(*bar, QStyle::SC_ScrollBarSubLine), QRect(0, 0, 16, 16));
    EXPECT_EQ(Part(*bar, QStyle::SC_ScrollBarAddLine), QRect(0, 184, 16, 16));

    // Thumb: its unstretched top and bottom edges are the bitmap's, row for row.
    const TDataSkinObject& thumb = *DefaultSkin().VSlider;
    const QImage tf = FrameImage(thumb, 0);
    const QRect t = Part(*bar, QStyle::SC_ScrollBarSlider);
    ASSERT_GT(t.height(), thumb.r.Top + thumb.r.Bottom);
    EXPECT_EQ(Mismatches(g, t.topLeft(), tf, QRect(0, 0, 16, thumb.r.Top)), 0);
    EXPECT_EQ(Mismatches(g, QPoint(t.left(), t.bottom() - thumb.r.Bottom + 1), tf,
                         QRect(0, tf.height() - thumb.r.Bottom, 16, thumb.r.Bottom)),
              0);

    // Track above the thumb: the bar's middle row, stretched.
    const QImage bf = FrameImage(*DefaultSkin().VBar, 0);
    const QRect page = Part(*bar, QStyle::SC_ScrollBarSubPage);
    ASSERT_GT(page.height(), 4);
    EXPECT_EQ(Mismatches(g, QPoint(0, page.center().y()), bf, QRect(0, bf.height() / 2, 16, 1)), 0);
}

TEST(ScrollSkin, ArrowsAtTheEndsAndDisabledUseTheirFrames) {
    struct TCase {
        Qt::Orientation O;
        int Value;
        bool Enabled;
        int Sub, Add;
    };
    const TCase cases[] = {
        {Qt::Vertical, 0, true, EndUp, Down},
        {Qt::Vertical, 100, true, Up, EndDown},
        {Qt::Horizontal, 50, true, Left, Right},
        {Qt::Horizontal, 0, true, EndLeft, Right},
        {Qt::Horizontal, 100, true, Left, EndRight},
        {Qt::Vertical, 50, false, Up + 3, Down + 3},
        {Qt::Horizontal, 0, false, Left + 3, Right + 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.O << " value " << c.Value << " enabled " << c.Enabled);
        auto bar = MakeBar(c.O, c.Value);
        bar->setEnabled(c.Enabled);
        SkinBar(*bar);
        EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, c.Sub), 0);
        EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarAddLine, c.Add), 0);
    }
}

TEST(ScrollSkin, ThumbFollowsTheValue) {
    auto bar = MakeBar(Qt::Vertical, 0);
    SkinBar(*bar);
    const QImage tf = FrameImage(*DefaultSkin().VSlider, 0);
    int last = -1;
    for (int value : {0, 25, 50, 75, 100}) {
        SCOPED_TRACE(value);
        bar->setValue(value);
        const QRect t = Part(*bar, QStyle::SC_ScrollBarSlider);
        EXPECT_GT(t.top(), last);
        last = t.top();
        if (value == 0) {
            EXPECT_EQ(t.top(), 16);
        }
        if (value == 100) {
            EXPECT_EQ(t.bottom(), 183);
        }
        EXPECT_EQ(Mismatches(Grab(*bar), t.topLeft(), tf, QRect(0, 0, 16, 7)), 0);
    }
    // Thumb length follows the page: a bigger page, a longer thumb.
    const int shortThumb = Part(*bar, QStyle::SC_ScrollBarSlider).height();
    bar->setPageStep(100);
    EXPECT_GT(Part(*bar, QStyle::SC_ScrollBarSlider).height(), shortThumb);
    // No range: no thumb, the track alone.
    bar->setRange(0, 0);
    const QImage g = Grab(*bar);
    const QImage bf = FrameImage(*DefaultSkin().VBar, 0);
    EXPECT_EQ(Mismatches(g, QPoint(0, 100), bf, QRect(0, bf.height() / 2, 16, 1)), 0);
}

TEST(ScrollSkin, HoverAndPressedArrowFramesFromRealMouseEvents) {
    auto bar = MakeBar(Qt::Vertical);
    SkinBar(*bar);
    bar->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    const QPoint up = Part(*bar, QStyle::SC_ScrollBarSubLine).center();
    const QPoint down = Part(*bar, QStyle::SC_ScrollBarAddLine).center();
    QTest::mouseMove(bar.get(), QPoint(8, 100));
    QTest::mouseMove(bar.get(), down);
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarAddLine, Down + 1), 0);
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, Up), 0);
    QTest::mouseMove(bar.get(), up);
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, Up + 1), 0);
    QTest::mousePress(bar.get(), Qt::LeftButton, {}, up);
    EXPECT_EQ(bar->value(), 49); // the press did scroll
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, Up + 2), 0);
    QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, up);
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, Up + 1), 0);

    // Pressing the thumb shows its pressed frame.
    const QRect t = Part(*bar, QStyle::SC_ScrollBarSlider);
    QTest::mouseMove(bar.get(), t.center());
    QTest::mousePress(bar.get(), Qt::LeftButton, {}, t.center());
    EXPECT_EQ(Mismatches(Grab(*bar), t.topLeft(), FrameImage(*DefaultSkin().VSlider, 2),
                         QRect(0, 0, 16, 7)),
              0);
    QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, t.center());
}

TEST(ScrollSkin, UndoGivesBackPixelsAndStyle) {
    struct TCase {
        const char* Name;
        bool OwnStyle;
    };
    for (const TCase c : {TCase{"application style", false}, TCase{"own style", true}}) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<QStyle> own(c.OwnStyle ? QStyleFactory::create(QStringLiteral("Windows"))
                                               : nullptr);
        auto bar = MakeBar(Qt::Vertical);
        if (own) {
            bar->setStyle(own.get());
        }
        const QImage before = Grab(*bar);
        QStyle* const styleBefore = bar->style();
        const bool hoverBefore = bar->testAttribute(Qt::WA_Hover);
        auto* s = SkinBar(*bar);
        EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(bar->style()));
        EXPECT_NE(Grab(*bar), before);
        EXPECT_EQ(bar->sizeHint().width(), 16);
        s->Unsubclass();
        EXPECT_EQ(bar->style(), styleBefore);
        EXPECT_EQ(bar->testAttribute(Qt::WA_SetStyle), c.OwnStyle);
        EXPECT_EQ(bar->testAttribute(Qt::WA_Hover), hoverBefore);
        EXPECT_EQ(Grab(*bar), before);
        delete s;
        bar.reset();
    }
}

TEST(ScrollSkin, OnOffMessageTakesTheStyleOffAndBack) {
    auto bar = MakeBar(Qt::Vertical);
    const QImage before = Grab(*bar);
    SkinBar(*bar);
    TSkinMessage off(SkinMsg::OnOff, 0);
    QCoreApplication::sendEvent(bar.get(), &off);
    EXPECT_EQ(bar->style(), QApplication::style());
    EXPECT_EQ(Grab(*bar), before);
    EXPECT_TRUE(IsSkinnedObject(bar.get())); // still carries its skin object
    TSkinMessage on(SkinMsg::OnOff, 1);
    QCoreApplication::sendEvent(bar.get(), &on);
    EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(bar->style()));
    EXPECT_EQ(ArrowMismatch(*bar, QStyle::SC_ScrollBarSubLine, Up), 0);
}

TEST(ScrollSkin, ScrollAreaBarsAreSkinnedAndGivenBack) {
    struct TCase {
        int Kind;
        bool HorizontalSkinned;
    };
    for (const TCase c : {TCase{0, true}, TCase{1, false}}) {
        SCOPED_TRACE(c.Kind);
        QPlainTextEdit memo;
        memo.setLineWrapMode(QPlainTextEdit::NoWrap);
        memo.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo.setPlainText(QString(300, QLatin1Char('x')) + QStringLiteral("\n1\n2\n3"));
        memo.resize(200, 120);
        memo.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
        const QImage before = Grab(memo);
        const int widthBefore = memo.verticalScrollBar()->width();
        auto* s = new TSkinScrollbar(memo, nullptr, DefaultSkin());
        s->kind = c.Kind;
        s->Init();
        QScrollBar* v = memo.verticalScrollBar();
        EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(v->style()));
        EXPECT_EQ(bool(qobject_cast<TSkinElementStyle*>(memo.horizontalScrollBar()->style())),
                  c.HorizontalSkinned);
        EXPECT_EQ(v->width(), 16); // the area laid its bars out again
        EXPECT_EQ(Mismatches(Grab(*v), QPoint(0, 0),
                             FrameImage(*DefaultSkin().SArrow, v->value() == 0 ? EndUp : Up)),
                  0);
        s->Unsubclass();
        EXPECT_EQ(memo.verticalScrollBar()->width(), widthBefore);
        EXPECT_EQ(Grab(memo), before);
        delete s;
    }
}

TEST(ScrollSkin, SharedStyleGoesWithItsLastUser) {
    auto a = MakeBar(Qt::Vertical);
    auto b = MakeBar(Qt::Horizontal);
    SkinBar(*a);
    auto* sb = SkinBar(*b);
    QPointer<QStyle> style = a->style();
    EXPECT_EQ(style.data(), b->style());
    a.reset(); // dies skinned: its skin object touches nothing
    FlushDeletes();
    EXPECT_TRUE(style); // still used by b
    sb->Unsubclass();
    delete sb;
    FlushDeletes();
    EXPECT_FALSE(style);
    EXPECT_EQ(b->style(), QApplication::style());
}

TEST(ScrollSkin, ControlsDestroyedWhileSkinnedLeaveCleanly) {
    for (int i = 0; i < 20; ++i) {
        auto list = std::make_unique<QListView>();
        auto* model = new QStringListModel(QStringList(200, QStringLiteral("菜")), list.get());
        list->setModel(model);
        list->resize(120, 100);
        list->show();
        auto* s = new TSkinScrollbar(*list, nullptr, DefaultSkin());
        QPointer<TSkinScrollbar> guard(s);
        s->Init();
        QTest::mouseMove(list->verticalScrollBar(), QPoint(8, 8));
        list.reset();
        EXPECT_FALSE(guard);
    }
    // A bar replaced while skinned: undo leaves the new one alone.
    QPlainTextEdit memo;
    auto* s = new TSkinScrollbar(memo, nullptr, DefaultSkin());
    s->Init();
    memo.setVerticalScrollBar(new QScrollBar);
    s->Unsubclass();
    EXPECT_EQ(memo.verticalScrollBar()->style(), QApplication::style());
    delete s;
    FlushDeletes();
}

TEST(ScrollSkin, SizeGripShowsTheGripPicture) {
    QWidget window;
    auto* grip = new QSizeGrip(&window);
    grip->setFixedSize(16, 16);
    const QImage before = Grab(*grip);
    auto* s = new TSkinSizer(*grip, nullptr, DefaultSkin());
    s->Init();
    EXPECT_EQ(Mismatches(Grab(*grip), QPoint(0, 0), FrameImage(*DefaultSkin().SArrow, 16)), 0);
    s->Unsubclass();
    EXPECT_EQ(Grab(*grip), before);
    delete s;
}
