#pragma once
// Printing the recipe view and saving it as PDF. The view's document is laid out
// on the page as text (searchable, fonts embedded); a picture keeps its own pixels
// and is drawn scaled down to the page width when it is wider.

#include <QString>
#include <functional>

class QPagedPaintDevice;
class QPrinter;
class QTextDocument;
class QWidget;

void PrintRecipeDocument(const QTextDocument& document, QPagedPaintDevice& device);
// Writes through a temporary file that replaces `fileName` only when complete.
void SaveRecipePdf(const QTextDocument& document, const QString& fileName);

// The print dialog: true when the user chose to print. A test answers in advance
// by setting up the printer itself (a PDF file, say) and returning its choice.
using TPrintDialogHook = std::function<bool(QPrinter&)>;
void SetPrintDialogHook(TPrintDialogHook hook);
bool ExecutePrintDialog(QPrinter& printer, QWidget* owner);
