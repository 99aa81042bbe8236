// The list box's texts held as one block, and the list box over many of them:
// what a list that draws only the rows in sight could get wrong.
#include "Controls.h"
#include "ListItems.h"

#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <QWheelEvent>
#include <array>
#include <gtest/gtest.h>
#include <sstream>

namespace {
QString Name(int i) {
    return QStringLiteral("菜%1").arg(i);
}
QStringList Names(int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << Name(i);
    return names;
}

// Empty texts and texts outside the basic plane sit where one text's end is the
// next one's start: an off-by-one there shows in the neighbours.
TEST(TListItems, EachEntryIsTheTextAppendedAtItsPlace) {
    const QStringList lists[] = {
        {},
        {QString()},
        {QStringLiteral("甲")},
        {QString(), QString(), QStringLiteral("a")},
        {QStringLiteral("a"), QString(), QStringLiteral("bc"), QStringLiteral("\U00020000饭")},
        Names(1000),
    };
    for (const QStringList& texts : lists) {
        const TListItems items(texts);
        ASSERT_EQ(items.Count(), texts.size());
        EXPECT_EQ(items.IsEmpty(), texts.isEmpty());
        for (qsizetype i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(items.At(i), texts.at(i)) << i;
            EXPECT_EQ(items.IndexOf(texts.at(i)), texts.indexOf(texts.at(i))) << i;
        }
        EXPECT_EQ(items.ToStringList(), texts);
        EXPECT_EQ(items.IndexOf(u"不在表里"), -1);
    }
}

TEST(TListItems, WithoutDropsOneEntryOnly) {
    const QStringList texts{QStringLiteral("甲"), QString(), QStringLiteral("丙丙"),
                            QStringLiteral("丁")};
    for (int index : {-1, 0, 1, 2, 3, 4}) {
        QStringList expected = texts;
        if (index >= 0 && index < texts.size())
            expected.removeAt(index);
        const TListItems items(texts);
        EXPECT_EQ(items.Without(index).ToStringList(), expected) << index;
        EXPECT_EQ(items.ToStringList(), texts) << "the list it came from stays " << index;
    }
    EXPECT_TRUE(TListItems({QStringLiteral("独")}).Without(0).IsEmpty());
    EXPECT_TRUE(TListItems().Without(0).IsEmpty());
}

// Copies share the block: appending to one must not show in the other.
TEST(TListItems, CopiesStayApartWhenOneGrows) {
    TListItems a({QStringLiteral("甲"), QStringLiteral("乙")});
    TListItems b = a;
    EXPECT_TRUE(a == b);
    b.Append(u"丙");
    EXPECT_EQ(a.ToStringList(), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    EXPECT_EQ(b.Count(), 3);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == TListItems({QStringLiteral("甲"), QStringLiteral("乙")}));
    EXPECT_FALSE(TListItems({QString(), QStringLiteral("甲")}) ==
                 TListItems({QStringLiteral("甲"), QString()}));
}

// What the view reads from the model: every row's text, nothing past the ends,
// and the flags a string list gives (the view treats its rows as it did).
TEST(TListBox, ModelRowsAreTheItems) {
    const int count = 100000;
    TListBox list;
    list.SetItems(Names(count));
    QStringListModel reference(QStringList{QStringLiteral("x")});
    const QAbstractItemModel* model = list.model();
    ASSERT_EQ(model->rowCount(), count);
    for (int row : {0, 1, count / 2, count - 2, count - 1}) {
        EXPECT_EQ(model->index(row, 0).data().toString(), Name(row)) << row;
        EXPECT_EQ(model->index(row, 0).data(Qt::EditRole).toString(), Name(row)) << row;
        EXPECT_EQ(list.Item(row), Name(row)) << row;
    }
    EXPECT_FALSE(model->index(0, 0).data(Qt::DecorationRole).isValid());
    for (int row : {-1, count})
        EXPECT_EQ(list.Item(row), QString()) << row;
    EXPECT_FALSE(model->index(count, 0).isValid());
    EXPECT_EQ(model->flags(model->index(5, 0)), reference.flags(reference.index(0, 0)));
    EXPECT_EQ(model->flags(QModelIndex()), reference.flags(QModelIndex()));
    EXPECT_EQ(model->rowCount(model->index(5, 0)), 0) << "rows have no children";
}

// A list box and a plain list view over a string list with the same names, the same
// size and both shown: whatever the list box does by arithmetic, the list view does
// by its layout, so every answer can be held against the list view's.
struct TBoth {
    QStringListModel Model;
    // One window for both, its focus on a third control: the two are drawn alike.
    QWidget Window;
    QLineEdit& Elsewhere = *new QLineEdit(&Window); // first: the window's focus goes there
    TListBox& List = *new TListBox(&Window);
    QListView& Reference = *new QListView(&Window);
    TBoth(const QStringList& names, int height) {
        Model.setStringList(names);
        Reference.setModel(&Model);
        Reference.setUniformItemSizes(true);
        List.SetItems(names);
        List.setGeometry(0, 0, 200, height);
        Reference.setGeometry(210, 0, 200, height);
        Elsewhere.setGeometry(0, height + 10, 100, 20);
        Window.resize(420, height + 40);
        Window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
        Elsewhere.setFocus();
        QCoreApplication::processEvents();
    }
    std::array<QAbstractItemView*, 2> Views() { return {&List, &Reference}; }
    void Refill(const QStringList& names) {
        List.SetItems(names);
        Model.setStringList(names);
        QCoreApplication::processEvents();
    }
};

// The height that shows exactly `rows` whole rows, and the row height.
struct TMetrics {
    int Row = 0;
    int Frame = 0;
    int HeightFor(int rows) const { return rows * Row + Frame; }
};
TMetrics Metrics() {
    static const TMetrics metrics = [] {
        QStringListModel model(QStringList{QStringLiteral("菜")});
        QListView view;
        view.setModel(&model);
        view.resize(200, 300);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
        return TMetrics{view.visualRect(model.index(0)).height(),
                        view.height() - view.viewport()->height()};
    }();
    return metrics;
}

// Everything a user sees or a handler reads of a view, in one line to compare.
std::string State(QAbstractItemView& view) {
    const QScrollBar& v = *view.verticalScrollBar();
    const QScrollBar& h = *view.horizontalScrollBar();
    const int height = view.viewport()->height();
    auto rowAt = [&](int x, int y) {
        return std::to_string(view.indexAt(QPoint(x, y)).row());
    };
    int first = -1, last = -1, selected = 0;
    for (const QModelIndex& index : view.selectionModel()->selectedIndexes()) {
        first = first < 0 ? index.row() : std::min(first, index.row());
        last = std::max(last, index.row());
        ++selected;
    }
    const QRect current = view.visualRect(view.currentIndex());
    std::ostringstream out;
    out << "current " << view.currentIndex().row() << ", selected " << selected << " (" << first
        << ".." << last << "); vertical " << v.value() << " in " << v.minimum() << ".."
        << v.maximum() << " page " << v.pageStep() << " step " << v.singleStep()
        << (v.isVisible() ? " shown" : " hidden") << "; horizontal " << h.value() << " in "
        << h.minimum() << ".." << h.maximum() << " page " << h.pageStep()
        << (h.isVisible() ? " shown" : " hidden") << "; rows at the top " << rowAt(5, 0)
        << ", at the bottom edge " << rowAt(5, height - 1) << ", below " << rowAt(5, height)
        << ", at the right edge " << rowAt(view.viewport()->width() - 1, 0) << ", left of it "
        << rowAt(-1, 0) << "; current's rect " << current.x() << "," << current.y() << " "
        << current.width() << "x" << current.height();
    return out.str();
}

QString LongName() {
    return QString(40, QChar(u'长'));
}

// Keyboard moves land where the list view's land, scrolled the same, over lists of
// every awkward size: empty, one row, exactly a page, a page and one, many rows with
// a partly shown row at the bottom; each move is a Click.
TEST(TListBox, KeysMoveAsTheListView) {
    const TMetrics m = Metrics();
    const struct {
        int Count;
        int Height;
        const char* What;
    } shapes[] = {
        {100000, 300, "100,000 rows, a row cut at the bottom"},
        {100000, m.HeightFor(16), "100,000 rows, whole rows"},
        {17, m.HeightFor(16), "a page and one"},
        {16, m.HeightFor(16), "exactly a page"},
        {1, m.HeightFor(16), "one row"},
        {0, m.HeightFor(16), "empty"},
        {40, m.HeightFor(1) + m.Row / 2, "a row and a half in sight"},
        {40, m.HeightFor(1) - 3, "less than a row in sight"},
    };
    const Qt::Key keys[] = {Qt::Key_Down,     Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_Down,
                            Qt::Key_End,      Qt::Key_PageUp,   Qt::Key_Up,       Qt::Key_Home,
                            Qt::Key_PageDown, Qt::Key_Up,       Qt::Key_End,      Qt::Key_Down,
                            Qt::Key_PageUp,   Qt::Key_PageUp,   Qt::Key_Home,     Qt::Key_Up,
                            Qt::Key_Right,    Qt::Key_Left};
    for (const auto& shape : shapes) {
        TBoth both(Names(shape.Count), shape.Height);
        QSignalSpy clicks(&both.List, &TListBox::Click);
        ASSERT_EQ(State(both.List), State(both.Reference)) << shape.What;
        int step = 0;
        for (Qt::Key key : keys) {
            for (QAbstractItemView* view : both.Views())
                QTest::keyClick(view, key);
            ++step;
            EXPECT_EQ(State(both.List), State(both.Reference))
                << shape.What << ", key " << step << " (" << QTest::toString(key) << ")";
        }
        EXPECT_EQ(clicks.count(), int(std::size(keys)) - 2) << shape.What;
    }
}

// Clicks on rows wherever they are: at the top, the middle, the last pixel of the
// viewport (a row only partly shown), scrolled or not; and the wheel.
TEST(TListBox, ClicksAndTheWheelAsTheListView) {
    const TMetrics m = Metrics();
    TBoth both(Names(100000), 300);
    QSignalSpy clicks(&both.List, &TListBox::Click);
    const int height = both.List.viewport()->height();
    const struct {
        int ScrollTo; // -1: as it is
        int Y;
        int Wheel; // degrees times 8: negative scrolls down
    } steps[] = {
        {-1, 1, 0},
        {-1, height / 2, 0},
        {-1, height - 1, 0},
        {500, 0, 0},
        {-1, height - 1, 0},
        {-1, m.Row, 0},
        {99990, m.HeightFor(16) - m.Frame - 1, 0},
        {-1, 5, -120},
        {-1, 5, -240},
        {-1, 5, 120},
        {0, height - 1, 360},
        {-1, 5, -120 * 40000},
    };
    int expectedClicks = 0;
    for (const auto& s : steps) {
        for (QAbstractItemView* view : both.Views()) {
            if (s.ScrollTo >= 0)
                view->verticalScrollBar()->setValue(s.ScrollTo);
            if (s.Wheel != 0) {
                const QPointF at(5, s.Y);
                QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(),
                                  QPoint(0, s.Wheel), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(view->viewport(), &wheel);
            } else {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, s.Y));
            }
        }
        if (s.Wheel == 0)
            ++expectedClicks;
        EXPECT_EQ(State(both.List), State(both.Reference))
            << "scrolled to " << s.ScrollTo << ", y " << s.Y << ", wheel " << s.Wheel;
        EXPECT_EQ(clicks.count(), expectedClicks) << s.Y;
    }
}

