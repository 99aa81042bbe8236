// Paints the start-page photograph: a plate of stir-fried greens with shrimp
// and peppers on a wooden table. Run: splashgen OUT.jpg
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>

namespace {
void Table(QPainter& p, QRandomGenerator& rng, const QSize& size) {
    QLinearGradient wood(0, 0, 0, size.height());
    wood.setColorAt(0, QColor(122, 74, 42));
    wood.setColorAt(1, QColor(86, 50, 28));
    p.fillRect(QRect(QPoint(), size), wood);
    for (int y = 0; y < size.height(); y += 2) {
        const int shade = rng.bounded(-14, 14);
        p.setPen(QColor(110 + shade, 66 + shade / 2, 36 + shade / 3, 70));
        QPainterPath grain;
        grain.moveTo(0, y);
        for (int x = 0; x <= size.width(); x += 40)
            grain.lineTo(x, y + 3 * std::sin(x / 57.0 + y / 13.0));
        p.drawPath(grain);
    }
}

void Plate(QPainter& p, QPointF c) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawEllipse(c + QPointF(10, 14), 196, 132);
    QRadialGradient rim(c, 200);
    rim.setColorAt(0.0, QColor(255, 255, 250));
    rim.setColorAt(0.85, QColor(236, 236, 230));
    rim.setColorAt(1.0, QColor(200, 200, 195));
    p.setBrush(rim);
    p.drawEllipse(c, 196, 132);
    p.setBrush(QColor(244, 244, 238));
    p.drawEllipse(c, 150, 98);
    p.setPen(QPen(QColor(40, 90, 160), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 178, 120);
}

void Greens(QPainter& p, QRandomGenerator& rng, QPointF c) {
    for (int i = 0; i < 70; ++i) {
        const double a = rng.generateDouble() * 2 * M_PI;
        const double r = std::sqrt(rng.generateDouble());
        const QPointF at = c + QPointF(std::cos(a) * r * 120, std::sin(a) * r * 74);
        p.save();
        p.translate(at);
        p.rotate(rng.bounded(360));
        QLinearGradient leaf(-22, 0, 22, 0);
        const int g = rng.bounded(110, 170);
        leaf.setColorAt(0, QColor(30, g - 40, 30));
        leaf.setColorAt(1, QColor(90, g + 40, 60));
        p.setBrush(leaf);
        p.setPen(QPen(QColor(20, 70, 20, 120), 1));
        p.drawEllipse(QPointF(), 24, 9);
        p.setPen(QPen(QColor(200, 230, 170, 150), 1.5));
        p.drawLine(QPointF(-20, 0), QPointF(20, 0));
        p.restore();
    }
}

void Shrimp(QPainter& p, QPointF at, double angle) {
    p.save();
    p.translate(at);
    p.rotate(angle);
    for (int k = 0; k < 6; ++k) {
        const double a = k * 0.5;
        const QPointF seg(18 * std::cos(a), 18 * std::sin(a));
        QRadialGradient g(seg, 9);
        g.setColorAt(0, QColor(255, 190, 150));
        g.setColorAt(1, QColor(230, 100, 60));
        p.setBrush(g);
        p.setPen(QPen(QColor(190, 70, 40), 1));
        p.drawEllipse(seg, 9 - k, 8 - k);
    }
    p.restore();
}

void Peppers(QPainter& p, QRandomGenerator& rng, QPointF c) {
    for (int i = 0; i < 18; ++i) {
        const QPointF at = c + QPointF(rng.bounded(-110, 110), rng.bounded(-60, 60));
        p.setPen(QPen(QColor(150, 10, 10), 2));
        p.setBrush(QColor(220, 30, 25));
        p.drawEllipse(at, 7, 4);
        p.setBrush(QColor(250, 220, 120));
        p.setPen(Qt::NoPen);
        p.drawEllipse(at, 2, 1.5);
    }
}

void Chopsticks(QPainter& p) {
    for (int i = 0; i < 2; ++i) {
        QLinearGradient stick(0, 0, 0, 10);
        stick.setColorAt(0, QColor(60, 30, 20));
        stick.setColorAt(1, QColor(140, 80, 40));
        p.setBrush(stick);
        p.setPen(Qt::NoPen);
        p.save();
        p.translate(395 + i * 18, 20);
        p.rotate(68 + i * 3);
        p.drawRoundedRect(QRectF(0, 0, 300, 8), 4, 4);
        p.restore();
    }
}

void Grain(QImage& image, QRandomGenerator& rng) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = rng.bounded(-6, 7);
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                           std::clamp(qBlue(c) + n, 0, 255));
        }
    }
}
} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: splashgen OUT.jpg\n");
        return 1;
    }
    QRandomGenerator rng(20261208);
    QImage image(480, 324, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(240, 170);
    Table(p, rng, image.size());
    Plate(p, centre);
    Greens(p, rng, centre);
    for (int i = 0; i < 7; ++i)
        Shrimp(p, centre + QPointF(rng.bounded(-95, 95), rng.bounded(-50, 50)), rng.bounded(360));
    Peppers(p, rng, centre);
    Chopsticks(p);
    p.end();
    Grain(image, rng);
    return image.save(QString::fromLocal8Bit(argv[1]), "JPG", 90) ? 0 : 1;
}
