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

constexpr int TimerInterval = 250;
constexpr qintptr NotifyParam = 16802;

// The component raises these around a window's skinning once it carries them.
template <typename D>
void RaiseSkinFormEvent(D& data, bool after, QObject* sender, QWidget* window,
                        const QString& name) {
    if constexpr (requires { data.OnAfterSkinForm(sender, window, name); }) {
        auto& handler = after ? data.OnAfterSkinForm : data.OnBeforeSkinForm;
        if (handler) {
            handler(sender, window, name);
        }
    }
}

// Each change of a top-level's limits goes to the window system: skip the unchanged.
void SetMinimumIfChanged(QWidget& w, const QSize& size) {
    if (w.minimumSize() != size) {
        w.setMinimumSize(size);
    }
}

void SetMaximumIfChanged(QWidget& w, const QSize& size) {
    if (w.maximumSize() != size) {
        w.setMaximumSize(size);
    }
}

Qt::WindowFlags HintBits(Qt::WindowFlags flags) {
    return flags & ~Qt::WindowType_Mask;
}

void PostNotify(QWidget* window) {
    QCoreApplication::postEvent(window, new TSkinMessage(SkinMsg::Notify, 0, NotifyParam));
}

} // namespace

QPalette SkinPalette(const TSkinData& data) {
    const QColor face = ColorToQColor(data.Colors[3]);
    // Every role from the skin or derived from its face, none from the desktop's
    // palette: a dark desktop would put light text on the skin's light faces.
    QPalette palette(face, face);
    const QColor text = ColorToQColor(data.Colors[0]);
    const QColor ground = ColorToQColor(data.Colors[5]); // the scheme's lightest
    const struct {
        QPalette::ColorRole Role;
        QColor Color;
    } roles[] = {
        {QPalette::WindowText, text},
        {QPalette::Text, text},
        {QPalette::ButtonText, ColorToQColor(data.Colors[4])},
        {QPalette::Base, ground},
        {QPalette::AlternateBase, ColorToQColor(data.Colors[6])},
        {QPalette::Light, ground},
        {QPalette::Midlight, ColorToQColor(data.Colors[6])},
        {QPalette::Mid, ColorToQColor(data.Colors[7])},
        {QPalette::Dark, ColorToQColor(data.Colors[7])},
        {QPalette::Shadow, ColorToQColor(data.Colors[8])},
        {QPalette::Highlight, ColorToQColor(data.Colors[12])},
        {QPalette::HighlightedText, ColorToQColor(data.Colors[11])},
        {QPalette::BrightText, ground},
        {QPalette::ToolTipBase, ground},
        {QPalette::ToolTipText, text},
        {QPalette::Link, QColor(0, 0, 255)},
        {QPalette::LinkVisited, QColor(128, 0, 128)},
    };
    for (const auto& r : roles) {
        palette.setColor(QPalette::Active, r.Role, r.Color);
        palette.setColor(QPalette::Inactive, r.Role, r.Color);
    }
    QColor placeholder = text;
    placeholder.setAlpha(128);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(g, QPalette::PlaceholderText, placeholder);
    palette.setColor(QPalette::Disabled, QPalette::Base, face);
    palette.setColor(QPalette::Disabled, QPalette::Window, face);
    palette.setColor(QPalette::Disabled, QPalette::Button, face);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, ColorToQColor(data.Colors[12]));
    palette.setColor(QPalette::Disabled, QPalette::ToolTipBase, ground);
    palette.setColor(QPalette::Disabled, QPalette::ToolTipText, text);
    return palette;
}

void TWinSkinForm::ApplySkinColors() {
    if (!FColorSet) {
        FSaved.OwnPalette = Hwnd->testAttribute(Qt::WA_SetPalette);
        FSaved.Palette = Hwnd->palette();
    }
    Hwnd->setPalette(SkinPalette(*fsd));
    FColorSet = true;
}

TWinSkinForm::TWinSkinForm(QWidget& window, TSkinManageBase& manager)
    : TSkinFormHost(&window), Manager(&manager) {
    Hwnd = &window;
    timer.setInterval(TimerInterval);
    connect(&timer, &QTimer::timeout, this, [this] { Tick(); });
}

TWinSkinForm::~TWinSkinForm() {
    // The manager undoes a form before it drops it; one still in place goes with its
    // window, deleted inside the window's destructor while the pointer to it is still
    // set: nothing may be restored on a window half destroyed.
    if (!FUndone) {
        UnSubclass(true);
    }
}

