#include "SuggestIndex.h"

#include "PinyinTable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <unordered_map>

namespace {

constexpr uint32_t None = 0xFFFFFFFFu;
// A posting is slot << 8 | position; later positions are matched but not posted.
constexpr int MaxPostedPos = 255;
constexpr uint32_t MaxSlots = 1u << 24;

// Decodes UTF-16 one code point at a time; a lone surrogate stands for itself.
class TCodePoints {
public:
    explicit TCodePoints(QStringView s) : S(s) {}
    bool Next(char32_t& c) {
        if (I >= S.size())
            return false;
        const char16_t a = S[I++].unicode();
        if (QChar::isHighSurrogate(a) && I < S.size() && QChar::isLowSurrogate(S[I].unicode())) {
            c = QChar::surrogateToUcs4(a, S[I++].unicode());
            return true;
        }
        c = a;
        return true;
    }

private:
    QStringView S;
    qsizetype I = 0;
};

// Unit of every BMP character, made once: the fold table is a binary search.
const std::array<char32_t, 65536>& BmpUnits() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<char32_t, 65536>>();
        for (char32_t c = 0; c < 65536; ++c) {
            if (c >= u'A' && c <= u'Z')
                (*t)[c] = c + 32;
            else if (c == 0x00FC || c == 0x00DC) // ü, Ü
                (*t)[c] = u'v';
            else
                (*t)[c] = TPinyinTable::Fold(c);
        }
        return t;
    }();
    return *table;
}

bool IsLetter(char32_t u) {
    return u >= u'a' && u <= u'z';
}

// Whether the text holds the units in a row, compared as units; `all` is scratch.
bool ContainsUnits(QStringView text, const std::vector<char32_t>& units,
                   std::vector<char32_t>& all) {
    const auto& bmp = BmpUnits();
    all.clear();
    TCodePoints points(text);
    char32_t c = 0;
    while (points.Next(c))
        all.push_back(c < 65536 ? bmp[c] : TPinyinTable::Fold(c));
    return std::search(all.begin(), all.end(), units.begin(), units.end()) != all.end();
}

uint64_t Bit(int n) {
    return uint64_t(1) << n;
}

// Code -> index; the BMP in a flat array, the rest in a hash.
class TCodeMap {
public:
    uint32_t Find(char32_t c) const {
        if (c < 65536)
            return FBmp.empty() ? None : FBmp[c];
        const auto it = FRest.find(c);
        return it == FRest.end() ? None : it->second;
    }
    uint32_t& Slot(char32_t c) {
        if (c < 65536) {
            if (FBmp.empty())
                FBmp.assign(65536, None);
            return FBmp[c];
        }
        return FRest.try_emplace(c, None).first->second;
    }
    size_t Bytes() const { return FBmp.capacity() * 4 + FRest.size() * 32; }

private:
    std::vector<uint32_t> FBmp;
    std::unordered_map<char32_t, uint32_t> FRest;
};

// A set of slots: sorted while sparse, a bitmap once dense.
struct TSlotSet {
    std::vector<uint32_t> Sparse;
    std::vector<uint64_t> Bits;
    bool Dense = false;
    size_t Size = 0; // members, stale ones included

    bool Contains(uint32_t slot) const {
        if (Dense)
            return slot / 64 < Bits.size() && (Bits[slot / 64] >> (slot % 64)) & 1;
        return std::binary_search(Sparse.begin(), Sparse.end(), slot);
    }
    void Add(uint32_t slot, size_t denseAt) {
        if (Dense) {
            if (slot / 64 >= Bits.size())
                Bits.resize(slot / 64 + 1 + Bits.size() / 8);
            Size += !((Bits[slot / 64] >> (slot % 64)) & 1);
            Bits[slot / 64] |= Bit(slot % 64);
            return;
        }
        if (Sparse.empty() || Sparse.back() < slot) {
            Sparse.push_back(slot); // the common case: a new recipe
        } else {
            const auto at = std::lower_bound(Sparse.begin(), Sparse.end(), slot);
            if (at != Sparse.end() && *at == slot)
                return;
            Sparse.insert(at, slot);
        }
        ++Size;
        if (Sparse.size() >= denseAt) {
            Bits.assign(Sparse.back() / 64 + 1, 0);
            for (uint32_t s : Sparse)
                Bits[s / 64] |= Bit(s % 64);
            Sparse = {};
            Dense = true;
        }
    }
    template <class F> void ForEach(F&& f) const {
        if (!Dense) {
            for (uint32_t s : Sparse)
                if (!f(s))
                    return;
            return;
        }
        for (size_t w = 0; w < Bits.size(); ++w)
            for (uint64_t b = Bits[w]; b; b &= b - 1)
                if (!f(uint32_t(w * 64 + size_t(std::countr_zero(b)))))
                    return;
    }
    size_t Bytes() const { return Sparse.capacity() * 4 + Bits.capacity() * 8 + sizeof(*this); }
};

// Which pairs of neighbouring characters an ingredients text holds, as 1,024 hashed
// bits: most recipes that have every typed character but not in a row fail here,
// before their text is looked at. Kept as one bitmap over the slots per bit, so a
// query ands the few bitmaps of its pairs with its characters' sets word by word.
constexpr int PairBitCount = 1024;
using TPairBits = std::array<uint64_t, PairBitCount / 64>;

int PairBit(char32_t a, char32_t b) {
    return int(((uint32_t(a) * 0x9E3779B1u) ^ (uint32_t(b) * 0x85EBCA77u)) >>
               (32 - std::countr_zero(unsigned(PairBitCount))));
}

// Past this many characters a text sets over a tenth of those bits, so its pairs are
// also kept in bits of its own, eight per character and two per pair: a candidate
// whose text lacks a typed pair is then mostly dropped without reading the text.
constexpr qsizetype LongIngredients = 128;

