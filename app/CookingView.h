#pragma once
// "开始做菜": the shown recipe one step at a time in large type, with the step's
// pictures and the (scaled) ingredients beside it. ←/→ and space move, Esc
// closes. Every duration in a step offers a timer; several run at once, each
// named by its step, and one that ends rings and says so inside the window (no
// box stands over the cook's hands). The screen is kept awake while it is open.

#include "Recipe.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QVBoxLayout;

// Asks the desktop to keep the screen on (org.freedesktop.ScreenSaver over the
// session bus); does nothing where there is no such service.
class TScreenAwake {
public:
    TScreenAwake();
    ~TScreenAwake();
    TScreenAwake(const TScreenAwake&) = delete;
    TScreenAwake& operator=(const TScreenAwake&) = delete;
    bool Held() const { return FCookie != 0; }

private:
    uint FCookie = 0;
};

class TCookingView final : public QDialog {
public:
    explicit TCookingView(QWidget* owner);
    ~TCookingView() override;

    // Starts at the first step; the ingredients scaled by `factor`.
    void Start(const TRecipe& recipe, double factor);
    int Step() const { return FStep; } // from 0
    int StepCount() const { return int(FSteps.size()); }
    void ShowStep(int step);
    QString StepText() const;
    QStringList Ingredients() const;

    struct TTimer {
        QString Name; // "第3步 炖40分钟"
        int Seconds = 0;
        QDeadlineTimer Deadline;
        bool Done = false;
        QLabel* Label = nullptr;
        QPushButton* Button = nullptr;
    };
    // The timers offered by the shown step: their names and lengths.
    std::vector<std::pair<QString, int>> Offered() const;
    // Starts the shown step's `index`-th offered timer.
    void StartTimer(int index);
    const std::vector<TTimer>& Timers() const { return FTimers; }
    int Remaining(size_t timer) const;
    // The notice shown when a timer has ended; empty when none.
    QString Notice() const;
    // Runs the timers' clock once (the tests' way of letting time pass).
    void Tick();
    // A test ends a timer at once.
    void EndTimerNow(size_t timer);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void StopAll();
    void RemoveTimer(size_t timer);
    void Rang(TTimer& timer);

    TRecipe FRecipe;
    std::vector<TRecipeLine> FSteps;
    QStringList FIngredients;
    int FStep = 0;
    std::vector<TTimer> FTimers;
    QTimer FClock;
    std::unique_ptr<TScreenAwake> FAwake;

    QLabel* FTitle = nullptr;
    QLabel* FPlace = nullptr;
    QLabel* FText = nullptr;
    QVBoxLayout* FPictures = nullptr;
    QLabel* FIngredientsLabel = nullptr;
    QVBoxLayout* FOffers = nullptr;
    QVBoxLayout* FRunning = nullptr;
    QLabel* FNotice = nullptr;
    QPushButton* FPrev = nullptr;
    QPushButton* FNext = nullptr;
};
