// skingen SKINDIR RESOURCEDIR [SHEET.png]
// Draws the bitmaps of the default skin ("warm kitchen": walnut caption, cream
// faces, herb-green accents) and, when asked, a contact sheet of all of them.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <cstdio>
#include <functional>

namespace {

const QColor WoodDark(0x5A, 0x30, 0x1C);
const QColor Wood(0x8E, 0x50, 0x2C);
const QColor WoodLight(0xC0, 0x80, 0x4E);
const QColor Cream(0xF6, 0xEE, 0xDF);
const QColor CreamDark(0xE2, 0xD1, 0xB4);
const QColor Line(0x8A, 0x6A, 0x4A);
const QColor Green(0x5E, 0x8C, 0x4A);
const QColor GreenLight(0x9C, 0xC4, 0x78);
const QColor Ink(0x3A, 0x26, 0x18);
const QColor Grey(0xA8, 0xA0, 0x94);

QString OutDir;

void Save(const QImage& image, const QString& name) {
    const QString path = OutDir + u'/' + name;
    if (!image.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QImage NewImage(int w, int h, const QColor& fill = Cream) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// A strip of n frames side by side, each drawn by draw(painter, frameRect, index).
QImage Strip(int frameW, int h, int n, const std::function<void(QPainter&, QRect, int)>& draw,
             const QColor& fill = Cream) {
    QImage image = NewImage(frameW * n, h, fill);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < n; ++i) {
        draw(p, QRect(i * frameW, 0, frameW, h), i);
    }
    return image;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

// Wood grain: fine wavy lines over a vertical gradient.
void WoodFill(QPainter& p, const QRect& r, quint32 seed) {
    const QColor top = WoodLight;
    const QColor bottom = WoodDark;
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(0.45, Wood);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
    QRandomGenerator rng(seed);
    p.save();
    p.setClipRect(r);
    for (int i = 0; i < r.height() / 3; ++i) {
        QPainterPath path;
        const double y0 = r.top() + rng.bounded(r.height());
        path.moveTo(r.left(), y0);
        for (int x = r.left(); x <= r.right(); x += 24) {
            path.lineTo(x, y0 + 1.2 * std::sin(x / 37.0 + i));
        }
        QColor c = bottom;
        c.setAlpha(40);
        p.setPen(QPen(c, 1));
        p.drawPath(path);
    }
    p.restore();
}

void Bevel(QPainter& p, const QRect& r, const QColor& light, const QColor& dark) {
    p.setPen(light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void RoundPlate(QPainter& p, const QRectF& r, const QColor& face, const QColor& edge,
                double radius = 4) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, face.lighter(112));
    g.setColorAt(1, face.darker(106));
    p.setBrush(g);
    p.setPen(QPen(edge, 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// States used by most strips: normal, hover, pressed, disabled, focused.
QColor StateFace(int state) {
    switch (state) {
    case 1:
        return Mix(Cream, GreenLight, 0.35);
    case 2:
        return CreamDark.darker(108);
    case 3:
        return Mix(Cream, Grey, 0.35);
    default:
        return Cream;
    }
}

QColor StateEdge(int state) {
    return state == 3 ? Grey : state == 4 || state == 1 ? Green : Line;
}

void Arrow(QPainter& p, const QPointF& c, double size, int dir, const QColor& color) {
    // dir: 0 up, 1 down, 2 left, 3 right
    QPolygonF tri;
    const double s = size;
    switch (dir) {
    case 0:
        tri << QPointF(c.x() - s, c.y() + s / 2) << QPointF(c.x() + s, c.y() + s / 2)
            << QPointF(c.x(), c.y() - s / 2);
        break;
    case 1:
        tri << QPointF(c.x() - s, c.y() - s / 2) << QPointF(c.x() + s, c.y() - s / 2)
            << QPointF(c.x(), c.y() + s / 2);
        break;
    case 2:
        tri << QPointF(c.x() + s / 2, c.y() - s) << QPointF(c.x() + s / 2, c.y() + s)
            << QPointF(c.x() - s / 2, c.y());
        break;
    default:
        tri << QPointF(c.x() - s / 2, c.y() - s) << QPointF(c.x() - s / 2, c.y() + s)
            << QPointF(c.x() + s / 2, c.y());
        break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(tri);
}

// The inactive look of an active frame: the same drawing, calm, darker and less
// saturated, so an inactive window recedes without new marks of its own.
QColor CalmColor(const QColor& c) {
    float h, sat, light, alpha;
    c.toHsl().getHslF(&h, &sat, &light, &alpha);
    return QColor::fromHslF(h < 0 ? 0 : h, sat * 0.35f, light * 0.82f).toRgb();
}

// Frame `to` of a strip of equal frames becomes the calm copy of frame `from`.
void CalmFrame(QImage& strip, const QRect& from, const QRect& to) {
    for (int y = 0; y < from.height(); ++y) {
        for (int x = 0; x < from.width(); ++x) {
            const QColor c = strip.pixelColor(from.x() + x, from.y() + y);
            strip.setPixelColor(to.x() + x, to.y() + y, CalmColor(c));
        }
    }
}

void MakeBorders() {
    constexpr int W = 640;
    constexpr int H = 30;
    QImage top = NewImage(W, 2 * H);
    {
        QPainter p(&top);
        p.setRenderHint(QPainter::Antialiasing);
        const QRect r(0, 0, W, H);
        WoodFill(p, r, 7);
        p.setPen(QPen(WoodDark, 1));
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        // A herb sprig by the caption's left edge.
        p.setPen(QPen(GreenLight.darker(130), 1.4));
        p.drawLine(QPointF(8, r.top() + 22), QPointF(22, r.top() + 8));
        p.setBrush(GreenLight);
        for (int k = 0; k < 3; ++k) {
            p.save();
            p.translate(11 + k * 4, r.top() + 19 - k * 4);
            p.rotate(-45);
            p.drawEllipse(QRectF(-2, -6, 4, 6));
            p.drawEllipse(QRectF(-2, 0, 4, 6));
            p.restore();
        }
        p.setPen(QPen(WoodLight.lighter(130), 1));
        p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
    }
    CalmFrame(top, QRect(0, 0, W, H), QRect(0, H, W, H));
    Save(top, QStringLiteral("top.bmp"));

    QImage bottom = NewImage(W, 8);
    {
        QPainter p(&bottom);
        WoodFill(p, QRect(0, 0, W, 4), 11);
        p.setPen(WoodDark);
        p.drawLine(0, 3, W - 1, 3);
    }
    CalmFrame(bottom, QRect(0, 0, W, 4), QRect(0, 4, W, 4));
    Save(bottom, QStringLiteral("bottom.bmp"));

    for (int side = 0; side < 2; ++side) {
        QImage edge = Strip(4, 80, 2, [side](QPainter& p, QRect r, int) {
            QLinearGradient g(r.topLeft(), r.topRight());
            g.setColorAt(0, side == 0 ? WoodDark : Wood);
            g.setColorAt(1, side == 0 ? Wood : WoodDark);
            p.fillRect(r, g);
        });
        CalmFrame(edge, QRect(0, 0, 4, 80), QRect(4, 0, 4, 80));
        Save(edge, side == 0 ? QStringLiteral("left.bmp") : QStringLiteral("right.bmp"));
    }

    QImage back = NewImage(160, H, Wood);
    {
        QPainter p(&back);
        p.setRenderHint(QPainter::Antialiasing);
        WoodFill(p, back.rect(), 21);
        QColor plate = WoodDark;
        plate.setAlpha(110);
        p.setBrush(plate);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(4, 5, 152, 20), 10, 10);
    }
    Save(back, QStringLiteral("textback.bmp"));

    QImage menubar = Strip(200, 22, 2, [](QPainter& p, QRect r, int f) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, f == 0 ? Cream : Mix(Cream, Grey, 0.3));
        g.setColorAt(1, f == 0 ? CreamDark : Mix(CreamDark, Grey, 0.3));
        p.fillRect(r, g);
        p.setPen(Line);
        p.drawLine(r.bottomLeft(), r.bottomRight());
    });
    Save(menubar, QStringLiteral("menubar.bmp"));
}

void MakeButtons() {
    Save(Strip(72, 24, 5,
               [](QPainter& p, QRect r, int s) {
                   RoundPlate(p, QRectF(r).adjusted(0, 0, 0, 0), StateFace(s), StateEdge(s), 5);
                   if (s == 4) {
                       p.setPen(QPen(GreenLight, 1));
                       p.setBrush(Qt::NoBrush);
                       p.drawRoundedRect(QRectF(r).adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
                   }
               }),
         QStringLiteral("button.bmp"));

    // Glyphs: unchecked normal/hover/pressed/disabled, then the same checked.
    auto glyph = [](bool radio) {
        return Strip(
            13, 13, 8,
            [radio](QPainter& p, QRect r, int f) {
                const int s = f % 4;
                const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
                p.setPen(QPen(StateEdge(s), 1));
                p.setBrush(s == 2 ? CreamDark : s == 3 ? Mix(Cream, Grey, 0.3) : Qt::white);
                if (radio) {
                    p.drawEllipse(box);
                } else {
                    p.drawRoundedRect(box, 2, 2);
                }
                if (f >= 4) {
                    const QColor mark = s == 3 ? Grey : Green.darker(110);
                    if (radio) {
                        p.setPen(Qt::NoPen);
                        p.setBrush(mark);
                        p.drawEllipse(box.center(), 2.6, 2.6);
                    } else {
                        p.setPen(QPen(mark, 2));
                        p.drawPolyline(QPolygonF() << QPointF(r.left() + 3, r.top() + 6.5)
                                                   << QPointF(r.left() + 5.5, r.top() + 9)
                                                   << QPointF(r.left() + 10, r.top() + 3.5));
                    }
                }
            },
            Cream);
    };
    Save(glyph(false), QStringLiteral("check.bmp"));
    Save(glyph(true), QStringLiteral("radio.bmp"));

    // Title-bar buttons: normal, hover, pressed.
    auto caption = [](const std::function<void(QPainter&, QRectF, QColor)>& mark, bool close) {
        return Strip(
            20, 18, 3,
            [&](QPainter& p, QRect r, int s) {
                WoodFill(p, r, 31);
                const QColor face = s == 0  ? Wood.lighter(115)
                                    : close ? QColor(0xC2, 0x4A, 0x32)
                                            : Green;
                RoundPlate(p, QRectF(r).adjusted(1, 1, -1, -1), s == 2 ? face.darker(120) : face,
                           WoodDark, 4);
                mark(p, QRectF(r).adjusted(6, 5, -6, -5), Cream);
            },
            Wood);
    };
    Save(caption(
             [](QPainter& p, QRectF r, QColor c) {
                 p.setPen(QPen(c, 2));
                 p.drawLine(r.topLeft(), r.bottomRight());
                 p.drawLine(r.topRight(), r.bottomLeft());
             },
             true),
         QStringLiteral("close.bmp"));
    Save(caption(
             [](QPainter& p, QRectF r, QColor c) {
                 p.setPen(QPen(c, 1.5));
                 p.setBrush(Qt::NoBrush);
                 p.drawRect(r);
                 p.drawLine(r.topLeft() + QPointF(0, 1), r.topRight() + QPointF(0, 1));
             },
             false),
         QStringLiteral("max.bmp"));
    Save(caption(
             [](QPainter& p, QRectF r, QColor c) {
                 p.setPen(QPen(c, 2));
                 p.drawLine(r.bottomLeft(), r.bottomRight());
             },
             false),
         QStringLiteral("min.bmp"));
    Save(caption(
             [](QPainter& p, QRectF r, QColor c) {
                 p.setPen(QPen(c, 1.3));
                 p.setBrush(Qt::NoBrush);
                 p.drawRect(r.adjusted(2, 0, 0, -2));
                 p.drawRect(r.adjusted(0, 2, -2, 0));
             },
             false),
         QStringLiteral("restore.bmp"));

    // MDI child buttons: minimise, restore, close; four states each.
    Save(Strip(14, 14, 12,
               [](QPainter& p, QRect r, int f) {
                   const int kind = f / 4;
                   const int s = f % 4;
                   RoundPlate(p, QRectF(r).adjusted(0, 0, 0, 0), StateFace(s), StateEdge(s), 3);
                   const QRectF m = QRectF(r).adjusted(4, 4, -4, -4);
                   p.setPen(QPen(s == 3 ? Grey : Ink, 1.4));
                   p.setBrush(Qt::NoBrush);
                   if (kind == 0) {
                       p.drawLine(m.bottomLeft(), m.bottomRight());
                   } else if (kind == 1) {
                       p.drawRect(m.adjusted(1, 0, 0, -1));
                   } else {
                       p.drawLine(m.topLeft(), m.bottomRight());
                       p.drawLine(m.topRight(), m.bottomLeft());
                   }
               }),
         QStringLiteral("mdi.bmp"));
}

void MakeControls() {
    // Progress trough (horizontal, vertical) and its chunk.
    Save(Strip(40, 16, 2, [](QPainter& p, QRect r, int) { RoundPlate(p, r, CreamDark, Line, 3); }),
         QStringLiteral("progress.bmp"));
    Save(Strip(12, 14, 1,
               [](QPainter& p, QRect r, int) {
                   QLinearGradient g(r.topLeft(), r.bottomLeft());
                   g.setColorAt(0, GreenLight);
                   g.setColorAt(1, Green);
                   p.fillRect(r.adjusted(1, 1, -1, -1), g);
               }),
         QStringLiteral("progresschunk.bmp"));

    Save(Strip(40, 40, 2,
               [](QPainter& p, QRect r, int f) {
                   p.setBrush(Qt::NoBrush);
                   p.setPen(QPen(f == 0 ? Line : Grey, 1));
                   p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -1.5, -1.5), 5, 5);
                   p.setPen(QPen(Qt::white, 1));
                   p.drawRoundedRect(QRectF(r).adjusted(1.5, 1.5, -0.5, -0.5), 5, 5);
               }),
         QStringLiteral("groupedge.bmp"));
    Save(Strip(60, 18, 1,
               [](QPainter& p, QRect r, int) {
                   RoundPlate(p, r, Mix(Cream, GreenLight, 0.25), Green, 8);
               }),
         QStringLiteral("grouplabel.bmp"));

    // Tabs: normal, hover, selected, disabled, focused; the mask marks the shape.
    Save(Strip(60, 22, 5,
               [](QPainter& p, QRect r, int s) {
                   QPainterPath path;
                   const QRectF b = QRectF(r).adjusted(0.5, 0.5, -0.5, 6);
                   path.addRoundedRect(b, 6, 6);
                   p.setClipRect(r);
                   p.setBrush(s == 2 ? Cream : StateFace(s == 2 ? 0 : s).darker(104));
                   p.setPen(QPen(StateEdge(s), 1));
                   p.drawPath(path);
                   if (s == 2) {
                       p.fillRect(QRectF(r.left() + 6, r.top() + 1, r.width() - 12, 3), Green);
                   }
                   p.setClipping(false);
               }),
         QStringLiteral("tabs.bmp"));
    Save(Strip(
             60, 22, 5,
             [](QPainter& p, QRect r, int) {
                 p.fillRect(r, Qt::white);
                 p.setPen(Qt::NoPen);
                 p.setBrush(Qt::black);
                 p.drawRoundedRect(QRectF(r).adjusted(0, 0, 0, 8), 6, 6);
             },
             Qt::white),
         QStringLiteral("tabmask.bmp"));
    Save(Strip(60, 60, 1,
               [](QPainter& p, QRect r, int) {
                   p.fillRect(r, Cream);
                   p.setPen(Line);
                   p.setBrush(Qt::NoBrush);
                   p.drawRect(r.adjusted(0, 0, -1, -1));
                   p.setPen(Qt::white);
                   p.drawRect(r.adjusted(1, 1, -2, -2));
               }),
         QStringLiteral("tabpane.bmp"));

    // Status bar: the bar, a panel, the size grip.
    Save(Strip(40, 22, 3,
               [](QPainter& p, QRect r, int f) {
                   QLinearGradient g(r.topLeft(), r.bottomLeft());
                   g.setColorAt(0, CreamDark);
                   g.setColorAt(1, Cream);
                   p.fillRect(r, g);
                   if (f == 1) {
                       Bevel(p, r.adjusted(1, 2, -2, -2), Line, Qt::white);
                   } else if (f == 2) {
                       p.setPen(Line);
                       for (int k = 0; k < 3; ++k) {
                           p.drawLine(r.right() - 3 - 4 * k, r.bottom() - 1, r.right() - 1,
                                      r.bottom() - 3 - 4 * k);
                       }
                   }
                   p.setPen(Line);
                   p.drawLine(r.topLeft(), r.topRight());
               }),
         QStringLiteral("statusbar.bmp"));

    Save(Strip(40, 40, 5,
               [](QPainter& p, QRect r, int s) {
                   if (s == 0) {
                       return;
                   }
                   RoundPlate(p, QRectF(r).adjusted(1, 1, -1, -1), StateFace(s), StateEdge(s), 4);
               }),
         QStringLiteral("toolbutton.bmp"));

    Save(Strip(18, 20, 4,
               [](QPainter& p, QRect r, int s) {
                   RoundPlate(p, r, StateFace(s), StateEdge(s), 3);
                   Arrow(p, QRectF(r).center() + QPointF(0, s == 2 ? 1 : 0), 4, 1,
                         s == 3 ? Grey : Ink);
               }),
         QStringLiteral("combobutton.bmp"));
    Save(Strip(
             40, 21, 4,
             [](QPainter& p, QRect r, int s) {
                 p.fillRect(r, s == 3 ? Mix(Cream, Grey, 0.2) : QColor(Qt::white));
                 p.setPen(StateEdge(s));
                 p.setBrush(Qt::NoBrush);
                 p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
             },
             Cream),
         QStringLiteral("sunkedge.bmp"));

    // Extra glyphs: a spoon, a pot, a leaf, a star, a clock.
    Save(Strip(16, 16, 5,
               [](QPainter& p, QRect r, int k) {
                   const QRectF c = QRectF(r).adjusted(3, 3, -3, -3);
                   p.setPen(QPen(Ink, 1.3));
                   p.setBrush(k == 2 ? GreenLight : k == 3 ? QColor(0xE8, 0xB8, 0x48) : CreamDark);
                   if (k == 0) {
                       p.drawEllipse(QRectF(c.left() + 2, c.top(), 6, 5));
                       p.drawLine(QPointF(c.left() + 5, c.top() + 5),
                                  QPointF(c.left() + 5, c.bottom()));
                   } else if (k == 1) {
                       p.drawRoundedRect(c.adjusted(0, 3, 0, 0), 2, 2);
                       p.drawLine(c.topLeft() + QPointF(-1, 3), c.topRight() + QPointF(1, 3));
                   } else if (k == 2) {
                       p.drawEllipse(c.adjusted(1, 0, -1, 0));
                       p.drawLine(c.bottomLeft(), c.topRight());
                   } else if (k == 3) {
                       QPolygonF star;
                       for (int i = 0; i < 10; ++i) {
                           const double a = i * M_PI / 5 - M_PI / 2;
                           const double rad = i % 2 ? 2.4 : 5.5;
                           star << c.center() + QPointF(rad * std::cos(a), rad * std::sin(a));
                       }
                       p.drawPolygon(star);
                   } else {
                       p.drawEllipse(c);
                       p.drawLine(c.center(), c.center() + QPointF(0, -4));
                       p.drawLine(c.center(), c.center() + QPointF(3, 0));
                   }
               }),
         QStringLiteral("extra.bmp"));

    Save(Strip(60, 22, 5,
               [](QPainter& p, QRect r, int s) {
                   QLinearGradient g(r.topLeft(), r.bottomLeft());
                   g.setColorAt(0, StateFace(s).lighter(104));
                   g.setColorAt(1, StateFace(s).darker(108));
                   p.fillRect(r, g);
                   p.setPen(Line);
                   p.drawLine(r.bottomLeft(), r.bottomRight());
                   p.drawLine(r.topRight(), r.bottomRight());
                   p.setPen(Qt::white);
                   p.drawLine(r.topLeft(), r.bottomLeft());
               }),
         QStringLiteral("header.bmp"));

    // Menu items: normal, selected, pressed, disabled, checked line.
    Save(Strip(120, 22, 5,
               [](QPainter& p, QRect r, int s) {
                   p.fillRect(r, Cream);
                   if (s == 1 || s == 2 || s == 4) {
                       RoundPlate(p, QRectF(r).adjusted(2, 1, -2, -1),
                                  s == 2 ? GreenLight.darker(110) : Mix(Cream, GreenLight, 0.55),
                                  Green, 4);
                   }
               }),
         QStringLiteral("menuitem.bmp"));
    QImage menuBack = NewImage(200, 420);
    {
        QPainter p(&menuBack);
        p.setRenderHint(QPainter::Antialiasing);
        // Linen weave behind the items, a walnut side bar on the left.
        for (int y = 0; y < menuBack.height(); ++y) {
            for (int x = 0; x < menuBack.width(); ++x) {
                const int weave = ((x / 2 + y / 2) % 2) * 4 + ((x * 7 + y * 3) % 11 == 0 ? 2 : 0);
                menuBack.setPixel(x, y, Cream.darker(100 + weave).rgb());
            }
        }
        QLinearGradient g(0, 0, 22, 0);
        g.setColorAt(0, WoodDark);
        g.setColorAt(1, Wood);
        p.fillRect(QRect(0, 0, 22, menuBack.height()), g);
        p.setPen(Line);
        p.drawRect(menuBack.rect().adjusted(0, 0, -1, -1));
    }
    Save(menuBack, QStringLiteral("menuback.bmp"));

    // Scroll arrows: up, down, left, right in four states, then seven extras
    // (size grip, two blank corner pieces, four disabled-looking arrows).
    Save(Strip(16, 16, 23,
               [](QPainter& p, QRect r, int f) {
                   if (f < 16) {
                       const int dir = f / 4;
                       const int s = f % 4;
                       RoundPlate(p, r, StateFace(s), StateEdge(s), 3);
                       Arrow(p, QRectF(r).center() + (s == 2 ? QPointF(1, 1) : QPointF()), 3.5, dir,
                             s == 3 ? Grey : Ink);
                   } else if (f == 16) {
                       p.fillRect(r, CreamDark);
                       p.setPen(Line);
                       for (int k = 0; k < 3; ++k) {
                           p.drawLine(r.right() - 2 - 4 * k, r.bottom(), r.right(),
                                      r.bottom() - 2 - 4 * k);
                       }
                   } else if (f < 19) {
                       p.fillRect(r, CreamDark);
                   } else {
                       RoundPlate(p, r, Mix(Cream, Grey, 0.3), Grey, 3);
                       Arrow(p, QRectF(r).center(), 3.5, f - 19, Grey);
                   }
               }),
         QStringLiteral("scrollarrows.bmp"));
    auto trough = [](bool horz) {
        const int w = horz ? 40 : 16;
        const int h = horz ? 16 : 40;
        return Strip(w, h, 4, [horz](QPainter& p, QRect r, int s) {
            QLinearGradient g(r.topLeft(), horz ? r.bottomLeft() : r.topRight());
            g.setColorAt(0, CreamDark.darker(s == 2 ? 110 : 103));
            g.setColorAt(1, Cream);
            p.fillRect(r, g);
        });
    };
    Save(trough(true), QStringLiteral("hscroll.bmp"));
    Save(trough(false), QStringLiteral("vscroll.bmp"));
    auto thumb = [](bool horz) {
        const int w = horz ? 40 : 16;
        const int h = horz ? 16 : 40;
        return Strip(w, h, 3, [horz](QPainter& p, QRect r, int s) {
            p.fillRect(r, CreamDark);
            const QColor face = s == 0 ? WoodLight : s == 1 ? Wood.lighter(120) : Wood;
            RoundPlate(p, QRectF(r).adjusted(1, 1, -1, -1), face, WoodDark, 5);
            p.setPen(QPen(Cream, 1));
            const QPointF c = QRectF(r).center();
            for (int k = -1; k <= 1; ++k) {
                if (horz) {
                    p.drawLine(QPointF(c.x() + 3 * k, c.y() - 3),
                               QPointF(c.x() + 3 * k, c.y() + 3));
                } else {
                    p.drawLine(QPointF(c.x() - 3, c.y() + 3 * k),
                               QPointF(c.x() + 3, c.y() + 3 * k));
                }
            }
        });
    };
    Save(thumb(true), QStringLiteral("hthumb.bmp"));
    Save(thumb(false), QStringLiteral("vthumb.bmp"));

    // Track-bar thumbs, five states each: plain and pointing.
    auto trackThumb = [](int w, int h, int point) {
        return Strip(w, h, 5, [point](QPainter& p, QRect r, int s) {
            const QRectF b = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
            QPolygonF shape;
            const double m = 4;
            switch (point) {
            case 1: // down
                shape << b.topLeft() << b.topRight() << QPointF(b.right(), b.bottom() - m)
                      << QPointF(b.center().x(), b.bottom()) << QPointF(b.left(), b.bottom() - m);
                break;
            case 2: // up
                shape << QPointF(b.center().x(), b.top()) << QPointF(b.right(), b.top() + m)
                      << b.bottomRight() << b.bottomLeft() << QPointF(b.left(), b.top() + m);
                break;
            case 3: // left
                shape << QPointF(b.left(), b.center().y()) << QPointF(b.left() + m, b.top())
                      << b.topRight() << b.bottomRight() << QPointF(b.left() + m, b.bottom());
                break;
            case 4: // right
                shape << b.topLeft() << QPointF(b.right() - m, b.top())
                      << QPointF(b.right(), b.center().y()) << QPointF(b.right() - m, b.bottom())
                      << b.bottomLeft();
                break;
            default:
                shape << b.topLeft() << b.topRight() << b.bottomRight() << b.bottomLeft();
            }
            p.setPen(QPen(StateEdge(s), 1));
            p.setBrush(s == 1   ? GreenLight
                       : s == 2 ? Green
                       : s == 3 ? Mix(Cream, Grey, 0.4)
                                : WoodLight);
            p.drawPolygon(shape);
        });
    };
    Save(trackThumb(11, 20, 0), QStringLiteral("trackhorz.bmp"));
    Save(trackThumb(20, 11, 0), QStringLiteral("trackvert.bmp"));
    Save(trackThumb(20, 11, 3), QStringLiteral("trackleft.bmp"));
    Save(trackThumb(20, 11, 4), QStringLiteral("trackright.bmp"));
    Save(trackThumb(11, 20, 2), QStringLiteral("trackup.bmp"));
    Save(trackThumb(11, 20, 1), QStringLiteral("trackdown.bmp"));

    // Spin buttons: two halves in four states; glyphs separately.
    auto spin = [](int w, int h, bool horz, bool glyphOnly) {
        return Strip(
            w, h, 8,
            [=](QPainter& p, QRect r, int f) {
                const int half = f / 4; // first arrow, second arrow
                const int s = f % 4;
                if (!glyphOnly) {
                    RoundPlate(p, r, StateFace(s), StateEdge(s), 2);
                } else {
                    p.fillRect(r, Qt::white);
                }
                const int dir = horz ? (half == 0 ? 2 : 3) : (half == 0 ? 0 : 1);
                Arrow(p, QRectF(r).center(), 3, dir,
                      glyphOnly ? QColor(Qt::black)
                      : s == 3  ? Grey
                                : Ink);
            },
            glyphOnly ? QColor(Qt::white) : Cream);
    };
    Save(spin(16, 16, true, false), QStringLiteral("spinhorz.bmp"));
    Save(spin(16, 16, true, true), QStringLiteral("spinhorzglyph.bmp"));
    Save(spin(16, 11, false, false), QStringLiteral("spinvert.bmp"));
    Save(spin(16, 11, false, true), QStringLiteral("spinvertglyph.bmp"));

    QImage track = NewImage(40, 6);
    {
        QPainter p(&track);
        p.setRenderHint(QPainter::Antialiasing);
        RoundPlate(p, track.rect(), CreamDark.darker(110), Line, 2.5);
    }
    Save(track, QStringLiteral("track.bmp"));
    Save(track.transformed(QTransform().rotate(90)), QStringLiteral("trackvertbar.bmp"));
}

void MakeResources(const QString& dir) {
    OutDir = dir;
    // Four menu glyphs on white (the mask colour): check, radio dot, sub-menu arrow, close.
    QImage menu = NewImage(64, 16, Qt::white);
    {
        QPainter p(&menu);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Ink, 2));
        p.drawPolyline(QPolygonF() << QPointF(3.5, 8) << QPointF(6.5, 11) << QPointF(12.5, 4.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Ink);
        p.drawEllipse(QPointF(24, 8), 3, 3);
        Arrow(p, QPointF(40, 8), 4, 3, Ink);
        p.setPen(QPen(Ink, 1.8));
        p.drawLine(QPointF(52, 4), QPointF(60, 12));
        p.drawLine(QPointF(60, 4), QPointF(52, 12));
    }
    Save(menu, QStringLiteral("KESTRELMENU.bmp"));
    QImage track = NewImage(16, 4, CreamDark);
    {
        QPainter p(&track);
        Bevel(p, track.rect(), Line, Qt::white);
    }
    Save(track, QStringLiteral("TRACK.bmp"));
    Save(track.transformed(QTransform().rotate(90)), QStringLiteral("TRACKVERT.bmp"));
}

// Lays every bitmap of the given folders out on one page with its name.
void MakeContactSheet(const QStringList& dirs, const QString& out) {
    QList<QPair<QString, QImage>> images;
    for (const QString& d : dirs) {
        for (const QFileInfo& fi :
             QDir(d).entryInfoList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name)) {
            images.append({fi.fileName(), QImage(fi.filePath())});
        }
    }
    constexpr int PageW = 1400;
    constexpr int Pad = 14;
    constexpr int Scale = 2;
    QFont font(QStringLiteral("DejaVu Sans"), 9);
    // First pass finds the height, second draws.
    int height = 0;
    for (int pass = 0; pass < 2; ++pass) {
        QImage sheet(PageW, std::max(height, 1), QImage::Format_RGB32);
        sheet.fill(QColor(0x4A, 0x4A, 0x4A));
        QPainter p(&sheet);
        p.setFont(font);
        int x = Pad;
        int y = Pad + 40;
        int rowH = 0;
        if (pass == 1) {
            p.setPen(Qt::white);
            p.setFont(QFont(QStringLiteral("DejaVu Sans"), 14, QFont::Bold));
            p.drawText(Pad, Pad + 20, QStringLiteral("mycook default skin - every bitmap at 2x"));
            p.setFont(font);
        }
        for (const auto& [name, image] : images) {
            int scale = image.width() > 320 ? 1 : Scale;
            const int w = std::max(image.width() * scale, 110);
            const int h = image.height() * scale + 18;
            if (x + w > PageW - Pad) {
                x = Pad;
                y += rowH + Pad;
                rowH = 0;
            }
            if (pass == 1) {
                p.drawImage(QRect(x, y, image.width() * scale, image.height() * scale), image);
                p.setPen(QColor(0xDD, 0xDD, 0xDD));
                p.drawText(x, y + h - 4, name);
            }
            x += w + Pad;
            rowH = std::max(rowH, h);
        }
        height = y + rowH + Pad;
        if (pass == 1) {
            p.end();
            sheet.save(out, "PNG");
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: skingen SKINDIR RESOURCEDIR [SHEET.png]\n");
        return 1;
    }
    const QString skinDir = QString::fromLocal8Bit(argv[1]);
    const QString resDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(skinDir);
    QDir().mkpath(resDir);
    OutDir = skinDir;
    MakeBorders();
    MakeButtons();
    MakeControls();
    MakeResources(resDir);
    if (argc > 3) {
        MakeContactSheet({skinDir, resDir}, QString::fromLocal8Bit(argv[3]));
    }
    return 0;
}
