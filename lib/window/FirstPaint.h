#pragma once
// Work a window starts once it shows belongs after its first paint: a job queued at
// its showing runs before that paint, which waits for the layout's events and, on a
// real display, for the window to be mapped.

#include <functional>

class QWidget;

// Runs `job` once, after the first paint of `window` or one of its widgets is over,
// or after `waitMs` when no paint comes (a window shown minimized or covered). The
// job is dropped with the window.
void AfterFirstPaint(QWidget& window, std::function<void()> job, int waitMs = 1000);
