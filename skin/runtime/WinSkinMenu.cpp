#include "WinSkinMenu.h"

#include <algorithm>

#include "SkinFormHost.h"
#include "SkinManageBase.h"
#include "SkinMessages.h"
#include "SkinPaint.h"

#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace {

// Glyphs of the menu strip, in strip order.
enum { glCheck = 0, glRadio = 1, glSubmenu = 2, glClose = 3 };

bool Answered(QEvent& event, bool& result) {
    if (static_cast<int>(event.type()) == SkinMsg::Query) {
        static_cast<TSkinMessage&>(event).Result = 1;
        result = true;
        return true;
    }
    return false;
}

QColor ElementColor(int value, TColor fallback) {
    return ColorToQColor(value >= 0 ? static_cast<TColor>(value) : fallback);
}

void DrawMenuGlyph(QPainter& painter, const QRect& target, const TSkinData& skin, int index) {
    if (index < 0 || index >= static_cast<int>(skin.bmpmenu.size())) {
        return;
    }
    const QPixmap glyph = SkinColorKeyPixmap(skin.bmpmenu[static_cast<size_t>(index)], 0xFFFFFFFF);
    if (glyph.isNull()) {
        return;
    }
    const QPoint at(target.x() + (target.width() - glyph.width()) / 2,
                    target.y() + (target.height() - glyph.height()) / 2);
    painter.drawPixmap(at, glyph);
}

} // namespace

// Draws a hooked pop-up menu's panel and items from the menu elements.
class TSkinMenuStyle : public QProxyStyle {
public:
    explicit TSkinMenuStyle(TWinSkinPopMenu& owner) : FOwner(owner) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const TSkinData* skin = FOwner.Painting() ? FOwner.fsd : nullptr;
        if (skin && skin->MenuitemBG && !skin->MenuitemBG->Map.isNull()) {
            if (element == PE_PanelMenu) {
                PaintPanel(*painter, option->rect, *skin);
                return;
            }
            if (element == PE_FrameMenu) {
                return; // the panel carries the frame
            }
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const TSkinData* skin = FOwner.Painting() ? FOwner.fsd : nullptr;
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (skin && element == CE_MenuEmptyArea && skin->MenuitemBG) {
            return;
        }
        if (!skin || element != CE_MenuItem || !item ||
            item->menuItemType == QStyleOptionMenuItem::Separator ||
            item->menuItemType == QStyleOptionMenuItem::TearOff ||
            item->menuItemType == QStyleOptionMenuItem::Scroller) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        QStyleOptionMenuItem copy(*item);
        const bool selected = (item->state & State_Selected) && (item->state & State_Enabled);
        const TDataSkinObject* itemElement = skin->MenuItem.get();
        if (selected && itemElement && !itemElement->Map.isNull()) {
            DrawSkinElement(*painter, item->rect, *itemElement, 1);
        }
        QColor text = ElementColor(itemElement ? itemElement->Normalcolor : -1, skin->Colors[15]);
        if (selected) {
            text = ElementColor(itemElement ? itemElement->Overcolor : -1, skin->Colors[11]);
        }
        if (!(item->state & State_Enabled)) {
            text = ColorToQColor(skin->Colors[7]);
        }
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            copy.palette.setColor(g, QPalette::Text, text);
            copy.palette.setColor(g, QPalette::HighlightedText, text);
            copy.palette.setColor(g, QPalette::WindowText, text);
            copy.palette.setColor(g, QPalette::ButtonText, text);
        }
        copy.state &= ~State_Selected;
        const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
        const bool exclusive = item->checkType == QStyleOptionMenuItem::Exclusive;
        const bool submenu = item->menuItemType == QStyleOptionMenuItem::SubMenu;
        copy.checkType = QStyleOptionMenuItem::NotCheckable;
        copy.checked = false;
        if (submenu) {
            copy.menuItemType = QStyleOptionMenuItem::Normal;
        }
        QProxyStyle::drawControl(element, &copy, painter, widget);
        const QRect side(item->rect.left(), item->rect.top(), 22, item->rect.height());
        int glyph = -1;
        if (checked) {
            glyph = exclusive ? glRadio : glCheck;
        } else if (const auto* menu = qobject_cast<const QMenu*>(widget)) {
            if (QAction* action = menu->actionAt(item->rect.center())) {
                const QVariant marked = action->property("skinGlyph");
                glyph = marked.isValid() ? marked.toInt() : -1;
            }
        }
        DrawMenuGlyph(*painter, side, *skin, glyph);
        if (submenu) {
            DrawMenuGlyph(*painter,
                          QRect(item->rect.right() - 17, item->rect.top(), 16, item->rect.height()),
                          *skin, glSubmenu);
        }
    }

    // The frame keeps items off the panel's edges, as a menu's non-client
    // border would; the wide left bar lies behind the items' glyph column.
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const TSkinData* skin = FOwner.Painting() ? FOwner.fsd : nullptr;
        if (metric == PM_MenuPanelWidth && skin && skin->MenuitemBG &&
            !skin->MenuitemBG->Map.isNull()) {
            const auto& r = skin->MenuitemBG->r;
            return std::clamp(std::min({r.Top, r.Right, r.Bottom}), 0, MaxMenuFrame);
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    static void PaintPanel(QPainter& painter, const QRect& rect, const TSkinData& skin) {
        const TDataSkinObject& bg = *skin.MenuitemBG;
        DrawSkinElement(painter, rect, bg, 0);
        if (!skin.Options.Contains(xoMenuBG)) {
            // The menu's own background inside the skinned frame.
            const QRect inner = rect.adjusted(bg.r.Left, bg.r.Top, -bg.r.Right, -bg.r.Bottom);
            if (inner.isValid()) {
                painter.fillRect(inner, ColorToQColor(skin.Colors[16]));
            }
        }
    }

private:
    static constexpr int MaxMenuFrame = 8;
    TWinSkinPopMenu& FOwner;
};

