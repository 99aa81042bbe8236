#pragma once
// Toneless pinyin readings and simplified forms of Han characters, taken from the
// Unicode Han database when the program is built.

#include <QLatin1StringView>
#include <cstdint>
#include <span>
#include <utility>

class TPinyinTable {
public:
    // Every reading of the character as syllable ids, none for a character without
    // one; "ü" is there both as "v" and as "u".
    static std::span<const unsigned short> Readings(char32_t c);
    // The simplified form of a traditional character; other characters unchanged.
    static char32_t Fold(char32_t c);
    static int SyllableCount();
    static QLatin1StringView Syllable(int id);
    // The ids of the syllables starting with the letter, as [first, last).
    static std::pair<int, int> SyllablesStartingWith(char letter);
};
