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

#include "PdfText.h"

// Lays the document out on the device's pages; `fixes`, when given, receives what
// a PDF of it needs for its text to be the characters typed (PdfText.h).
void PrintRecipeDocument(const QTextDocument& document, QPagedPaintDevice& device,
                         TPdfCharFixes* fixes = nullptr);
// A printer set to write a PDF file ("print to file"): the file's text is mended as
// SaveRecipePdf's is. Nothing for a real printer.
void MendPrintedPdf(const QPrinter& printer, const TPdfCharFixes& fixes);
// Writes through a temporary file that replaces `fileName` only when complete; the
// PDF's text is the characters typed whatever fonts draw them.
void SaveRecipePdf(const QTextDocument& document, const QString& fileName);

// The print dialog: true when the user chose to print. A test answers in advance
// by setting up the printer itself (a PDF file, say) and returning its choice.
using TPrintDialogHook = std::function<bool(QPrinter&)>;
void SetPrintDialogHook(TPrintDialogHook hook);
bool ExecutePrintDialog(QPrinter& printer, QWidget* owner);
