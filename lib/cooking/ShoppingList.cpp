#include "ShoppingList.h"

#include "Ingredient.h"

#include <QHash>
#include <algorithm>

namespace {
bool HasHan(QStringView text) {
    for (QChar c : text)
        if (c.unicode() >= 0x3400 && c.unicode() <= 0x9fff)
            return true;
    return false;
}

// One unit's sum for one ingredient.
struct TPart {
    QString Key;                 // the unit's key, or "mass"/"volume" across units
    const TUnit* Unit = nullptr; // the unit written; for mass and volume the first one
    QString UnitText;            // as first written
    bool MixedUnits = false;     // mass or volume written in several units
    double Low = 0;              // in the unit, or in grams / millilitres when mixed
    double High = 0;
};

struct TEntry {
    QString Name;
    TMarketGroup Group = TMarketGroup::Other;
    bool Chinese = false;
    std::vector<TPart> Parts;
    QString Vague; // the first words standing for an amount
    int Order = 0;
};

void Add(TEntry& entry, const TAmount& a, double factor) {
    const TUnit& unit = *a.Unit;
    const bool measured =
        (unit.Family == TUnitFamily::Mass || unit.Family == TUnitFamily::Volume) && unit.Base > 0;
    const QString key = measured ? (unit.Family == TUnitFamily::Mass ? QStringLiteral("mass")
                                                                     : QStringLiteral("volume"))
                                 : unit.Key.toString();
    auto part = std::find_if(entry.Parts.begin(), entry.Parts.end(),
                             [&](const TPart& p) { return p.Key == key; });
    if (part == entry.Parts.end()) {
        entry.Parts.push_back({key, &unit, a.UnitText});
        part = entry.Parts.end() - 1;
    }
    double low = a.Low * factor, high = a.High * factor;
    if (measured) {
        if (!part->MixedUnits && part->Unit->Key != unit.Key) {
            part->MixedUnits = true;
            part->Low *= part->Unit->Base;
            part->High *= part->Unit->Base;
        }
        if (part->MixedUnits) {
            low *= unit.Base;
            high *= unit.Base;
        }
    }
    part->Low += low;
    part->High += high;
}

QString PartText(const TPart& part, bool chinese) {
    const TUnit* unit = part.Unit;
    QString unitText = part.UnitText;
    if (part.MixedUnits) {
        const bool mass = part.Key == u"mass";
        unit = UnitByKey(mass ? u"g" : u"ml");
        unitText = chinese ? (mass ? QStringLiteral("克") : QStringLiteral("毫升"))
                           : (mass ? QStringLiteral("g") : QStringLiteral("ml"));
    }
    QString text = AmountText(part.Low, *unit);
    if (part.High > part.Low + 1e-9) {
        const QString high = AmountText(part.High, *unit);
        if (high != text)
            text += u'-' + high;
    }
    if (unitText.isEmpty())
        return text;
    const bool latin = unitText[0].unicode() < 128;
    return text + (latin ? QStringLiteral(" ") : QString()) + unitText;
}
} // namespace

std::vector<TShoppingItem> MakeShoppingList(const std::vector<TShoppingRecipe>& recipes) {
    std::vector<TEntry> entries;
    QHash<QString, size_t> byName;
    for (const TShoppingRecipe& recipe : recipes) {
        for (QStringView line : QStringView(recipe.Ingredients).tokenize(u'\n')) {
            const TIngredient ing = ReadIngredient(line);
            if (ing.Kind == TLineKind::Empty || ing.Kind == TLineKind::Heading ||
                ing.Name.isEmpty())
                continue;
            const QString key = NameKey(ing.Name);
            auto found = byName.constFind(key);
            size_t at;
            if (found == byName.cend()) {
                at = entries.size();
                byName.insert(key, at);
                entries.push_back(
                    {ing.Name, MarketGroupOf(ing.Name), HasHan(ing.Text), {}, {}, int(at)});
            } else {
                at = *found;
            }
            TEntry& entry = entries[at];
            if (ing.Kind == TLineKind::Amount)
                Add(entry, ing.Amount, recipe.Factor > 0 ? recipe.Factor : 1);
            else if (entry.Vague.isEmpty())
                entry.Vague = ing.Vague;
        }
    }
    for (TEntry& entry : entries) {
        // "鸡蛋 3" beside "鸡蛋 2个": the bare count is of the same things
        auto bare = std::find_if(entry.Parts.begin(), entry.Parts.end(),
                                 [](const TPart& p) { return p.Key.isEmpty(); });
        if (bare == entry.Parts.end())
            continue;
        TPart* only = nullptr;
        int pieces = 0;
        for (TPart& p : entry.Parts)
            if (!p.Key.isEmpty() && p.Unit->Family == TUnitFamily::Piece) {
                only = &p;
                ++pieces;
            }
        if (pieces == 1) {
            only->Low += bare->Low;
            only->High += bare->High;
            entry.Parts.erase(bare);
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TEntry& a, const TEntry& b) { return int(a.Group) < int(b.Group); });
    std::vector<TShoppingItem> items;
    items.reserve(entries.size());
    for (const TEntry& entry : entries) {
        QStringList parts;
        for (const TPart& p : entry.Parts)
            parts.append(PartText(p, entry.Chinese));
        if (!entry.Vague.isEmpty())
            parts.append(entry.Vague);
        items.push_back({entry.Name, parts.join(QStringLiteral(" + ")), entry.Group});
    }
    return items;
}

QString ShoppingText(const std::vector<TShoppingItem>& items, const QStringList& dishes) {
    QString text = QStringLiteral("购物清单");
    if (!dishes.isEmpty())
        text += QStringLiteral("：") + dishes.join(QStringLiteral("、"));
    int group = -1;
    for (const TShoppingItem& item : items) {
        if (int(item.Group) != group) {
            group = int(item.Group);
            text += QStringLiteral("\n【") + MarketGroupName(item.Group) + QStringLiteral("】");
        }
        text += u'\n' + item.Name;
        if (!item.Amount.isEmpty())
            text += u' ' + item.Amount;
    }
    return text;
}
