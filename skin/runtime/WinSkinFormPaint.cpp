// The skinned window's frame: border widths, hit test, caption-button layout,
// window region, and the painting of borders, caption and buttons.
#include "WinSkinForm.h"

#include "SkinPaint.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace {

constexpr int IconSize = 16;
// Corners of a sizeable window grab both edges over this length.
constexpr int CornerGrip = 12;
// The caption's top rows still resize a sizeable window.
constexpr int TopGrip = 4;

const TDataSkinBorder* Border(const TSkinData& skin, TBorderSide side) {
    const auto& b = skin.border[side];
    return b && !b->Map.isNull() ? b.get() : nullptr;
}

TFrameLayout LayoutOf(TBorderSide side) {
    return side == bsTop || side == bsBottom ? TFrameLayout::Vertical : TFrameLayout::Horizontal;
}

QRect BorderRect(TBorderSide side, const QSize& size, const QMargins& bw) {
    switch (side) {
    case bsTop:
        return {0, 0, size.width(), bw.top()};
    case bsBottom:
        return {0, size.height() - bw.bottom(), size.width(), bw.bottom()};
    case bsLeft:
        return {0, bw.top(), bw.left(), size.height() - bw.top() - bw.bottom()};
    case bsRight:
        return {size.width() - bw.right(), bw.top(), bw.right(),
                size.height() - bw.top() - bw.bottom()};
    }
    return {};
}

// Adds the pixels of `image` for which `cut` holds, as runs, at `origin`.
template <typename Pred>
void AddRuns(QRegion& region, const QImage& image, const QPoint& origin, Pred cut) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int start = -1;
        for (int x = 0; x <= image.width(); ++x) {
            const bool c = x < image.width() && cut(line[x]);
            if (c && start < 0) {
                start = x;
            } else if (!c && start >= 0) {
                region += QRect(origin.x() + start, origin.y() + y, x - start, 1);
                start = -1;
            }
        }
    }
}

} // namespace

QMargins SkinBorderWidths(const TSkinData& skin) {
    const TDataSkinBorder* top = Border(skin, bsTop);
    if (skin.Empty || !top || SkinFrameSize(*top, TFrameLayout::Vertical).height() <= 0) {
        return {};
    }
    // Without a close button the window could not be closed by mouse.
    const bool hasClose = std::any_of(skin.SysBtn.begin(), skin.SysBtn.end(), [](const auto& b) {
        return b && b->Action == caClose && !b->Map.isNull();
    });
    if (!hasClose) {
        return {};
    }
    auto width = [&](TBorderSide side) {
        const TDataSkinBorder* b = Border(skin, side);
        if (!b) {
            return 0;
        }
        const QSize f = SkinFrameSize(*b, LayoutOf(side));
        return LayoutOf(side) == TFrameLayout::Vertical ? f.height() : f.width();
    };
    return {width(bsLeft), width(bsTop), width(bsRight), width(bsBottom)};
}

TFrameHit FrameHitTest(const QSize& size, const QMargins& bw, const QPoint& p, bool sizeable) {
    const QRect all(QPoint(0, 0), size);
    if (!all.contains(p)) {
        return TFrameHit::Client;
    }
    if (sizeable) {
        const bool left = p.x() < std::max(bw.left(), 1);
        const bool right = p.x() >= size.width() - std::max(bw.right(), 1);
        const bool top = p.y() < TopGrip;
        const bool bottom = p.y() >= size.height() - std::max(bw.bottom(), 1);
        const bool nearLeft = p.x() < CornerGrip;
        const bool nearRight = p.x() >= size.width() - CornerGrip;
        const bool nearTop = p.y() < CornerGrip;
        const bool nearBottom = p.y() >= size.height() - CornerGrip;
        if ((top && nearLeft) || (left && nearTop)) {
            return TFrameHit::TopLeft;
        }
        if ((top && nearRight) || (right && nearTop)) {
            return TFrameHit::TopRight;
        }
        if ((bottom && nearLeft) || (left && nearBottom)) {
            return TFrameHit::BottomLeft;
        }
        if ((bottom && nearRight) || (right && nearBottom)) {
            return TFrameHit::BottomRight;
        }
        if (left) {
            return TFrameHit::Left;
        }
        if (right) {
            return TFrameHit::Right;
        }
        if (bottom) {
            return TFrameHit::Bottom;
        }
        if (top) {
            return TFrameHit::Top;
        }
    }
    if (p.y() < bw.top()) {
        return TFrameHit::Caption;
    }
    // The side borders of a fixed-size window do nothing, like its client area.
    return TFrameHit::Client;
}

