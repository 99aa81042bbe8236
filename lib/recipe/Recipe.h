#pragma once
// A whole recipe: the book's designed row (菜名, 原料, 做法, 说明, img) and what
// that row cannot hold, kept in tables of our own beside it.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

inline constexpr int NameColumnChars = 30;
inline constexpr int IngredientsColumnChars = 255;
inline constexpr int NoteColumnChars = 255;

// The four texts of one row of the book.
struct TRecipeColumns {
    QString Name;        // 菜名
    QString Ingredients; // 原料
    QString Method;      // 做法
    QString Note;        // 说明
    bool operator==(const TRecipeColumns&) const = default;
};

struct TRecipeLine {
    QString Text;
    bool Heading = false; // a section heading, not an ingredient or a step
    QString Title;        // a step's own short name, when its source gave one
    bool operator==(const TRecipeLine&) const = default;
};

struct TRecipePicture {
    QByteArray Jpeg;
    int Step = 0; // the step (from 1, headings not counted) it shows; 0: the dish
    QString Caption;
    bool operator==(const TRecipePicture&) const = default;
};

struct TRecipe {
    qint64 RowId = -1;      // the designed row's identity in the book
    TRecipeColumns Columns; // the row as stored: the cut forms of the whole texts
    // The whole texts; the columns hold them cut to their lengths.
    QString Name;
    QString Ingredients; // one ingredient or heading a line
    std::vector<TRecipeLine> Steps;
    QString Note;
    QStringList Categories;
    QStringList Keywords;
    double Servings = 0;  // 0: not known
    QString ServingsUnit; // "人份", "个"; the whole yield when it is no number
    // ISO 8601 durations ("PT1H30M"), or the source's own words when it gave no such.
    QString PrepTime;
    QString CookTime;
    QString TotalTime;
    QString Source; // a web address, a book or a person
    bool Favourite = false;
    QDateTime Added;
    QDateTime Changed;
    QByteArray Cover;                     // img: the designed picture, JPEG bytes
    std::vector<TRecipePicture> Pictures; // further pictures in order
    bool operator==(const TRecipe&) const = default;
};
