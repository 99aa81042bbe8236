#pragma once
// The whole names and ingredients of the recipes whose designed columns hold them
// cut, for whatever searches by them beside the designed search (the suggestions).
// Only texts that still belong to their row count: its columns still hold what the
// whole texts were cut to. Reads only; a book without our tables has none.

#include <QString>
#include <vector>

class TADOConnection;

struct TWholeText {
    qint64 RowId = -1;
    QString Name;        // null: the column holds the name whole
    QString Ingredients; // null: the column holds them whole
};

// By row identity, ascending; only the row `rowId` when it is not -1.
std::vector<TWholeText> ReadWholeTexts(TADOConnection& connection, qint64 rowId = -1);
// The same through a read-only connection of its own, for a thread that is not the
// book connection's; none when the book cannot be read.
std::vector<TWholeText> ReadWholeTexts(const QString& bookPath);
