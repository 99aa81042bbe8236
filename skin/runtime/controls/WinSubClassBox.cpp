#include "WinSubClassBox.h"

#include "SkinFormHost.h"
#include "SkinMessages.h"
#include "SkinPaint.h"
#include "WinSubClassDraw.h"

#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>

namespace {

bool Usable(const TDataSkinObject* element) {
    return element && !element->Map.isNull();
}

} // namespace

// --- group box

bool TSkinGroupBox::DrawsWholeControl() const {
    return qobject_cast<QGroupBox*>(hwnd.data()) && Usable(fsd->Box.get());
}

void TSkinGroupBox::Layout(const QGroupBox& box, const TSkinData& skin, QRect& edge, QRect& plate,
                           QRect& text) {
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.textAlignment = box.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    QStyle* style = box.style();
    edge = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, &box);
    text = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    const TDataSkinBoxLabel* back = skin.boxlabel.get();
    const int left = back ? back->LeftShift : 0;
    const int right = back ? back->RightShift : 0;
    plate = text.adjusted(-left, -2, right, 2);
    const QPoint shift(std::max(0, -plate.x()), std::max(0, -plate.y()));
    plate.translate(shift);
    text.translate(shift);
}

void TSkinGroupBox::DrawControl(QPainter& painter) {
    auto* box = qobject_cast<QGroupBox*>(hwnd.data());
    QRect frame, plate, label;
    Layout(*box, *fsd, frame, plate, label);
    DrawFace(painter, frame, *fsd->Box, box->isEnabled() ? 0 : 1, false);
    if (box->title().isEmpty()) {
        return;
    }
    const TDataSkinBoxLabel* back = fsd->boxlabel.get();
    if (Usable(back)) {
        DrawFace(painter, plate, *back, 0, false);
    }
    painter.setFont(box->font());
    QColor text = SchemeColor(*fsd, scWindowText);
    if (!box->isEnabled()) {
        text = SchemeColor(*fsd, scButtonShadow);
    } else if (back && back->Normalcolor != -1) {
        text = ColorToQColor(back->Normalcolor & 0xFFFFFF);
    }
    painter.setPen(text);
    painter.drawText(label, Qt::AlignCenter | Qt::TextShowMnemonic, box->title());
}

// --- panels

void TSkinBox::Init() {
    newColor = newColor || kind == 2;
    TSkinControl::Init();
}

bool TSkinBox::DrawsBackground() const {
    return hwnd != nullptr;
}

void TSkinBox::DrawBackground(QPainter& painter) {
    const QRect area = hwnd->rect();
    if (kind == 1) {
        if (fsd->Options.Contains(xoToolbarBK)) {
            return;
        }
        if (Usable(fsd->Toolbar.get())) {
            DrawFace(painter, area, *fsd->Toolbar, 0, false);
            return;
        }
    }
    painter.fillRect(area, SchemeColor(*fsd, scButtonFace));
}

// --- edit

void TSkinEdit::PaintControl(QPainter& painter) {
    if (!hwnd) {
        return;
    }
    const QRect r = hwnd->rect();
    if (r.width() < 6 || r.height() < 6) {
        return;
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(SchemeColor(*fsd, scButtonShadow));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::white);
    painter.drawRect(r.adjusted(1, 1, -2, -2));
    painter.drawRect(r.adjusted(2, 2, -3, -3));
}

// --- status bar

TSkinStatusBar::~TSkinStatusBar() {
    FPanelHooks.clear();
}

bool TSkinStatusBar::DrawsWholeControl() const {
    return hwnd && Usable(fsd->StatusBar.get());
}

void TSkinStatusBar::Init() {
    if (!hwnd || Inited) {
        return;
    }
    for (QLabel* panel : hwnd->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        FPanelHooks.push_back(std::make_unique<TSkinHook>(*panel, *this));
    }
    TSkinControl::Init();
}

void TSkinStatusBar::Unsubclass() {
    TSkinControl::Unsubclass();
    for (const auto& hook : FPanelHooks) {
        if (QWidget* panel = hook->Widget()) {
            panel->update();
        }
    }
}

bool TSkinStatusBar::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    if (&widget != hwnd.data()) {
        // A panel: the bar draws it.
        if (event.type() == QEvent::Paint && skinned && DrawsWholeControl()) {
            result = true;
            return true;
        }
        if (event.type() == QEvent::Show || event.type() == QEvent::Hide ||
            event.type() == QEvent::Resize || event.type() == QEvent::Move) {
            hwnd->update();
        }
        return false;
    }
    return TSkinControl::BeforeProc(widget, event, result);
}

void TSkinStatusBar::DrawControl(QPainter& painter) {
    const TDataSkinObject& bar = *fsd->StatusBar;
    DrawFace(painter, hwnd->rect(), bar, 0, false);
    painter.setFont(hwnd->font());
    for (const auto& hook : FPanelHooks) {
        auto* panel = qobject_cast<QLabel*>(hook->Widget());
        if (!panel || !panel->isVisibleTo(hwnd.data())) {
            continue;
        }
        const QRect r = panel->geometry();
        DrawFace(painter, r, bar, 1, false);
        painter.setPen(hwnd->isEnabled() ? SchemeColor(*fsd, scWindowText)
                                         : SchemeColor(*fsd, scButtonShadow));
        painter.drawText(r.adjusted(4, 0, -4, 0), panel->alignment() | Qt::AlignVCenter,
                         panel->text());
    }
}

