#include "WinSkinElements.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

QColor PaletteColor(int index) {
    const QPalette palette = QGuiApplication::palette();
    switch (index) {
    case 0: // scroll bar
        return palette.color(QPalette::Midlight);
    case 2:  // active caption
    case 13: // highlight
    case 27:
    case 29:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 3: // inactive caption
    case 28:
        return palette.color(QPalette::Mid);
    case 7: // menu text
    case 8: // window text
        return palette.color(QPalette::WindowText);
    case 5: // window
        return palette.color(QPalette::Base);
    case 6:  // window frame
    case 21: // 3-D dark shadow
        return palette.color(QPalette::Shadow);
    case 9:  // caption text
    case 14: // highlight text
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 12: // application workspace
    case 16: // button shadow
        return palette.color(QPalette::Dark);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 17: // grey text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 19: // inactive caption text
        return palette.color(QPalette::Inactive, QPalette::Text);
    case 20: // button highlight
        return palette.color(QPalette::Light);
    case 22: // 3-D light
        return palette.color(QPalette::Midlight);
    case 23:
        return palette.color(QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::ToolTipBase);
    case 26:
        return palette.color(QPalette::Link);
    default: // desktop, menu, borders, menu bar
        return palette.color(QPalette::Window);
    }
}

} // namespace

QColor ColorToQColor(TColor color) {
    if (IsSystemColor(color)) {
        return PaletteColor(color & 0xFF);
    }
    const auto c = static_cast<quint32>(color);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TColor QColorToColor(const QColor& color) {
    return RGBColor(color.red(), color.green(), color.blue());
}

TColor ReadColorString(const QString& text) {
    const QString s = text.trimmed();
    int parts[3] = {0, 0, 0};
    int count = 0;
    qsizetype i = 0;
    while (i < s.size() && count < 3) {
        if (s[i] < u'0' || s[i] > u'9') {
            ++i;
            continue;
        }
        int value = 0;
        for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
            // Channels are bytes; longer numbers saturate instead of wrapping.
            value = std::min(255, value * 10 + (s[i].unicode() - u'0'));
        }
        parts[count++] = value;
    }
    return RGBColor(parts[0], parts[1], parts[2]);
}
