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

// Which pairs of neighbouring characters an ingredients text holds, as 512 hashed
// bits: most recipes that have every typed character but not in a row fail here,
// before their text is looked at. Kept as one bitmap over the slots per bit, so a
// query ands the few bitmaps of its pairs with its characters' sets word by word.
constexpr int PairBitCount = 512;
using TPairBits = std::array<uint64_t, PairBitCount / 64>;

int PairBit(char32_t a, char32_t b) {
    return int(((uint32_t(a) * 0x9E3779B1u) ^ (uint32_t(b) * 0x85EBCA77u)) >> 23);
}

struct TNameList {
    std::vector<uint32_t> Start, Inside;
};

struct TCharInfo {
    char32_t Unit = 0;
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

// The typed text as units, with the syllables' letters at hand.
struct TTyped {
    std::vector<char32_t> Units;
    int L = 0;
    bool HasLetter = false;
};

} // namespace

struct TSuggestIndex::TData {
    std::vector<TSlot> Slots;
    std::vector<std::pair<qint64, uint32_t>> ById; // sorted by row id
    std::vector<char16_t> Names;
    std::vector<uint32_t> Units; // char info per name position
    std::vector<TCharInfo> Chars;
    TCodeMap CharOf; // original code -> char info
    std::vector<TNameList> NameLists;
    TCodeMap NameKey; // unit or initial letter -> name list
    std::vector<TSlotSet> IngredientSets;
    std::vector<uint32_t> IngredientStamp;                       // last slot added, per set
    std::vector<std::vector<uint64_t>> PairSlices{PairBitCount}; // per bit, over slots
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
            index = uint32_t(Chars.size());
            Chars.push_back(info);
        }
        return index;
    }

    size_t DenseAt() const { return std::max<size_t>(256, std::max(Expected, Slots.size()) / 32); }

    bool Before(uint32_t a, uint32_t b) const {
        const uint16_t la = Slots[a >> 8].NameLen, lb = Slots[b >> 8].NameLen;
        return la != lb ? la < lb : a < b;
    }

    // The keys a name position is found under: its unit and its readings' initials.
    template <class F> void KeysOf(const TCharInfo& info, F&& f) const {
        f(info.Unit);
        uint32_t seen = 0; // letters already given
        for (uint32_t r = 0; r < info.ReadingCount; ++r) {
            const char first = TPinyinTable::Syllable(info.Readings[r]).front().toLatin1();
            if (first < 'a' || first > 'z' || char32_t(first) == info.Unit)
                continue;
            if (!(seen & (1u << (first - 'a')))) {
                seen |= 1u << (first - 'a');
                f(char32_t(first));
            }
        }
    }

    // Each posting of a name: its entry (slot and position) under every key of each
    // of its first MaxPostedPos characters.
    template <class F> void ForEachPosting(uint32_t slot, F f) {
        const TSlot& s = Slots[slot];
        const int n = std::min<int>(s.UnitLen, MaxPostedPos);
        for (int pos = 0; pos < n; ++pos) {
            const uint32_t entry = slot << 8 | uint32_t(pos);
            KeysOf(Chars[Units[s.UnitOff + size_t(pos)]],
                   [&](char32_t key) { f(key, pos, entry); });
        }
    }

    void PostName(uint32_t slot) {
        ForEachPosting(slot, [&](char32_t key, int pos, uint32_t entry) {
            uint32_t& index = NameKey.Slot(key);
            if (index == None) {
                index = uint32_t(NameLists.size());
                NameLists.emplace_back();
            }
            auto& list = pos == 0 ? NameLists[index].Start : NameLists[index].Inside;
            if (Bulk)
                list.push_back(entry);
            else
                list.insert(
                    std::upper_bound(list.begin(), list.end(), entry,
                                     [this](uint32_t a, uint32_t b) { return Before(a, b); }),
                    entry);
        });
    }

    void UnpostName(uint32_t slot) {
        ForEachPosting(slot, [&](char32_t key, int pos, uint32_t entry) {
            const uint32_t index = NameKey.Find(key);
            if (index == None)
                return;
            auto& list = pos == 0 ? NameLists[index].Start : NameLists[index].Inside;
            auto it =
                Bulk ? std::find(list.begin(), list.end(), entry)
                     : std::lower_bound(list.begin(), list.end(), entry,
                                        [this](uint32_t a, uint32_t b) { return Before(a, b); });
            if (it != list.end() && *it == entry)
                list.erase(it);
        });
    }

    void PostIngredients(uint32_t slot, QStringView ingredients, bool again) {
        const auto& bmp = BmpUnits();
        const size_t word = slot / 64;
        if (again)
            for (auto& slice : PairSlices)
                if (word < slice.size())
                    slice[word] &= ~Bit(slot % 64);
        TPairBits pairs = {};
        TCodePoints points(ingredients);
        char32_t c = 0, before = 0;
        while (points.Next(c)) {
            const char32_t u = c < 65536 ? bmp[c] : SuggestUnit(c);
            const int bit = PairBit(before, u);
            pairs[size_t(bit) / 64] |= Bit(bit % 64);
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

    // memo: Next per character and query position, bit 0 while not yet known (no
    // result has it); empty when the book has too many distinct characters for it.
    bool MatchAt(const TSlot& s, int pos, const TTyped& q, std::vector<uint64_t>& memo) const {
        uint64_t states = 1;
        for (int i = pos; i < s.UnitLen; ++i) {
            const uint32_t ci = Units[s.UnitOff + size_t(i)];
            const TCharInfo& c = Chars[ci];
            uint64_t next = 0;
            for (uint64_t b = states; b; b &= b - 1) {
                const int p = std::countr_zero(b);
                if (memo.empty()) {
                    next |= Next(c, p, q);
                    continue;
                }
                uint64_t& m = memo[size_t(ci) * size_t(q.L) + size_t(p)];
                if (m & 1)
                    m = Next(c, p, q);
                next |= m;
            }
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
}

void TSuggestIndex::Remove(qint64 rowId) {
    auto at = std::lower_bound(D->ById.begin(), D->ById.end(), std::make_pair(rowId, 0u));
    if (at == D->ById.end() || at->first != rowId)
        return;
    const uint32_t slot = at->second;
    D->UnpostName(slot);
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

void TSuggestIndex::EndBulk() {
    if (!D->Bulk)
        return;
    D->Bulk = false;
    // Entries were appended in slot order: a counting sort by name length settles them.
    std::vector<uint32_t> sorted;
    std::vector<size_t> starts;
    auto settle = [&](std::vector<uint32_t>& list) {
        if (list.empty())
            return;
        uint16_t shortest = 0xFFFF, longest = 0;
        for (uint32_t e : list) {
            shortest = std::min(shortest, D->Slots[e >> 8].NameLen);
            longest = std::max(longest, D->Slots[e >> 8].NameLen);
        }
        starts.assign(size_t(longest - shortest) + 2, 0);
        for (uint32_t e : list)
            ++starts[size_t(D->Slots[e >> 8].NameLen - shortest) + 1];
        for (size_t i = 1; i < starts.size(); ++i)
            starts[i] += starts[i - 1];
        sorted.resize(list.size());
        for (uint32_t e : list)
            sorted[starts[size_t(D->Slots[e >> 8].NameLen - shortest)]++] = e;
        list = std::vector<uint32_t>(sorted.begin(), sorted.end()); // exact size
    };
    for (TNameList& l : D->NameLists) {
        settle(l.Start);
        settle(l.Inside);
    }
    for (TSlotSet& set : D->IngredientSets) {
        set.Sparse.shrink_to_fit();
        set.Bits.shrink_to_fit();
    }
    D->Slots.shrink_to_fit();
    for (auto& slice : D->PairSlices)
        slice.shrink_to_fit();
    D->Units.shrink_to_fit();
    D->Names.shrink_to_fit();
    D->Expected = 0;
}

qsizetype TSuggestIndex::Count() const {
    return D->Alive;
}

size_t TSuggestIndex::MemoryBytes() const {
    size_t n = sizeof(TData) + D->Slots.capacity() * sizeof(TSlot) +
               D->ById.capacity() * sizeof(D->ById[0]) + D->Names.capacity() * 2 +
               D->Units.capacity() * 4 + D->Chars.capacity() * sizeof(TCharInfo) +
               D->CharOf.Bytes() + D->NameKey.Bytes() + D->IngredientKey.Bytes() +
               D->IngredientStamp.capacity() * 4 + 0;
    for (const auto& slice : D->PairSlices)
        n += slice.capacity() * 8;
    for (const TNameList& l : D->NameLists)
        n += sizeof(l) + (l.Start.capacity() + l.Inside.capacity()) * 4;
    for (const TSlotSet& s : D->IngredientSets)
        n += s.Bytes();
    return n;
}

std::vector<TSuggestion>
TSuggestIndex::Suggest(QStringView typed, const TIngredientsOf& ingredients, int limit) const {
    std::vector<TSuggestion> out;
    TTyped q;
    TCodePoints points(typed);
    char32_t c = 0;
    while (points.Next(c)) {
        if (IsSkippedInName(c))
            continue;
        q.Units.push_back(SuggestUnit(c));
        q.HasLetter = q.HasLetter || IsLetter(q.Units.back());
    }
    q.L = int(q.Units.size());
    if (q.L == 0 || q.L > MaxTypedUnits || limit <= 0)
        return out;
    std::vector<uint32_t> found;
    std::vector<uint64_t> memo;
    if (D->Chars.size() * size_t(q.L) <= (size_t(1) << 18))
        memo.assign(D->Chars.size() * size_t(q.L), 1);
    auto take = [&](uint32_t slot, bool byIngredient) {
        const TSlot& s = D->Slots[slot];
        found.push_back(slot);
        out.push_back({D->NameOf(s), s.RowId, byIngredient});
        return int(out.size()) < limit;
    };
    auto listed = [&](uint32_t slot) {
        return std::find(found.begin(), found.end(), slot) != found.end();
    };

    if (const uint32_t key = D->NameKey.Find(q.Units[0]); key != None) {
        const TNameList& lists = D->NameLists[key];
        for (const auto* list : {&lists.Start, &lists.Inside}) {
            const size_t n = list->size();
            for (size_t i = 0; i < n; ++i) {
                // A long list is walked by name length, so its names lie scattered:
                // fetch what the next ones need while this one is matched.
                if (i + 16 < n)
                    __builtin_prefetch(&D->Slots[(*list)[i + 16] >> 8]);
                if (i + 8 < n) {
                    const uint32_t ahead = (*list)[i + 8];
                    __builtin_prefetch(&D->Units[D->Slots[ahead >> 8].UnitOff + (ahead & 0xFF)]);
                }
                const uint32_t entry = (*list)[i];
                const uint32_t slot = entry >> 8;
                if (listed(slot) || !D->MatchAt(D->Slots[slot], int(entry & 0xFF), q, memo))
                    continue;
                if (!take(slot, false))
                    return out;
            }
        }
    }
    if (q.HasLetter || !ingredients)
        return out; // pinyin is looked for in names only

    // Slots whose ingredients hold every typed character, checked against the text.
    std::vector<const TSlotSet*> sets;
    for (char32_t u : q.Units) {
        const uint32_t key = D->IngredientKey.Find(u);
        if (key == None)
            return out;
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
    QString scratch;
    std::vector<char32_t> units;
    auto check = [&](uint32_t slot) {
        if (slot >= D->Slots.size() || !D->Slots[slot].Alive || listed(slot))
            return true;
        if (!ContainsUnits(ingredients(D->Slots[slot].RowId, scratch), q.Units, units))
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
                    return out;
        }
        return out;
    }
    sets.front()->ForEach([&](uint32_t slot) {
        if (!((pairsOf(slot / 64) >> (slot % 64)) & 1))
            return true;
        for (size_t i = 1; i < sets.size(); ++i)
            if (!sets[i]->Contains(slot))
                return true;
        return check(slot);
    });
    return out;
}