// --- menu bar

TWinSkinMenu::TWinSkinMenu(TSkinFormHost& form, TSkinManageBase* manager, QMenuBar& bar)
    : Bar(&bar), Form(form), Manager(manager) {
    FHook = std::make_unique<TSkinHook>(bar, *this);
    WatchMenus();
    bar.update();
}

TWinSkinMenu::~TWinSkinMenu() {
    Unsubclass();
}

void TWinSkinMenu::WatchMenus() {
    for (const auto& c : FConnections) {
        disconnect(c);
    }
    FConnections.clear();
    if (!Bar) {
        return;
    }
    for (QAction* action : Bar->actions()) {
        QMenu* sub = action->menu();
        if (!sub) {
            continue;
        }
        // The pop-up rule hooks a menu bar's menus as such while they open.
        FConnections.append(connect(sub, &QMenu::aboutToShow, this, [this] {
            if (Manager) {
                Manager->menutype = 1;
            }
        }));
        FConnections.append(connect(sub, &QMenu::aboutToHide, this, [this] {
            if (Manager && Manager->menutype == 1) {
                Manager->menutype = 0;
            }
        }));
    }
}

void TWinSkinMenu::Unsubclass() {
    if (FDone) {
        return;
    }
    FDone = true;
    for (const auto& c : FConnections) {
        disconnect(c);
    }
    FConnections.clear();
    FHook.reset();
    if (Bar) {
        Bar->update();
    }
}

bool TWinSkinMenu::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    if (Answered(event, result)) {
        return true;
    }
    if (!Form.fsd || !Form.fsd->Menubar || Form.fsd->Menubar->Map.isNull()) {
        return false;
    }
    if (event.type() == QEvent::ActionAdded || event.type() == QEvent::ActionChanged) {
        QMetaObject::invokeMethod(
            this, [this] { WatchMenus(); }, Qt::QueuedConnection);
        return false;
    }
    if (event.type() == QEvent::Paint) {
        PaintGuarded(widget, [this](QPainter& painter) { PaintBar(painter); });
        result = true;
        return true;
    }
    return false;
}

