#pragma once
// "购物清单…": what to buy for the recipes chosen in the list, grouped as a market
// is walked. A click ticks a line off (what is at home already); copying,
// printing, the PDF and the QR codes carry the lines not ticked.

#include "Dialogs.h"
#include "ShoppingList.h"

#include <QDialog>
#include <QImage>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTextDocument;
struct TQrCode;

// A QR code as a picture: `module` pixels a module, four modules of quiet zone.
QImage QrImage(const TQrCode& code, int module);

class TShoppingListWindow final : public QDialog {
public:
    explicit TShoppingListWindow(QWidget* owner);

    // Shows the list of these recipes (the whole book's order of choosing).
    void SetRecipes(const std::vector<TShoppingRecipe>& recipes);
    // The lines not ticked off, as text.
    QString Text() const;
    const std::vector<TShoppingItem>& Items() const { return FItems; }
    // Ticks or clears line `index` of Items().
    void SetTicked(int index, bool ticked);
    bool Ticked(int index) const;
    // The QR codes of Text() (several when it is long) and the one shown.
    const QStringList& QrTexts() const { return FQrTexts; }
    QImage QrPicture(int index) const;
    int ShownQr() const { return FShownQr; }
    void ShowQr(int index);

    void CopyText();
    void Print();
    void ExportPdf();
    TSaveDialog SavePdfDialog;

    QListWidget* List = nullptr;

private:
    void Fill();
    void Refresh();
    std::unique_ptr<QTextDocument> Document() const;

    std::vector<TShoppingItem> FItems;
    QStringList FDishes;
    std::vector<bool> FTicked;
    std::vector<QListWidgetItem*> FRows; // per item
    QStringList FQrTexts;
    int FShownQr = 0;
    QLabel* FQr = nullptr;
    QLabel* FQrPlace = nullptr;
    QPushButton* FPrevQr = nullptr;
    QPushButton* FNextQr = nullptr;
};