// Below the last entry of a short list nothing is clicked: the chosen entry stays.
TEST(TListBox, AClickBelowTheEntriesChoosesNothing) {
    TListBox list;
    list.SetItems(Names(3));
    list.resize(200, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy clicks(&list, &TListBox::Click);
    list.SetItemIndex(1);
    const QRect last = list.visualRect(list.model()->index(2, 0));
    for (int y : {last.bottom() + 1, last.bottom() + 50}) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, y));
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, y));
        EXPECT_EQ(list.ItemIndex(), 1) << y;
    }
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, last.bottom()));
    EXPECT_EQ(list.ItemIndex(), 2);
    EXPECT_EQ(clicks.count(), 1);
}

// Choosing several by keys and shift-clicks over 100,000 entries chooses the rows the
// list view chooses, also when the range runs far out of sight.
TEST(TListBox, ChoosingSeveralAsTheListView) {
    TBoth both(Names(100000), 300);
    both.List.SetMultiSelect(true);
    both.Reference.setSelectionMode(QAbstractItemView::ExtendedSelection);
    const struct {
        int Row; // a click on this row's centre, or a key
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
    } steps[] = {
        {2, Qt::Key_unknown, Qt::NoModifier},      {6, Qt::Key_unknown, Qt::ShiftModifier},
        {-1, Qt::Key_PageDown, Qt::ShiftModifier}, {-1, Qt::Key_End, Qt::ShiftModifier},
        {-1, Qt::Key_Up, Qt::NoModifier},          {-1, Qt::Key_Home, Qt::ShiftModifier},
        {-1, Qt::Key_A, Qt::ControlModifier},      {3, Qt::Key_unknown, Qt::ControlModifier},
    };
    for (const auto& s : steps) {
        for (QAbstractItemView* view : both.Views()) {
            if (s.Row >= 0) {
                const QPoint at = view->visualRect(view->model()->index(s.Row, 0)).center();
                QTest::mouseClick(view->viewport(), Qt::LeftButton, s.Modifiers, at);
            } else {
                QTest::keyClick(view, s.Key, s.Modifiers);
            }
        }
        EXPECT_EQ(State(both.List), State(both.Reference)) << s.Row << " " << s.Key;
    }
    EXPECT_EQ(both.List.SelectedIndexes().size(), 99999) << "all but the ctrl-clicked one";
}

