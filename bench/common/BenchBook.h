#pragma once
// A generated recipe book at its largest, shared by the benchmarks: 100,000 recipes
// (names of 4-12 Chinese characters, on one in five running on and cut at 30,
// ~100-character ingredients, ~1,000-character
// methods, a JPEG of about 100 KB on one in ten); about 1% carry the keyword.
// MYCOOK_BENCH_ROWS sets another size (up to a million and more), and
// MYCOOK_BENCH_PICTURE_EVERY=n puts the picture on one in n instead of one in ten;
// MYCOOK_BENCH_BOOK=<file> keeps the book there and reuses it in later runs.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QRandomGenerator;
class QSize;

extern const QString BenchKeyword;       // matches about 1% of the recipes
extern const QString BenchKeywordFilter; // the search's filter for it

int BenchRows();
// The JPEG the book's recipe of this index carries: real, and unlike any other's.
QByteArray BenchPicture(int index);
int PictureEvery();
QString BenchRandomText(QRandomGenerator& rng, int length);
double RssMiB();

struct TBook {
    QTemporaryDir Dir;
    QString Path; // <folder>/cook.mdb
    QStringList SampleNames;

    TBook();
    QString Folder() const;
    QString ConnectString() const;

private:
    void Make();
    void Generate();
    void ReadSamples();
};

// The one book of this run, made on first use.
TBook& Book();

// A copy of that book where every recipe has extras: one or two of 30 categories,
// one in ten a favourite, one in five three step pictures, one in five a whole name
// and one in fifty whole ingredients that the columns hold cut (so the keyword
// search and the suggestions read them). Both books' columns hold those cut, as a
// save cuts them: the same recipes, kept as the designed record alone and with extras.
// Kept beside MYCOOK_BENCH_BOOK as "extras/cook.mdb".
struct TExtrasBook {
    QTemporaryDir Dir;
    QString Path;
    TExtrasBook();
    QString Folder() const;
    QString ConnectString() const;
};
TExtrasBook& ExtrasBook();
// Whether the book with extras gives row n (0-based, in rowid order) a whole name that
// runs on past its column (one in five), and whole ingredients too (one in fifty).
bool BenchWholeNameRunsOn(qint64 row);
bool BenchWholeIngredientsRunOn(qint64 row);
// Row n's whole texts from its drawn ones: on the rows above, the name with an aside
// in brackets after it (30-38 characters) and the ingredients with 200 more.
QString BenchWholeName(qint64 row, const QString& drawn);
QString BenchWholeIngredients(qint64 row, const QString& drawn);

QString BenchCategory(int i);
// A JPEG of that size with some noise, different for each seed.
QByteArray BenchJpeg(QSize size, int seed);
constexpr int BenchCategories = 30;
