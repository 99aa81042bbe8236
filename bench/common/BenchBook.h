#pragma once
// A generated recipe book at its largest, shared by the benchmarks: 100,000 recipes
// (names of 4-12 Chinese characters, ~100-character ingredients, ~1,000-character
// methods, a JPEG of about 100 KB on one in ten); about 1% carry the keyword.
// MYCOOK_BENCH_ROWS sets a smaller book; MYCOOK_BENCH_BOOK=<file> keeps the book
// there and reuses it in later runs.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QRandomGenerator;

extern const QString BenchKeyword;       // matches about 1% of the recipes
extern const QString BenchKeywordFilter; // the search's filter for it

int BenchRows();
// The JPEG the book's recipe of this index carries: real, and unlike any other's.
QByteArray BenchPicture(int index);
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
