// The list box's texts held as one block, and the list box over many of them:
// what a list that draws only the rows in sight could get wrong.
#include "Controls.h"
#include "ListItems.h"

#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <gtest/gtest.h>

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

// Keyboard moves over 100,000 entries land where a plain list view over a string
// list lands, with the list scrolled the same, and each move is a Click.
TEST(TListBox, KeysMoveAsOverAStringList) {
    const QStringList names = Names(100000);
    TListBox list;
    QListView reference;
    QStringListModel referenceModel(names);
    reference.setModel(&referenceModel);
    reference.setUniformItemSizes(true);
    list.SetItems(names);
    for (QListView* view : {static_cast<QListView*>(&list), &reference}) {
        view->resize(200, 300);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
        view->setCurrentIndex(view->model()->index(0, 0));
    }
    QSignalSpy clicks(&list, &TListBox::Click);
    const struct {
        Qt::Key Key;
        const char* Name;
    } keys[] = {
        {Qt::Key_PageDown, "PgDn"}, {Qt::Key_PageDown, "PgDn"}, {Qt::Key_Down, "Down"},
        {Qt::Key_End, "End"},       {Qt::Key_PageUp, "PgUp"},   {Qt::Key_Up, "Up"},
        {Qt::Key_Home, "Home"},     {Qt::Key_PageDown, "PgDn"}, {Qt::Key_End, "End"},
    };
    int expectedClicks = 0;
    for (const auto& k : keys) {
        QTest::keyClick(&list, k.Key);
        QTest::keyClick(&reference, k.Key);
        const int row = reference.currentIndex().row();
        EXPECT_EQ(list.ItemIndex(), row) << k.Name;
        EXPECT_EQ(list.Item(list.ItemIndex()), names.value(row)) << k.Name;
        EXPECT_EQ(list.verticalScrollBar()->value(), reference.verticalScrollBar()->value())
            << k.Name;
        EXPECT_EQ(list.indexAt(QPoint(5, 5)).row(), reference.indexAt(QPoint(5, 5)).row())
            << k.Name;
        EXPECT_EQ(clicks.count(), ++expectedClicks) << k.Name;
    }
    EXPECT_EQ(list.ItemIndex(), 99999);
}

// A second fill while scrolled far down and with an entry chosen: the new list
// starts at its top with nothing chosen, and the rows in sight are the new texts.
TEST(TListBox, ASecondFillWhileScrolledStartsAfresh) {
    TListBox list;
    list.resize(200, 300);
    list.SetItems(Names(100000));
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.setFocus();
    list.SetItemIndex(0);
    QTest::keyClick(&list, Qt::Key_End);
    ASSERT_EQ(list.ItemIndex(), 99999);
    ASSERT_GT(list.verticalScrollBar()->value(), 0);
    const struct {
        QStringList Texts;
        int Count;
    } fills[] = {
        {{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}, 3},
        {{}, 0},
        {{QStringLiteral("独")}, 1},
        {Names(50000), 50000},
    };
    for (const auto& fill : fills) {
        list.SetItems(fill.Texts);
        QCoreApplication::processEvents();
        EXPECT_EQ(list.Count(), fill.Count);
        EXPECT_EQ(list.ItemIndex(), -1) << fill.Count;
        EXPECT_TRUE(list.SelectedIndexes().isEmpty()) << fill.Count;
        EXPECT_EQ(list.verticalScrollBar()->value(), 0) << fill.Count;
        const QModelIndex top = list.indexAt(QPoint(5, 5));
        EXPECT_EQ(top.row(), fill.Count > 0 ? 0 : -1) << fill.Count;
        if (fill.Count > 0)
            EXPECT_EQ(top.data().toString(), fill.Texts.first());
        list.SetItemIndex(fill.Count - 1);
        EXPECT_EQ(list.ItemIndex(), fill.Count - 1) << fill.Count;
    }
}
} // namespace