void TWinSkinMenu::AfterProc(QWidget&, QEvent&) {}

bool TWinSkinMenu::WantsAfter(QEvent::Type) const {
    return false;
}

void TWinSkinMenu::PaintBar(QPainter& painter) {
    if (!Bar || !Form.fsd || !Form.fsd->Menubar) {
        return;
    }
    const TSkinData& skin = *Form.fsd;
    const bool active = Bar->isActiveWindow();
    DrawSkinElement(painter, Bar->rect(), *skin.Menubar, active ? 0 : 1);
    const TDataSkinObject* itemElement = skin.MenuItem.get();
    QFont font = Bar->font();
    painter.setFont(font);
    for (QAction* action : Bar->actions()) {
        if (!action->isVisible() || action->isSeparator()) {
            continue;
        }
        const QRect r = Bar->actionGeometry(action);
        if (r.isEmpty()) {
            continue;
        }
        const bool hot = action == Bar->activeAction() && action->isEnabled();
        const bool open = hot && action->menu() && action->menu()->isVisible();
        if (hot && itemElement && !itemElement->Map.isNull()) {
            DrawSkinElement(painter, r, *itemElement, open ? 2 : 1);
        }
        QColor color = ColorToQColor(skin.Colors[14]);
        if (hot) {
            color = ElementColor(itemElement ? itemElement->Overcolor : -1, skin.Colors[14]);
        }
        if (!action->isEnabled()) {
            color = ColorToQColor(skin.Colors[7]);
        }
        painter.setPen(color);
        painter.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, action->text());
    }
}

// --- pop-up menus

TWinSkinPopMenu::TWinSkinPopMenu(QMenu& menu, TSkinData& skin, TSkinManageBase& manager)
    : hwnd(&menu), fsd(&skin), Manager(&manager) {
    ownerdraw = manager.menuactive;
    FHadOwnStyle = menu.testAttribute(Qt::WA_SetStyle);
    if (FHadOwnStyle) {
        FOldStyle = menu.style();
    }
    FStyle = std::make_unique<TSkinMenuStyle>(*this);
    menu.setStyle(FStyle.get());
    FHook = std::make_unique<TSkinHook>(menu, *this);
    menu.update();
}

TWinSkinPopMenu::~TWinSkinPopMenu() {
    Unsubclass();
}

bool TWinSkinPopMenu::Painting() const {
    return !done && fsd && Manager && Manager->active;
}

void TWinSkinPopMenu::MenuDestroyed() {
    hwnd.clear();
    if (FHook) {
        FHook->Forget();
    }
    Unsubclass();
}

void TWinSkinPopMenu::Unsubclass() {
    if (done) {
        return;
    }
    done = true;
    FHook.reset();
    if (hwnd) {
        // Back to exactly the style it had: its own, or the application's.
        hwnd->setStyle(FHadOwnStyle ? FOldStyle.data() : nullptr);
        hwnd->update();
    }
    FStyle.reset();
}

bool TWinSkinPopMenu::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    // The manager went on or off since the items were laid out: lay them out
    // again before the menu is seen, so an inactive skin leaves it as it was.
    if (event.type() == QEvent::Show && FLaidOutSkinned != Painting()) {
        FLaidOutSkinned = Painting();
        QEvent relayout(QEvent::StyleChange);
        QCoreApplication::sendEvent(&widget, &relayout);
    }
    return Answered(event, result);
}

void TWinSkinPopMenu::AfterProc(QWidget&, QEvent&) {}

bool TWinSkinPopMenu::WantsAfter(QEvent::Type) const {
    return false;
}
