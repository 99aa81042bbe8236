#include "FirstPaint.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
// Watches from the application: a skinned window's hook takes its paints before any
// filter of the window's own would see them.
class TFirstPaintWatch : public QObject {
public:
    TFirstPaintWatch(QWidget& window, std::function<void()> job, int waitMs)
        : QObject(&window), FWindow(window), FJob(std::move(job)) {
        qApp->installEventFilter(this);
        QTimer::singleShot(waitMs, this, [this] { Run(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &FWindow) {
            qApp->removeEventFilter(this);
            // Queued behind the paint pass this paint belongs to.
            QTimer::singleShot(0, this, [this] { Run(); });
        }
        return false;
    }

private:
    void Run() {
        if (!FJob)
            return;
        qApp->removeEventFilter(this);
        const std::function<void()> job = std::move(FJob);
        FJob = nullptr;
        deleteLater();
        job();
    }

    QWidget& FWindow;
    std::function<void()> FJob;
};
} // namespace

void AfterFirstPaint(QWidget& window, std::function<void()> job, int waitMs) {
    new TFirstPaintWatch(window, std::move(job), waitMs); // the window owns it
}
