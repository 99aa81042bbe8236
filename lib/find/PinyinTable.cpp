#include "PinyinTable.h"

#include "PinyinData.h"

#include <algorithm>

std::span<const unsigned short> TPinyinTable::Readings(char32_t c) {
    const auto* end = PinyinData::Chars + PinyinData::CharCount;
    const auto* it = std::lower_bound(
        PinyinData::Chars, end, c,
        [](const PinyinData::TCharEntry& e, char32_t code) { return e.Code < code; });
    if (it == end || it->Code != c)
        return {};
    return {PinyinData::ReadingIds + it->First, it->Count};
}

char32_t TPinyinTable::Fold(char32_t c) {
    const auto* end = PinyinData::Folds + PinyinData::FoldCount;
    const auto* it = std::lower_bound(
        PinyinData::Folds, end, c,
        [](const PinyinData::TFoldEntry& e, char32_t code) { return e.From < code; });
    return it != end && it->From == c ? char32_t(it->To) : c;
}

int TPinyinTable::SyllableCount() {
    return PinyinData::SyllableCount;
}

QLatin1StringView TPinyinTable::Syllable(int id) {
    if (id < 0 || id >= PinyinData::SyllableCount)
        return {};
    return QLatin1StringView(PinyinData::Syllables[id]);
}