void TWinSkinForm::ReadWindowKind() {
    QWidget& w = *Hwnd;
    const Qt::WindowFlags flags = w.windowFlags();
    const Qt::WindowType type = w.windowType();
    Qt::WindowFlags hints = HintBits(flags);
    if (!(flags & Qt::CustomizeWindowHint) &&
        !(hints & (Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint))) {
        // No hints given: the platform's usual buttons for the window's type.
        hints |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (type == Qt::Window) {
            hints |= Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
        }
    }
    FormIconsSystemMenu = hints.testFlag(Qt::WindowSystemMenuHint);
    FormIconsMinimize = hints.testFlag(Qt::WindowMinimizeButtonHint);
    FormIconsMaximize = hints.testFlag(Qt::WindowMaximizeButtonHint);
    FormIconsHelp = hints.testFlag(Qt::WindowContextHelpButtonHint);
    ismessagebox = qobject_cast<QMessageBox*>(&w) != nullptr || formclass == u"#32770" ||
                   classname.compare(u"TMessageForm", Qt::CaseInsensitive) == 0;
    if (flags.testFlag(Qt::FramelessWindowHint) || type == Qt::Popup || type == Qt::ToolTip ||
        type == Qt::SplashScreen || type == Qt::Desktop) {
        FormBorder = fbNone;
    } else if (ismessagebox) {
        FormBorder = fbDialog;
    } else if (w.minimumSize() != w.maximumSize()) {
        FormBorder = fbSizeable;
    } else {
        FormBorder = type == Qt::Dialog ? fbDialog : fbSingle;
    }
    FormStyle = w.inherits("QMdiSubWindow") ? fsMDIChild : fsNormal;
    ischildform = !w.isWindow();
    Windowstate = w.windowState();
    dwstyle = flags;
    bidileft = w.layoutDirection() == Qt::RightToLeft;
}

// A posted message reaches a window before its first paint; Qt may expose a
// window first. A window whose finish is pending finishes before it is drawn,
// so it never shows for a moment unskinned, and is painted once, not twice.
class TFinishFirst : public QObject {
public:
    TFinishFirst(QWindow& window, QWidget& widget) : FWindow(&window), FWidget(&widget) {
        window.installEventFilter(this);
    }
    ~TFinishFirst() override { Stop(); }
    // Safe from inside the filter: only the window's filter list changes.
    void Stop() {
        if (FWindow) {
            FWindow->removeEventFilter(this);
        }
        FWindow.clear();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::Expose || type == QEvent::UpdateRequest) && FWidget) {
            QCoreApplication::sendPostedEvents(FWidget, SkinMsg::Finish);
        }
        return false;
    }

private:
    QPointer<QWindow> FWindow;
    QPointer<QWidget> FWidget;
};

void TWinSkinForm::Subclass() {
    if (!FHook && Hwnd) {
        FHook = std::make_unique<TSkinHook>(*Hwnd, *this);
    }
    if (!FFinishFirst && Hwnd && Hwnd->windowHandle()) {
        FFinishFirst = std::make_unique<TFinishFirst>(*Hwnd->windowHandle(), *Hwnd);
    }
}

void TWinSkinForm::InitTform() {
    if (!Hwnd || !Manager) {
        return;
    }
    FForm = Hwnd;
    if (!fsd) {
        fsd = Manager->ChooseSkinData(Hwnd, classname);
    }
    if (!fsd) {
        return;
    }
    if (classname.isEmpty()) {
        classname = QString::fromLatin1(Hwnd->metaObject()->className());
    }
    formclass = classname;
    RaiseSkinFormEvent(*fsd, false, FForm.data(), Hwnd.data(), classname);
    ReadWindowKind();
    bw = SkinBorderWidths(*fsd);
    Subclass();
    sMainMenu = fsd->SkinControls.Contains(xcMainMenu);
    if (sMainMenu && FormStyle == fsMDIChild && fsd->Options.Contains(xoMDIChildBorder)) {
        sMainMenu = false;
    }
    if (sMainMenu) {
        for (QMenuBar* bar : Hwnd->findChildren<QMenuBar*>(Qt::FindDirectChildrenOnly)) {
            menu = std::make_unique<TWinSkinMenu>(*this, Manager.data(), *bar);
            break;
        }
    }
    // The form's own colour becomes the scheme's button face, its text the scheme's.
    ApplySkinColors();
}