uint64_t LongPairHash(char32_t a, char32_t b) {
    uint64_t h = (uint64_t(a) << 32 | b) * 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

// The two bits of a pair's hash in a filter of `words` words.
template <class F> void ForLongPairBits(uint64_t hash, uint32_t words, F&& f) {
    const uint64_t bits = uint64_t(words) * 64;
    f(size_t(((hash & 0xFFFFFFFFu) * bits) >> 32));
    f(size_t(((hash >> 32) * bits) >> 32));
}

// A name position under one key, with the two characters after it (None past the
// name's end): most postings fail on those, so they are dropped without a look at
// the name itself.
struct TPosting {
    uint32_t Entry;   // slot << 8 | position
    uint32_t Next[2]; // char info
};

// Postings in bands: names matched at their start before those matched inside,
// each by name length, then by slot and position. A query walks all its lists band
// by band and stops at the first band that completes its suggestions. Between
// BeginBulk and EndBulk only Items grows.
struct TBandList {
    std::vector<TPosting> Items;
    std::vector<std::pair<uint32_t, uint32_t>> Bands; // BandKey, first item

    static uint32_t BandKey(int pos, uint16_t length) { return uint32_t(pos > 0) << 16 | length; }
    size_t End(size_t band) const {
        return band + 1 < Bands.size() ? Bands[band + 1].second : Items.size();
    }
    size_t BandOf(uint32_t key) const {
        return size_t(std::lower_bound(Bands.begin(), Bands.end(), std::make_pair(key, 0u)) -
                      Bands.begin());
    }
    void Insert(const TPosting& p, uint32_t key) {
        size_t band = BandOf(key);
        if (band == Bands.size() || Bands[band].first != key)
            Bands.insert(Bands.begin() + ptrdiff_t(band),
                         {key, uint32_t(band < Bands.size() ? Bands[band].second : Items.size())});
        const auto first = Items.begin() + Bands[band].second;
        const auto at = std::upper_bound(
            first, Items.begin() + ptrdiff_t(End(band)), p,
            [](const TPosting& a, const TPosting& b) { return a.Entry < b.Entry; });
        Items.insert(at, p);
        for (size_t b = band + 1; b < Bands.size(); ++b)
            ++Bands[b].second;
    }
    void Erase(uint32_t entry, uint32_t key) {
        const size_t band = BandOf(key);
        if (band == Bands.size() || Bands[band].first != key)
            return;
        const auto first = Items.begin() + Bands[band].second;
        const auto last = Items.begin() + ptrdiff_t(End(band));
        const auto at = std::lower_bound(first, last, entry,
                                         [](const TPosting& a, uint32_t e) { return a.Entry < e; });
        if (at == last || at->Entry != entry)
            return;
        Items.erase(at);
        for (size_t b = band + 1; b < Bands.size(); ++b)
            --Bands[b].second;
        if (Bands[band].second == End(band))
            Bands.erase(Bands.begin() + ptrdiff_t(band));
    }
    size_t Bytes() const {
        return sizeof(*this) + Items.capacity() * sizeof(TPosting) +
               Bands.capacity() * sizeof(Bands[0]);
    }
};

// What the character after a posting is found by in a list's buckets: the initial
// of each of its readings, or, having none, its unit; EndKey past the name's end.
constexpr char32_t EndKey = 0x110000;

struct TCharInfo {
    char32_t Unit = 0;
    uint32_t Initials = 0; // bit n: a reading starts with 'a' + n
    const unsigned short* Readings = nullptr;
    uint32_t ReadingCount = 0;
};

struct TSlot {
    qint64 RowId = -1;
    uint32_t NameOff = 0;
    uint32_t UnitOff = 0;
    uint16_t NameLen = 0;
    uint16_t UnitLen = 0;
    bool Alive = false;
};

// A slot's long ingredients' own pair bits.
struct TLongBits {
    uint32_t Slot = 0;
    uint32_t Off = 0; // in TData::LongPairs
    uint32_t Words = 0;
};

// The matcher's steps per character and typed position, kept by the thread from
// keystroke to keystroke with only the entries a keystroke filled cleared after it:
// clearing all cost more than most keystrokes' walks on a book of a few thousand
// distinct characters. Bit 0 marks an entry not yet known (no step has it).
class TStepMemo {
public:
    static constexpr size_t MaxEntries = size_t(1) << 18;

    // A keystroke over `chars` characters and `units` typed units; off when too large.
    void Begin(size_t chars, int units) {
        for (uint32_t i : Filled)
            Entries[i] = 1;
        Filled.clear();
        const size_t n = chars * size_t(units);
        Width = n <= MaxEntries ? size_t(units) : 0;
        if (Width && Entries.size() < n)
            Entries.resize(n, 1);
    }
    // Character ci's entries by typed position, or null when off.
    uint64_t* Row(uint32_t ci) { return Width ? Entries.data() + size_t(ci) * Width : nullptr; }
    // Out of line, and Step inlined: the walk's loop stays as tight as with a plain
    // table (measured 10-30 % slower otherwise).
    [[gnu::noinline]] uint64_t Fill(uint64_t& entry, uint64_t value) {
        entry = value;
        Filled.push_back(uint32_t(&entry - Entries.data()));
        return value;
    }

private:
    std::vector<uint64_t> Entries;
    std::vector<uint32_t> Filled;
    size_t Width = 0;
};

// The typed text as units, with the syllables' letters at hand.
struct TTyped {
    std::vector<char32_t> Units;
    int L = 0;
    bool HasLetter = false;
};

// A list being walked from the states its first character left.
struct TCursor {
    const TBandList* List;
    uint64_t States;
    size_t Band;
};
struct THead {
    uint32_t Entry;
    uint32_t Cursor;
};
struct TWalk {
    const TPosting* At;
    const TPosting* End;
};

// A keystroke's working lists and the matcher's steps, kept by the thread: a short
// keystroke's allocations cost as much as its walk.
struct TScratch {
    TStepMemo Memo;
    TTyped Typed;
    std::vector<uint32_t> Found;
    std::vector<TCursor> Cursors;
    std::vector<std::pair<char32_t, uint64_t>> NextKeys; // key, a state it goes on from
    std::vector<TWalk> Walks;
    std::vector<THead> Heads;

    void Clear() {
        Typed.Units.clear();
        Typed.L = 0;
        Typed.HasLetter = false;
        Found.clear();
        Cursors.clear();
        NextKeys.clear();
        Walks.clear();
        Heads.clear();
    }
};

} // namespace

