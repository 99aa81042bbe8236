#pragma once
// One list of what to buy for several recipes: the same ingredient in the same
// unit added up (grams with grams, 斤 and 克 through grams), units that do not add
// side by side ("800克 + 2块"), what a recipe says only "适量" of listed once,
// grouped in the order a market is walked.

#include "MarketGroups.h"

#include <QString>
#include <QStringList>
#include <vector>

struct TShoppingRecipe {
    QString Name;
    QString Ingredients; // one a line, as stored
    double Factor = 1;   // as scaled in the view
};

struct TShoppingItem {
    QString Name;   // as first written
    QString Amount; // "800克", "5个", "1 1/2 cups + 2", "适量"; may be empty
    TMarketGroup Group = TMarketGroup::Other;
    bool operator==(const TShoppingItem&) const = default;
};

// Items grouped (TMarketGroup's order), within a group in the order first met.
std::vector<TShoppingItem> MakeShoppingList(const std::vector<TShoppingRecipe>& recipes);
// The list as text to copy, print or carry in a QR code:
//   购物清单：回锅肉、番茄炒蛋
//   【肉禽蛋】
//   五花肉 800克
QString ShoppingText(const std::vector<TShoppingItem>& items, const QStringList& dishes);