void TWinSkinForm::InitDlg() {
    if (!Hwnd || !Manager) {
        return;
    }
    FForm = nullptr;
    if (classname.isEmpty()) {
        classname = QStringLiteral("#32770");
    }
    formclass = classname;
    if (!fsd) {
        fsd = Manager->ChooseSkinData(Hwnd, classname);
    }
    if (!fsd) {
        return;
    }
    RaiseSkinFormEvent(*fsd, false, nullptr, Hwnd.data(), classname);
    ReadWindowKind();
    if (classname == u"#32770") {
        FormBorder = FormBorder == fbNone ? fbNone : fbDialog;
    }
    bw = SkinBorderWidths(*fsd);
    Subclass();
    // A dialog's text and faces are painted under the skin too.
    ApplySkinColors();
}

void TWinSkinForm::Finish() {
    if (!Hwnd || !fsd || Skinstate == ssSkinned || FUndone) {
        return;
    }
    BuildSystemMenu();
    MakeCaptionIcon();
    SkinFormControls(*this);
    if (!Hwnd) {
        return;
    }
    if (!Hwnd->isMinimized() && !ischildform && FormBorder != fbNone && !bw.isNull()) {
        Skinstate = ssResizing;
        ApplyFrame();
        Skinstate = ssNone;
        UpdateRegion(true);
    }
    PostNotify(Hwnd);
    RaiseSkinFormEvent(*fsd, true, FForm.data(), Hwnd.data(), classname);
    Skinstate = ssSkinned;
    if (FFinishFirst) {
        FFinishFirst->Stop();
    }
    timer.start();
}

void TWinSkinForm::ApplyFrame() {
    if (!Hwnd || FFrameOn) {
        return;
    }
    QWidget& w = *Hwnd;
    const QSize extra(bw.left() + bw.right(), bw.top() + bw.bottom());
    FSaved.Visible = w.isVisible();
    FSaved.Geometry = w.geometry();
    oldsize = FSaved.Geometry;
    // The size undo gives back is the window's normal one, not a maximised rectangle.
    const bool normal =
        !(w.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    FSaved.OuterSize = normal || !w.normalGeometry().isValid() ? FSaved.Geometry.size()
                                                               : w.normalGeometry().size();
    FSaved.MinSize = w.minimumSize();
    FSaved.MaxSize = w.maximumSize();
    FSaved.Contents = w.contentsMargins();
    FSaved.MouseTracking = w.hasMouseTracking();
    FSaved.HadMask = !w.mask().isEmpty();
    FSaved.Mask = w.mask();
    FSaved.ChildPos.clear();
    FSaved.Moved = w.testAttribute(Qt::WA_Moved);
    FSaved.Resized = w.testAttribute(Qt::WA_Resized);
    const QPoint outerPos = FSaved.Visible ? w.frameGeometry().topLeft() : w.pos();

    // Frameless without hiding the window: a visible one changes only its
    // platform window's flags, an unshown one its flags before the first show.
    const Qt::WindowFlags frameless = dwstyle | Qt::FramelessWindowHint;
    if (FSaved.Visible) {
        w.overrideWindowFlags(frameless);
        if (QWindow* handle = w.windowHandle()) {
            handle->setFlags(frameless);
        }
    } else {
        w.setWindowFlags(frameless);
    }
    FFrameOn = true;
    w.setMouseTracking(true);
    if (w.layout()) {
        w.setContentsMargins(FSaved.Contents + bw);
    } else {
        // Children placed by hand keep their place inside the client area.
        for (QWidget* child : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow()) {
                continue;
            }
            FSaved.ChildPos.emplace_back(child, child->pos());
            child->move(child->pos() + QPoint(bw.left(), bw.top()));
        }
    }
    QSize maxSize = FSaved.MaxSize;
    if (maxSize.width() < QWIDGETSIZE_MAX) {
        maxSize.setWidth(std::min(QWIDGETSIZE_MAX, maxSize.width() + extra.width()));
    }
    if (maxSize.height() < QWIDGETSIZE_MAX) {
        maxSize.setHeight(std::min(QWIDGETSIZE_MAX, maxSize.height() + extra.height()));
    }
    SetMaximumIfChanged(w, maxSize);
    QPoint pos = outerPos;
    if (FSaved.Visible) {
        if (QScreen* screen = w.screen()) {
            const QRect avail = screen->availableGeometry();
            pos.setX(std::max(pos.x(), avail.left()));
            pos.setY(std::max(pos.y(), avail.top()));
        }
    }
    // One geometry change: every resize of a shown window repaints it whole.
    // The maximum goes up first, the minimum after, so neither resizes.
    if (w.isMaximized()) {
        w.resize(FSaved.Geometry.size());
    } else {
        w.setGeometry(QRect(pos, FSaved.Geometry.size() + extra));
    }
    const bool fixed = FSaved.MinSize == FSaved.MaxSize;
    if (!w.layout() || fixed) {
        if (FSaved.MinSize.width() > 0 || FSaved.MinSize.height() > 0) {
            SetMinimumIfChanged(w, FSaved.MinSize + extra);
        }
    }
    Relayout();
    // A box is at least as wide as its caption needs, as the platform makes it.
    if (ismessagebox) {
        const int needed = CaptionWidthNeeded();
        if (needed > w.width()) {
            if (w.maximumWidth() < needed)
                w.setMaximumWidth(needed);
            w.setMinimumWidth(needed);
            w.resize(needed, w.height());
            Relayout();
        }
    }
    FSaved.SkinnedAt = FSaved.Visible ? w.frameGeometry().topLeft() : w.pos();
    w.update();
}

