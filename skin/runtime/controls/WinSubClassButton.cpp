#include "WinSubClassButton.h"

#include "SkinPaint.h"
#include "WinSubClassDraw.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolBar>
#include <QToolButton>

namespace {

bool Usable(const TDataSkinObject* element) {
    return element && !element->Map.isNull();
}

QIcon ButtonGlyph(const QAbstractButton& button, int kind) {
    if (kind == 1) {
        const QVariant png = button.property("PngImage");
        if (png.canConvert<QIcon>()) {
            return png.value<QIcon>();
        }
        if (png.canConvert<QPixmap>()) {
            return QIcon(png.value<QPixmap>());
        }
    }
    return button.icon();
}

} // namespace

QAbstractButton* TSkinButton::Button() const {
    return qobject_cast<QAbstractButton*>(hwnd.data());
}

bool TSkinButton::DrawsWholeControl() const {
    return Button() && Usable(Face());
}

const TDataSkinObject* TSkinButton::Face() const {
    return fsd->Button.get();
}

bool TSkinButton::DrawsFace(int) const {
    return true;
}

int TSkinButton::GetState() const {
    const QAbstractButton* button = Button();
    if (!enabled || (button && !button->isEnabled())) {
        return stDisabled;
    }
    if (button && (button->isDown() || button->isChecked())) {
        return stDown;
    }
    const int base = TSkinControl::GetState();
    if (base == stNormal) {
        const auto* push = qobject_cast<const QPushButton*>(button);
        if (push && push->isDefault()) {
            return stFocused;
        }
    }
    return base;
}

void TSkinButton::DrawControl(QPainter& painter) {
    QAbstractButton* button = Button();
    if (!button) {
        return;
    }
    const int st = GetState();
    const QRect area = button->rect();
    if (DrawsFace(st)) {
        DrawFace(painter, area, *Face(), st, DrawsTransparently(*fsd, *button));
    }
    DrawContent(painter, area, st);
}

void TSkinButton::DrawContent(QPainter& painter, const QRect& area, int st) {
    QAbstractButton* button = Button();
    const QRect inner =
        area.adjusted(4, 3, -4, -3).translated(st == stDown ? QPoint(1, 1) : QPoint());
    painter.setFont(button->font());
    const QIcon icon = ButtonGlyph(*button, kind);
    const QString text = button->text();
    const QSize iconSize = icon.isNull() ? QSize() : button->iconSize();
    const int gap = !icon.isNull() && !text.isEmpty() ? 4 : 0;
    const int textWidth = text.isEmpty() ? 0 : painter.fontMetrics().horizontalAdvance(text);
    const int total = iconSize.width() + gap + textWidth;
    int x = inner.x() + std::max(0, (inner.width() - total) / 2);
    if (!icon.isNull()) {
        const QRect iconRect(x, inner.y() + (inner.height() - iconSize.height()) / 2,
                             iconSize.width(), iconSize.height());
        icon.paint(&painter, iconRect, Qt::AlignCenter,
                   st == stDisabled ? QIcon::Disabled : QIcon::Normal);
        x += iconSize.width() + gap;
    }
    if (!text.isEmpty()) {
        painter.setPen(FaceTextColor(*fsd, Face(), st));
        painter.drawText(QRect(x, inner.y(), inner.right() - x + 1, inner.height()),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text);
    }
    if (focused && !fsd->Options.Contains(xoNoFocusRect) && button->focusPolicy() != Qt::NoFocus) {
        QPen pen(FaceTextColor(*fsd, Face(), st));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area.adjusted(3, 3, -4, -4));
    }
}

void TSkinMenuButton::DrawControl(QPainter& painter) {
    TSkinButton::DrawControl(painter);
    QAbstractButton* button = Button();
    const auto* push = qobject_cast<QPushButton*>(button);
    const auto* tool = qobject_cast<QToolButton*>(button);
    if (!(push && push->menu()) && !(tool && tool->menu())) {
        return;
    }
    // The drop-down mark: a small triangle in the text colour.
    const QRect r = button->rect();
    const int cx = r.right() - 10;
    const int cy = r.center().y();
    painter.setPen(Qt::NoPen);
    painter.setBrush(FaceTextColor(*fsd, Face(), GetState()));
    painter.drawPolygon(
        QPolygon({QPoint(cx - 4, cy - 2), QPoint(cx + 4, cy - 2), QPoint(cx, cy + 2)}));
}

bool TSkinSpeedButton::InToolBar() const {
    return hwnd && qobject_cast<QToolBar*>(hwnd->parentWidget());
}

bool TSkinSpeedButton::DrawsWholeControl() const {
    if (InToolBar() && fsd->Options.Contains(xoToolbarButton)) {
        return false;
    }
    return TSkinButton::DrawsWholeControl();
}

const TDataSkinObject* TSkinSpeedButton::Face() const {
    if (InToolBar() && Usable(fsd->Toolbarbtn.get())) {
        return fsd->Toolbarbtn.get();
    }
    return TSkinButton::Face();
}

bool TSkinSpeedButton::DrawsFace(int st) const {
    const auto* tool = qobject_cast<QToolButton*>(hwnd.data());
    return !(tool && tool->autoRaise() && st == stNormal && !InToolBar());
}

bool TSkinCheckBox::DrawsWholeControl() const {
    const TDataSkinButton* b = fsd->Button.get();
    return qobject_cast<QAbstractButton*>(hwnd.data()) && b &&
           !(Radio() ? b->RadioMap : b->CheckMap).isNull();
}

void TSkinCheckBox::DrawControl(QPainter& painter) {
    auto* button = qobject_cast<QAbstractButton*>(hwnd.data());
    const TDataSkinButton& b = *fsd->Button;
    const QImage& strip = Radio() ? b.RadioMap : b.CheckMap;
    const int frames = std::max(2, Radio() ? b.radioframe : b.checkframe);
    const int half = frames / 2;
    const int st = GetState();
    const int sub = st == stDisabled ? 3 : st == stDown ? 2 : st == stOver ? 1 : 0;
    const auto* box = qobject_cast<QCheckBox*>(button);
    const bool checked = box ? box->checkState() != Qt::Unchecked : button->isChecked();
    const int index = std::min(sub, half - 1) + (checked ? half : 0);

    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle* style = button->style();
    const bool radio = qobject_cast<QCheckBox*>(button) == nullptr && Radio();
    const QRect indicator = style->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, button);
    const QRect contents = style->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, button);
    DrawStripGlyph(painter, indicator, strip, frames, index, DrawsTransparently(*fsd, *button));
    painter.setFont(button->font());
    painter.setPen(st == stDisabled ? SchemeColor(*fsd, scButtonShadow)
                                    : SchemeColor(*fsd, scWindowText));
    QRect textRect;
    painter.drawText(contents, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic,
                     button->text(), &textRect);
    if (focused && !fsd->Options.Contains(xoNoFocusRect) && !button->text().isEmpty()) {
        QPen pen(SchemeColor(*fsd, scWindowText));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(textRect.adjusted(-1, 0, 0, -1));
    }
}
