#pragma once
// The window that says a long import or export is under way and lets the cook
// cancel it. It comes up only after a short delay, and never over a question: while
// a TProgressPause lives it is hidden and its delay does not run.

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QProgressBar;

class TProgressWindow final : public QDialog {
public:
    static constexpr int ShowDelayMs = 300;

    TProgressWindow(QWidget* owner, const QString& text);

    // Called often: hands events over now and then; false once the cook cancelled.
    bool Step(int done, int total);
    // Hands events over at once (the window repaints between long steps).
    void Flush();
    bool Cancelled() const { return FCancelled; }

    void Pause();
    void Resume();

protected:
    void reject() override; // 取消, Esc and the caption's ×

private:
    void ShowNow();

    QLabel* FLabel;
    QProgressBar* FBar;
    QTimer FDelay;
    QElapsedTimer FSinceEvents;
    int FPaused = 0;
    bool FWanted = false; // the delay ran out: shown whenever no question is up
    bool FCancelled = false;
};

// Hides the progress window while a question is up, and brings it back after.
class TProgressPause {
public:
    explicit TProgressPause(TProgressWindow& window) : FWindow(window) { FWindow.Pause(); }
    ~TProgressPause() { FWindow.Resume(); }
    TProgressPause(const TProgressPause&) = delete;
    TProgressPause& operator=(const TProgressPause&) = delete;

private:
    TProgressWindow& FWindow;
};