// --- tabs

void TSkinTab::Init() {
    if (!hwnd || Inited) {
        return;
    }
    TSkinControl::Init();
    if (auto* widget = qobject_cast<QTabWidget*>(hwnd.data())) {
        QTabBar* bar = widget->tabBar();
        if (bar && !IsSkinnedObject(bar)) {
            auto* tabs = new TSkinTab(*bar, skinform.data(), *fsd); // owned by the bar
            tabs->Init();
            FBarSkin = tabs;
        }
    }
}

TSkinTab::~TSkinTab() {
    delete FBarSkin.data();
}

void TSkinTab::Unsubclass() {
    if (FBarSkin) {
        FBarSkin->Unsubclass();
    }
    TSkinControl::Unsubclass();
}

bool TSkinTab::DrawsWholeControl() const {
    if (qobject_cast<QTabBar*>(hwnd.data())) {
        return Usable(TabFace());
    }
    return hwnd && Usable(fsd->TabSheet.get());
}

const TDataSkinObject* TSkinTab::TabFace() const {
    return fsd->tab.get();
}

const TDataSkinObject* TSkinTabBtn::TabFace() const {
    return fsd->Button.get();
}

void TSkinTab::DrawControl(QPainter& painter) {
    auto* bar = qobject_cast<QTabBar*>(hwnd.data());
    if (!bar) {
        QRect pane = hwnd->rect();
        if (auto* widget = qobject_cast<QTabWidget*>(hwnd.data())) {
            QWidget* stack =
                widget->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly);
            if (stack) {
                pane = stack->geometry().adjusted(-2, -2, 2, 2) & hwnd->rect();
            }
        }
        DrawFace(painter, pane, *fsd->TabSheet, 0, false);
        return;
    }
    const TDataSkinObject& face = *TabFace();
    const int hovered = bar->underMouse() ? bar->tabAt(bar->mapFromGlobal(QCursor::pos())) : -1;
    painter.setFont(bar->font());
    for (int i = 0; i < bar->count(); ++i) {
        const QRect r = bar->tabRect(i);
        int st = stNormal;
        if (!bar->isEnabled() || !bar->isTabEnabled(i)) {
            st = stDisabled;
        } else if (i == bar->currentIndex()) {
            st = stDown; // the selected tab's frame
        } else if (i == hovered) {
            st = stOver;
        }
        DrawFace(painter, r, face, st, false);
        painter.setPen(FaceTextColor(*fsd, &face, st == stDown ? stNormal : st));
        painter.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, bar->tabText(i));
    }
}

// --- pages

bool TSkinTabSheet::DrawsBackground() const {
    return hwnd && Usable(fsd->TabSheet.get());
}

void TSkinTabSheet::DrawBackground(QPainter& painter) {
    DrawFace(painter, hwnd->rect(), *fsd->TabSheet, 0, false);
}

// --- progress

bool TSkinProgress::DrawsWholeControl() const {
    return qobject_cast<QProgressBar*>(hwnd.data()) && Usable(fsd->progress.get());
}

void TSkinProgress::DrawControl(QPainter& painter) {
    auto* bar = qobject_cast<QProgressBar*>(hwnd.data());
    const TDataSkinObject& trough = *fsd->progress;
    const bool vertical = bar->orientation() == Qt::Vertical;
    const QRect area = bar->rect();
    // Two frames: horizontal, then vertical.
    DrawFace(painter, area, trough, vertical && SkinFrameCount(trough) > 1 ? 1 : 0, false);
    const QRect inner =
        area.adjusted(trough.r.Left, trough.r.Top, -trough.r.Right, -trough.r.Bottom);
    const qint64 span = qint64(bar->maximum()) - bar->minimum();
    if (span > 0 && inner.isValid() && Usable(fsd->progresschunk.get())) {
        const double done =
            std::clamp(double(qint64(bar->value()) - bar->minimum()) / double(span), 0.0, 1.0);
        QRect filled = inner;
        if (vertical) {
            filled.setTop(inner.bottom() - int(inner.height() * done) + 1);
        } else if (bar->invertedAppearance()) {
            filled.setLeft(inner.right() - int(inner.width() * done) + 1);
        } else {
            filled.setWidth(int(inner.width() * done));
        }
        if (filled.isValid()) {
            DrawFace(painter, filled, *fsd->progresschunk, 0, false);
        }
    }
    if (bar->isTextVisible() && !vertical) {
        painter.setFont(bar->font());
        painter.setPen(SchemeColor(*fsd, scButtonText));
        painter.drawText(area, Qt::AlignCenter, bar->text());
    }
}

// --- MDI client

void TSkinMDIClient::Init() {
    auto* area = qobject_cast<QAbstractScrollArea*>(hwnd.data());
    if (area && !Inited) {
        FHorz = area->horizontalScrollBarPolicy();
        FVert = area->verticalScrollBarPolicy();
        FSaved = true;
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    TSkinControl::Init();
}

void TSkinMDIClient::Unsubclass() {
    auto* area = qobject_cast<QAbstractScrollArea*>(hwnd.data());
    if (area && FSaved && skinstate != 6) {
        area->setHorizontalScrollBarPolicy(FHorz);
        area->setVerticalScrollBarPolicy(FVert);
        FSaved = false;
    }
    TSkinControl::Unsubclass();
}
