#include "ListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>

namespace {
int ClampToInt(qint64 v) {
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min() / 2,
                                  std::numeric_limits<int>::max() / 2));
}
} // namespace

TListBox::TListBox(QWidget* parent) : QAbstractItemView(parent) {
    setModel(&FModel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void TListBox::SetItems(const TListItems& items) {
    FModel.SetItems(items);
}
void TListBox::Clear() {
    FModel.SetItems(TListItems());
}
int TListBox::Count() const {
    return FModel.rowCount();
}
QString TListBox::Item(int index) const {
    return index >= 0 && index < Count() ? FModel.Items().Text(index) : QString();
}

int TListBox::ItemIndex() const {
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current))
        return current.row();
    const QList<int> selected = SelectedIndexes();
    return selected.isEmpty() ? -1 : selected.first();
}

void TListBox::SetMultiSelect(bool on) {
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                        : QAbstractItemView::SingleSelection);
}

// By ranges: a shift-click over a million entries is one range, not a million indexes.
QList<int> TListBox::SelectedIndexes() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TListBox::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        clearSelection();
        return;
    }
    setCurrentIndex(FModel.index(index, 0));
}

// --- Geometry: row r lies at r times the row height, and the vertical scroll bar
// counts rows, as a list view scrolling per item does.

QSize TListBox::RowSize() const {
    if (!FRowSize.isValid()) {
        const int n = Count();
        if (n == 0)
            return QSize(0, 0);
        // The last row, as a list view of uniform rows measures: likely the longest.
        const QModelIndex last = FModel.index(n - 1, 0);
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = viewport()->rect();
        const QAbstractItemDelegate* delegate = itemDelegateForIndex(last);
        FRowSize = delegate ? delegate->sizeHint(option, last) : QSize(0, 0);
    }
    return FRowSize;
}

int TListBox::RowWidth() const {
    return std::max(RowSize().width(), viewport()->width());
}

int TListBox::FullRowsInSight() const {
    return std::max(1, viewport()->height() / RowHeight());
}

int TListBox::RowAtContentsY(qint64 y) const {
    if (y < 0)
        return -1;
    const qint64 row = y / RowHeight();
    return row < Count() ? int(row) : -1;
}

int TListBox::TopRow() const {
    return verticalScrollBar()->value();
}

int TListBox::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int TListBox::verticalOffset() const {
    return ClampToInt(qint64(TopRow()) * RowHeight());
}

void TListBox::updateGeometries() {
    const int n = Count();
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    if (n == 0 || geometry().isEmpty()) {
        horizontal->setRange(0, 0);
        vertical->setRange(0, 0);
    } else {
        const QSize row = RowSize();
        const int sight = viewport()->height();
        // When all rows fit, the page is one more than the rows, and there is no range.
        const int page = qint64(n) * RowHeight() <= sight ? n + 1 : sight / RowHeight();
        vertical->setSingleStep(1);
        vertical->setPageStep(page);
        vertical->setRange(0, std::max(0, n - page));
        horizontal->setSingleStep(row.width());
        horizontal->setPageStep(viewport()->width());
        horizontal->setRange(0, std::max(0, row.width() - viewport()->width()));
    }
    QAbstractItemView::updateGeometries();
}

// The vertical scroll bar moves in rows; the viewport in pixels.
void TListBox::scrollContentsBy(int dx, int dy) {
    QAbstractItemView::scrollContentsBy(dx, ClampToInt(qint64(dy) * RowHeight()));
}

QRect TListBox::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != &FModel || index.row() >= Count())
        return QRect();
    const qint64 top = qint64(index.row()) * RowHeight() - qint64(TopRow()) * RowHeight();
    return QRect(-horizontalOffset(), ClampToInt(top), RowWidth(), RowHeight());
}

QModelIndex TListBox::indexAt(const QPoint& point) const {
    if (Count() == 0)
        return QModelIndex();
    const int x = point.x() + horizontalOffset();
    if (x < 0 || x >= RowWidth())
        return QModelIndex();
    const int row = RowAtContentsY(qint64(point.y()) + qint64(TopRow()) * RowHeight());
    return row >= 0 ? FModel.index(row, 0) : QModelIndex();
}

void TListBox::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.model() != &FModel || index.row() >= Count())
        return;
    const QRect rect = visualRect(index);
    const QRect area = viewport()->rect();
    if (hint == EnsureVisible && area.contains(rect)) {
        viewport()->update(rect);
        return;
    }
    const int row = index.row();
    const int full = FullRowsInSight();
    int top = TopRow();
    switch (hint) {
    case EnsureVisible:
        if (rect.top() < area.top())
            top = row;
        else if (rect.bottom() > area.bottom())
            top = row - full + 1;
        break;
    case PositionAtTop:
        top = row;
        break;
    case PositionAtBottom:
        top = row - full + 1;
        break;
    case PositionAtCenter:
        top = row - full / 2;
        break;
    }
    verticalScrollBar()->setValue(top); // the bar keeps it within its range
}