void TWinSkinForm::RestoreFrame() {
    if (!FFrameOn) {
        return;
    }
    FFrameOn = false;
    FDrag = TDrag::None;
    if (!Hwnd) {
        return;
    }
    QWidget& w = *Hwnd;
    if (FSaved.HadMask) {
        w.setMask(FSaved.Mask);
    } else {
        w.clearMask();
    }
    WinRgn = QRegion();
    FRegionSize = QSize();
    const bool visible = w.isVisible();
    const QPoint outerPos = visible ? w.frameGeometry().topLeft() : w.pos();
    if (visible) {
        w.overrideWindowFlags(dwstyle);
        if (QWindow* handle = w.windowHandle()) {
            handle->setFlags(dwstyle);
        }
    } else {
        w.setWindowFlags(dwstyle);
    }
    for (auto& [child, pos] : FSaved.ChildPos) {
        if (child) {
            child->move(pos);
        }
    }
    FSaved.ChildPos.clear();
    if (w.layout()) {
        w.setContentsMargins(FSaved.Contents);
    }
    w.setMouseTracking(FSaved.MouseTracking);
    // The mirror of ApplyFrame: minimum down, one geometry change, maximum down.
    SetMinimumIfChanged(w, FSaved.MinSize);
    // The outer size from before skinning. The window does not go back to where it
    // was skinned: it keeps the way it has been moved since.
    if (!w.isMaximized() && !w.isMinimized()) {
        const QPoint moved = outerPos - FSaved.SkinnedAt;
        w.setGeometry(QRect(FSaved.Geometry.topLeft() + moved, FSaved.OuterSize));
    }
    SetMaximumIfChanged(w, FSaved.MaxSize);
    w.setAttribute(Qt::WA_Moved, FSaved.Moved);
    w.setAttribute(Qt::WA_Resized, FSaved.Resized);
    w.update();
}

void TWinSkinForm::UpdateRegion(bool force) {
    if (!Hwnd || !fsd || !FFrameOn) {
        return;
    }
    const QSize size = Hwnd->size();
    if (!force && size == FRegionSize) {
        return;
    }
    FRegionSize = size;
    WinRgn = FRegionEnabled ? SkinWindowRegion(*fsd, size) : QRegion();
    if (WinRgn.isEmpty()) {
        if (FSaved.HadMask) {
            Hwnd->setMask(FSaved.Mask);
        } else if (!Hwnd->mask().isEmpty()) {
            Hwnd->clearMask();
        }
    } else {
        Hwnd->setMask(WinRgn);
    }
}

void TWinSkinForm::Relayout() {
    if (!Hwnd || !fsd || !FFrameOn) {
        FButtons.clear();
        return;
    }
    FButtons = LayoutCaptionButtons(*fsd, Hwnd->width(), Hwnd->isMaximized(), FormIconsMinimize,
                                    FormIconsMaximize, Sizeable());
    if (FHot >= static_cast<int>(FButtons.size())) {
        FHot = -1;
    }
    if (FPressed >= static_cast<int>(FButtons.size())) {
        FPressed = -1;
    }
}

void TWinSkinForm::UpdateFrame() {
    if (!Hwnd || !FFrameOn) {
        return;
    }
    const QSize s = Hwnd->size();
    QRegion frame(QRect(QPoint(0, 0), s));
    frame -= QRect(bw.left(), bw.top(), s.width() - bw.left() - bw.right(),
                   s.height() - bw.top() - bw.bottom());
    Hwnd->update(frame);
}