struct TSuggestIndex::TData {
    std::vector<TSlot> Slots;
    std::vector<std::pair<qint64, uint32_t>> ById; // sorted by row id
    std::vector<char16_t> Names;
    std::vector<uint32_t> Units; // char info per name position
    std::vector<TCharInfo> Chars;
    TCodeMap CharOf; // original code -> char info
    // A name position is posted under each way a match can begin there (its unit,
    // each reading's syllable: the "first" keys), split into buckets by the key of
    // the character after it, so a query walks only the postings whose next
    // character can take the next piece of what is typed.
    TCodeMap UnitKey;                                // unit -> first
    std::vector<uint32_t> SyllableKey;               // syllable id -> first
    std::vector<std::vector<uint32_t>> FirstBuckets; // first -> its buckets
    // first -> bucket by a letter (nearly every key); by any other key in the hash.
    std::vector<std::array<uint32_t, 26>> LetterBuckets;
    std::unordered_map<uint64_t, uint32_t> OtherBuckets; // first << 32 | next key -> bucket
    std::vector<TBandList> Buckets;
    // first -> its first HeadSize names in the order a keystroke takes them across
    // all its buckets, each name once: a keystroke its first character completes
    // takes these instead of opening every bucket (a single letter's two hundred).
    static constexpr size_t HeadSize = size_t(TSuggestIndex::MaxSuggestions);
    std::vector<TBandList> Heads;
    std::vector<uint32_t> Touched; // first keys whose buckets a change touched
    // Per unit, the initials of the characters of that unit (either script).
    TCodeMap UnitInitialsKey;
    std::vector<uint32_t> UnitInitials;
    std::vector<TSlotSet> IngredientSets;
    std::vector<uint32_t> IngredientStamp;                       // last slot added, per set
    std::vector<std::vector<uint64_t>> PairSlices{PairBitCount}; // per bit, over slots
    std::vector<uint64_t> LongPairs;                             // TLongBits::Off on
    std::vector<TLongBits> Longs; // by slot: a query meets its candidates in that order
    TCodeMap IngredientKey;
    qsizetype Alive = 0;
    bool Bulk = false;
    size_t Expected = 0;

    uint32_t CharInfo(char32_t c) {
        uint32_t& index = CharOf.Slot(c);
        if (index == None) {
            TCharInfo info;
            info.Unit = SuggestUnit(c);
            auto readings = TPinyinTable::Readings(c);
            if (readings.empty())
                readings = TPinyinTable::Readings(info.Unit);
            info.Readings = readings.data();
            info.ReadingCount = uint32_t(readings.size());
            for (unsigned short id : readings) {
                const QLatin1StringView syllable = TPinyinTable::Syllable(id);
                if (!syllable.isEmpty() && IsLetter(char32_t(syllable.front().unicode())))
                    info.Initials |= 1u << (syllable.front().unicode() - u'a');
            }
            uint32_t& unit = UnitInitialsKey.Slot(info.Unit);
            if (unit == None) {
                unit = uint32_t(UnitInitials.size());
                UnitInitials.push_back(0);
            }
            UnitInitials[unit] |= info.Initials;
            index = uint32_t(Chars.size());
            Chars.push_back(info);
        }
        return index;
    }

    size_t DenseAt() const { return std::max<size_t>(256, std::max(Expected, Slots.size()) / 32); }

    uint32_t FirstOf(uint32_t& index) {
        if (index == None) {
            index = uint32_t(FirstBuckets.size());
            FirstBuckets.emplace_back();
            LetterBuckets.emplace_back();
            LetterBuckets.back().fill(None);
        }
        return index;
    }

    // The first keys of a name position: its unit's and each reading's.
    template <class F> void FirstsOf(const TCharInfo& info, F&& f) {
        f(FirstOf(UnitKey.Slot(info.Unit)));
        if (SyllableKey.empty())
            SyllableKey.assign(size_t(TPinyinTable::SyllableCount()), None);
        for (uint32_t r = 0; r < info.ReadingCount; ++r)
            if (info.Readings[r] < SyllableKey.size())
                f(FirstOf(SyllableKey[info.Readings[r]]));
    }

    // The keys a following character is found by.
    template <class F> static void NextKeysOf(const TCharInfo* info, F&& f) {
        if (!info)
            return f(EndKey);
        if (!info->Initials)
            return f(info->Unit);
        for (uint32_t b = info->Initials; b; b &= b - 1)
            f(char32_t(u'a' + std::countr_zero(b)));
        // A letter with readings is found by itself too (a query steps from a
        // letter only in that letter's bucket).
        if (IsLetter(info->Unit) && !(info->Initials >> (info->Unit - u'a') & 1))
            f(info->Unit);
    }

    TBandList& Bucket(uint32_t first, char32_t next) {
        uint32_t* index = nullptr;
        if (IsLetter(next))
            index = &LetterBuckets[first][next - u'a'];
        else
            index = &OtherBuckets.try_emplace(uint64_t(first) << 32 | next, None).first->second;
        if (*index == None) {
            *index = uint32_t(Buckets.size());
            Buckets.emplace_back();
            FirstBuckets[first].push_back(*index);
        }
        return Buckets[*index];
    }

    const TBandList* FindBucket(uint32_t first, char32_t next) const {
        uint32_t index = None;
        if (IsLetter(next)) {
            index = LetterBuckets[first][next - u'a'];
        } else if (const auto it = OtherBuckets.find(uint64_t(first) << 32 | next);
                   it != OtherBuckets.end()) {
            index = it->second;
        }
        return index == None ? nullptr : &Buckets[index];
    }

    // Each posting of a name: under every first key of each of its first
    // MaxPostedPos characters, in the bucket of each key of the character after it.
    template <class F> void ForEachPosting(uint32_t slot, F f) {
        const TSlot& s = Slots[slot];
        const int n = std::min<int>(s.UnitLen, MaxPostedPos);
        auto at = [&](int i) {
            return i < s.UnitLen ? Units[s.UnitOff + size_t(i)] : None;
        };
        for (int pos = 0; pos < n; ++pos) {
            const TPosting posting{slot << 8 | uint32_t(pos), {at(pos + 1), at(pos + 2)}};
            const TCharInfo* next = posting.Next[0] == None ? nullptr : &Chars[posting.Next[0]];
            const uint32_t key = TBandList::BandKey(pos, s.NameLen);
            FirstsOf(Chars[Units[s.UnitOff + size_t(pos)]], [&](uint32_t first) {
                NextKeysOf(next, [&](char32_t nextKey) {
                    f(first, Bucket(first, nextKey), key, posting);
                });
            });
        }
    }

