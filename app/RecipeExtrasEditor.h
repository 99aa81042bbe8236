#pragma once
// What the entry page holds beyond the designed row, behind its "更多信息" button:
// the whole name, categories, servings, times, source, favourite and further
// pictures, each optionally tied to a step. The designed save stores the row and,
// in the same transaction, has Store() write these beside it. Reaches the window
// only through its site.

#include "Recipe.h"
#include "WindowSite.h"

#include <QObject>

class QCheckBox;
class QCompleter;
class QListWidget;
class QMimeData;
class QSpinBox;
class QStringListModel;
class TLabel;
class TPanel;

class TRecipeExtrasEditor final : public QObject {
public:
    explicit TRecipeExtrasEditor(const TWindowSite& site);
    ~TRecipeExtrasEditor() override;
    TRecipeExtrasEditor(const TRecipeExtrasEditor&) = delete;
    TRecipeExtrasEditor& operator=(const TRecipeExtrasEditor&) = delete;

    // The page's controls; tests fill them as the cook does.
    TBitBtn* More = nullptr; // shows and hides the panel
    TPanel* Panel = nullptr;
    TLabel* NameHint = nullptr; // under the designed name box when it is full
    TEdit* WholeName = nullptr;
    TEdit* Categories = nullptr;
    TBitBtn* ChooseCategory = nullptr;
    QSpinBox* Servings = nullptr;
    TEdit* ServingsUnit = nullptr;
    TEdit* PrepTime = nullptr;
    TEdit* CookTime = nullptr;
    TEdit* TotalTime = nullptr;
    TEdit* Source = nullptr;
    QCheckBox* Favourite = nullptr;
    QListWidget* PictureList = nullptr;
    TBitBtn* OpenPicture = nullptr;
    TBitBtn* PastePicture = nullptr;
    TBitBtn* RemovePicture = nullptr;
    TBitBtn* MoveUp = nullptr;
    TBitBtn* MoveDown = nullptr;
    TEdit* Caption = nullptr;
    QSpinBox* Step = nullptr;

    void ShowPanel(bool show);
    // The pictures as they will be stored, in order.
    const std::vector<TRecipePicture>& Pictures() const { return FPictures; }
    void AddPictureFile(const QString& path); // raises as "打开图片" does
    void AddPastedPicture();                  // as "粘贴图片": nothing usable, nothing added
    void AddPictureJpeg(QByteArray jpeg);
    bool PicturesAccept(const QMimeData& data) const;
    void DropPictures(const QMimeData& data);
    void RemoveCurrentPicture();
    void MoveCurrentPicture(int by);
    int CurrentPicture() const;
    void SetCurrentPicture(int index);
    // The categories typed, split at "、", commas and semicolons, each once.
    QStringList CategoryList() const;
    // The book's own categories, most used first, offered while typing.
    QStringList BookCategories() const { return FBookCategories; }
    void ReadBookCategories();
    // After the book changed: read again where the cook can see them.
    void BookCategoriesChanged();

    // The row being saved gets what the page holds; an overwritten one keeps what
    // the cook did not change. Inside the save's transaction: the page keeps its
    // extras until Saved(), so a save whose commit fails loses nothing typed.
    void Store(qint64 rowId, bool overwritten);
    // The save is on disk: the page's extras are cleared.
    void Saved();
    void Clear();
    // A recipe read onto the page (a page from the web): its extras, for the cook
    // to check before "保存" stores them.
    void Fill(const TRecipe& recipe);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum TPart : unsigned {
        PartName = 1,
        PartCategories = 2,
        PartServings = 4,
        PartTimes = 8,
        PartSource = 16,
        PartFavourite = 32,
        PartPictures = 64,
    };
    void Build();
    void Connect();
    void Changed(TPart part) { FChanged |= part; }
    void ApplyTo(TRecipe& recipe, bool overwritten) const;
    // Lists the pictures again with the one at `current` (or the last) chosen.
    void ShowPictures(int current);
    void ShowCurrentPicture();
    void CompleteCategory();
    void ChooseFromBook();
    void AddCategory(const QString& category, bool add);
    void UpdateNameHint();

    TWindowSite FSite;
    QStringList FBookCategories;
    QStringListModel* FCategoryModel = nullptr;
    QCompleter* FCompleter = nullptr;
    std::vector<TRecipePicture> FPictures;
    unsigned FChanged = 0;
    bool FFilling = false; // the program, not the cook, is changing the controls
};
