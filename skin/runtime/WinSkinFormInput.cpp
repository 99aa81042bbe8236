// A skinned window's caption and frame under the mouse: the caption icon and
// system menu, the caption buttons and their hints, moving and resizing.
#include "WinSkinForm.h"

#include "SkinManageBase.h"
#include "SkinMessages.h"
#include "SkinPaint.h"
#include "WinSkinMenu.h"
#include "WinSubClass.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {

Qt::Edges EdgesOf(TFrameHit hit) {
    switch (hit) {
    case TFrameHit::Left:
        return Qt::LeftEdge;
    case TFrameHit::Right:
        return Qt::RightEdge;
    case TFrameHit::Top:
        return Qt::TopEdge;
    case TFrameHit::Bottom:
        return Qt::BottomEdge;
    case TFrameHit::TopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case TFrameHit::TopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case TFrameHit::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case TFrameHit::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

} // namespace

void TWinSkinForm::MakeCaptionIcon() {
    FIcon = QPixmap();
    // The icon itself, with its own transparency: the skin's copy on magenta keeps a
    // magenta fringe around anti-aliased edges once the colour is keyed out.
    if (Hwnd && !Hwnd->windowIcon().isNull()) {
        FIcon = Hwnd->windowIcon().pixmap(16, 16);
    } else if (fsd && !fsd->SysIcon.isNull()) {
        FIcon = SkinColorKeyPixmap(fsd->SysIcon, SkinTransparentColor);
    }
    if (!FIcon.isNull() && (FIcon.width() > 16 || FIcon.height() > 16)) {
        FIcon = FIcon.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    FTextBack = TDataSkinObject(QStringLiteral("TextBack"));
    if (fsd && fsd->Title) {
        // One picture, its ends kept by the TXTBack margins.
        FTextBack.Map = fsd->Title->Map;
        FTextBack.r = {fsd->Title->backleft, 0, fsd->Title->backright, 0};
        FTextBack.frame = 1;
    }
}

void TWinSkinForm::BuildSystemMenu() {
    if (!Hwnd || sysmenu) {
        return;
    }
    auto* m = new QMenu(Hwnd);
    m->setObjectName(QStringLiteral("SkinSystemMenu"));
    QWidget* w = Hwnd;
    QAction* restore =
        m->addAction(QStringLiteral("还原"), w, [this] { RunCaptionAction(caRestore); });
    QAction* move = m->addAction(QStringLiteral("移动"), w, [this] {
        if (!Hwnd) {
            return;
        }
        FDrag = TDrag::Move;
        FDragStart = QCursor::pos();
        FDragGeometry = Hwnd->geometry();
        Hwnd->grabMouse();
    });
    QAction* size = m->addAction(QStringLiteral("大小"), w, [this] {
        if (!Hwnd) {
            return;
        }
        FDrag = TDrag::Resize;
        FDragEdge = TFrameHit::BottomRight;
        FDragStart = QCursor::pos();
        FDragGeometry = Hwnd->geometry();
        Hwnd->grabMouse();
    });
    QAction* minimize =
        m->addAction(QStringLiteral("最小化"), w, [this] { RunCaptionAction(caMinimize); });
    QAction* maximize =
        m->addAction(QStringLiteral("最大化"), w, [this] { RunCaptionAction(caMaximize); });
    m->addSeparator();
    QAction* close =
        m->addAction(QStringLiteral("关闭\tAlt+F4"), w, [this] { RunCaptionAction(caClose); });
    close->setProperty("skinGlyph", 3);
    QFont bold = close->font();
    bold.setBold(true);
    close->setFont(bold);
    // Which items apply is decided each time the menu opens.
    connect(m, &QMenu::aboutToShow, this, [this, restore, move, size, minimize, maximize] {
        if (!Hwnd) {
            return;
        }
        const bool changed = Hwnd->isMaximized() || Hwnd->isMinimized();
        restore->setEnabled(changed);
        move->setEnabled(!Hwnd->isMaximized());
        size->setEnabled(Sizeable() && !changed);
        minimize->setEnabled(FormIconsMinimize && !Hwnd->isMinimized());
        maximize->setEnabled(FormIconsMaximize && Sizeable() && !Hwnd->isMaximized());
    });
    sysmenu = m;
}

void TWinSkinForm::ShowSystemMenu() {
    if (!Hwnd || !sysmenu) {
        return;
    }
    const QRect icon = CaptionIconRect();
    const QPoint at = Hwnd->mapToGlobal(QPoint(icon.left(), bw.top()));
    // The pop-up rule hooks the menu as the system menu while it opens.
    const int oldType = Manager ? Manager->menutype : 0;
    if (Manager) {
        Manager->menutype = 2;
    }
    sysmenu->popup(at);
    if (Manager) {
        Manager->menutype = oldType;
    }
}

void TWinSkinForm::RunCaptionAction(int action) {
    if (!Hwnd) {
        return;
    }
    switch (action) {
    case caClose:
        Hwnd->close();
        break;
    case caMinimize:
        Hwnd->showMinimized();
        break;
    case caMaximize:
        if (Sizeable()) {
            Hwnd->showMaximized();
        }
        break;
    case caRestore:
        Hwnd->showNormal();
        break;
    default:
        break;
    }
}

bool TWinSkinForm::Sizeable() const {
    return Hwnd && FormBorder != fbNone && Hwnd->minimumSize() != Hwnd->maximumSize();
}

int TWinSkinForm::ButtonAt(const QPoint& p) const {
    for (int i = 0; i < static_cast<int>(FButtons.size()); ++i) {
        if (FButtons[static_cast<size_t>(i)].Rect.contains(p)) {
            return i;
        }
    }
    return -1;
}

QString CaptionButtonHint(int action) {
    switch (action) {
    case caClose:
        return QStringLiteral("关闭");
    case caMaximize:
        return QStringLiteral("最大化");
    case caMinimize:
        return QStringLiteral("最小化");
    case caRestore:
        return QStringLiteral("还原");
    case caHelp:
        return QStringLiteral("帮助");
    default:
        return {};
    }
}

void TWinSkinForm::SetHot(int index) {
    if (index == FHot) {
        return;
    }
    FHot = index;
    if (!Hwnd) {
        return;
    }
    Hwnd->update(QRect(0, 0, Hwnd->width(), bw.top()));
    // The component's one hint window, under the button (only with its option).
    if (fsd) {
        fsd->HideHint();
        if (index >= 0 && index < static_cast<int>(FButtons.size())) {
            const QRect r = FButtons[static_cast<size_t>(index)].Rect;
            const QString text = CaptionButtonHint(FButtons[static_cast<size_t>(index)].Action);
            if (!text.isEmpty()) {
                fsd->ActivateHint(QRect(Hwnd->mapToGlobal(r.bottomLeft() + QPoint(0, 4)), r.size()),
                                  text);
            }
        }
    }
}

bool TWinSkinForm::MousePress(QWidget& widget, QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    if (FDrag != TDrag::None) {
        // A click ends a move or resize started from the system menu.
        FDrag = TDrag::None;
        widget.releaseMouse();
        return true;
    }
    if (event.button() != Qt::LeftButton) {
        return false;
    }
    const int button = ButtonAt(p);
    if (button >= 0) {
        FPressed = button;
        FHot = button;
        widget.update(FButtons[static_cast<size_t>(button)].Rect);
        return true;
    }
    const TFrameHit hit = FrameHitTest(widget.size(), bw, p, Sizeable());
    if (hit == TFrameHit::Client) {
        return false;
    }
    if (hit == TFrameHit::Caption && CaptionIconRect().contains(p)) {
        if (fsd && fsd->SkinControls.Contains(xcSystemMenu) && FormIconsSystemMenu) {
            ShowSystemMenu();
        }
        return true;
    }
    if (hit == TFrameHit::Caption) {
        if (event.type() == QEvent::MouseButtonDblClick) {
            if (Sizeable()) {
                RunCaptionAction(widget.isMaximized() ? caRestore : caMaximize);
            }
            return true;
        }
        if (widget.isMaximized()) {
            return true;
        }
        QWindow* handle = widget.windowHandle();
        if (!handle || !handle->startSystemMove()) {
            FDrag = TDrag::Move;
            FDragStart = event.globalPosition().toPoint();
            FDragGeometry = widget.geometry();
        }
        return true;
    }
    // A border of a sizeable window.
    QWindow* handle = widget.windowHandle();
    if (!handle || !handle->startSystemResize(EdgesOf(hit))) {
        FDrag = TDrag::Resize;
        FDragEdge = hit;
        FDragStart = event.globalPosition().toPoint();
        FDragGeometry = widget.geometry();
    }
    return true;
}

bool TWinSkinForm::MouseMove(QWidget& widget, QMouseEvent& event) {
    const QPoint global = event.globalPosition().toPoint();
    if (FDrag == TDrag::Move) {
        widget.move(FDragGeometry.topLeft() + (global - FDragStart));
        return true;
    }
    if (FDrag == TDrag::Resize) {
        const QPoint d = global - FDragStart;
        QRect g = FDragGeometry;
        const Qt::Edges edges = EdgesOf(FDragEdge);
        const QSize minSize = widget.minimumSize().expandedTo(
            QSize(bw.left() + bw.right() + 40, bw.top() + bw.bottom()));
        if (edges & Qt::LeftEdge) {
            g.setLeft(std::min(g.left() + d.x(), g.right() - minSize.width() + 1));
        }
        if (edges & Qt::RightEdge) {
            g.setRight(std::max(g.right() + d.x(), g.left() + minSize.width() - 1));
        }
        if (edges & Qt::TopEdge) {
            g.setTop(std::min(g.top() + d.y(), g.bottom() - minSize.height() + 1));
        }
        if (edges & Qt::BottomEdge) {
            g.setBottom(std::max(g.bottom() + d.y(), g.top() + minSize.height() - 1));
        }
        widget.setGeometry(g);
        return true;
    }
    const QPoint p = event.position().toPoint();
    SetHot(widget.rect().contains(p) ? ButtonAt(p) : -1);
    UpdateCursor(widget, p);
    return FPressed >= 0;
}

void TWinSkinForm::UpdateCursor(QWidget& widget, const QPoint& p) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    bool edge = true;
    switch (Sizeable() && !widget.isMaximized() ? FrameHitTest(widget.size(), bw, p, true)
                                                : TFrameHit::Client) {
    case TFrameHit::Left:
    case TFrameHit::Right:
        shape = Qt::SizeHorCursor;
        break;
    case TFrameHit::Top:
    case TFrameHit::Bottom:
        shape = Qt::SizeVerCursor;
        break;
    case TFrameHit::TopLeft:
    case TFrameHit::BottomRight:
        shape = Qt::SizeFDiagCursor;
        break;
    case TFrameHit::TopRight:
    case TFrameHit::BottomLeft:
        shape = Qt::SizeBDiagCursor;
        break;
    default:
        edge = false;
        break;
    }
    if (!edge) {
        RestoreCursor();
        return;
    }
    if (!FCursorSet) {
        FSaved.OwnCursor = widget.testAttribute(Qt::WA_SetCursor);
        FSaved.Cursor = widget.cursor();
        FCursorSet = true;
    }
    if (widget.cursor().shape() != shape) {
        widget.setCursor(shape);
    }
}

void TWinSkinForm::RestoreCursor() {
    if (!FCursorSet) {
        return;
    }
    FCursorSet = false;
    if (!Hwnd) {
        return;
    }
    if (FSaved.OwnCursor) {
        Hwnd->setCursor(FSaved.Cursor);
    } else {
        // A window keeps the attribute through unsetCursor; it had none set.
        Hwnd->unsetCursor();
        Hwnd->setAttribute(Qt::WA_SetCursor, false);
    }
}

bool TWinSkinForm::MouseRelease(QWidget& widget, QMouseEvent& event) {
    if (FDrag != TDrag::None) {
        if (event.button() == Qt::LeftButton) {
            FDrag = TDrag::None;
            widget.releaseMouse();
        }
        return true;
    }
    if (FPressed < 0) {
        return false;
    }
    const int pressed = FPressed;
    FPressed = -1;
    const QPoint p = event.position().toPoint();
    widget.update(FButtons[static_cast<size_t>(pressed)].Rect);
    if (ButtonAt(p) == pressed && FButtonsEnabled &&
        FButtons[static_cast<size_t>(pressed)].Enabled) {
        const int action = FButtons[static_cast<size_t>(pressed)].Action;
        // The action may close (and so destroy) the window: leave the handler first.
        QMetaObject::invokeMethod(
            this, [this, action] { RunCaptionAction(action); }, Qt::QueuedConnection);
    }
    return true;
}

void TWinSkinForm::Tick() {
    if (!Hwnd || !FFrameOn) {
        return;
    }
    // A Leave can be missed when the pointer jumps off the window.
    if (FHot >= 0 && FPressed < 0) {
        const QPoint p = Hwnd->mapFromGlobal(QCursor::pos());
        if (ButtonAt(p) != FHot) {
            SetHot(-1);
        }
    }
    if (FDrag != TDrag::None && QGuiApplication::mouseButtons() == Qt::NoButton &&
        QWidget::mouseGrabber() != Hwnd) {
        FDrag = TDrag::None;
    }
}