    void PostName(uint32_t slot) {
        ForEachPosting(slot,
                       [&](uint32_t first, TBandList& list, uint32_t key, const TPosting& posting) {
                           if (Bulk) {
                               list.Items.push_back(posting);
                               return;
                           }
                           list.Insert(posting, key);
                           if (first >= Heads.size() || Ranks(Heads[first], key, posting.Entry))
                               Touched.push_back(first);
                       });
    }

    void UnpostName(uint32_t slot) {
        ForEachPosting(
            slot, [&](uint32_t first, TBandList& list, uint32_t key, const TPosting& posting) {
                if (!Bulk) {
                    list.Erase(posting.Entry, key);
                    if (first >= Heads.size() || Holds(Heads[first], posting.Entry >> 8))
                        Touched.push_back(first);
                    return;
                }
                const auto it =
                    std::find_if(list.Items.begin(), list.Items.end(),
                                 [&](const TPosting& p) { return p.Entry == posting.Entry; });
                if (it != list.Items.end())
                    list.Items.erase(it);
            });
    }

    // First key `first`'s head: band by band, each bucket's first names of the band
    // that are not yet taken, merged by entry, until HeadSize names are taken.
    void MakeHead(uint32_t first) {
        TBandList& head = Heads[first];
        head.Items.clear();
        head.Bands.clear();
        const std::vector<uint32_t>& buckets = FirstBuckets[first];
        std::vector<size_t> band(buckets.size(), 0);
        std::vector<uint32_t> taken;
        std::vector<TPosting> collected;
        auto isTaken = [&](uint32_t slot) {
            return std::find(taken.begin(), taken.end(), slot) != taken.end();
        };
        while (taken.size() < HeadSize) {
            uint32_t key = None;
            for (size_t i = 0; i < buckets.size(); ++i) {
                const TBandList& list = Buckets[buckets[i]];
                if (band[i] < list.Bands.size())
                    key = std::min(key, list.Bands[band[i]].first);
            }
            if (key == None)
                break;
            const size_t wanted = HeadSize - taken.size();
            collected.clear();
            for (size_t i = 0; i < buckets.size(); ++i) {
                const TBandList& list = Buckets[buckets[i]];
                if (band[i] == list.Bands.size() || list.Bands[band[i]].first != key)
                    continue;
                size_t got = 0;
                uint32_t last = None;
                for (size_t k = list.Bands[band[i]].second, end = list.End(band[i]);
                     k < end && got < wanted; ++k) {
                    const uint32_t slot = list.Items[k].Entry >> 8;
                    if (slot == last || isTaken(slot))
                        continue;
                    collected.push_back(list.Items[k]);
                    last = slot;
                    ++got;
                }
                ++band[i];
            }
            std::sort(collected.begin(), collected.end(),
                      [](const TPosting& a, const TPosting& b) { return a.Entry < b.Entry; });
            const size_t before = head.Items.size();
            for (const TPosting& p : collected)
                if (taken.size() < HeadSize && !isTaken(p.Entry >> 8)) {
                    taken.push_back(p.Entry >> 8);
                    head.Items.push_back(p);
                }
            if (head.Items.size() > before)
                head.Bands.push_back({key, uint32_t(before)});
        }
    }

    // Whether a posting put in band `key` would be among the head's names: it is not
    // full, or the posting comes before its last.
    static bool Ranks(const TBandList& head, uint32_t key, uint32_t entry) {
        if (head.Items.size() < HeadSize || head.Bands.empty())
            return true;
        const uint32_t lastKey = head.Bands.back().first;
        return key < lastKey || (key == lastKey && entry < head.Items.back().Entry);
    }
    static bool Holds(const TBandList& head, uint32_t slot) {
        return std::any_of(head.Items.begin(), head.Items.end(),
                           [&](const TPosting& p) { return p.Entry >> 8 == slot; });
    }

    // After a change outside a bulk: the heads of the first keys it reached.
    void RemakeHeads() {
        if (Heads.size() < FirstBuckets.size())
            Heads.resize(FirstBuckets.size());
        std::sort(Touched.begin(), Touched.end());
        Touched.erase(std::unique(Touched.begin(), Touched.end()), Touched.end());
        for (uint32_t first : Touched)
            MakeHead(first);
        Touched.clear();
    }

    void PostIngredients(uint32_t slot, QStringView ingredients, bool again) {
        const auto& bmp = BmpUnits();
        const size_t word = slot / 64;
        if (again)
            for (auto& slice : PairSlices)
                if (word < slice.size())
                    slice[word] &= ~Bit(slot % 64);
        TPairBits pairs = {};
        uint32_t ownWords = 0;
        uint64_t* own = LongBits(slot, ingredients.size(), ownWords);
        TCodePoints points(ingredients);
        char32_t c = 0, before = 0;
        while (points.Next(c)) {
            const char32_t u = c < 65536 ? bmp[c] : SuggestUnit(c);
            const int bit = PairBit(before, u);
            pairs[size_t(bit) / 64] |= Bit(bit % 64);
            if (own)
                ForLongPairBits(LongPairHash(before, u), ownWords,
                                [&](size_t b) { own[b / 64] |= Bit(int(b % 64)); });
            before = u;
            if (u <= u' ' || IsLetter(u))
                continue; // never looked for in ingredients
            uint32_t& index = IngredientKey.Slot(u);
            if (index == None) {
                index = uint32_t(IngredientSets.size());
                IngredientSets.emplace_back();
                IngredientStamp.push_back(None);
            }
            if (IngredientStamp[index] == slot)
                continue;
            IngredientStamp[index] = slot;
            IngredientSets[index].Add(slot, DenseAt());
        }
        for (size_t w = 0; w < pairs.size(); ++w)
            for (uint64_t b = pairs[w]; b; b &= b - 1) {
                auto& slice = PairSlices[w * 64 + size_t(std::countr_zero(b))];
                if (slice.size() <= word)
                    slice.resize(std::max(word + 1, (std::max(Expected, Slots.size()) + 63) / 64));
                slice[word] |= Bit(slot % 64);
            }
    }

