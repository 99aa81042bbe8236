#include "WinSubClassScroll.h"

#include "SkinPaint.h"

#include <QAbstractScrollArea>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QTreeView>

namespace {

// The size grip's picture in the scroll-arrow strip.
constexpr int GripFrame = 16;

void AddBars(const QWidget* widget, bool horizontalToo, std::vector<QWidget*>& targets) {
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget);
    if (!area) {
        return;
    }
    targets.push_back(area->verticalScrollBar());
    if (horizontalToo) {
        targets.push_back(area->horizontalScrollBar());
    }
}

} // namespace

void TSkinScrollbar::CollectTargets(std::vector<QWidget*>& targets) const {
    AddBars(hwnd.data(), kind != 1, targets);
}

void TSkinScControl::CollectTargets(std::vector<QWidget*>& targets) const {
    if (auto* bar = qobject_cast<QScrollBar*>(hwnd.data())) {
        targets.push_back(bar);
    }
}

void TSkinSizer::DrawControl(QPainter& painter) {
    try {
        QWidget* grip = hwnd.data();
        if (!grip || !fsd) {
            return;
        }
        const TDataSkinObject* e = fsd->SArrow.get();
        int frame = GripFrame;
        if (!e || e->Map.isNull()) {
            e = fsd->ExtraImages.get();
            frame = 0;
        }
        if (!e || e->Map.isNull()) {
            return;
        }
        // The picture at its own size in the corner the grip resizes from.
        const QSize f = SkinFrameSize(*e).boundedTo(grip->size());
        QRect target(QPoint(grip->width() - f.width(), grip->height() - f.height()), f);
        if (grip->isLeftToRight() == false) {
            target.moveLeft(0);
        }
        DrawSkinElement(painter, target, *e, frame);
    } catch (...) {
    }
}

void TSkinHeader::CollectTargets(std::vector<QWidget*>& targets) const {
    if (auto* header = qobject_cast<QHeaderView*>(hwnd.data())) {
        targets.push_back(header);
        targets.push_back(header->viewport());
    }
}

void TSkinListView::CollectTargets(std::vector<QWidget*>& targets) const {
    AddBars(hwnd.data(), true, targets);
    if (auto* tree = qobject_cast<QTreeView*>(hwnd.data())) {
        targets.push_back(tree->header());
        targets.push_back(tree->header()->viewport());
    } else if (auto* table = qobject_cast<QTableView*>(hwnd.data())) {
        for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()}) {
            targets.push_back(header);
            targets.push_back(header->viewport());
        }
    }
}
