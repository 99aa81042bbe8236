// Combo boxes, track bars, up-down buttons, headers and date-time editors
// drawn from the skin, and their exact undo.

#include "SkinCtl2Util.h"
#include "WinSubClassScroll.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTreeView>
#include <memory>

namespace {

template <typename TSkin> TSkin* Skin(QWidget& w, int kind = 0) {
    auto* s = new TSkin(w, nullptr, DefaultSkin());
    s->kind = kind;
    s->Init();
    return s;
}

// Skin on, the check, undo: the grab and the style come back exactly.
template <typename TSkin, typename TCheck> void RoundTrip(QWidget& w, TCheck check, int kind = 0) {
    // A slider's very first paint differs from its later ones (tick colour), skinned or not.
    Grab(w);
    const QImage before = Grab(w);
    QStyle* const styleBefore = w.style();
    auto* s = Skin<TSkin>(w, kind);
    EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(w.style()));
    check();
    s->Unsubclass();
    EXPECT_EQ(w.style(), styleBefore);
    EXPECT_FALSE(w.testAttribute(Qt::WA_SetStyle));
    EXPECT_EQ(Grab(w), before);
    delete s;
}

QImage Corner(const TDataSkinObject& e, int frame, int size) {
    return FrameImage(e, frame).copy(0, 0, size, size);
}

} // namespace

TEST(ComboSkin, FaceAndArrowFromTheSkin) {
    struct TCase {
        bool Enabled;
        bool Editable;
        int Frame;
    };
    for (const TCase c : {TCase{true, false, 0}, TCase{false, false, 3}, TCase{true, true, 0}}) {
        SCOPED_TRACE(testing::Message() << "enabled " << c.Enabled << " editable " << c.Editable);
        QComboBox combo;
        combo.addItems({QStringLiteral("红烧"), QStringLiteral("清蒸")});
        combo.setEditable(c.Editable);
        combo.setEnabled(c.Enabled);
        combo.resize(140, 24);
        RoundTrip<TSkinComBox>(combo, [&] {
            const QImage g = Grab(combo);
            // The face's unstretched corner is the combo strip's.
            EXPECT_EQ(Mismatches(g, QPoint(0, 0), Corner(*DefaultSkin().combox, c.Frame, 2)), 0);
            const QRect arrow = TSkinElementStyle::ComboArrowRect(combo.rect());
            EXPECT_EQ(arrow, QRect(121, 2, 17, 20));
            EXPECT_EQ(
                Mismatches(g, arrow.topLeft(), Corner(*DefaultSkin().comboxarrow, c.Frame, 3)), 0);
            // The text field stays left of the arrow zone.
            QStyleOptionComboBox opt;
            opt.initFrom(&combo);
            EXPECT_LT(combo.style()
                          ->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField,
                                           &combo)
                          .right(),
                      arrow.left());
        });
    }
}

TEST(ComboSkin, ArrowHoverAndPopupViewSkinned) {
    QComboBox combo;
    combo.addItems(QStringList(40, QStringLiteral("菜")));
    combo.resize(140, 24);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    auto* s = Skin<TSkinComBox>(combo, 1);
    const QRect arrow = TSkinElementStyle::ComboArrowRect(combo.rect());
    const QImage over = Corner(*DefaultSkin().comboxarrow, 1, 3);
    // kind 1: only the arrow zone reacts to the mouse.
    QTest::mouseMove(&combo, QPoint(20, 12));
    EXPECT_EQ(s->Arrow().State(true, false), 0);
    QTest::mouseMove(&combo, arrow.center());
    EXPECT_EQ(s->Arrow().State(true, false), 1);
    EXPECT_EQ(Mismatches(Grab(combo), arrow.topLeft(), over), 0);

    QAbstractItemView* view = combo.view();
    EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(view->style()));
    EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(view->verticalScrollBar()->style()));
    s->Unsubclass();
    EXPECT_EQ(view->style(), QApplication::style());
    EXPECT_EQ(view->verticalScrollBar()->style(), QApplication::style());
    delete s;
}