    // The slot's own pair bits, cleared, when its ingredients are long; else null.
    // Put again with as many words, it keeps its place.
    uint64_t* LongBits(uint32_t slot, qsizetype length, uint32_t& words) {
        const uint64_t wanted = (uint64_t(length) * 8 + 63) / 64;
        auto at = std::lower_bound(Longs.begin(), Longs.end(), slot,
                                   [](const TLongBits& l, uint32_t s) { return l.Slot < s; });
        const bool had = at != Longs.end() && at->Slot == slot;
        if (length <= LongIngredients || LongPairs.size() + wanted > None) {
            // Short, or past 32 GiB of them: the shared bits alone tell.
            if (had)
                Longs.erase(at);
            return nullptr;
        }
        if (!had)
            at = Longs.insert(at, {slot, 0, 0});
        if (at->Words != wanted) {
            at->Off = uint32_t(LongPairs.size());
            at->Words = uint32_t(wanted);
            LongPairs.resize(LongPairs.size() + wanted);
        }
        words = at->Words;
        uint64_t* bits = LongPairs.data() + at->Off;
        std::fill(bits, bits + words, 0);
        return bits;
    }

    // Next states after name character `c` from query position p: c taken as the
    // typed character itself, or as a non-empty prefix of one of its readings.
    static uint64_t Next(const TCharInfo& c, int p, const TTyped& q) {
        uint64_t r = c.Unit == q.Units[size_t(p)] ? Bit(p + 1) : 0;
        if (!IsLetter(q.Units[size_t(p)]))
            return r;
        for (uint32_t i = 0; i < c.ReadingCount; ++i) {
            const QLatin1StringView s = TPinyinTable::Syllable(c.Readings[i]);
            int k = 0;
            while (k < s.size() && p + k < q.L &&
                   q.Units[size_t(p + k)] == char32_t(s[k].unicode()))
                ++k;
            if (k > 0)
                r |= (Bit(k) - 1) << (p + 1);
        }
        return r;
    }

    // The states after name character `ci` from `states` (each below q.L).
    [[gnu::always_inline]] uint64_t Step(uint32_t ci, uint64_t states, const TTyped& q,
                                         TStepMemo& memo) const {
        uint64_t next = 0;
        uint64_t* const row = memo.Row(ci);
        for (uint64_t b = states; b; b &= b - 1) {
            const int p = std::countr_zero(b);
            if (!row) {
                next |= Next(Chars[ci], p, q);
                continue;
            }
            const uint64_t m = row[p];
            next |= (m & 1) ? memo.Fill(row[p], Next(Chars[ci], p, q)) : m;
        }
        return next;
    }

    bool MatchAt(const TSlot& s, int pos, const TTyped& q, TStepMemo& memo) const {
        uint64_t states = 1;
        for (int i = pos; i < s.UnitLen; ++i) {
            const uint64_t next = Step(Units[s.UnitOff + size_t(i)], states, q, memo);
            if (next & Bit(q.L))
                return true;
            if (!next)
                return false;
            states = next;
        }
        return false;
    }

    QString NameOf(const TSlot& s) const {
        return QString(reinterpret_cast<const QChar*>(Names.data() + s.NameOff), s.NameLen);
    }
};

char32_t SuggestUnit(char32_t c) {
    if (c < 65536)
        return BmpUnits()[c];
    return TPinyinTable::Fold(c);
}

bool IsSkippedInName(char32_t c) {
    return c <= u' ' || c == 0x3000 || c == u'\'' || c == 0x2018 || c == 0x2019 || c == 0xFF07;
}

TSuggestIndex::TSuggestIndex() : D(std::make_unique<TData>()) {}
TSuggestIndex::~TSuggestIndex() = default;
TSuggestIndex::TSuggestIndex(TSuggestIndex&&) noexcept = default;
TSuggestIndex& TSuggestIndex::operator=(TSuggestIndex&&) noexcept = default;

void TSuggestIndex::Put(qint64 rowId, QStringView name, QStringView ingredients) {
    qsizetype first = 0, last = name.size();
    while (first < last && name[first].unicode() <= u' ')
        ++first;
    while (last > first && name[last - 1].unicode() <= u' ')
        --last;
    name = name.mid(first, last - first).left(0xFFFF);

    auto at = std::lower_bound(D->ById.begin(), D->ById.end(), std::make_pair(rowId, 0u));
    uint32_t slot;
    const bool again = at != D->ById.end() && at->first == rowId;
    if (again) {
        slot = at->second;
        D->UnpostName(slot);
    } else {
        if (D->Slots.size() >= MaxSlots)
            return; // millions of saves in one session; the next rebuild takes them
        slot = uint32_t(D->Slots.size());
        D->Slots.emplace_back();
        D->Slots.back().RowId = rowId;
        D->Slots.back().Alive = true;
        D->ById.insert(at, {rowId, slot});
        ++D->Alive;
    }
    TSlot& s = D->Slots[slot];
    s.NameOff = uint32_t(D->Names.size());
    s.NameLen = uint16_t(name.size());
    D->Names.insert(D->Names.end(), name.utf16(), name.utf16() + name.size());
    s.UnitOff = uint32_t(D->Units.size());
    TCodePoints points(name);
    char32_t c = 0;
    while (points.Next(c))
        if (!IsSkippedInName(c))
            D->Units.push_back(D->CharInfo(c));
    s.UnitLen = uint16_t(D->Units.size() - s.UnitOff);
    D->PostName(slot);
    D->PostIngredients(slot, ingredients, again);
    if (!D->Bulk)
        D->RemakeHeads();
}

void TSuggestIndex::Remove(qint64 rowId) {
    auto at = std::lower_bound(D->ById.begin(), D->ById.end(), std::make_pair(rowId, 0u));
    if (at == D->ById.end() || at->first != rowId)
        return;
    const uint32_t slot = at->second;
    D->UnpostName(slot);
    if (!D->Bulk)
        D->RemakeHeads();
    D->Slots[slot].Alive = false; // its ingredient entries are skipped from now on
    D->ById.erase(at);
    --D->Alive;
}

