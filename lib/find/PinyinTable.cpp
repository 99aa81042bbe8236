#include "PinyinTable.h"

#include "PinyinData.h"

#include <algorithm>
#include <vector>

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

namespace {
// Measured once: the matcher asks for readings' syllables on every step it fills.
const std::vector<QLatin1StringView>& Views() {
    static const std::vector<QLatin1StringView> views = [] {
        std::vector<QLatin1StringView> v;
        v.reserve(size_t(PinyinData::SyllableCount));
        for (int id = 0; id < PinyinData::SyllableCount; ++id)
            v.emplace_back(PinyinData::Syllables[id]);
        return v;
    }();
    return views;
}
} // namespace

QLatin1StringView TPinyinTable::Syllable(int id) {
    const auto& views = Views();
    if (id < 0 || size_t(id) >= views.size())
        return {};
    return views[size_t(id)];
}

std::pair<int, int> TPinyinTable::SyllablesStartingWith(char letter) {
    const auto& views = Views();
    const auto first = std::partition_point(views.begin(), views.end(), [&](QLatin1StringView s) {
        return s.isEmpty() || s.front().toLatin1() < letter;
    });
    const auto last = std::partition_point(first, views.end(), [&](QLatin1StringView s) {
        return !s.isEmpty() && s.front().toLatin1() == letter;
    });
    return {int(first - views.begin()), int(last - views.begin())};
}
