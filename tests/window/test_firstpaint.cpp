#include "FirstPaint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPointer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {
// A window whose child counts its paints.
struct TPaintCount : QWidget {
    int* Count;
    explicit TPaintCount(QWidget* parent, int* count) : QWidget(parent), Count(count) {
        resize(40, 40);
    }
    void paintEvent(QPaintEvent*) override { ++*Count; }
};

void Wait(const std::function<bool()>& until, int ms = 2000) {
    QElapsedTimer t;
    t.start();
    while (!until() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}
} // namespace

TEST(FirstPaint, TheJobRunsOnceAfterThePaintOrTheWait) {
    const struct {
        const char* Name;
        bool Shown;
        int WaitMs;
        bool PaintedFirst; // a paint came before the job
    } cases[] = {
        {"shown", true, 5000, true},
        {"never shown: the wait", false, 50, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QWidget window;
        window.resize(120, 80);
        int paints = 0, runs = 0, paintsBeforeJob = -1;
        new TPaintCount(&window, &paints);
        AfterFirstPaint(
            window,
            [&] {
                ++runs;
                paintsBeforeJob = paints;
            },
            c.WaitMs);
        if (c.Shown)
            window.show();
        // The job is not run from inside the show nor before the events are handled.
        EXPECT_EQ(runs, 0);
        Wait([&] { return runs > 0; });
        Wait([] { return false; }, 100); // a second paint or the wait runs nothing more
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(paintsBeforeJob > 0, c.PaintedFirst) << paintsBeforeJob;
    }
}

TEST(FirstPaint, TheJobGoesWithTheWindow) {
    int runs = 0;
    {
        auto window = std::make_unique<QWidget>();
        AfterFirstPaint(
            *window, [&] { ++runs; }, 20);
        window->show();
    }
    Wait([] { return false; }, 100);
    EXPECT_EQ(runs, 0);
}