// A fill while scrolled far down and with an entry chosen, with as many entries as
// before, fewer, or none: nothing is chosen, and the list stays scrolled as far as
// the new entries reach, as the list view does (the window empties it first).
TEST(TListBox, ARefillWhileScrolledStartsAfresh) {
    TBoth both(Names(100000), 300);
    for (QAbstractItemView* view : both.Views()) {
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_End);
    }
    ASSERT_EQ(both.List.ItemIndex(), 99999);
    ASSERT_GT(both.List.verticalScrollBar()->value(), 0);
    QStringList others = Names(100000);
    for (QString& name : others)
        name.prepend(u'新');
    const struct {
        QStringList Texts;
        const char* What;
    } fills[] = {
        {others, "as many"},
        {{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}, "three"},
        {{}, "none"},
        {{QStringLiteral("独")}, "one"},
        {Names(50000), "half"},
    };
    for (const auto& fill : fills) {
        both.Refill(fill.Texts);
        EXPECT_EQ(State(both.List), State(both.Reference)) << fill.What;
        EXPECT_EQ(both.List.Count(), fill.Texts.size());
        EXPECT_EQ(both.List.ItemIndex(), -1) << fill.What;
        const QModelIndex top = both.List.indexAt(QPoint(5, 5));
        EXPECT_EQ(top.data().toString(),
                  fill.Texts.value(both.Reference.indexAt(QPoint(5, 5)).row()))
            << fill.What;
        both.List.SetItemIndex(int(fill.Texts.size()) - 1);
        EXPECT_EQ(both.List.ItemIndex(), fill.Texts.size() - 1) << fill.What;
        for (QAbstractItemView* view : both.Views())
            QTest::keyClick(view, Qt::Key_End); // scrolled for the next fill
    }
}

