#pragma once
// What one import may unpack from all its archives together, and how much text one
// recipe may bring. The limits live here alone.
//
// A bomb is told by what it does, not by the size of a book: pictures hardly shrink
// when packed and a recipe's JSON shrinks a few times, while a bomb unpacks to a
// thousand times its packed bytes. So a member may unpack to anything up to its own
// bound, but past its first RatioFreeBytes only to Ratio times what it took from the
// archive; all members of the import together, past their first TotalRatioFreeBytes,
// only to TotalRatio times. A book of any size comes back; unpacking costs at most a
// fixed amount plus a multiple of the archive's own size.

#include "ImportTypes.h"

#include <QByteArrayView>
#include <QJsonValue>

struct TArchiveLimits {
    qint64 MemberBytes = MaxArchiveEntryBytes; // one member (or gzip stream) unpacked
    int Members = 1'000'000;                   // every member of every archive
    int Ratio = 100;                           // unpacked to packed, one member
    qint64 RatioFreeBytes = 32LL * 1024 * 1024;
    int TotalRatio = 20; // unpacked to packed, all members of the import
    qint64 TotalRatioFreeBytes = 256LL * 1024 * 1024;
    // Members a reader holds while it waits for the rest of their recipe, together.
    qint64 HeldBytes = 64LL * 1024 * 1024;
};

// Counts every archive member and unpacked byte of one import; raises EImportError
// naming the limit once one is passed.
class TImportBudget {
public:
    explicit TImportBudget(const TArchiveLimits& limits = {}) : FLimits(limits) {}
    void CountMember();
    // More bytes of the member being unpacked: `bytes` unpacked from `packed` bytes of
    // the archive, the member holding memberSoFar bytes from memberPacked with them.
    void CountBytes(qint64 bytes, qint64 packed, qint64 memberSoFar, qint64 memberPacked,
                    const QString& member);
    const TArchiveLimits& Limits() const { return FLimits; }
    qint64 Unpacked() const { return FUnpacked; }
    qint64 Packed() const { return FPacked; }
    int Members() const { return FMembers; }

private:
    TArchiveLimits FLimits;
    qint64 FUnpacked = 0;
    qint64 FPacked = 0;
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
// Whether parsed JSON of these bytes could hold anything CapJsonTexts cuts: a text
// past the bound or nesting past MaxJsonDepth. False spares parsed JSON the copy.
bool JsonMayNeedCapping(QByteArrayView json);
// The summary's note on a cut recipe.
QString RecipeCutNote();
