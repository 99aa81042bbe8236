#pragma once
// Durations in a step's text, each a timer the cook can start: "炖40分钟",
// "焖 1 小时", "半小时", "1个半小时", "1小时20分钟", "一刻钟", "bake 25 minutes",
// "1 hour 30 minutes", "20-25分钟" (the shorter end: look early, not late).

#include <QString>
#include <QStringView>
#include <vector>

struct TStepDuration {
    qsizetype Start = 0; // the duration's words in the step
    qsizetype Length = 0;
    int Seconds = 0;
    QString Name; // the clause it stands in: "转小火炖40分钟"
};

// Nothing longer than two days is a timer.
inline constexpr int MaxTimerSeconds = 48 * 3600;

std::vector<TStepDuration> DurationsIn(QStringView step);
// "39:05", "1:02:03"; never negative.
QString CountdownText(int seconds);
