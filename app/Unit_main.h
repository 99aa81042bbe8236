#pragma once
// The program's one window: start page, recipe entry, browsing and export.

#include "ADODB.h"
#include "Dialogs.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TForm_main;
}
class TSkinData;
class TRecipeExtras;
struct TWindowSite;

class TForm_main : public QWidget {
    Q_OBJECT
public:
    // bookFolder: where "cook.mdb" lives (with or without a trailing separator).
    explicit TForm_main(const QString& bookFolder, QWidget* parent = nullptr);
    ~TForm_main() override;

    Ui::TForm_main& Controls() { return *ui; }
    TADOConnection ADOConnection1;
    TADOQuery ADOQuery1{&ADOConnection1};
    TOpenPictureDialog OpenPictureDialog1{this};
    TSaveDialog SaveDialog1{this};
    TSkinData& SkinData1() { return *FSkinData1; }

    // The program's own "about" page (AboutPageFile), as a file: address,
    // opened by a click on the start-page picture.
    static QString AboutPageUrl();

    void FormCreate();
    void BitBtn1Click();
    void BitBtn2Click();
    void Image1Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    bool Edit2KeyDown(int key);
    void ListBox1Click();
    void BitBtn7Click();

    // What the window offers beside its designed controls (app/RecipeExtras):
    // delete, print and PDF, drops, the daily copy, import, suggestions.
    TRecipeExtras& Extras() { return *FExtras; }

Q_SIGNALS:
    // Recipes came in beside the designed save (an import); the list and the
    // count already show them.
    void BookChanged();
    // A save of the entry page completed: a new row, or the named one overwritten
    // (answered Yes). The page is already cleared.
    void RecipeSaved(qint64 rowId, bool overwritten);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectHandlers();
    void NameControls();
    void ClearEntryPage();
    void ShowCount();
    TWindowSite Site();

    std::unique_ptr<Ui::TForm_main> ui;
    std::unique_ptr<TSkinData> FSkinData1;
    QString FBookFolder;
    // Goes first: it reads the controls and the book.
    std::unique_ptr<TRecipeExtras> FExtras;
};
