#pragma once
// The generated pinyin table (tools/pinyingen); read through TPinyinTable.

namespace PinyinData {
struct TCharEntry {
    unsigned Code;
    unsigned First; // into ReadingIds
    unsigned Count;
};
struct TFoldEntry {
    unsigned From;
    unsigned To;
};
extern const int SyllableCount;
extern const char* const Syllables[]; // toneless, sorted
extern const int CharCount;
extern const TCharEntry Chars[]; // by code
extern const unsigned short ReadingIds[];
extern const int FoldCount;
extern const TFoldEntry Folds[]; // by From
} // namespace PinyinData