void TSuggestIndex::BeginBulk(qsizetype expected) {
    D->Bulk = true;
    D->Expected = size_t(std::max<qsizetype>(expected, 0));
    D->Slots.reserve(D->Slots.size() + D->Expected);
    D->Units.reserve(D->Units.size() + D->Expected * 8);
    D->Names.reserve(D->Names.size() + D->Expected * 8);
}

namespace {
// A bulk's arrays keep room for a session's saves: an array at its exact size is
// copied whole by the next save that grows it, and the first save after the book's
// reading grew all of them at once (the window stood 40-57 ms at a million recipes).
template <class T> void KeepRoom(std::vector<T>& v) {
    const size_t room = v.size() + v.size() / 32 + 8;
    if (v.capacity() > room + v.size() / 16) {
        std::vector<T> fitted;
        fitted.reserve(room);
        fitted.assign(v.begin(), v.end());
        v.swap(fitted);
    } else {
        v.reserve(room);
    }
}
} // namespace

void TSuggestIndex::EndBulk() {
    if (!D->Bulk)
        return;
    D->Bulk = false;
    // Postings were appended mostly in slot order: a counting sort by band settles
    // them (start lengths, then inside lengths), and the bands follow from its counts.
    std::vector<TPosting> sorted;
    std::vector<size_t> starts;
    auto settle = [&](TBandList& list) {
        list.Bands.clear();
        if (list.Items.empty()) {
            list.Items = {};
            return;
        }
        auto key = [&](const TPosting& p) {
            return TBandList::BandKey(int(p.Entry & 0xFF), D->Slots[p.Entry >> 8].NameLen);
        };
        uint32_t lows[2] = {None, None}, highs[2] = {0, 0};
        for (const TPosting& p : list.Items) {
            const uint32_t k = key(p), half = k >> 16;
            lows[half] = std::min(lows[half], k);
            highs[half] = std::max(highs[half], k);
        }
        const size_t startSpan = lows[0] == None ? 0 : highs[0] - lows[0] + 1;
        auto index = [&](uint32_t k) {
            return k >> 16 ? startSpan + (k - lows[1]) : size_t(k - lows[0]);
        };
        auto keyOf = [&](size_t i) {
            return i < startSpan ? lows[0] + uint32_t(i) : lows[1] + uint32_t(i - startSpan);
        };
        starts.assign(startSpan + (lows[1] == None ? 0 : highs[1] - lows[1] + 1) + 1, 0);
        for (const TPosting& p : list.Items)
            ++starts[index(key(p)) + 1];
        for (size_t i = 1; i < starts.size(); ++i)
            starts[i] += starts[i - 1];
        for (size_t i = 0; i + 1 < starts.size(); ++i)
            if (starts[i + 1] > starts[i])
                list.Bands.push_back({keyOf(i), uint32_t(starts[i])});
        sorted.resize(list.Items.size());
        for (const TPosting& p : list.Items)
            sorted[starts[index(key(p))]++] = p;
        // A recipe put again during the bulk came after later ones.
        auto byEntry = [](const TPosting& a, const TPosting& b) {
            return a.Entry < b.Entry;
        };
        for (size_t b = 0; b < list.Bands.size(); ++b) {
            const auto first = sorted.begin() + list.Bands[b].second;
            const auto last = sorted.begin() + ptrdiff_t(list.End(b));
            if (!std::is_sorted(first, last, byEntry))
                std::sort(first, last, byEntry);
        }
        list.Items.clear();
        list.Items.shrink_to_fit();
        list.Items.reserve(sorted.size() + sorted.size() / 32 + 8);
        list.Items.assign(sorted.begin(), sorted.end());
        list.Bands.shrink_to_fit();
    };
    for (TBandList& list : D->Buckets)
        settle(list);
    D->Touched.clear();
    D->Heads.assign(D->FirstBuckets.size(), {});
    for (uint32_t first = 0; first < D->Heads.size(); ++first)
        D->MakeHead(first);
    for (TSlotSet& set : D->IngredientSets) {
        KeepRoom(set.Sparse);
        KeepRoom(set.Bits);
    }
    KeepRoom(D->Slots);
    KeepRoom(D->ById);
    for (auto& slice : D->PairSlices)
        KeepRoom(slice);
    D->LongPairs.shrink_to_fit();
    D->Longs.shrink_to_fit();
    KeepRoom(D->Units);
    KeepRoom(D->Names);
    D->Expected = 0;
}

qsizetype TSuggestIndex::Count() const {
    return D->Alive;
}

size_t TSuggestIndex::MemoryBytes() const {
    size_t n = sizeof(TData) + D->Slots.capacity() * sizeof(TSlot) +
               D->ById.capacity() * sizeof(D->ById[0]) + D->Names.capacity() * 2 +
               D->Units.capacity() * 4 + D->Chars.capacity() * sizeof(TCharInfo) +
               D->CharOf.Bytes() + D->UnitKey.Bytes() + D->SyllableKey.capacity() * 4 +
               D->LetterBuckets.capacity() * sizeof(D->LetterBuckets[0]) +
               D->OtherBuckets.size() * 32 + D->OtherBuckets.bucket_count() * 8 +
               D->UnitInitialsKey.Bytes() + D->UnitInitials.capacity() * 4 +
               D->IngredientKey.Bytes() + D->IngredientStamp.capacity() * 4 +
               D->LongPairs.capacity() * 8 + D->Longs.capacity() * sizeof(TLongBits);
    for (const auto& slice : D->PairSlices)
        n += slice.capacity() * 8;
    for (const TBandList& list : D->Buckets)
        n += list.Bytes();
    for (const TBandList& list : D->Heads)
        n += list.Bytes();
    for (const auto& buckets : D->FirstBuckets)
        n += sizeof(buckets) + buckets.capacity() * 4;
    for (const TSlotSet& s : D->IngredientSets)
        n += s.Bytes();
    return n;
}

