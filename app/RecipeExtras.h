#pragma once
// What the window offers beside its designed controls: deleting a listed recipe,
// printing the view or saving it as PDF, dropping a picture onto the entry page,
// reading the book and its daily copy after the first paint, the browse list's
// import and export (app/RecipeImportUi) and the suggestions under the keyword box
// (app/SearchSuggest), narrowing the list by category and to favourites
// (app/RecipeBrowse), the view's extras (app/RecipeView), scaling the view (app/ScaleControl),
// the shopping list of the recipes chosen (app/ShoppingListWindow) and cooking step by step
// (app/CookingView). The window makes one while it connects
// its handlers and reaches nothing of it but what is below; it reaches the window only through its
// site. Every action runs through RunGuarded.

#include "Dialogs.h"
#include "WindowSite.h"

#include <QObject>
#include <memory>

class QMenu;
class QMimeData;
class QPoint;
class TBackgroundBackup;
class TBookSyncUi;
class TCookingView;
class TScaleControl;
class TShoppingListWindow;
class TRecipeBrowse;
class TRecipeView;
class TRecipeExtrasEditor;
class TSearchSuggest;

class TRecipeExtras final : public QObject {
public:
    explicit TRecipeExtras(TWindowSite site);
    ~TRecipeExtras() override;
    TRecipeExtras(const TRecipeExtras&) = delete;
    TRecipeExtras& operator=(const TRecipeExtras&) = delete;

    const TWindowSite& Site() const { return FSite; }

    TSaveDialog SavePdfDialog;
    std::unique_ptr<QMenu> ListBox1Menu(const QPoint& pos);
    std::unique_ptr<QMenu> RichEdit1Menu();
    std::unique_ptr<QMenu> Image2Menu();
    void ListBox1Delete(int index);
    void PrintRecipe();
    void ExportPdf();
    bool Image2Accepts(const QMimeData& data) const;
    void Image2Drop(const QMimeData& data);
    void StartDailyBackup();
    void DailyBackupDone();
    TBackgroundBackup* DailyBackup() const { return FBackup.get(); }

    TSearchSuggest& SearchSuggest() { return *FSuggest; }
    TRecipeBrowse& Browse() { return *FBrowse; }
    TRecipeView& View() { return *FView; }
    // Keeping the book in step with a recipe folder (app/BookSyncUi).
    TBookSyncUi& Sync() { return *FSync; }
    TScaleControl& Scale() { return *FScale; }
    // "购物清单…" of the list's chosen entries; the window stays for the next time.
    void ShowShoppingList();
    TShoppingListWindow* ShoppingList() const { return FShopping.get(); }
    // "开始做菜" of the shown recipe, its ingredients as scaled in the view.
    void StartCooking();
    TCookingView* Cooking() const { return FCooking.get(); }
    // The entry page's extras (app/RecipeExtrasEditor).
    TRecipeExtrasEditor& ExtrasEditor() { return *FEditor; }
    // Inside the designed save's transaction: the page's extras go beside the row,
    // so one commit (one round of disk flushes) carries both.
    void RecipeSaving(qint64 rowId, bool overwritten);
    // The window's RecipeSaved: the save is on disk.
    void RecipeSaved(qint64 rowId);
    // The recipe with this identity was saved, overwritten or removed.
    void RecipeChanged(qint64 rowId);
    // Anything may have changed (an import).
    void BookChanged();
    // After the designed search: when it listed nothing, lists what the
    // suggestions find for the keyword (pinyin, initials, the other script).
    void ListSuggestionsWhenNothingFound();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Connect();
    bool Image2Event(QEvent* event);

    TWindowSite FSite;
    bool FBookExisted = false;
    bool FShown = false;
    qint64 FShownRowId = -1; // the recipe the view shows
    std::unique_ptr<TBackgroundBackup> FBackup;
    std::unique_ptr<TSearchSuggest> FSuggest;
    std::unique_ptr<TRecipeBrowse> FBrowse;
    std::unique_ptr<TRecipeView> FView;
    std::unique_ptr<TRecipeExtrasEditor> FEditor;
    std::unique_ptr<TBookSyncUi> FSync;
    std::unique_ptr<TScaleControl> FScale;
    std::unique_ptr<TShoppingListWindow> FShopping;
    std::unique_ptr<TCookingView> FCooking;
};