// Only the last row's width counts for the horizontal scroll bar, as in a list view
// of uniform rows: a long name elsewhere is cut, a long last name makes the list wider.
TEST(TListBox, TheWidthIsTheLastRowsAsInTheListView) {
    QStringList longLast = Names(50);
    longLast.last() = LongName();
    QStringList longFirst = Names(50);
    longFirst.first() = LongName();
    for (const QStringList& names : {longLast, longFirst, QStringList{LongName()}}) {
        TBoth both(names, 300);
        EXPECT_EQ(State(both.List), State(both.Reference)) << names.size();
        for (QAbstractItemView* view : both.Views())
            view->horizontalScrollBar()->setValue(30);
        EXPECT_EQ(State(both.List), State(both.Reference)) << names.size();
    }
}

// What is drawn is what the list view draws, pixel for pixel: the rows, the chosen
// one, the scroll bar, a row cut at the bottom, a long last name.
TEST(TListBox, DrawsAsTheListView) {
    QStringList longLast = Names(300);
    longLast.last() = LongName();
    const struct {
        QStringList Names;
        Qt::Key Key;
        const char* What;
    } cases[] = {
        {Names(100000), Qt::Key_unknown, "at the top"},
        {Names(100000), Qt::Key_PageDown, "a page down"},
        {Names(100000), Qt::Key_End, "at the end"},
        {Names(3), Qt::Key_Down, "three rows"},
        {longLast, Qt::Key_End, "a long last name"},
        {{}, Qt::Key_unknown, "empty"},
    };
    for (const auto& c : cases) {
        TBoth both(c.Names, 300);
        for (QAbstractItemView* view : both.Views()) {
            if (c.Key != Qt::Key_unknown) {
                view->setCurrentIndex(view->model()->index(0, 0));
                QTest::keyClick(view, c.Key);
            }
        }
        const QImage list = both.List.grab().toImage();
        const QImage reference = both.Reference.grab().toImage();
        EXPECT_FALSE(list.isNull()) << c.What;
        EXPECT_TRUE(list == reference) << c.What;
        if (list != reference) {
            list.save(QStringLiteral("/tmp/list-exp/list-%1.png").arg(c.What));
            reference.save(QStringLiteral("/tmp/list-exp/reference-%1.png").arg(c.What));
        }
    }
}

