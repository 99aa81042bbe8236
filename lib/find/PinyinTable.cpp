#include "PinyinTable.h"

#include "PinyinData.h"

#include <algorithm>
#include <array>
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
// Measured once: the matcher asks for readings' syllables on every step it fills, and
// every keystroke for its first letter's.
struct TSyllables {
    std::vector<QLatin1StringView> Views;
    std::array<std::pair<int, int>, 26> ByLetter{};
};

const TSyllables& Syllables() {
    static const TSyllables syllables = [] {
        TSyllables t;
        t.Views.reserve(size_t(PinyinData::SyllableCount));
        for (int id = 0; id < PinyinData::SyllableCount; ++id)
            t.Views.emplace_back(PinyinData::Syllables[id]);
        for (char letter = 'a'; letter <= 'z'; ++letter) {
            const auto first =
                std::partition_point(t.Views.begin(), t.Views.end(), [&](QLatin1StringView s) {
                    return s.isEmpty() || s.front().toLatin1() < letter;
                });
            const auto last = std::partition_point(first, t.Views.end(), [&](QLatin1StringView s) {
                return !s.isEmpty() && s.front().toLatin1() == letter;
            });
            t.ByLetter[size_t(letter - 'a')] = {int(first - t.Views.begin()),
                                                int(last - t.Views.begin())};
        }
        return t;
    }();
    return syllables;
}
} // namespace

QLatin1StringView TPinyinTable::Syllable(int id) {
    const auto& views = Syllables().Views;
    if (id < 0 || size_t(id) >= views.size())
        return {};
    return views[size_t(id)];
}

std::pair<int, int> TPinyinTable::SyllablesStartingWith(char letter) {
    if (letter < 'a' || letter > 'z')
        return {0, 0};
    return Syllables().ByLetter[size_t(letter - 'a')];
}