TEST(TrackSkin, ThumbAndTrackFromTheSkin) {
    struct TCase {
        Qt::Orientation O;
        QSlider::TickPosition Ticks;
        int Value;
        const TDataSkinObject* Thumb;
    };
    TSkinData& sk = DefaultSkin();
    const TCase cases[] = {
        {Qt::Horizontal, QSlider::NoTicks, 0, sk.TrackHorz.get()},
        {Qt::Horizontal, QSlider::TicksAbove, 100, sk.Tracktop.get()},
        {Qt::Horizontal, QSlider::TicksBelow, 50, sk.Trackbottom.get()},
        {Qt::Vertical, QSlider::TicksLeft, 0, sk.TrackLeft.get()},
        {Qt::Vertical, QSlider::TicksRight, 30, sk.Trackright.get()},
        {Qt::Vertical, QSlider::TicksBothSides, 100, sk.TrackVert.get()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.O << " ticks " << c.Ticks << " value " << c.Value);
        ASSERT_TRUE(c.Thumb && !c.Thumb->Map.isNull());
        QSlider slider(c.O);
        slider.setRange(0, 100);
        slider.setValue(c.Value);
        slider.setTickPosition(c.Ticks);
        slider.resize(c.O == Qt::Horizontal ? QSize(200, 30) : QSize(30, 200));
        RoundTrip<TSkinTrackBar>(slider, [&] {
            QStyleOptionSlider opt;
            opt.initFrom(&slider);
            opt.orientation = c.O;
            opt.tickPosition = c.Ticks;
            opt.minimum = 0;
            opt.maximum = 100;
            opt.sliderPosition = c.Value;
            opt.upsideDown = c.O == Qt::Vertical; // as QSlider sets it
            const QRect handle = slider.style()->subControlRect(QStyle::CC_Slider, &opt,
                                                                QStyle::SC_SliderHandle, &slider);
            EXPECT_EQ(handle.size(), SkinFrameSize(*c.Thumb));
            const int along = c.O == Qt::Horizontal ? handle.left() : handle.top();
            const int span = (c.O == Qt::Horizontal ? 200 : 200) -
                             (c.O == Qt::Horizontal ? handle.width() : handle.height());
            const int expected =
                c.O == Qt::Horizontal ? span * c.Value / 100 : span - span * c.Value / 100;
            EXPECT_NEAR(along, expected, 1);
            EXPECT_EQ(Mismatches(Grab(slider), handle.topLeft(), FrameImage(*c.Thumb, 0)), 0);
        });
    }
}

TEST(UpDownSkin, ButtonsFromTheSpinStrip) {
    struct TCase {
        int Kind;
        int Value;
        int UpFrame, DownFrame;
    };
    // Vertical strip: up 0..3, down 4..7; side by side: left (down) 0..3, right (up) 4..7.
    for (const TCase c : {TCase{0, 5, 0, 4}, TCase{0, 10, 3, 4}, TCase{0, 0, 0, 7},
                          TCase{1, 5, 4, 0}, TCase{1, 10, 7, 0}}) {
        SCOPED_TRACE(testing::Message() << "kind " << c.Kind << " value " << c.Value);
        QSpinBox spin;
        spin.setRange(0, 10);
        spin.setValue(c.Value);
        spin.resize(100, 24);
        const TDataSkinObject& e = c.Kind ? *DefaultSkin().HSpin : *DefaultSkin().VSpin;
        RoundTrip<TSkinUpDown>(
            spin,
            [&] {
                QStyleOptionSpinBox opt;
                opt.initFrom(&spin);
                auto rect = [&](QStyle::SubControl sc) {
                    return spin.style()->subControlRect(QStyle::CC_SpinBox, &opt, sc, &spin);
                };
                const QRect up = rect(QStyle::SC_SpinBoxUp);
                const QRect down = rect(QStyle::SC_SpinBoxDown);
                EXPECT_FALSE(up.intersects(down));
                EXPECT_LT(rect(QStyle::SC_SpinBoxEditField).right(),
                          std::min(up.left(), down.left()));
                const QImage g = Grab(spin);
                EXPECT_EQ(Mismatches(g, up.topLeft(), Corner(e, c.UpFrame, 2)), 0);
                EXPECT_EQ(Mismatches(g, down.topLeft(), Corner(e, c.DownFrame, 2)), 0);
            },
            c.Kind);
    }
}

