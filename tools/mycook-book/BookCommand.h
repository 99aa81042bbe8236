#pragma once
// mycook-book: import recipe files into a book, or export the whole book.

#include <QStringList>
#include <QTextStream>

// Runs one command line (without the program name); returns the exit code.
// 0 done, 1 failed, 2 wrong usage.
int RunBookCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);
