#include "SkinPaint.h"

#include <QPainter>
#include <QPixmapCache>
#include <algorithm>
#include <qdrawutil.h>

namespace {

QString PreparedKey(const QImage& image, int trans) {
    return QStringLiteral("skin:%1:%2").arg(image.cacheKey()).arg(trans != 0);
}

QPixmap Prepare(const QImage& image, int trans) {
    if (image.isNull()) {
        return {};
    }
    if (!trans) {
        return QPixmap::fromImage(image);
    }
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            if ((line[x] | 0xFF000000u) == SkinTransparentColor) {
                line[x] = 0;
            }
        }
    }
    return QPixmap::fromImage(copy);
}

QPixmap PreparedPixmap(const QImage& image, int trans) {
    const QString key = PreparedKey(image, trans);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = Prepare(image, trans);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

// Margins no larger than `limit` allows, so small targets still show their edges.
QMargins FitMargins(const TRect& r, const QSize& limit) {
    auto clamp = [](int a, int b, int limit) {
        a = std::max(0, a);
        b = std::max(0, b);
        if (a + b > limit && a + b > 0) {
            const int na = limit * a / (a + b);
            return std::pair{na, std::max(0, limit - na)};
        }
        return std::pair{a, b};
    };
    const int w = limit.width();
    const int h = limit.height();
    auto [l, rr] = clamp(r.Left, r.Right, w);
    auto [t, b] = clamp(r.Top, r.Bottom, h);
    return {l, t, rr, b};
}

} // namespace

int SkinFrameCount(const TDataSkinObject& element) {
    return std::max(1, element.frame);
}

QSize SkinFrameSize(const TDataSkinObject& element, TFrameLayout layout) {
    const QSize size = element.Map.size();
    const int n = SkinFrameCount(element);
    return layout == TFrameLayout::Horizontal ? QSize(size.width() / n, size.height())
                                              : QSize(size.width(), size.height() / n);
}

QRect SkinFrameRect(const TDataSkinObject& element, int index, TFrameLayout layout) {
    const int n = SkinFrameCount(element);
    index = std::clamp(index, 0, n - 1);
    const QSize f = SkinFrameSize(element, layout);
    return layout == TFrameLayout::Horizontal ? QRect(QPoint(index * f.width(), 0), f)
                                              : QRect(QPoint(0, index * f.height()), f);
}

QPixmap SkinElementPixmap(const TDataSkinObject& element) {
    return PreparedPixmap(element.Map, element.trans);
}

Qt::TileRule SkinTileRule(const TDataSkinObject& element) {
    return element.Tile == 1 ? Qt::RepeatTile : Qt::StretchTile;
}

Qt::TileRule SkinBorderTileRule(const TDataSkinObject& element) {
    return element.Tile == 1 ? Qt::StretchTile : Qt::RepeatTile;
}

QPixmap SkinElementAt(const TDataSkinObject& element, int index, const QSize& size,
                      TFrameLayout layout, Qt::TileRule rule) {
    if (element.Map.isNull() || size.isEmpty()) {
        return {};
    }
    const QRect source = SkinFrameRect(element, index, layout);
    const QString key = QStringLiteral("skin:%1:%2:%3:%4:%5x%6:%7")
                            .arg(element.Map.cacheKey())
                            .arg(element.trans != 0)
                            .arg(source.x())
                            .arg(source.y())
                            .arg(size.width())
                            .arg(size.height())
                            .arg(static_cast<int>(rule));
    QPixmap result;
    if (QPixmapCache::find(key, &result)) {
        return result;
    }
    result = QPixmap(size);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        const QPixmap prepared = SkinElementPixmap(element);
        const QMargins sourceMargins = FitMargins(element.r, source.size());
        const QMargins targetMargins = FitMargins(element.r, size);
        qDrawBorderPixmap(&painter, QRect(QPoint(0, 0), size), targetMargins, prepared, source,
                          sourceMargins, QTileRules(rule, rule));
    }
    QPixmapCache::insert(key, result);
    return result;
}

void DrawSkinElement(QPainter& painter, const QRect& target, const TDataSkinObject& element,
                     int index, TFrameLayout layout, Qt::TileRule rule) {
    const QPixmap pixmap = SkinElementAt(element, index, target.size(), layout, rule);
    if (!pixmap.isNull()) {
        painter.drawPixmap(target.topLeft(), pixmap);
    }
}

void DrawSkinGlyph(QPainter& painter, const QRect& target, const QImage& strip, int frames,
                   int index) {
    if (strip.isNull()) {
        return;
    }
    const int n = std::max(1, frames);
    index = std::clamp(index, 0, n - 1);
    const int w = strip.width() / n;
    const QRect source(index * w, 0, w, strip.height());
    const QPixmap prepared = PreparedPixmap(strip, 0);
    const QRect placed(target.x() + (target.width() - w) / 2,
                       target.y() + (target.height() - strip.height()) / 2, w, strip.height());
    painter.drawPixmap(placed, prepared, source);
}

QPixmap SkinColorKeyPixmap(const QImage& image, QRgb key) {
    if (image.isNull()) {
        return {};
    }
    const QString cacheKey =
        QStringLiteral("skin:key:%1:%2").arg(image.cacheKey()).arg(key | 0xFF000000u, 0, 16);
    QPixmap pixmap;
    if (QPixmapCache::find(cacheKey, &pixmap)) {
        return pixmap;
    }
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb opaqueKey = key | 0xFF000000u;
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            if ((line[x] | 0xFF000000u) == opaqueKey) {
                line[x] = 0;
            }
        }
    }
    pixmap = QPixmap::fromImage(copy);
    QPixmapCache::insert(cacheKey, pixmap);
    return pixmap;
}