TEST(HeaderSkin, SectionsFromTheHeaderStrip) {
    QStandardItemModel model(3, 3);
    model.setHorizontalHeaderLabels(
        {QStringLiteral("名"), QStringLiteral("料"), QStringLiteral("法")});
    QTreeView tree;
    tree.setModel(&model);
    tree.resize(300, 150);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QHeaderView* header = tree.header();
    header->setSectionsClickable(true); // only clickable sections show hover
    const TDataSkinObject& e = *DefaultSkin().Header;

    auto checkSection = [&](int frame) {
        const QImage g = Grab(*header);
        const int x = header->sectionViewportPosition(1);
        EXPECT_EQ(Mismatches(g, QPoint(x, 0), Corner(e, frame, 2)), 0);
    };
    // A header on its own...
    RoundTrip<TSkinHeader>(*header, [&] {
        checkSection(0);
        const int x = header->sectionViewportPosition(1) + 10;
        QTest::mouseMove(header->viewport(), QPoint(x, 5));
        checkSection(1);
        QTest::mouseMove(header->viewport(), QPoint(x + 200, 5));
    });
    // ...and as part of a list view, with the view's scroll bars.
    const QImage before = Grab(tree);
    auto* s = Skin<TSkinListView>(tree);
    checkSection(0);
    EXPECT_TRUE(qobject_cast<TSkinElementStyle*>(tree.verticalScrollBar()->style()));
    s->Unsubclass();
    EXPECT_EQ(header->style(), QApplication::style());
    EXPECT_EQ(Grab(tree), before);
    delete s;
}

TEST(DateTimeSkin, CalendarPopupGetsAComboFaceOtherwiseSpinButtons) {
    for (bool popup : {true, false}) {
        SCOPED_TRACE(popup);
        QDateTimeEdit edit(QDate(2024, 5, 1));
        edit.setCalendarPopup(popup);
        edit.resize(160, 24);
        RoundTrip<TSkinDateTime>(edit, [&] {
            const QImage g = Grab(edit);
            if (popup) {
                const QRect arrow = TSkinElementStyle::ComboArrowRect(edit.rect());
                EXPECT_EQ(Mismatches(g, QPoint(0, 0), Corner(*DefaultSkin().combox, 0, 2)), 0);
                EXPECT_EQ(Mismatches(g, arrow.topLeft(), Corner(*DefaultSkin().comboxarrow, 0, 3)),
                          0);
            } else {
                QStyleOptionSpinBox opt;
                opt.initFrom(&edit);
                const QRect up = edit.style()->subControlRect(QStyle::CC_SpinBox, &opt,
                                                              QStyle::SC_SpinBoxUp, &edit);
                EXPECT_EQ(Mismatches(g, up.topLeft(), Corner(*DefaultSkin().VSpin, 0, 2)), 0);
            }
        });
    }
}

// Controls destroyed while skinned (a combo with its list open among them): their skin
// objects, the styles those set and the list's window go with them, every time.
TEST(ControlSkin, DestroyedWhileSkinnedLeavesCleanly) {
    const qsizetype windowsBefore = QApplication::topLevelWidgets().size();
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        auto combo = std::make_unique<QComboBox>();
        combo->addItems(QStringList(30, QStringLiteral("菜")));
        auto slider = std::make_unique<QSlider>(Qt::Horizontal);
        auto spin = std::make_unique<QSpinBox>();
        auto tree = std::make_unique<QTreeView>();
        std::vector<QPointer<QObject>> left = {
            Skin<TSkinComBox>(*combo), Skin<TSkinTrackBar>(*slider), Skin<TSkinUpDown>(*spin),
            Skin<TSkinListView>(*tree)};
        for (QWidget* w : {static_cast<QWidget*>(combo.get()), static_cast<QWidget*>(slider.get()),
                           static_cast<QWidget*>(spin.get())}) {
            ASSERT_TRUE(qobject_cast<TSkinElementStyle*>(w->style()));
            left.emplace_back(w->style());
        }
        combo->show();
        combo->showPopup();
        QWidget* popup = combo->view()->window();
        ASSERT_TRUE(popup->isVisible());
        left.emplace_back(popup);
        combo.reset();
        slider.reset();
        spin.reset();
        tree.reset();
        FlushDeletes();
        for (size_t k = 0; k < left.size(); ++k)
            EXPECT_TRUE(left[k].isNull()) << "object " << k << " outlived its control";
        EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    }
}