std::vector<TCaptionButton> LayoutCaptionButtons(const TSkinData& skin, int width, bool maximized,
                                                 bool canMinimize, bool canMaximize,
                                                 bool sizeable) {
    std::vector<TCaptionButton> result;
    for (const auto& b : skin.SysBtn) {
        // Negative actions are decorations, 7..9 the MDI controls, 3 has no picture.
        if (!b || b->Map.isNull() || b->Action < 0 || b->Action > caRestore ||
            b->Action == caHelp) {
            continue;
        }
        TCaptionButton button;
        button.Data = b.get();
        button.Action = b->Action;
        if (b->Visibility == 2 && maximized) {
            continue;
        }
        if (b->Visibility == 3 && !maximized) {
            continue;
        }
        switch (b->Action) {
        case caMinimize:
            if (!canMinimize) {
                continue;
            }
            break;
        case caMaximize:
        case caRestore:
            if (!canMaximize) {
                continue;
            }
            button.Enabled = sizeable;
            break;
        default:
            break;
        }
        const QSize f = SkinFrameSize(*b);
        const int x = b->Align == 1 ? width - b->XCoord : b->XCoord;
        button.Rect = QRect(QPoint(x, b->YCoord), f);
        result.push_back(button);
    }
    return result;
}

QRegion SkinWindowRegion(const TSkinData& skin, const QSize& size) {
    const QMargins bw = SkinBorderWidths(skin);
    if (bw.isNull() || size.isEmpty()) {
        return {};
    }
    QRegion cut;
    for (TBorderSide side : {bsLeft, bsRight, bsTop, bsBottom}) {
        const TDataSkinBorder* b = Border(skin, side);
        const QRect r = BorderRect(side, size, bw);
        if (!b || r.isEmpty()) {
            continue;
        }
        const TFrameLayout layout = LayoutOf(side);
        if (!b->MaskMap.isNull()) {
            // The mask is cut like its border; white is outside the window.
            TDataSkinObject mask(*b);
            mask.Map = b->MaskMap;
            mask.trans = 0;
            if (b->MaskMap.size() != b->Map.size()) {
                mask.frame = 1;
            }
            const QImage image =
                SkinElementAt(mask, 0, r.size(), layout, SkinBorderTileRule(*b)).toImage();
            AddRuns(cut, image.convertToFormat(QImage::Format_ARGB32), r.topLeft(),
                    [](QRgb c) { return qGray(c) >= 128; });
        } else if (b->trans) {
            const QImage image =
                SkinElementAt(*b, 0, r.size(), layout, SkinBorderTileRule(*b)).toImage();
            AddRuns(cut, image.convertToFormat(QImage::Format_ARGB32), r.topLeft(),
                    [](QRgb c) { return qAlpha(c) == 0; });
        }
    }
    if (cut.isEmpty()) {
        return {};
    }
    return QRegion(QRect(QPoint(0, 0), size)) - cut;
}

int TWinSkinForm::CaptionTextRight(int width) const {
    // The skin's clip keeps room for the buttons of a wide window; a narrow one ends
    // its text just before its leftmost button instead.
    const TDataSkinTitle* title = fsd ? fsd->Title.get() : nullptr;
    int right = width - (title ? title->r.Right : 0);
    if (!FButtons.empty()) {
        int buttons = width - bw.right();
        for (const TCaptionButton& b : FButtons)
            buttons = std::min(buttons, b.Rect.left() - CaptionGap);
        right = std::max(right, buttons);
    }
    return std::min(right, width - bw.right());
}

