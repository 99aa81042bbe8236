#pragma once
// What the window tells the cook about the daily copy of the book: a damaged book
// once per run, a copy that could not be made once a day.

#include <QDate>
#include <QString>

class TADOConnection;
struct TBackupOutcome;

// Shows the outcome's notice, if it has one, in a box with caption "提示".
void TellBackupOutcome(const TBackupOutcome& outcome, TADOConnection& connection,
                       const QDate& today);

// Whether a failed copy of this book was already reported on that day; noting it
// remembers that it was (in the user's settings, so a read-only book folder does
// not make it a daily nag on every start).
bool BackupFailureToldOn(const QString& bookPath, const QDate& day);
void NoteBackupFailureTold(const QString& bookPath, const QDate& day);
