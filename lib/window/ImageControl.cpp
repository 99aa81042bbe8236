#include "ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::PictureChanged() {
    update();
}

void TImage::SetStretch(bool on) {
    if (FStretch != on) {
        FStretch = on;
        update();
    }
}

void TImage::paintEvent(QPaintEvent*) {
    const TGraphic* graphic = FPicture.Graphic();
    if (!graphic || graphic->Empty())
        return;
    QPainter painter(this);
    const QRectF target =
        FStretch ? QRectF(rect()) : QRectF(0, 0, graphic->Width(), graphic->Height());
    try {
        graphic->Draw(painter, target);
    } catch (...) {
        // An undecodable picture shows nothing; its error surfaces where it is converted.
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Click();
    QWidget::mouseReleaseEvent(event);
}
