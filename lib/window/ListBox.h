#pragma once
// The window's list of recipe names: a view that places its rows by arithmetic, so
// a million names cost what a thousand do once they are in memory. It draws, scrolls
// and answers keys and clicks as Qt's list view over uniform rows does.

#include "ListItems.h"

#include <QAbstractItemView>

class TListBox : public QAbstractItemView {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr);
    // The list holds its texts as one block and draws only the rows in sight.
    void SetItems(const TListItems& items);
    void Clear();
    int Count() const;
    QString Item(int index) const; // empty when there is no such entry
    TListItems Items() const { return FModel.Items(); }
    // The entry last clicked or moved to when it is selected, else the first
    // selected; -1 when nothing is selected.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // Ctrl- and Shift-clicks choose several; a plain click still chooses one.
    void SetMultiSelect(bool on);
    QList<int> SelectedIndexes() const; // in the list's order

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void reset() override;

Q_SIGNALS:
    // A click on an entry, or a keyboard move of the selection.
    void Click();

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void initViewItemOption(QStyleOptionViewItem* option) const override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Every row has the size the last one asks for, as a list view of uniform rows
    // takes it; measured once per fill.
    QSize RowSize() const;
    int RowHeight() const { return std::max(1, RowSize().height()); }
    int RowWidth() const;               // the rows span the viewport at least
    int FullRowsInSight() const;        // rows wholly in the viewport, at least one
    int TopRow() const;                 // the row at the viewport's top
    int RowAtContentsY(qint64 y) const; // -1 outside the rows

    TListItemsModel FModel;
    mutable QSize FRowSize; // invalid until measured
    QPersistentModelIndex FHover;
    bool FPressOutside = false; // the press was below the entries
};
