#pragma once
// What the suggestion benchmarks type, keystroke by keystroke: a full pinyin run
// that ends in a letter matching nothing, the keyword in pinyin, initials, mixes,
// characters in either script, runs of one letter, and single letters.

#include <QString>
#include <QStringList>

inline QStringList SuggestKeystrokes() {
    const char* const typed[] = {"hongshaorouq", "songrong", "hsrq", "红烧鱼丸", "jidanq",
                                 "lvdou",        "ludou",    "xian", "zzzz",     "qqqq",
                                 "紅燒",         "松茸鱼",   "茸松", "hongsr",   "hshaor"};
    QStringList out;
    for (const char* t : typed) {
        const QString text = QString::fromUtf8(t);
        for (qsizetype n = 1; n <= text.size(); ++n)
            if (!out.contains(text.left(n)))
                out << text.left(n);
    }
    return out;
}