int TWinSkinForm::CaptionWidthNeeded() const {
    const TDataSkinTitle* title = fsd ? fsd->Title.get() : nullptr;
    if (!Hwnd || !title || Hwnd->windowTitle().isEmpty())
        return 0;
    QFont font = fsd->CaptionFont;
    font.setPixelSize(title->FontHeight > 0 ? title->FontHeight : 14);
    const int text = QFontMetrics(font).horizontalAdvance(Hwnd->windowTitle());
    // Right-aligned buttons keep their distance from the right edge at any width.
    int buttons = bw.right();
    for (const TCaptionButton& b : FButtons)
        buttons = std::max(buttons, Hwnd->width() - b.Rect.left() + CaptionGap);
    return title->r.Left + text + (title->BackGround ? title->backright : 0) + buttons;
}

QRect TWinSkinForm::CaptionIconRect() const {
    if (!fsd || bw.top() <= 0) {
        return {};
    }
    // Centred in the room left of the caption text and its tab, never under the tab.
    const TDataSkinTitle* title = fsd->Title.get();
    const int textLeft = title ? title->r.Left - (title->BackGround ? title->backleft : 0) : 0;
    const int room = textLeft - 2 - bw.left();
    const int x = bw.left() + std::max(0, (room - IconSize) / 2);
    return {x, (bw.top() - IconSize) / 2, IconSize, IconSize};
}

void TWinSkinForm::PaintFrame(QPainter& painter) {
    if (!Hwnd || !fsd || !FFrameOn) {
        return;
    }
    const QSize size = Hwnd->size();
    const bool active = Hwnd->isActiveWindow();
    for (TBorderSide side : {bsTop, bsBottom, bsLeft, bsRight}) {
        const TDataSkinBorder* b = Border(*fsd, side);
        const QRect r = BorderRect(side, size, bw);
        if (b && !r.isEmpty()) {
            DrawSkinElement(painter, r, *b, active ? 0 : 1, LayoutOf(side), SkinBorderTileRule(*b));
        }
    }
    if (!FIcon.isNull()) {
        const QRect icon = CaptionIconRect();
        painter.drawPixmap(icon, FIcon);
    }
    const TDataSkinTitle* title = fsd->Title.get();
    const QString text = Hwnd->windowTitle();
    if (title && !text.isEmpty()) {
        QFont font = fsd->CaptionFont;
        font.setPixelSize(title->FontHeight > 0 ? title->FontHeight : 14);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const int left = title->r.Left;
        const int right = CaptionTextRight(size.width());
        QRect textRect(left, title->r.Top, std::max(0, right - left),
                       std::max(0, bw.top() - title->r.Top));
        const QString shown = metrics.elidedText(text, Qt::ElideRight, textRect.width());
        const int textWidth = metrics.horizontalAdvance(shown);
        int x = textRect.left();
        if (title->Aligment == 1) {
            x = textRect.left() + (textRect.width() - textWidth) / 2;
        } else if (title->Aligment == 2) {
            x = textRect.right() + 1 - textWidth;
        }
        if (title->BackGround && !FTextBack.Map.isNull() && textWidth > 0) {
            const int h = std::min(FTextBack.Map.height(), bw.top());
            const int bx = std::max(0, x - title->backleft);
            const int bwidth =
                std::min(textWidth + title->backleft + title->backright, size.width() - bx);
            DrawSkinElement(painter, QRect(bx, (bw.top() - h) / 2, bwidth, h), FTextBack, 0);
        }
        const TColor given = active ? title->activetext : title->inactivetext;
        const TColor color = given != clNotGiven ? given : fsd->Colors[active ? 1 : 2];
        painter.setPen(ColorToQColor(color));
        painter.drawText(QRect(x, textRect.top(), textWidth + 1, textRect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    for (int i = 0; i < static_cast<int>(FButtons.size()); ++i) {
        const TCaptionButton& button = FButtons[static_cast<size_t>(i)];
        const int frames = SkinFrameCount(*button.Data);
        const bool enabled = button.Enabled && FButtonsEnabled;
        int index = 0;
        if (!enabled) {
            index = 3;
        } else if (FPressed == i && FHot == i) {
            index = 2;
        } else if (FHot == i || FPressed == i) {
            index = 1;
        }
        if (index >= frames) {
            // A strip without a disabled frame shows the normal one dimmed.
            painter.setOpacity(0.45);
            DrawSkinElement(painter, button.Rect, *button.Data, 0);
            painter.setOpacity(1.0);
        } else {
            DrawSkinElement(painter, button.Rect, *button.Data, index);
        }
    }
}
