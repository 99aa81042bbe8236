#pragma once
// What the recipe view shows beside the designed seven lines and the cover:
// categories, keywords, servings, times, the source as a link, the whole name,
// ingredients and note where the columns cut them, and the further pictures
// under their steps with their captions. The text goes in at once; the pictures'
// pixels are decoded on threads and put in as they come, so a recipe with many
// pictures never holds the window up.

#include "Recipe.h"
#include "WindowSite.h"

#include <QObject>
#include <QThreadPool>
#include <memory>
#include <vector>

class QImage;

struct TViewItem {
    enum TKind { Blank, Line, Link, Image };
    TKind Kind = Line;
    QString Text;     // the line; a link's label before its address
    QString Url;      // a link's address
    int Picture = -1; // an image's index in TRecipe::Pictures
    bool operator==(const TViewItem&) const = default;
};

// "PT1H15M" as "1 小时 15 分钟"; words that are no ISO duration as they are.
QString ReadableDuration(const QString& text);
// "准备 15 分钟 · 烹饪 1 小时 · 共 1 小时 15 分钟"; empty when no time is known.
QString TimesText(const TRecipe& recipe);
// Whether the source is a web address the browser can open.
bool IsWebAddress(const QString& source);
// The items after the designed lines, in order; none for a recipe without extras.
std::vector<TViewItem> RecipeViewItems(const TRecipe& recipe);

class TRecipeView final : public QObject {
public:
    explicit TRecipeView(const TWindowSite& site);
    ~TRecipeView() override;
    TRecipeView(const TRecipeView&) = delete;
    TRecipeView& operator=(const TRecipeView&) = delete;

    // Adds the recipe's extras after what the designed view wrote.
    void Show(qint64 rowId);
    // Forgets pictures still being decoded (the view was emptied).
    void Clear();
    // Waits for every picture of the shown recipe and puts them in (before
    // printing: the print takes the pixels the document holds).
    void FinishPictures();
    // Pictures of the shown recipe still being decoded.
    int PendingPictures() const;
    // The recipe shown, read whole; RowId -1 when none.
    const TRecipe& Recipe() const { return FRecipe; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TDecoded;
    void TakeDecoded();

    const TWindowSite& FSite;
    QThreadPool FPool;
    std::shared_ptr<TDecoded> FDecoded;
    int FPending = 0;
    TRecipe FRecipe;
};