namespace {
// The walk behind Suggest and SuggestRows: `sink(slot, byIngredient)` is handed each
// match in order and says whether more are wanted; ingredients only when given.
template <class Take>
void Walk(const TSuggestIndex::TData* D, QStringView typed, const TIngredientsOf* ingredients,
          int limit, Take&& sink) {
    // A walk begun inside another on this thread (a caller's reader of ingredients
    // that asks again) gets lists of its own: the outer one still reads the kept ones.
    thread_local TScratch threadWork;
    thread_local bool threadBusy = false;
    std::unique_ptr<TScratch> nested;
    if (threadBusy)
        nested = std::make_unique<TScratch>();
    TScratch& work = nested ? *nested : threadWork;
    struct TBusy {
        bool& Busy;
        bool Was;
        ~TBusy() { Busy = Was; }
    } busy{threadBusy, threadBusy};
    threadBusy = true;
    work.Clear();
    TTyped& q = work.Typed;
    TCodePoints points(typed);
    char32_t c = 0;
    while (points.Next(c)) {
        if (IsSkippedInName(c))
            continue;
        q.Units.push_back(SuggestUnit(c));
        q.HasLetter = q.HasLetter || IsLetter(q.Units.back());
    }
    q.L = int(q.Units.size());
    if (q.L == 0 || q.L > TSuggestIndex::MaxTypedUnits || limit <= 0)
        return;
    std::vector<uint32_t>& found = work.Found;
    TStepMemo& memo = work.Memo;
    memo.Begin(D->Chars.size(), q.L);
    auto take = [&](uint32_t slot, bool byIngredient) {
        found.push_back(slot);
        return sink(slot, byIngredient);
    };
    auto listed = [&](uint32_t slot) {
        return std::find(found.begin(), found.end(), slot) != found.end();
    };

    // Names. A match begins with the first typed unit taken as a character, or
    // with the typed text's start as a prefix of a reading: the first keys, each
    // with the states it leaves. Of their buckets, only those whose next
    // character can take what follows are walked, or all once nothing follows.
    std::vector<TCursor>& cursors = work.Cursors;
    std::vector<std::pair<char32_t, uint64_t>>& nextKeys = work.NextKeys;
    auto addFirst = [&](uint32_t first, uint64_t states) {
        if (states & Bit(q.L)) {
            if (size_t(limit) <= TSuggestIndex::TData::HeadSize && first < D->Heads.size() &&
                !D->Bulk) {
                cursors.push_back({&D->Heads[first], states, 0});
                return;
            }
            for (uint32_t bucket : D->FirstBuckets[first])
                cursors.push_back({&D->Buckets[bucket], states, 0});
            return;
        }
        // Each bucket with only the states its next character can go on from, so
        // a posting is stepped from one state where it was from several.
        nextKeys.clear();
        for (uint64_t b = states; b; b &= b - 1) {
            const int p = std::countr_zero(b);
            const char32_t u = q.Units[size_t(p)];
            nextKeys.push_back({u, Bit(p)});
            if (IsLetter(u))
                continue;
            if (const uint32_t key = D->UnitInitialsKey.Find(u); key != None)
                for (uint32_t i = D->UnitInitials[key]; i; i &= i - 1)
                    nextKeys.push_back({char32_t(u'a' + std::countr_zero(i)), Bit(p)});
        }
        std::sort(nextKeys.begin(), nextKeys.end());
        for (size_t i = 0; i < nextKeys.size();) {
            const char32_t key = nextKeys[i].first;
            uint64_t from = 0;
            for (; i < nextKeys.size() && nextKeys[i].first == key; ++i)
                from |= nextKeys[i].second;
            if (const TBandList* list = D->FindBucket(first, key))
                cursors.push_back({list, from, 0});
        }
    };
    if (const uint32_t first = D->UnitKey.Find(q.Units[0]); first != None)
        addFirst(first, Bit(1));
    if (IsLetter(q.Units[0]) && !D->SyllableKey.empty())
        for (auto [id, last] = TPinyinTable::SyllablesStartingWith(char(q.Units[0])); id < last;
             ++id) {
            if (size_t(id) >= D->SyllableKey.size() || D->SyllableKey[size_t(id)] == None)
                continue;
            const QLatin1StringView syllable = TPinyinTable::Syllable(id);
            int k = 0;
            while (k < syllable.size() && k < q.L &&
                   q.Units[size_t(k)] == char32_t(syllable[k].unicode()))
                ++k;
            if (k > 0)
                addFirst(D->SyllableKey[size_t(id)], (Bit(k) - 1) << 1);
        }
    // 0: no match; 1: a match; 2: one only if the rest of the name agrees. Most
    // postings are settled by the characters after them, without reading the name.
    auto classify = [&](const TPosting& p, uint64_t states) {
        for (uint32_t next : p.Next) {
            if (states & Bit(q.L))
                return 1;
            if (next == None)
                return 0;
            states = D->Step(next, states, q, memo);
            if (!states)
                return 0;
        }
        return (states & Bit(q.L)) ? 1 : 2;
    };
    // Band by band over all cursors. In one band the lists are merged by their
    // heads, each walked only up to its next match: a band that completes the
    // suggestions costs about a match per list, not the wanted count per list (a
    // keystroke may open a list for every first key and next letter it can take).
    auto later = [](const THead& a, const THead& b) {
        return a.Entry > b.Entry;
    };
    std::vector<TWalk>& walks = work.Walks;
    walks.resize(cursors.size());
    std::vector<THead>& heads = work.Heads;
    // Cursor i's next match in its band past the postings of slot `done`.
    auto advance = [&](uint32_t i, uint32_t done) {
        TWalk& w = walks[i];
        for (; w.At != w.End; ++w.At) {
            const uint32_t slot = w.At->Entry >> 8;
            if (slot == done) // a name's postings in one list lie together
                continue;
            const int kind = classify(*w.At, cursors[i].States);
            if (kind == 0 || listed(slot))
                continue;
            if (kind == 2 && !D->MatchAt(D->Slots[slot], int(w.At->Entry & 0xFF), q, memo))
                continue;
            heads.push_back({w.At->Entry, i});
            std::push_heap(heads.begin(), heads.end(), later);
            return;
        }
    };
    for (;;) {
        uint32_t band = None;
        for (const TCursor& c : cursors)
            if (c.Band < c.List->Bands.size())
                band = std::min(band, c.List->Bands[c.Band].first);
        if (band == None)
            break;
        heads.clear();
        for (uint32_t i = 0; i < cursors.size(); ++i) {
            TCursor& c = cursors[i];
            if (c.Band == c.List->Bands.size() || c.List->Bands[c.Band].first != band)
                continue;
            walks[i] = {c.List->Items.data() + c.List->Bands[c.Band].second,
                        c.List->Items.data() + c.List->End(c.Band)};
            ++c.Band;
            advance(i, None);
        }
        while (!heads.empty()) {
            std::pop_heap(heads.begin(), heads.end(), later);
            const THead head = heads.back();
            heads.pop_back();
            const uint32_t slot = head.Entry >> 8;
            if (!listed(slot) && !take(slot, false))
                return;
            advance(head.Cursor, slot);
        }
    }
    if (q.HasLetter || !ingredients || !*ingredients)
        return; // pinyin is looked for in names only

    // Slots whose ingredients hold every typed character, checked against the text.
    std::vector<const TSlotSet*> sets;
    for (char32_t u : q.Units) {
        const uint32_t key = D->IngredientKey.Find(u);
        if (key == None)
            return;
        sets.push_back(&D->IngredientSets[key]);
    }
    std::sort(sets.begin(), sets.end());
    sets.erase(std::unique(sets.begin(), sets.end()), sets.end());
    std::sort(sets.begin(), sets.end(),
              [](const TSlotSet* a, const TSlotSet* b) { return a->Size < b->Size; });
    // The bitmaps of the typed text's neighbour pairs, each once.
    std::vector<const std::vector<uint64_t>*> pairSlices;
    for (size_t i = 1; i < q.Units.size(); ++i)
        pairSlices.push_back(&D->PairSlices[size_t(PairBit(q.Units[i - 1], q.Units[i]))]);
    std::sort(pairSlices.begin(), pairSlices.end());
    pairSlices.erase(std::unique(pairSlices.begin(), pairSlices.end()), pairSlices.end());
    auto pairsOf = [&](size_t w) {
        uint64_t bits = ~uint64_t(0);
        for (const auto* slice : pairSlices)
            bits &= w < slice->size() ? (*slice)[w] : 0;
        return bits;
    };
    std::vector<uint64_t> longPairs;
    for (size_t i = 1; i < q.Units.size(); ++i)
        longPairs.push_back(LongPairHash(q.Units[i - 1], q.Units[i]));
    // Whether a slot's own pair bits, if it has them, hold every typed pair. Slots
    // come in rising order, so the long ones are met walking along them.
    size_t nextLong = 0;
    auto mayHoldPairs = [&](uint32_t slot) {
        const auto& longs = D->Longs;
        if (nextLong > 0 && nextLong <= longs.size() && longs[nextLong - 1].Slot >= slot)
            nextLong = 0; // not rising after all
        // Galloping: most candidates lie far apart among many long ones.
        size_t step = 1, low = nextLong;
        while (low + step < longs.size() && longs[low + step].Slot < slot) {
            low += step;
            step *= 2;
        }
        nextLong = size_t(
            std::lower_bound(longs.begin() + ptrdiff_t(low),
                             longs.begin() + ptrdiff_t(std::min(low + step + 1, longs.size())),
                             slot, [](const TLongBits& l, uint32_t s) { return l.Slot < s; }) -
            longs.begin());
        if (nextLong == longs.size() || longs[nextLong].Slot != slot)
            return true;
        const TLongBits& l = longs[nextLong];
        const uint64_t* own = D->LongPairs.data() + l.Off;
        bool all = true;
        for (uint64_t hash : longPairs)
            ForLongPairBits(hash, l.Words,
                            [&](size_t b) { all = all && ((own[b / 64] >> (b % 64)) & 1); });
        return all;
    };
    QString scratch;
    std::vector<char32_t> units;
    auto check = [&](uint32_t slot) {
        if (!longPairs.empty() && !mayHoldPairs(slot))
            return true;
        if (slot >= D->Slots.size() || !D->Slots[slot].Alive || listed(slot))
            return true;
        if (!ContainsUnits((*ingredients)(D->Slots[slot].RowId, scratch), q.Units, units))
            return true;
        return take(slot, true);
    };
    // All dense: their words and the pairs' are and-ed before any slot is looked at.
    if (std::all_of(sets.begin(), sets.end(), [](const TSlotSet* t) { return t->Dense; })) {
        const size_t words = sets.front()->Bits.size();
        for (size_t w = 0; w < words; ++w) {
            uint64_t bits = sets.front()->Bits[w];
            for (size_t i = 1; i < sets.size() && bits; ++i)
                bits &= w < sets[i]->Bits.size() ? sets[i]->Bits[w] : 0;
            if (bits)
                bits &= pairsOf(w);
            for (; bits; bits &= bits - 1)
                if (!check(uint32_t(w * 64 + size_t(std::countr_zero(bits)))))
                    return;
        }
        return;
    }
    sets.front()->ForEach([&](uint32_t slot) {
        if (!((pairsOf(slot / 64) >> (slot % 64)) & 1))
            return true;
        for (size_t i = 1; i < sets.size(); ++i)
            if (!sets[i]->Contains(slot))
                return true;
        return check(slot);
    });
}
} // namespace

std::vector<TSuggestion>
TSuggestIndex::Suggest(QStringView typed, const TIngredientsOf& ingredients, int limit) const {
    std::vector<TSuggestion> out;
    out.reserve(size_t(std::clamp(limit, 0, 64)));
    Walk(D.get(), typed, &ingredients, limit, [&](uint32_t slot, bool byIngredient) {
        const TSlot& s = D->Slots[slot];
        out.push_back({D->NameOf(s), s.RowId, byIngredient});
        return int(out.size()) < limit;
    });
    return out;
}

std::vector<qint64> TSuggestIndex::SuggestRows(QStringView typed, int limit) const {
    std::vector<qint64> out;
    out.reserve(size_t(std::clamp(limit, 0, 64)));
    Walk(D.get(), typed, nullptr, limit, [&](uint32_t slot, bool) {
        out.push_back(D->Slots[slot].RowId);
        return int(out.size()) < limit;
    });
    return out;
}
