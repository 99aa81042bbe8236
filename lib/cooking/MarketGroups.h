#pragma once
// Where in a market an ingredient is bought, from a small word list
// (MarketGroups.cpp): add a word to its group's row to teach it another.

#include <QString>
#include <QStringView>

// In the order a market is walked.
enum class TMarketGroup { Meat, Seafood, Vegetable, Soy, Seasoning, Other };
inline constexpr int MarketGroupCount = 6;

// "肉禽蛋", "水产", "蔬菜", "豆制品", "调料", "其他".
QString MarketGroupName(TMarketGroup group);
// The longest word of the list in the name decides; of two as long, the later
// one, as a Chinese name ends in what the thing is (鸡精 is a seasoning, 菜籽油
// an oil).
TMarketGroup MarketGroupOf(QStringView name);