bool TWinSkinForm::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    try {
        switch (static_cast<int>(event.type())) {
        case SkinMsg::Query:
            static_cast<TSkinMessage&>(event).Result = 1;
            PostNotify(&widget);
            result = true;
            return true;
        case SkinMsg::Finish:
            Finish();
            result = true;
            return true;
        case SkinMsg::Notify:
            result = true;
            return true;
        default:
            break;
        }
        if (!FFrameOn) {
            return false;
        }
        switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return result = MousePress(widget, static_cast<QMouseEvent&>(event));
        case QEvent::MouseMove:
            return result = MouseMove(widget, static_cast<QMouseEvent&>(event));
        case QEvent::MouseButtonRelease:
            return result = MouseRelease(widget, static_cast<QMouseEvent&>(event));
        case QEvent::Leave:
            if (FPressed < 0) {
                SetHot(-1);
            }
            if (FDrag == TDrag::None) {
                RestoreCursor();
            }
            return false;
        case QEvent::KeyPress: {
            auto& key = static_cast<QKeyEvent&>(event);
            // Without the platform's frame nobody else may close on Alt+F4.
            if (key.key() == Qt::Key_F4 && key.modifiers() == Qt::AltModifier) {
                widget.close();
                result = true;
                return true;
            }
            return false;
        }
        default:
            return false;
        }
    } catch (...) {
        return false;
    }
}

bool TWinSkinForm::WantsAfter(QEvent::Type type) const {
    switch (type) {
    case QEvent::Paint:
    case QEvent::Resize:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::ActivationChange:
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
    case QEvent::WindowStateChange:
        return FFrameOn || type == QEvent::WindowStateChange;
    default:
        return false;
    }
}

void TWinSkinForm::AfterProc(QWidget& widget, QEvent& event) {
    try {
        switch (event.type()) {
        case QEvent::Paint: {
            QPainter painter(&widget);
            PaintFrame(painter);
            break;
        }
        case QEvent::Resize:
            if (Skinstate != ssResizing) {
                Relayout();
                UpdateRegion(false);
            }
            break;
        case QEvent::WindowStateChange:
            Windowstate = widget.windowState();
            if (!FFrameOn && Skinstate == ssSkinned && !widget.isMinimized() && !bw.isNull() &&
                FormBorder != fbNone && !ischildform) {
                // Skinned while minimised: the frame comes when it is shown again.
                ApplyFrame();
                UpdateRegion(true);
            }
            Relayout();
            UpdateFrame();
            break;
        case QEvent::WindowIconChange:
            MakeCaptionIcon();
            UpdateFrame();
            break;
        default:
            UpdateFrame();
            break;
        }
    } catch (...) {
    }
}

void TWinSkinForm::UnSubclass(bool destroyed) {
    if (FUndone) {
        return;
    }
    FUndone = true;
    Skinstate = destroyed ? ssDestroying : Skinstate;
    if (fsd && FHot >= 0) {
        fsd->HideHint();
    }
    if (sysmenu) {
        sysmenu->hide();
        delete sysmenu.data();
    }
    timer.stop();
    FHook.reset();
    if (FFinishFirst) {
        FFinishFirst->Stop();
    }
    UnskinFormControls(*this, destroyed);
    if (menu) {
        menu->Unsubclass();
        menu.reset();
    }
    if (destroyed || !Hwnd) {
        FFrameOn = false;
        return;
    }
    if (QWidget::mouseGrabber() == Hwnd) {
        Hwnd->releaseMouse();
    }
    RestoreCursor();
    if (FColorSet) {
        Hwnd->setPalette(FSaved.OwnPalette ? FSaved.Palette : QPalette());
        if (!FSaved.OwnPalette) {
            Hwnd->setAttribute(Qt::WA_SetPalette, false);
        }
        FColorSet = false;
    }
    FButtons.clear();
    if (!ischildform) {
        RestoreFrame();
    }
    FFrameOn = false;
}

void TWinSkinForm::DeleteSysbtn() {
    FButtons.clear();
    FHot = FPressed = -1;
}

void TWinSkinForm::SkinChanged() {
    if (!Hwnd || !fsd || FUndone) {
        return;
    }
    const QMargins widths = SkinBorderWidths(*fsd);
    if (widths != bw) {
        const bool wasOn = FFrameOn;
        RestoreFrame();
        bw = widths;
        if (wasOn && !bw.isNull()) {
            ApplyFrame();
        }
    }
    if (FColorSet) {
        ApplySkinColors();
    }
    MakeCaptionIcon();
    Relayout();
    UpdateRegion(true);
    RefreshFormControls(*this);
    Hwnd->update();
}

void TWinSkinForm::SetRegionEnabled(bool on) {
    FRegionEnabled = on;
    UpdateRegion(true);
}

void TWinSkinForm::EnableCaptionButtons(bool on) {
    FButtonsEnabled = on;
    UpdateFrame();
}