QModelIndex TListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int n = Count();
    if (n == 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return FModel.index(0, 0);
    const int row = current.row();
    // A page keeps the row moved from in sight: one row less than fit wholly (none
    // when one fits, one when none does, as the list view moves).
    const int inSight = viewport()->height() / RowHeight();
    const int page = inSight > 0 ? inSight - 1 : 1;
    int to = row;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        to = row - 1;
        break;
    case MoveDown:
    case MoveNext:
        to = row + 1;
        break;
    case MovePageUp:
        to = row - page;
        break;
    case MovePageDown:
        to = row + page;
        break;
    case MoveHome:
        to = 0;
        break;
    case MoveEnd:
        to = n - 1;
        break;
    case MoveLeft:
    case MoveRight:
        break; // one column: nothing beside
    }
    if (action == MoveUp || action == MovePrevious || action == MoveDown || action == MoveNext)
        return to >= 0 && to < n ? FModel.index(to, 0) : current;
    return FModel.index(std::clamp(to, 0, n - 1), 0);
}

void TListBox::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel())
        return;
    QItemSelection selection;
    auto select = [&](int first, int last) {
        if (first > last)
            std::swap(first, last);
        selection.select(FModel.index(first, 0), FModel.index(last, 0));
    };
    if (rect.width() == 1 && rect.height() == 1) {
        const QModelIndex at = indexAt(rect.topLeft());
        if (at.isValid())
            select(at.row(), at.row());
    } else if (state() == DragSelectingState) {
        // A rubber band: every row it touches.
        const int left = -horizontalOffset();
        const qint64 offset = qint64(TopRow()) * RowHeight();
        const qint64 top = std::max<qint64>(0, rect.top() + offset);
        const qint64 bottom =
            std::min<qint64>(qint64(Count()) * RowHeight() - 1, rect.bottom() + offset);
        if (Count() > 0 && top <= bottom && rect.right() >= left && rect.left() < left + RowWidth())
            select(int(top / RowHeight()), int(bottom / RowHeight()));
    } else {
        // Keys and clicks: from the row under one corner to the row under the other.
        const QModelIndex first = indexAt(rect.topLeft());
        const QModelIndex last = indexAt(rect.bottomRight());
        if (first.isValid() && last.isValid())
            select(first.row(), last.row());
    }
    selectionModel()->select(selection, command);
}

QRegion TListBox::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const QRect area = viewport()->rect();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.model() != &FModel)
            continue;
        const QRect top = visualRect(FModel.index(range.top(), 0));
        const QRect bottom = visualRect(FModel.index(range.bottom(), 0));
        region += top.united(bottom).intersected(area);
    }
    return region;
}

// As the list view's list mode: its icon size, and decorations on the left.
void TListBox::initViewItemOption(QStyleOptionViewItem* option) const {
    QAbstractItemView::initViewItemOption(option);
    if (!iconSize().isValid()) {
        const int size = style()->pixelMetric(QStyle::PM_ListViewIconSize, nullptr, this);
        option->decorationSize = QSize(size, size);
    }
    option->decorationPosition = QStyleOptionViewItem::Left;
}

// Only the rows the paint's rectangle crosses, each drawn by the delegate with the
// states a list view gives it.
void TListBox::paintEvent(QPaintEvent* event) {
    const int n = Count();
    const QAbstractItemDelegate* anyDelegate = itemDelegate();
    if (n == 0 || !anyDelegate)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const bool enabled = state & QStyle::State_Enabled;
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QRect area = event->rect();
    const qint64 offset = qint64(TopRow()) * RowHeight();
    const qint64 first = std::max<qint64>(0, (area.top() + offset) / RowHeight());
    const qint64 last = std::min<qint64>(n - 1, (area.bottom() + offset) / RowHeight());
    for (qint64 row = first; row <= last; ++row) {
        const QModelIndex index = FModel.index(int(row), 0);
        option.rect = visualRect(index);
        option.state = state;
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (enabled) {
            const bool rowEnabled = FModel.flags(index) & Qt::ItemIsEnabled;
            if (!rowEnabled)
                option.state &= ~QStyle::State_Enabled;
            option.palette.setCurrentColorGroup(rowEnabled ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && index == current) {
            option.state |= QStyle::State_HasFocus;
            if (this->state() == EditingState)
                option.state |= QStyle::State_Editing;
        }
        option.state.setFlag(QStyle::State_MouseOver, index == FHover);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

bool TListBox::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        FHover = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        FHover = QPersistentModelIndex();
        break;
    default:
        break;
    }
    return QAbstractItemView::viewportEvent(event);
}

void TListBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        FRowSize = QSize();
        updateGeometries();
    }
    QAbstractItemView::changeEvent(event);
}

// A new fill: nothing chosen, and scrolled as far as before where the rows reach.
void TListBox::reset() {
    QAbstractItemView::reset();
    FRowSize = QSize();
    FHover = QPersistentModelIndex();
    updateGeometries();
}

// Below the last entry nothing is clicked: the selection stays and no Click
// comes, where the view would otherwise clear the selection.
void TListBox::mousePressEvent(QMouseEvent* event) {
    FPressOutside = !indexAt(event->position().toPoint()).isValid();
    if (FPressOutside) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QAbstractItemView::mousePressEvent(event);
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!indexAt(event->position().toPoint()).isValid()) {
        FPressOutside = true;
        event->accept();
        return;
    }
    QAbstractItemView::mouseDoubleClickEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (FPressOutside) {
        FPressOutside = false;
        event->accept();
        return;
    }
    QAbstractItemView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        Q_EMIT Click();
}

void TListBox::keyReleaseEvent(QKeyEvent* event) {
    QAbstractItemView::keyReleaseEvent(event);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        Q_EMIT Click();
        break;
    default:
        break;
    }
}
