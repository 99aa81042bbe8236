#pragma once
// What one import may unpack from all its archives together, and how much text one
// recipe may bring. The limits live here alone: a different rule for archives (a
// ratio of unpacked to packed bytes, say) changes only this unit.

#include "ImportTypes.h"

#include <QJsonValue>

struct TArchiveLimits {
    qint64 MemberBytes = MaxArchiveEntryBytes; // one member (or gzip stream) unpacked
    qint64 TotalBytes = MaxArchiveTotalBytes;  // every member of every archive
    int Members = MaxArchiveEntries;           // every member of every archive
};

// Counts every archive member and unpacked byte of one import; raises EImportError
// naming the limit once one is passed.
class TImportBudget {
public:
    explicit TImportBudget(const TArchiveLimits& limits = {}) : FLimits(limits) {}
    void CountMember();
    // More bytes of the member being unpacked, which holds memberSoFar bytes with them.
    void CountBytes(qint64 bytes, qint64 memberSoFar, const QString& member);
    const TArchiveLimits& Limits() const { return FLimits; }
    qint64 Unpacked() const { return FUnpacked; }
    int Members() const { return FMembers; }

private:
    TArchiveLimits FLimits;
    qint64 FUnpacked = 0;
    int FMembers = 0;
};

// Most characters one text of a recipe keeps (its name, its ingredients, its steps,
// its description...); no real recipe comes near.
inline constexpr qsizetype MaxRecipeFieldChars = 1'000'000;
// The text, cut at the bound when it is longer; `cut` is set when it was.
QString CapRecipeText(QString text, bool& cut);
// Cuts every text of the recipe to the bound; true when any was cut.
bool CapRecipeTexts(TImportedRecipe& recipe);
// Cuts the strings of parsed JSON before they are turned into text (each to the
// bound, and all of one array or object together to a few times it), so that a
// recipe.json of millions of characters costs no more than one within the bounds.
// `keep` names keys whose values stay whole (a picture's base64 data). True when any was cut.
bool CapJsonTexts(QJsonValue& value, const QStringList& keep = {});
// The summary's note on a cut recipe.
QString RecipeCutNote();
