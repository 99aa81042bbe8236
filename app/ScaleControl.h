#pragma once
// "份量" beside the view: scales the shown recipe's ingredients in the view itself,
// and back. A recipe that knows its servings is scaled to a number of them, any
// other by a factor (×½, ×2, ×3). The view's own text changes, so printing, the
// PDF and the RTF export carry the scaled amounts and servings; lines whose amount
// cannot be read stay as written, marked "〔未换算〕".

#include "Recipe.h"
#include "WindowSite.h"

#include <QObject>
#include <functional>
#include <vector>

class QComboBox;
class QSpinBox;
class TBitBtn;
class TLabel;

// Factors offered when the servings are not known.
inline constexpr double ScaleFactors[] = {0.25, 1.0 / 3, 0.5, 1, 2, 3, 4};
// The mark after a line the scaling left as written.
inline constexpr char16_t UnscaledMark[] = u"〔未换算〕";

class TScaleControl final : public QObject {
public:
    explicit TScaleControl(const TWindowSite& site);
    ~TScaleControl() override;
    TScaleControl(const TScaleControl&) = delete;
    TScaleControl& operator=(const TScaleControl&) = delete;

    // The view now shows this recipe (RowId -1: nothing); it is shown unscaled.
    void Shown(const TRecipe& recipe);
    // Scales the view: by servings when the recipe knows them, else by factor.
    void SetServings(int servings);
    void SetFactor(double factor);
    void Reset() { SetFactor(1); }
    double Factor() const { return FFactor; }
    const TRecipe& Recipe() const { return FRecipe; }
    bool ByServings() const;

    // "开始做菜" pressed.
    std::function<void()> OnCook;

    QSpinBox* Servings = nullptr;
    QComboBox* Factors = nullptr;
    TBitBtn* ResetButton = nullptr;
    TBitBtn* CookButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TRegion {
        enum TKind { Heading, Lines, ServingsLine } Kind;
        int Start;
        int Length;
        QString Original;
    };
    void FindRegions();
    void Apply(double factor);
    QString HeadingText(double factor) const;
    QString ServingsText(double factor) const;
    void UpdateVisibility();

    const TWindowSite& FSite;
    TRecipe FRecipe;
    double FFactor = 1;
    std::vector<TRegion> FRegions;
    TLabel* FLabel = nullptr;
    TLabel* FUnit = nullptr;
};
