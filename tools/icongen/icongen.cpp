// Draws the application icon: a steaming rice bowl with chopsticks on a warm
// red tile. Each size is painted on its own grid so small sizes stay crisp.
// Run: icongen OUTDIR   (writes OUTDIR/mycook-<N>.png)
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {
void Tile(QPainter& p, double s) {
    const QRectF r(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
    QLinearGradient red(r.topLeft(), r.bottomLeft());
    red.setColorAt(0, QColor(226, 72, 48));
    red.setColorAt(1, QColor(168, 34, 26));
    p.setPen(s >= 32 ? QPen(QColor(120, 20, 14), s / 48.0) : Qt::NoPen);
    p.setBrush(red);
    p.drawRoundedRect(r, s * 0.2, s * 0.2);
}

void Steam(QPainter& p, double s) {
    if (s < 24)
        return; // three wisps would blur into one blot
    QPen pen(QColor(255, 244, 230, 220), s / 18.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (int i = -1; i <= 1; ++i) {
        const double x = s * (0.5 + i * 0.14);
        QPainterPath wisp(QPointF(x, s * 0.44));
        wisp.cubicTo(QPointF(x - s * 0.06, s * 0.36), QPointF(x + s * 0.06, s * 0.28),
                     QPointF(x, s * 0.18));
        p.drawPath(wisp);
    }
}

void Chopsticks(QPainter& p, double s) {
    QPen pen(QColor(250, 214, 120), s >= 32 ? s / 22.0 : s / 14.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(s * 0.60, s * 0.52), QPointF(s * 0.86, s * 0.14));
    p.drawLine(QPointF(s * 0.66, s * 0.54), QPointF(s * 0.92, s * 0.22));
}

void Bowl(QPainter& p, double s) {
    // Rice heaped above the rim.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 252, 244));
    p.drawEllipse(QPointF(s * 0.5, s * 0.54), s * 0.3, s * 0.1);
    // The bowl: a half-ellipse with a foot.
    QPainterPath bowl;
    bowl.moveTo(s * 0.16, s * 0.54);
    bowl.arcTo(QRectF(s * 0.16, s * 0.30, s * 0.68, s * 0.50), 180, 180);
    bowl.closeSubpath();
    QLinearGradient glaze(QPointF(s * 0.16, 0), QPointF(s * 0.84, 0));
    glaze.setColorAt(0, QColor(250, 250, 246));
    glaze.setColorAt(0.6, QColor(232, 236, 240));
    glaze.setColorAt(1, QColor(196, 204, 214));
    p.setBrush(glaze);
    p.drawPath(bowl);
    p.setBrush(QColor(206, 212, 220));
    p.drawRect(QRectF(s * 0.38, s * 0.78, s * 0.24, s * 0.07));
    // A blue band under the rim, as on a common rice bowl.
    if (s >= 24) {
        p.setPen(QPen(QColor(40, 84, 160), s / 28.0));
        p.setBrush(Qt::NoBrush);
        QPainterPath band;
        band.arcMoveTo(QRectF(s * 0.20, s * 0.34, s * 0.60, s * 0.40), 192);
        band.arcTo(QRectF(s * 0.20, s * 0.34, s * 0.60, s * 0.40), 192, 156);
        p.drawPath(band);
    }
    p.setPen(QPen(QColor(150, 160, 172), s >= 32 ? s / 64.0 : 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(bowl);
}

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    Tile(p, s);
    Steam(p, s);
    Chopsticks(p, s);
    Bowl(p, s);
    p.end();
    return image;
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: icongen OUTDIR\n");
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        if (!Icon(size).save(out.filePath(QStringLiteral("mycook-%1.png").arg(size)), "PNG"))
            return 1;
    }
    return 0;
}
