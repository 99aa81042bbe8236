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
class TBackgroundBackup;
class TSearchSuggest;
class QMenu;
class QMimeData;

class TForm_main : public QWidget {
    Q_OBJECT
public:
    // bookFolder: where "cook.mdb" lives (with or without a trailing separator).
    explicit TForm_main(const QString& bookFolder, QWidget* parent = nullptr);
    ~TForm_main() override;
    static const char* const ExtraEventsName;

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

    // Beside the specified window (Unit_main_extras.cpp): deleting a listed recipe,
    // printing and PDF of the view, picture drops, the daily backup.
    TSaveDialog SavePdfDialog{this};
    std::unique_ptr<QMenu> ListBox1Menu(const QPoint& pos);
    std::unique_ptr<QMenu> RichEdit1Menu();
    void ListBox1Delete(int index);
    void PrintRecipe();
    void ExportPdf();
    bool Image2Accepts(const QMimeData& data) const;
    void Image2Drop(const QMimeData& data);
    void StartDailyBackup();
    void DailyBackupDone();
    TBackgroundBackup* DailyBackup() const { return FBackup.get(); }
    // Suggestions under the keyword box (app/SearchSuggest); whatever changes the
    // book beside the designed handlers emits BookChanged, which they follow.
    TSearchSuggest& SearchSuggest() { return *FSuggest; }
    void RecipeChanged(qint64 rowId);

Q_SIGNALS:
    // Recipes came in beside the designed save (an import); the list and the
    // count already show them.
    void BookChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectHandlers();
    void NameControls();
    void ClearEntryPage();
    void ShowCount();
    void ConnectExtraHandlers();

    std::unique_ptr<Ui::TForm_main> ui;
    std::unique_ptr<TSkinData> FSkinData1;
    QString FBookFolder;
    bool FBookExisted = false;
    qint64 FShownRowId = -1; // the recipe the view shows
    std::unique_ptr<TBackgroundBackup> FBackup;
    std::unique_ptr<TSearchSuggest> FSuggest;
};
