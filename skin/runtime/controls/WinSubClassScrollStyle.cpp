#include "WinSubClassScrollStyle.h"

#include "SkinMessages.h"
#include "SkinPaint.h"
#include "WinSkinData.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLayout>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>
#include <map>

namespace {

// Arrow directions in the order of SArrow's strip.
enum { dirUp = 0, dirDown = 1, dirLeft = 2, dirRight = 3 };
// SArrow: four states per direction, then grip and corners, then the arrows
// that cannot scroll further.
constexpr int ArrowEndFrames = 19;

bool Has(const std::unique_ptr<TDataSkinObject>& e) {
    return e && !e->Map.isNull();
}
template <typename T> bool Has(const std::unique_ptr<T>& e) {
    return e && !e->Map.isNull();
}

bool Active(const QStyleOptionComplex& o, QStyle::SubControls sc) {
    return (o.activeSubControls & sc) != 0;
}

// Normal 0, over 1, pressed 2 for the part `sc` of a complex control.
int PartState(const QStyleOptionComplex& o, QStyle::SubControl sc) {
    if (!Active(o, sc)) {
        return 0;
    }
    if (o.state & QStyle::State_Sunken) {
        return 2;
    }
    return (o.state & QStyle::State_MouseOver) ? 1 : 0;
}

using TStyleKey = std::tuple<const TSkinData*, QString, bool>;
std::map<TStyleKey, std::weak_ptr<TSkinElementStyle>>& Registry() {
    static std::map<TStyleKey, std::weak_ptr<TSkinElementStyle>> registry;
    return registry;
}

} // namespace

TSkinElementStyle::TSkinElementStyle(TSkinData& skin, QStyle* base, bool horzSpin)
    : QProxyStyle(base), FSkin(skin), FHorzSpin(horzSpin) {}

std::shared_ptr<TSkinElementStyle> TSkinElementStyle::Shared(TSkinData& skin, const QStyle& current,
                                                             bool horzSpin) {
    // A widget already styled by us shares its base, never a proxy of a proxy.
    const QStyle* plain = &current;
    if (auto* ours = qobject_cast<const TSkinElementStyle*>(&current)) {
        plain = ours->baseStyle();
    }
    const QString name = plain->name();
    const TStyleKey key{&skin, name, horzSpin};
    auto& registry = Registry();
    if (auto it = registry.find(key); it != registry.end()) {
        if (auto alive = it->second.lock()) {
            return alive;
        }
    }
    QStyle* base = QStyleFactory::create(name);
    if (!base) {
        base = QStyleFactory::create(QStringLiteral("Fusion"));
    }
    auto* style = new TSkinElementStyle(skin, base, horzSpin);
    // qApp owns it until the last user lets go, so nothing outlives the application.
    style->setParent(qApp);
    std::shared_ptr<TSkinElementStyle> shared(style, [key](TSkinElementStyle* s) {
        auto& reg = Registry();
        if (auto it = reg.find(key); it != reg.end() && it->second.expired()) {
            reg.erase(it);
        }
        s->deleteLater();
    });
    registry[key] = shared;
    return shared;
}

QRect TSkinElementStyle::ComboArrowRect(const QRect& rect) {
    // The combo strip keeps its button zone (scroll-bar width + 2) at the right
    // edge, inside a two-pixel edge.
    constexpr int zone = 18;
    return QRect(rect.right() - zone, rect.top() + 2, zone - 1, std::max(0, rect.height() - 4));
}

const TDataSkinObject* TSkinElementStyle::TrackThumb(Qt::Orientation orientation,
                                                     int tickPosition) const {
    // Qt gives ticks on the left the value of ticks above, on the right that of below.
    static_assert(QSlider::TicksLeft == QSlider::TicksAbove &&
                  QSlider::TicksRight == QSlider::TicksBelow);
    const TSkinData& s = FSkin;
    const bool horizontal = orientation == Qt::Horizontal;
    const TDataSkinObject* chosen = nullptr;
    if (tickPosition == QSlider::TicksAbove) {
        chosen = horizontal ? s.Tracktop.get() : s.TrackLeft.get();
    } else if (tickPosition == QSlider::TicksBelow) {
        chosen = horizontal ? s.Trackbottom.get() : s.Trackright.get();
    }
    if (!chosen || chosen->Map.isNull()) {
        chosen = horizontal ? s.TrackHorz.get() : s.TrackVert.get();
    }
    return chosen && !chosen->Map.isNull() ? chosen : nullptr;
}

int TSkinElementStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                   const QWidget* widget) const {
    switch (metric) {
    case PM_ScrollBarExtent:
        if (Has(FSkin.SArrow)) {
            return SkinFrameSize(*FSkin.SArrow).width();
        }
        break;
    case PM_ScrollBarSliderMin:
        if (Has(FSkin.SArrow)) {
            return SkinFrameSize(*FSkin.SArrow).width();
        }
        break;
    case PM_SliderLength:
    case PM_SliderThickness:
    case PM_SliderControlThickness: {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (!slider) {
            break;
        }
        const TDataSkinObject* thumb = TrackThumb(slider->orientation, slider->tickPosition);
        if (!thumb) {
            break;
        }
        const QSize f = SkinFrameSize(*thumb);
        const bool horizontal = slider->orientation == Qt::Horizontal;
        if (metric == PM_SliderLength) {
            return horizontal ? f.width() : f.height();
        }
        return horizontal ? f.height() : f.width();
    }
    default:
        break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void TSkinElementStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    // Hover frames need hover events; TStyleSwap gives the attribute back.
    if (qobject_cast<QScrollBar*>(widget) || qobject_cast<QComboBox*>(widget) ||
        qobject_cast<QSlider*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
        qobject_cast<QHeaderView*>(widget)) {
        widget->setAttribute(Qt::WA_Hover, true);
    }
    // Header sections hover through the header's viewport.
    if (auto* header = qobject_cast<QHeaderView*>(widget ? widget->parentWidget() : nullptr);
        header && header->viewport() == widget) {
        widget->setAttribute(Qt::WA_Hover, true);
    }
}

// --- geometry

QRect TSkinElementStyle::ScrollBarRect(const QStyleOptionComplex* option, SubControl sub) const {
    const auto* sb = qstyleoption_cast<const QStyleOptionSlider*>(option);
    const bool horizontal = sb->orientation == Qt::Horizontal;
    const QRect r = sb->rect;
    const int length = horizontal ? r.width() : r.height();
    const int thick = horizontal ? r.height() : r.width();
    const int button = std::max(0, std::min(thick, length / 2));
    const int grooveLength = std::max(0, length - 2 * button);
    auto along = [&](int start, int size) {
        return horizontal ? QRect(r.left() + start, r.top(), size, r.height())
                          : QRect(r.left(), r.top() + start, r.width(), size);
    };
    const qint64 range = qint64(sb->maximum) - sb->minimum;
    int sliderLength = grooveLength;
    if (range > 0) {
        const qint64 page = std::max(0, sb->pageStep);
        sliderLength = static_cast<int>(grooveLength * page / (range + page));
        sliderLength =
            std::clamp(sliderLength,
                       std::min(grooveLength, pixelMetric(PM_ScrollBarSliderMin, option, nullptr)),
                       grooveLength);
    }
    const int sliderStart =
        button + sliderPositionFromValue(sb->minimum, sb->maximum, sb->sliderPosition,
                                         grooveLength - sliderLength, sb->upsideDown);
    QRect result;
    switch (sub) {
    case SC_ScrollBarSubLine:
        result = along(0, button);
        break;
    case SC_ScrollBarAddLine:
        result = along(length - button, button);
        break;
    case SC_ScrollBarGroove:
        result = along(button, grooveLength);
        break;
    case SC_ScrollBarSlider:
        result = along(sliderStart, sliderLength);
        break;
    case SC_ScrollBarSubPage:
        result = along(button, sliderStart - button);
        break;
    case SC_ScrollBarAddPage:
        result = along(sliderStart + sliderLength, length - button - sliderStart - sliderLength);
        break;
    default:
        return {};
    }
    return visualRect(sb->direction, r, result);
}

QRect TSkinElementStyle::SliderRect(const QStyleOptionComplex* option, SubControl sub) const {
    const auto* s = qstyleoption_cast<const QStyleOptionSlider*>(option);
    const TDataSkinObject* thumb = TrackThumb(s->orientation, s->tickPosition);
    const bool horizontal = s->orientation == Qt::Horizontal;
    const QSize f = SkinFrameSize(*thumb);
    const QRect r = s->rect;
    const int thumbLength = horizontal ? f.width() : f.height();
    const int thumbThick = horizontal ? f.height() : f.width();
    const int span = std::max(0, (horizontal ? r.width() : r.height()) - thumbLength);
    const int pos =
        sliderPositionFromValue(s->minimum, s->maximum, s->sliderPosition, span, s->upsideDown);
    // The thumb sits across the middle of the control.
    if (horizontal) {
        const int y = r.top() + (r.height() - thumbThick) / 2;
        const QRect handle(r.left() + pos, y, thumbLength, thumbThick);
        if (sub == SC_SliderHandle) {
            return visualRect(s->direction, r, handle);
        }
        if (sub == SC_SliderGroove) {
            const int h = FSkin.TrackBar ? SkinFrameSize(*FSkin.TrackBar).height() : 4;
            return QRect(r.left() + thumbLength / 2, handle.center().y() - h / 2 + (h + 1) % 2,
                         std::max(0, r.width() - thumbLength), h);
        }
    } else {
        const int x = r.left() + (r.width() - thumbThick) / 2;
        const QRect handle(x, r.top() + pos, thumbThick, thumbLength);
        if (sub == SC_SliderHandle) {
            return handle;
        }
        if (sub == SC_SliderGroove) {
            const int w = FSkin.TrackBarVert ? SkinFrameSize(*FSkin.TrackBarVert).width() : 4;
            return QRect(handle.center().x() - w / 2 + (w + 1) % 2, r.top() + thumbLength / 2, w,
                         std::max(0, r.height() - thumbLength));
        }
    }
    return {};
}

QRect TSkinElementStyle::SpinRect(const QStyleOptionComplex* option, SubControl sub) const {
    const TDataSkinObject& e = FHorzSpin ? *FSkin.HSpin : *FSkin.VSpin;
    const QSize f = SkinFrameSize(e);
    const QRect r = option->rect;
    const int zoneWidth = FHorzSpin ? 2 * f.width() : f.width();
    const QRect zone(r.right() - 1 - zoneWidth + 1, r.top() + 1, zoneWidth,
                     std::max(0, r.height() - 2));
    QRect result;
    switch (sub) {
    case SC_SpinBoxUp:
        result = FHorzSpin ? QRect(zone.left() + f.width(), zone.top(), f.width(), zone.height())
                           : QRect(zone.left(), zone.top(), zone.width(), zone.height() / 2);
        break;
    case SC_SpinBoxDown:
        result = FHorzSpin ? QRect(zone.left(), zone.top(), f.width(), zone.height())
                           : QRect(zone.left(), zone.top() + zone.height() / 2, zone.width(),
                                   zone.height() - zone.height() / 2);
        break;
    case SC_SpinBoxEditField:
        result = QRect(r.left() + 3, r.top() + 3, std::max(0, zone.left() - r.left() - 4),
                       std::max(0, r.height() - 6));
        break;
    case SC_SpinBoxFrame:
        result = r;
        break;
    default:
        return {};
    }
    return visualRect(option->direction, r, result);
}

QRect TSkinElementStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                        SubControl sub, const QWidget* widget) const {
    switch (control) {
    case CC_ScrollBar:
        if (qstyleoption_cast<const QStyleOptionSlider*>(option) && Has(FSkin.SArrow)) {
            return ScrollBarRect(option, sub);
        }
        break;
    case CC_Slider:
        if (const auto* s = qstyleoption_cast<const QStyleOptionSlider*>(option);
            s && TrackThumb(s->orientation, s->tickPosition) &&
            (sub == SC_SliderHandle || sub == SC_SliderGroove)) {
            return SliderRect(option, sub);
        }
        break;
    case CC_SpinBox:
        if (Has(FHorzSpin ? FSkin.HSpin : FSkin.VSpin)) {
            const QRect r = SpinRect(option, sub);
            if (!r.isNull() || sub == SC_SpinBoxUp || sub == SC_SpinBoxDown) {
                return r;
            }
        }
        break;
    case CC_ComboBox:
        if (Has(FSkin.combox)) {
            const QRect r = option->rect;
            const QRect arrow = ComboArrowRect(r);
            if (sub == SC_ComboBoxArrow) {
                return visualRect(option->direction, r, arrow);
            }
            if (sub == SC_ComboBoxEditField) {
                return visualRect(option->direction, r,
                                  QRect(r.left() + 3, r.top() + 3,
                                        std::max(0, arrow.left() - r.left() - 5),
                                        std::max(0, r.height() - 6)));
            }
            if (sub == SC_ComboBoxFrame) {
                return r;
            }
        }
        break;
    default:
        break;
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
}

// --- painting

bool TSkinElementStyle::DrawScrollBar(const QStyleOptionComplex* option, QPainter* p) const {
    const auto* sb = qstyleoption_cast<const QStyleOptionSlider*>(option);
    const bool horizontal = sb->orientation == Qt::Horizontal;
    const TDataSkinObject* bar = horizontal ? FSkin.HBar.get() : FSkin.VBar.get();
    const TDataSkinObject* thumb = horizontal ? FSkin.HSlider.get() : FSkin.VSlider.get();
    if (!Has(FSkin.SArrow) || !bar || bar->Map.isNull()) {
        return false;
    }
    const bool disabled = !(sb->state & State_Enabled);
    const QRect groove = subControlRect(CC_ScrollBar, sb, SC_ScrollBarGroove, nullptr);
    int barFrame = 0;
    if (disabled) {
        barFrame = 3;
    } else if ((sb->state & State_Sunken) &&
               Active(*sb, SubControls(SC_ScrollBarAddPage | SC_ScrollBarSubPage))) {
        barFrame = 2;
    } else if (sb->state & State_MouseOver) {
        barFrame = 1;
    }
    DrawSkinElement(*p, groove, *bar, barFrame);

    auto arrow = [&](SubControl sc, int dir, bool atEnd) {
        int frame = dir * 4;
        if (disabled) {
            frame += 3;
        } else if (atEnd) {
            frame = ArrowEndFrames + dir;
        } else {
            frame += PartState(*sb, sc);
        }
        DrawSkinElement(*p, subControlRect(CC_ScrollBar, sb, sc, nullptr), *FSkin.SArrow, frame);
    };
    const bool atMin = sb->sliderPosition <= sb->minimum;
    const bool atMax = sb->sliderPosition >= sb->maximum;
    arrow(SC_ScrollBarSubLine, horizontal ? dirLeft : dirUp, sb->upsideDown ? atMax : atMin);
    arrow(SC_ScrollBarAddLine, horizontal ? dirRight : dirDown, sb->upsideDown ? atMin : atMax);

    if (sb->maximum > sb->minimum && thumb && !thumb->Map.isNull()) {
        const int frame = disabled ? 0 : PartState(*sb, SC_ScrollBarSlider);
        DrawSkinElement(*p, subControlRect(CC_ScrollBar, sb, SC_ScrollBarSlider, nullptr), *thumb,
                        frame);
    }
    return true;
}

bool TSkinElementStyle::DrawSlider(const QStyleOptionComplex* option, QPainter* p,
                                   const QWidget* widget) const {
    const auto* s = qstyleoption_cast<const QStyleOptionSlider*>(option);
    const TDataSkinObject* thumb = TrackThumb(s->orientation, s->tickPosition);
    const TDataSkinObject* track =
        s->orientation == Qt::Horizontal ? FSkin.TrackBar.get() : FSkin.TrackBarVert.get();
    if (!thumb) {
        return false;
    }
    if (s->subControls & SC_SliderTickmarks) {
        QStyleOptionSlider ticks = *s;
        ticks.subControls = SC_SliderTickmarks;
        QProxyStyle::drawComplexControl(CC_Slider, &ticks, p, widget);
    }
    if (track && !track->Map.isNull() && (s->subControls & SC_SliderGroove)) {
        DrawSkinElement(*p, SliderRect(s, SC_SliderGroove), *track, 0);
    }
    if (s->subControls & SC_SliderHandle) {
        int frame = 0;
        if (!(s->state & State_Enabled)) {
            frame = 3;
        } else if (int part = PartState(*s, SC_SliderHandle)) {
            frame = part;
        } else if (s->state & State_HasFocus) {
            frame = 4;
        }
        DrawSkinElement(*p, SliderRect(s, SC_SliderHandle), *thumb, frame);
    }
    return true;
}

bool TSkinElementStyle::DrawSpinBox(const QStyleOptionComplex* option, QPainter* p,
                                    const QWidget* widget) const {
    const auto* sp = qstyleoption_cast<const QStyleOptionSpinBox*>(option);
    const TDataSkinObject* e = FHorzSpin ? FSkin.HSpin.get() : FSkin.VSpin.get();
    if (!sp || !e || e->Map.isNull()) {
        return false;
    }
    // The base draws the frame and field; the buttons are ours.
    QStyleOptionSpinBox rest = *sp;
    rest.subControls &= ~SubControls(SC_SpinBoxUp | SC_SpinBoxDown);
    QProxyStyle::drawComplexControl(CC_SpinBox, &rest, p, widget);
    const bool disabled = !(sp->state & State_Enabled);
    auto button = [&](SubControl sc, int first, bool canStep) {
        const int frame = first + ((disabled || !canStep) ? 3 : PartState(*sp, sc));
        DrawSkinElement(*p, SpinRect(sp, sc), *e, frame);
    };
    if (sp->subControls & SC_SpinBoxUp) {
        // Vertical strip: up arrow first; horizontal: left (down) first.
        button(SC_SpinBoxUp, FHorzSpin ? 4 : 0, sp->stepEnabled & QAbstractSpinBox::StepUpEnabled);
    }
    if (sp->subControls & SC_SpinBoxDown) {
        button(SC_SpinBoxDown, FHorzSpin ? 0 : 4,
               sp->stepEnabled & QAbstractSpinBox::StepDownEnabled);
    }
    return true;
}

bool TSkinElementStyle::DrawComboBox(const QStyleOptionComplex* option, QPainter* p) const {
    if (!Has(FSkin.combox)) {
        return false;
    }
    int frame = 0;
    if (!(option->state & State_Enabled)) {
        frame = 3;
    } else if (option->state & (State_On | State_Sunken)) {
        frame = 2;
    } else if (option->state & State_MouseOver) {
        frame = 1;
    }
    DrawSkinElement(*p, option->rect, *FSkin.combox, frame);
    return true;
}

void TSkinElementStyle::drawComplexControl(ComplexControl control,
                                           const QStyleOptionComplex* option, QPainter* painter,
                                           const QWidget* widget) const {
    bool drawn = false;
    switch (control) {
    case CC_ScrollBar:
        drawn =
            qstyleoption_cast<const QStyleOptionSlider*>(option) && DrawScrollBar(option, painter);
        break;
    case CC_Slider:
        drawn = qstyleoption_cast<const QStyleOptionSlider*>(option) &&
                DrawSlider(option, painter, widget);
        break;
    case CC_SpinBox:
        drawn = DrawSpinBox(option, painter, widget);
        break;
    case CC_ComboBox:
        drawn = DrawComboBox(option, painter);
        break;
    default:
        break;
    }
    if (!drawn) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
}

void TSkinElementStyle::drawControl(ControlElement element, const QStyleOption* option,
                                    QPainter* painter, const QWidget* widget) const {
    const TDataSkinObject* header = FSkin.Header.get();
    switch (element) {
    case CE_HeaderSection:
        if (header && !header->Map.isNull()) {
            int frame = 0;
            if (!(option->state & State_Enabled)) {
                frame = 3;
            } else if (option->state & State_Sunken) {
                frame = 2;
            } else if (option->state & State_MouseOver) {
                frame = 1;
            }
            DrawSkinElement(*painter, option->rect, *header, frame);
            return;
        }
        break;
    case CE_HeaderEmptyArea:
        if (header && !header->Map.isNull()) {
            DrawSkinElement(*painter, option->rect, *header, 0);
            return;
        }
        break;
    case CE_ShapedFrame:
        // A combo box's pop-up list: a line in the scheme's button shadow.
        if (qobject_cast<const QAbstractItemView*>(widget)) {
            painter->save();
            painter->setPen(ColorToQColor(FSkin.Colors[7]));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            painter->restore();
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

// --- TStyleSwap

void TStyleSwap::Apply(QWidget& widget, QStyle& style) {
    FWidget = &widget;
    FHadOwnStyle = widget.testAttribute(Qt::WA_SetStyle);
    FOld = FHadOwnStyle ? widget.style() : nullptr;
    FHadHover = widget.testAttribute(Qt::WA_Hover);
    FOurs = &style;
    widget.setStyle(&style);
}

void TStyleSwap::Restore() {
    QWidget* widget = FWidget.data();
    FWidget = nullptr;
    if (!widget || !FOurs || widget->style() != FOurs.data()) {
        return;
    }
    widget->setStyle(FHadOwnStyle ? FOld.data() : nullptr);
    widget->setAttribute(Qt::WA_Hover, FHadHover);
}

// --- TSkinStyledControl

TSkinStyledControl::~TSkinStyledControl() = default;

void TSkinStyledControl::Init() {
    TSkinControl::Init();
    if (skinned) {
        StyleOn();
    }
}

void TSkinStyledControl::Unsubclass() {
    if (skinstate != 6) {
        StyleOff();
    }
    TSkinControl::Unsubclass();
}

bool TSkinStyledControl::BeforeProc(QWidget& widget, QEvent& event, bool& result) {
    const bool handled = TSkinControl::BeforeProc(widget, event, result);
    if (static_cast<int>(event.type()) == SkinMsg::OnOff && Inited && skinstate != 6) {
        if (skinned) {
            StyleOn();
        } else {
            StyleOff();
        }
    }
    return handled;
}

bool TSkinStyledControl::WantsAfter(QEvent::Type type) const {
    if (type == QEvent::Paint) {
        return PaintsOver();
    }
    return TSkinControl::WantsAfter(type);
}

void TSkinStyledControl::SkinChange() {
    // Sizes may differ in the new skin: lay out again, then repaint.
    for (const auto& swap : FSwaps) {
        if (QWidget* w = swap->Widget()) {
            w->updateGeometry();
            w->update();
        }
    }
    Relayout();
    TSkinControl::SkinChange();
}

std::vector<QWidget*> TSkinStyledControl::StyledWidgets() const {
    std::vector<QWidget*> result;
    for (const auto& swap : FSwaps) {
        if (QWidget* w = swap->Widget()) {
            result.push_back(w);
        }
    }
    return result;
}

void TSkinStyledControl::StyleOn() {
    if (!FSwaps.empty() || !hwnd || !fsd || fsd->Empty) {
        return;
    }
    try {
        std::vector<QWidget*> targets;
        CollectTargets(targets);
        for (QWidget* target : targets) {
            // A widget another skin object already styled keeps that style.
            if (!target || qobject_cast<TSkinElementStyle*>(target->style())) {
                continue;
            }
            if (!FStyle) {
                FStyle = TSkinElementStyle::Shared(*fsd, *target->style(), HorzSpin());
            }
            auto swap = std::make_unique<TStyleSwap>();
            swap->Apply(*target, *FStyle);
            FSwaps.push_back(std::move(swap));
        }
        Relayout();
    } catch (...) {
        // A failure leaves the control as Qt draws it.
    }
}

void TSkinStyledControl::StyleOff() {
    for (auto it = FSwaps.rbegin(); it != FSwaps.rend(); ++it) {
        (*it)->Restore();
    }
    FSwaps.clear();
    Relayout();
}

void TSkinStyledControl::Relayout() const {
    auto* area = qobject_cast<QAbstractScrollArea*>(hwnd.data());
    if (!area) {
        return;
    }
    // The bars' new extent reaches the area through layout requests posted to
    // their containers; deliver them now so the next paint is laid out right.
    const QList<QScrollBar*> bars{area->verticalScrollBar(), area->horizontalScrollBar()};
    for (QScrollBar* bar : bars) {
        bar->updateGeometry();
    }
    for (QScrollBar* bar : bars) {
        if (QWidget* container = bar->parentWidget()) {
            QCoreApplication::sendPostedEvents(container, QEvent::LayoutRequest);
        }
    }
    QCoreApplication::sendPostedEvents(area, QEvent::LayoutRequest);
}