// A million rows: the last is reached by End and shown whole, the scroll bar ends
// where the last page begins, and the rows at the viewport's edges are hit exactly.
TEST(TListBox, AMillionRowsReachTheirEnd) {
    const int count = 1000000;
    TListItems items;
    for (int i = 0; i < count; ++i)
        items.Append(Name(i));
    TListBox list;
    list.resize(200, 300);
    list.SetItems(items);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const int row = Metrics().Row;
    const int height = list.viewport()->height();
    const int page = height / row;
    EXPECT_EQ(list.verticalScrollBar()->maximum(), count - page);
    EXPECT_EQ(list.verticalScrollBar()->pageStep(), page);
    list.SetItemIndex(0);
    const struct {
        Qt::Key Key;
        int Row;
        int Top;
    } steps[] = {
        {Qt::Key_End, count - 1, count - page},
        {Qt::Key_PageUp, count - page, count - page},
        {Qt::Key_Up, count - page - 1, count - page - 1},
        {Qt::Key_PageDown, count - 2, count - page - 1},
        {Qt::Key_Down, count - 1, count - page},
        {Qt::Key_Down, count - 1, count - page},
        {Qt::Key_Home, 0, 0},
    };
    for (const auto& s : steps) {
        QTest::keyClick(&list, s.Key);
        EXPECT_EQ(list.ItemIndex(), s.Row) << QTest::toString(s.Key);
        EXPECT_EQ(list.verticalScrollBar()->value(), s.Top) << QTest::toString(s.Key);
        const QRect rect = list.visualRect(list.model()->index(s.Row, 0));
        EXPECT_GE(rect.top(), 0) << "wholly in sight " << s.Row;
        EXPECT_LT(rect.bottom(), height) << "wholly in sight " << s.Row;
        EXPECT_EQ(list.indexAt(QPoint(5, rect.top())).row(), s.Row);
        EXPECT_EQ(list.indexAt(QPoint(5, rect.bottom())).row(), s.Row);
    }
    QTest::keyClick(&list, Qt::Key_End);
    const QRect last = list.visualRect(list.model()->index(count - 1, 0));
    EXPECT_EQ(list.indexAt(QPoint(5, last.bottom() + 1)).row(), -1) << "nothing past the end";
    EXPECT_EQ(list.indexAt(QPoint(5, height - 1)).row(), -1);
    EXPECT_EQ(list.indexAt(QPoint(5, 0)).data().toString(), Name(count - page));
}

} // namespace
