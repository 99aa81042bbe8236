#pragma once
// Where the daily copies of the book lie and how they are named; shared by the copy
// itself and by the texts that point the cook to the newest one.

#include <QDate>
#include <QRegularExpression>
#include <QString>

QString BackupFolder(const QString& bookPath);
QString BackupFileName(const QDate& day);
// The newest copy of the book, empty when there is none.
QString NewestBackup(const QString& bookPath);
// Matches the file name of a finished daily copy.
const QRegularExpression& CopyName();
