// The suggestion index on its own: readings and folding from the compiled table,
// each kind of match, the order, and the index following changes.
#include "PinyinTable.h"
#include "SuggestIndex.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>

#include <functional>

namespace {

QStringList Names(const std::vector<TSuggestion>& list) {
    QStringList out;
    for (const TSuggestion& s : list)
        out << (s.ByIngredient ? QStringLiteral("*") : QString()) + s.Name;
    return out;
}

bool HasReading(char32_t c, const char* syllable) {
    for (unsigned short id : TPinyinTable::Readings(c))
        if (TPinyinTable::Syllable(id) == QLatin1StringView(syllable))
            return true;
    return false;
}

TEST(PinyinTable, ReadingsOfPolyphonicCharactersAndTheUmlaut) {
    const struct {
        char32_t C;
        const char* Syllable;
    } cases[] = {
        {U'重', "zhong"}, {U'重', "chong"}, {U'长', "chang"}, {U'长', "zhang"},
        {U'红', "hong"},  {U'紅', "hong"},  {U'绿', "lv"},    {U'绿', "lu"},
        {U'女', "nv"},    {U'女', "nu"},    {U'略', "lve"},   {U'𠀀', "he"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(HasReading(c.C, c.Syllable)) << c.Syllable;
    EXPECT_FALSE(HasReading(U'红', "hóng"));
    EXPECT_TRUE(TPinyinTable::Readings(U'a').empty());
    for (int id = 0; id < TPinyinTable::SyllableCount(); ++id) {
        const QLatin1StringView s = TPinyinTable::Syllable(id);
        ASSERT_FALSE(s.isEmpty());
        for (QChar ch : QString(s))
            ASSERT_TRUE(ch >= u'a' && ch <= u'z') << id;
    }
}

// A keystroke opens only the syllables of its first letter: each letter's range holds
// every syllable starting with it and no other.
TEST(PinyinTable, SyllablesStartingWithALetter) {
    int covered = 0;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        const auto [first, last] = TPinyinTable::SyllablesStartingWith(letter);
        ASSERT_LE(first, last) << letter;
        for (int id = 0; id < TPinyinTable::SyllableCount(); ++id)
            EXPECT_EQ(id >= first && id < last, TPinyinTable::Syllable(id).front() == letter)
                << letter << ' ' << id;
        covered += last - first;
    }
    EXPECT_EQ(covered, TPinyinTable::SyllableCount());
    const struct {
        char Letter;
        bool Any;
    } rows[] = {{'a', true},  {'h', true},  {'z', true},  {'i', false},
                {'u', false}, {'v', false}, {'A', false}, {'{', false}};
    for (const auto& row : rows) {
        const auto [first, last] = TPinyinTable::SyllablesStartingWith(row.Letter);
        EXPECT_EQ(first < last, row.Any) << row.Letter;
    }
}

TEST(PinyinTable, FoldsTraditionalToSimplified) {
    const struct {
        char32_t From, To;
    } cases[] = {{U'紅', U'红'}, {U'燒', U'烧'}, {U'長', U'长'}, {U'後', U'后'},
                 {U'红', U'红'}, {U'台', U'台'}, {U'臺', U'台'}, {U'a', U'a'}};
    for (const auto& c : cases)
        EXPECT_EQ(TPinyinTable::Fold(c.From), c.To) << uint(c.From);
}

class SuggestIndexTest : public ::testing::Test {
protected:
    void Add(qint64 id, const QString& name, const QString& ingredients = QString()) {
        Ingredients[id] = ingredients;
        Index.Put(id, name, ingredients);
    }
    QStringList Find(const QString& typed, int limit = TSuggestIndex::MaxSuggestions) {
        return Names(Index.Suggest(
            typed, [this](qint64 id, QString&) { return QStringView(Ingredients[id]); }, limit));
    }
    TSuggestIndex Index;
    QHash<qint64, QString> Ingredients;
};

TEST_F(SuggestIndexTest, EachKindOfMatch) {
    Add(1, QStringLiteral("红烧肉"), QStringLiteral("五花肉，冰糖"));
    Add(2, QStringLiteral("重庆小面"));
    Add(3, QStringLiteral("長壽麵"));
    Add(4, QStringLiteral("西安凉皮"));
    Add(5, QStringLiteral("XO酱炒饭"));
    Add(6, QStringLiteral("绿豆汤"));
    const struct {
        const char* Typed;
        QStringList Expected;
    } cases[] = {
        {"红烧", {"红烧肉"}},
        {"烧肉", {"红烧肉"}},
        {"hongshaorou", {"红烧肉"}},
        {"hong shao", {"红烧肉"}},
        {"shaorou", {"红烧肉"}},
        {"HongShaoRou", {"红烧肉"}},
        {"hsr", {"红烧肉"}},
        {"hongsr", {"红烧肉"}},
        {"hshaor", {"红烧肉"}},
        {"紅燒肉", {"红烧肉"}},
        {"红烧 肉", {"红烧肉"}},
        {"chongqing", {"重庆小面"}},
        {"zhongqing", {"重庆小面"}},
        {"cq", {"重庆小面"}},
        {"长寿面", {"長壽麵"}},
        {"changshou", {"長壽麵"}},
        {"zhangshou", {"長壽麵"}},
        {"xi'an", {"西安凉皮"}},
        {"xian", {"西安凉皮"}},
        {"liangpi", {"西安凉皮"}},
        {"xo", {"XO酱炒饭"}},
        {"xojiang", {"XO酱炒饭"}},
        {"lvdou", {"绿豆汤"}},
        {"ludou", {"绿豆汤"}},
        {"冰糖", {"*红烧肉"}},
        {"hongshaorout", {}},
        {"hsrx", {}},
        {"shr", {"红烧肉"}},
        {"roushao", {}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Find(QString::fromUtf8(c.Typed)), c.Expected) << c.Typed;
}

// The rows alone, for a caller holding the names: the names' matches in the same
// order and limit, and never a match by ingredients.
TEST_F(SuggestIndexTest, RowsAreTheNamesRows) {
    const QStringList names = {"红烧肉", "红烧排骨", "排骨汤", "清蒸鱼", "糖醋排骨", "鱼香肉丝"};
    for (int i = 0; i < names.size(); ++i)
        Add(i + 10, names[i], i == 3 ? QStringLiteral("排骨") : QString());
    const struct {
        const char* Typed;
        int Limit;
        std::vector<qint64> Rows;
    } rows[] = {
        {"排骨", 10, {12, 11, 14}}, {"pg", 2, {12, 11}},    {"h", 10, {10, 11}},
        {"rou", 10, {10, 15}},      {"yu", 1, {15}},        {"排骨", 0, {}},
        {"冰糖", 10, {}},           {"hongshaoyu", 10, {}}, {"", 10, {}},
    };
    for (const auto& row : rows) {
        const QString typed = QString::fromUtf8(row.Typed);
        EXPECT_EQ(Index.SuggestRows(typed, row.Limit), row.Rows) << row.Typed;
        std::vector<qint64> named;
        for (const TSuggestion& s : Index.Suggest(typed, {}, row.Limit))
            named.push_back(s.RowId);
        EXPECT_EQ(named, row.Rows) << row.Typed;
    }
    // The ingredients' match is Suggest's only.
    EXPECT_EQ(Find(QStringLiteral("排骨")),
              QStringList({"排骨汤", "红烧排骨", "糖醋排骨", "*清蒸鱼"}));
}

TEST_F(SuggestIndexTest, StartBeforeInsideThenShorterThenIngredients) {
    Add(1, QStringLiteral("糖醋排骨"), QStringLiteral("排骨"));
    Add(2, QStringLiteral("排骨汤"));
    Add(3, QStringLiteral("红烧排骨"));
    Add(4, QStringLiteral("排骨炖土豆"));
    Add(5, QStringLiteral("清蒸鱼"), QStringLiteral("排骨，鱼"));
    Add(6, QStringLiteral("排骨"));
    Add(7, QStringLiteral("蒸排骨"));
    EXPECT_EQ(Find(QStringLiteral("排骨")), QStringList({"排骨", "排骨汤", "排骨炖土豆", "蒸排骨",
                                                         "糖醋排骨", "红烧排骨", "*清蒸鱼"}));
    EXPECT_EQ(Find(QStringLiteral("pg"), 3), QStringList({"排骨", "排骨汤", "排骨炖土豆"}));
    EXPECT_EQ(Find(QStringLiteral("排骨"), 0), QStringList());
}

TEST_F(SuggestIndexTest, AtMostTheLimitAndEachNameOnce) {
    for (int i = 0; i < 30; ++i)
        Add(i, QStringLiteral("鱼香鱼%1").arg(i), QStringLiteral("鱼"));
    const QStringList found = Find(QStringLiteral("yu"));
    EXPECT_EQ(found.size(), TSuggestIndex::MaxSuggestions);
    EXPECT_EQ(QSet<QString>(found.begin(), found.end()).size(), found.size());
}

TEST_F(SuggestIndexTest, FollowsPutOverwriteAndRemove) {
    Add(1, QStringLiteral("麻婆豆腐"), QStringLiteral("豆腐"));
    Add(2, QStringLiteral("家常豆腐"));
    EXPECT_EQ(Find(QStringLiteral("mpdf")), QStringList({"麻婆豆腐"}));
    Add(1, QStringLiteral("宫保鸡丁"), QStringLiteral("鸡肉"));
    EXPECT_EQ(Find(QStringLiteral("mpdf")), QStringList());
    EXPECT_EQ(Find(QStringLiteral("gbjd")), QStringList({"宫保鸡丁"}));
    EXPECT_EQ(Find(QStringLiteral("豆腐")), QStringList({"家常豆腐"}));
    Index.Remove(2);
    EXPECT_EQ(Find(QStringLiteral("豆腐")), QStringList());
    EXPECT_EQ(Index.Count(), 1);
    Index.Remove(2); // twice is harmless
    Add(2, QStringLiteral("豆腐脑"));
    EXPECT_EQ(Find(QStringLiteral("doufu")), QStringList({"豆腐脑"}));
}

// A keystroke its first character completes takes that character's first names
// from a short list kept beside the buckets: removals, renames and additions change
// that list too, in a book read in bulk and in one put together name by name.
TEST(SuggestIndex, FirstNamesOfACharacterFollowChanges) {
    for (const bool bulk : {true, false}) {
        TSuggestIndex index;
        QStringList names; // 红 and eleven more characters, the first name shortest
        for (int i = 0; i < 12; ++i)
            names << QStringLiteral("红") + QString(i + 1, u'菜');
        if (bulk)
            index.BeginBulk(names.size());
        for (int i = 0; i < names.size(); ++i)
            index.Put(i, names[i], QString());
        if (bulk)
            index.EndBulk();
        auto find = [&](const char* typed) {
            return Names(index.Suggest(QString::fromUtf8(typed), {}));
        };
        EXPECT_EQ(find("红"), names.mid(0, 10)) << bulk;
        index.Remove(0);
        index.Remove(1);
        EXPECT_EQ(find("红"), names.mid(2, 10)) << bulk;
        EXPECT_EQ(find("h"), names.mid(2, 10)) << bulk;
        index.Put(2, QStringLiteral("绿菜"), QString()); // renamed away from 红
        EXPECT_EQ(find("hong"), names.mid(3, 9)) << bulk;
        index.Put(20, QStringLiteral("红"), QString());
        EXPECT_EQ(find("红").value(0), QStringLiteral("红")) << bulk;
        EXPECT_EQ(find("红").size(), 10) << bulk;
        EXPECT_EQ(find("l"), QStringList({"绿菜"})) << bulk;
    }
}

TEST_F(SuggestIndexTest, BulkGivesTheSameAsOneByOne) {
    TSuggestIndex bulk;
    const QStringList names = {"鱼香肉丝", "肉丝面",   "青椒肉丝", "肉",     "回锅肉", "肉末茄子",
                               "水煮肉片", "京酱肉丝", "肉夹馍",   "红烧肉", "粉蒸肉", "肉丸汤"};
    bulk.BeginBulk(names.size());
    for (int i = 0; i < names.size(); ++i) {
        bulk.Put(i, names[i], QStringLiteral("肉"));
        Add(i, names[i], QStringLiteral("肉"));
    }
    bulk.EndBulk();
    for (const char* typed : {"rou", "r", "肉", "rs", "肉丝"}) {
        const auto byOne = Index.Suggest(QString::fromUtf8(typed), {});
        EXPECT_EQ(bulk.Suggest(QString::fromUtf8(typed), {}), byOne) << typed;
        EXPECT_FALSE(byOne.empty()) << typed;
    }
}

// Ingredients found by their characters in a row, however many recipes hold the
// characters (a sorted set or a bitmap), at slots on either side of a word's edge,
// whether the index was made in bulk or grew afterwards, and after an overwrite.
TEST_F(SuggestIndexTest, IngredientsHoldTheTypedCharactersInARow) {
    struct TCase {
        const char* Why;
        int Recipes;
        bool Bulk;
    };
    const TCase cases[] = {{"few, one by one", 10, false},
                           {"few, in bulk", 10, true},
                           {"many, one by one", 700, false},
                           {"many, in bulk", 700, true}};
    // Every third holds the text in a row; the others hold its characters apart.
    const QString kinds[] = {QStringLiteral("红烧鱼丸"), QStringLiteral("丸鱼烧红"),
                             QStringLiteral("红烧 鱼丸")};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        Index = TSuggestIndex();
        Ingredients.clear();
        if (c.Bulk)
            Index.BeginBulk(c.Recipes);
        for (int i = 0; i < c.Recipes; ++i)
            Add(i, QStringLiteral("菜%1").arg(i), QStringLiteral("葱") + kinds[i % 3]);
        if (c.Bulk)
            Index.EndBulk();
        // Grown afterwards, into words the bitmaps did not reach yet.
        Add(c.Recipes + 63, QStringLiteral("后加"), QStringLiteral("红烧鱼丸"));
        Add(c.Recipes + 200, QStringLiteral("后加二"), QStringLiteral("红烧丸"));
        QStringList inARow, fishBalls;
        for (int i = 0; i < c.Recipes; ++i) {
            if (i % 3 == 0)
                inARow << QStringLiteral("*菜%1").arg(i);
            if (i % 3 != 1)
                fishBalls << QStringLiteral("*菜%1").arg(i);
        }
        inARow << QStringLiteral("*后加");
        fishBalls << QStringLiteral("*后加");
        EXPECT_EQ(Find(QStringLiteral("红烧鱼丸"), 10000), inARow);
        EXPECT_EQ(Find(QStringLiteral("鱼丸"), 10000), fishBalls);
        EXPECT_EQ(Find(QStringLiteral("烧丸"), 10000), QStringList({"*后加二"}));
        EXPECT_EQ(Find(QStringLiteral("烧鱼红"), 10000), QStringList());
        // Overwritten: the old pairs no longer find it, the new ones do.
        Add(0, QStringLiteral("菜0"), QStringLiteral("红鱼 烧丸"));
        inARow.removeFirst();
        EXPECT_EQ(Find(QStringLiteral("红烧鱼丸"), 10000), inARow);
        EXPECT_EQ(Find(QStringLiteral("烧丸"), 10000), QStringList({"*菜0", "*后加二"}));
    }
}

// Where a match can begin and end: syllable boundaries, "ü" typed as "v" or "u",
// initials against whole syllables, mixes, either script, the name's last character,
// and names longer than the 30 characters a column holds.
TEST_F(SuggestIndexTest, WhereAMatchBeginsAndEnds) {
    const QString longName = QStringLiteral("家常") + QString(40, u'菜') + QStringLiteral("红烧肉");
    Add(1, QStringLiteral("西安凉皮"));
    Add(2, QStringLiteral("鲜虾粥"));
    Add(3, QStringLiteral("绿豆汤"));
    Add(4, QStringLiteral("女儿红"));
    Add(5, QStringLiteral("红烧肉"));
    Add(6, longName);
    Add(7, QStringLiteral("虾"));
    Add(8, QStringLiteral("可乐鸡翅2号"));
    const QString lng = longName;
    const struct {
        const char* Typed;
        QStringList Expected;
    } cases[] = {
        {"xian", {"鲜虾粥", "西安凉皮"}},  // one syllable, or two
        {"xi an", {"鲜虾粥", "西安凉皮"}}, // blanks are dropped
        {"xianl", {"西安凉皮"}},
        {"xiaz", {"鲜虾粥"}},
        {"x", {"虾", "鲜虾粥", "西安凉皮", "可乐鸡翅2号"}},
        {"xi", {"虾", "鲜虾粥", "西安凉皮", "可乐鸡翅2号"}},  // a prefix of "xia" and "xian" too
        {"xia", {"虾", "鲜虾粥", "西安凉皮", "可乐鸡翅2号"}}, // 虾 whole; 鲜 by "xia"n
        {"lü", {"绿豆汤"}},
        {"lv", {"绿豆汤"}},
        {"lu", {"绿豆汤"}},
        {"ld", {"绿豆汤"}},
        {"nü'er", {"女儿红"}},
        {"nuer", {"女儿红"}},
        {"nverh", {"女儿红"}},
        {"rou", {"红烧肉", lng}}, // the last character, in a short and a long name
        {"rouq", {}},
        {"hsr", {"红烧肉", lng}},
        {"hongshaor", {"红烧肉", lng}},
        {"hshaorou", {"红烧肉", lng}},
        {"紅燒肉", {"红烧肉", lng}},
        {"红shaorou", {"红烧肉", lng}},
        {"红s肉", {"红烧肉", lng}},
        {"h烧", {"红烧肉", lng}},
        {"caihong", {lng}},
        {"jiachangcai", {lng}},
        {"hong", {"红烧肉", "女儿红", lng}},
        {"hongx", {}},
        {"h", {"虾", "红烧肉", "鲜虾粥", "女儿红", "可乐鸡翅2号", lng}}, // 虾 reads "ha" too
        {"shaoq", {}},
        {"翅2", {"可乐鸡翅2号"}}, // a digit after a character
        {"chi2h", {"可乐鸡翅2号"}},
        {"2hao", {"可乐鸡翅2号"}},
        {"2号", {"可乐鸡翅2号"}},
        {"chi3", {}},
        {"'", {}},
        {"q", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Find(QString::fromUtf8(c.Typed)), c.Expected) << c.Typed;
}

// Names found through different readings or characters come out in one order:
// start before inside, shorter first, earlier first, the limit counted across all.
TEST_F(SuggestIndexTest, OneOrderAcrossReadingsAndCharacters) {
    Add(1, QStringLiteral("重庆小面")); // chong
    Add(2, QStringLiteral("长寿面"));   // chang
    Add(3, QStringLiteral("茶"));       // cha
    Add(4, QStringLiteral("小炒肉"));   // chao, inside
    Add(5, QStringLiteral("Chili酱"));  // the letters themselves
    Add(6, QStringLiteral("叉烧"));     // cha
    Add(7, QStringLiteral("川菜"));     // chuan
    Add(8, QStringLiteral("炒饭"));     // chao
    const struct {
        const char* Typed;
        int Limit;
        QStringList Expected;
    } cases[] = {
        {"ch", 10, {"茶", "叉烧", "川菜", "炒饭", "长寿面", "重庆小面", "Chili酱", "小炒肉"}},
        {"ch", 4, {"茶", "叉烧", "川菜", "炒饭"}},
        {"ch", 7, {"茶", "叉烧", "川菜", "炒饭", "长寿面", "重庆小面", "Chili酱"}},
        {"c", 2, {"茶", "叉烧"}},
        {"cha", 10, {"茶", "叉烧", "炒饭", "长寿面", "小炒肉"}},
        {"chao", 10, {"炒饭", "小炒肉"}},
        {"chi", 10, {"Chili酱"}},
        {"chil", 10, {"Chili酱"}},
        {"chili", 10, {"Chili酱"}},
        {"z", 10, {"长寿面", "重庆小面"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Find(QString::fromUtf8(c.Typed), c.Limit), c.Expected) << c.Typed << c.Limit;
}

// Names longer than the postings reach: a match may begin at the last posted
// position and run on past it, but not begin after it.
TEST_F(SuggestIndexTest, MatchesRunPastTheLastPostedPosition) {
    const QString head(254, u'菜');
    Add(1, head + QStringLiteral("红烧肉"));
    Add(2, head + QStringLiteral("菜红烧"));
    EXPECT_EQ(Find(QStringLiteral("hongshaorou")), QStringList({head + QStringLiteral("红烧肉")}));
    EXPECT_EQ(Find(QStringLiteral("红烧")), QStringList({head + QStringLiteral("红烧肉")}));
}

std::vector<char32_t> PlainUnits(const QString& text) {
    std::vector<char32_t> out;
    for (char32_t c : text.toUcs4())
        if (!IsSkippedInName(c))
            out.push_back(SuggestUnit(c));
    return out;
}

// Whether the typed units match the name from unit `start` on: character i of the
// name takes its unit or a non-empty prefix of a reading, tried every way.
bool PlainMatchAt(const QString& text, size_t start, const std::vector<char32_t>& q) {
    const std::vector<char32_t> name = PlainUnits(text);
    std::vector<char32_t> original;
    for (uint c : text.toUcs4())
        if (!IsSkippedInName(c))
            original.push_back(c);
    std::function<bool(size_t, size_t)> from = [&](size_t i, size_t p) {
        if (p == q.size())
            return true;
        if (i == name.size())
            return false;
        if (name[i] == q[p] && from(i + 1, p + 1))
            return true;
        auto readings = TPinyinTable::Readings(original[i]);
        if (readings.empty())
            readings = TPinyinTable::Readings(name[i]);
        for (unsigned short id : readings) {
            const QLatin1StringView s = TPinyinTable::Syllable(id);
            for (qsizetype k = 0; k < s.size() && p + size_t(k) < q.size() &&
                                  q[p + size_t(k)] == char32_t(s[k].unicode());
                 ++k)
                if (from(i + 1, p + size_t(k) + 1))
                    return true;
        }
        return false;
    };
    return from(start, 0);
}

// The names a plain search of every name at every start suggests: start before
// inside, shorter first, then by `order` (when each was last added).
QStringList PlainSuggest(const std::vector<QString>& names, const std::vector<bool>& gone,
                         const std::vector<int>& order, const QString& typed, int limit) {
    const std::vector<char32_t> q = PlainUnits(typed);
    if (q.empty())
        return {};
    using TKey = std::pair<std::pair<int, qsizetype>, std::pair<int, int>>;
    std::vector<TKey> all; // ((inside, length), (order, id))
    for (int id = 0; id < int(names.size()); ++id) {
        if (gone[size_t(id)])
            continue;
        const QString trimmed = names[size_t(id)].trimmed();
        const size_t n = PlainUnits(trimmed).size();
        for (size_t p = 0; p < n; ++p)
            if (PlainMatchAt(trimmed, p, q)) {
                all.push_back({{p == 0 ? 0 : 1, trimmed.size()}, {order[size_t(id)], id}});
                break;
            }
    }
    std::sort(all.begin(), all.end());
    QStringList expected;
    for (size_t i = 0; i < all.size() && int(i) < limit; ++i)
        expected << names[size_t(all[i].second.second)].trimmed();
    return expected;
}

// A random index with its plain counterpart: made in bulk, grown one by one, then
// some renamed and some removed (their old postings must go, lists emptied or not).
struct TRandomBook {
    std::vector<QString> Names;
    std::vector<bool> Gone;
    std::vector<int> Order; // a recipe put after its removal comes last
    TSuggestIndex Index;

    TRandomBook(QRandomGenerator& rng, const std::function<QString()>& name, int bulk, int more,
                int changes) {
        Index.BeginBulk(bulk);
        for (int i = 0; i < bulk; ++i) {
            Names.push_back(name());
            Index.Put(i, Names.back(), QString());
        }
        Index.EndBulk();
        for (int i = bulk; i < bulk + more; ++i) {
            Names.push_back(name());
            Index.Put(i, Names.back(), QString());
        }
        Gone.assign(Names.size(), false);
        for (size_t id = 0; id < Names.size(); ++id)
            Order.push_back(int(id));
        int added = int(Names.size());
        for (int i = 0; i < changes; ++i) {
            const int id = int(rng.bounded(quint32(Names.size())));
            if (i % 3 == 0) {
                Index.Remove(id);
                Gone[size_t(id)] = true;
            } else {
                Names[size_t(id)] = name();
                Index.Put(id, Names[size_t(id)], QString());
                if (Gone[size_t(id)])
                    Order[size_t(id)] = added++;
                Gone[size_t(id)] = false;
            }
        }
    }
    QStringList Plain(const QString& typed, int limit) const {
        return PlainSuggest(Names, Gone, Order, typed, limit);
    }
};

QString RandomText(QRandomGenerator& rng, const QString& from, int n) {
    QString s;
    const QList<uint> codes = from.toUcs4(); // a surrogate pair is one character
    for (int i = 0; i < n; ++i)
        s += QString::fromUcs4(
            reinterpret_cast<const char32_t*>(&codes[int(rng.bounded(quint32(codes.size())))]), 1);
    return s;
}

// The same as a plain search of every name and every start, on many random names
// of a few characters whose readings overlap: whatever lists a match is found
// through, the set and the order are those of the plain search.
TEST(SuggestIndex, AgreesWithAPlainSearch) {
    const QString alphabet = QStringLiteral("红烧肉重长绿西安鲜虾紅燒茶叉炒xoan 女儿");
    const QString typedAlphabet = QStringLiteral("hongshaxinzclvurec红烧肉长西紅");
    QRandomGenerator rng(7);
    TRandomBook book(
        rng, [&] { return RandomText(rng, alphabet, 1 + int(rng.bounded(8))); }, 300, 40, 60);
    for (int round = 0; round < 400; ++round) {
        const QString typed = RandomText(rng, typedAlphabet, 1 + int(rng.bounded(6)));
        for (int limit : {1, 3, 10, 1000})
            EXPECT_EQ(Names(book.Index.Suggest(typed, {}, limit)), book.Plain(typed, limit))
                << qPrintable(typed) << " " << limit;
    }
}

// Long names among short ones (as whole names are), characters outside the BMP and
// letters among them, typed texts that run on for several characters and mostly
// find little: where a deeper look at the characters after a position could drop a
// match, the plain search tells. Typed texts are drawn from pieces of the names
// too, so that most rounds have matches that cross several characters.
TEST(SuggestIndex, AgreesWithAPlainSearchOnLongNames) {
    const QString alphabet = QStringLiteral("红烧肉重长绿鱼丸松茸西安鲜虾紅燒𠀀叉炒xo 女儿2");
    const QString typedAlphabet = QStringLiteral("hongshaxinzclvuyrs红烧肉鱼松𠀀2");
    QRandomGenerator rng(11);
    auto name = [&] {
        const int length =
            rng.bounded(5) == 0 ? 20 + int(rng.bounded(30)) : 1 + int(rng.bounded(6));
        return RandomText(rng, alphabet, length);
    };
    TRandomBook book(rng, name, 250, 50, 90);
    const QStringList pieces = {"hongshao", "hsr",  "红s肉",  "shaor",   "yuwan", "songrong",
                                "srong",    "heh",  "𠀀红",   "he红",    "xo2",   "lvyu",
                                "ludouz",   "nver", "chaoyu", "zhongch", "ch",    "红烧鱼丸"};
    int found = 0;
    for (int round = 0; round < 500; ++round) {
        const QString typed = round % 2 ? pieces[int(rng.bounded(quint32(pieces.size())))]
                                        : RandomText(rng, typedAlphabet, 1 + int(rng.bounded(7)));
        const QStringList plain = book.Plain(typed, 1000);
        found += !plain.isEmpty();
        for (int limit : {3, 10, 1000})
            EXPECT_EQ(Names(book.Index.Suggest(typed, {}, limit)), plain.mid(0, limit))
                << qPrintable(typed) << " " << limit;
    }
    EXPECT_GT(found, 150); // most rounds compare matches, not two empty lists
}

// Matches that end on the first, second or third character of a name or run on
// past it, in names shorter than that, by characters, readings, initials and
// mixes; after the names were put in bulk and then renamed, removed and put back.
TEST(SuggestIndex, MatchesAcrossTheFirstCharactersAfterChanges) {
    TSuggestIndex index;
    const QStringList bulk = {"虾",         "红烧",     "红烧肉", "红烧鱼丸", "松茸",
                              "松茸炖鸡汤", "家常红烧", "𠀀红",   "红𠀀",     "XO酱",
                              "重庆鸡",     "旧名",     "将删去"};
    index.BeginBulk(bulk.size());
    for (int i = 0; i < bulk.size(); ++i)
        index.Put(i, bulk[i], QString());
    index.EndBulk();
    index.Put(11, QStringLiteral("鱼丸汤"), QString()); // renamed: 旧名 goes
    index.Remove(12);
    index.Put(13, QStringLiteral("烧"), QString());
    index.Remove(13);
    index.Put(13, QStringLiteral("烧鱼"), QString()); // put back after its removal
    const struct {
        const char* Typed;
        QStringList Expected;
    } cases[] = {
        {"x", {"虾", "XO酱"}},
        {"xia", {"虾"}},
        {"xiaz", {}}, // runs past a one-character name
        {"hongs", {"红烧", "红烧肉", "红烧鱼丸", "家常红烧"}},
        {"hongshao", {"红烧", "红烧肉", "红烧鱼丸", "家常红烧"}},
        {"hongshaor", {"红烧肉"}}, // ends on the third character
        {"hongshaorou", {"红烧肉"}},
        {"hongshaoy", {"红烧鱼丸"}},
        {"hsyw", {"红烧鱼丸"}},
        {"hshaoyuw", {"红烧鱼丸"}}, // the fourth character
        {"红s鱼", {"红烧鱼丸"}},
        {"红shaoyu丸", {"红烧鱼丸"}},
        {"shaoyu", {"烧鱼", "红烧鱼丸"}},
        {"yuwan", {"鱼丸汤", "红烧鱼丸"}},
        {"ywt", {"鱼丸汤"}},
        {"jiu", {}},       // the old name is gone
        {"jiangshan", {}}, // and the removed one
        {"srdj", {"松茸炖鸡汤"}},
        {"songrongd", {"松茸炖鸡汤"}},
        {"rongdunji", {"松茸炖鸡汤"}},
        {"chongqingji", {"重庆鸡"}},
        {"zqj", {"重庆鸡"}},
        {"he", {"𠀀红", "红𠀀"}}, // 𠀀 reads "he"
        {"hehong", {"𠀀红"}},
        {"𠀀h", {"𠀀红"}},
        {"hong𠀀", {"红𠀀"}},
        {"hh", {"𠀀红", "红𠀀"}},
        {"xoj", {"XO酱"}},
        {"xo酱", {"XO酱"}},
        {"jchs", {"家常红烧"}},
        {"changhongshao", {"家常红烧"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Names(index.Suggest(QString::fromUtf8(c.Typed), {})), c.Expected) << c.Typed;
}

// Ingredients long enough to keep pair bits of their own: the typed text is found
// wherever it lies (either side of the length where those bits begin, at either end,
// after characters outside the BMP, typed or stored in the other script), and is not
// found where a plain reading would not find it either.
TEST_F(SuggestIndexTest, LongIngredientsFindTheTypedTextAnywhere) {
    auto filler = [](int n) {
        const QString pattern = QStringLiteral("葱姜蒜酱油醋盐糖料酒香菇木耳");
        QString s;
        for (int i = 0; i < n; ++i)
            s += pattern[i % pattern.size()];
        return s;
    };
    const struct {
        const char* Why;
        QString Ingredients;
        const char* Typed;
        bool Found;
    } cases[] = {
        {"at the start", QStringLiteral("红烧鱼丸") + filler(300), "红烧鱼丸", true},
        {"at the end", filler(300) + QStringLiteral("红烧鱼丸"), "红烧鱼丸", true},
        {"across the 128th character", filler(126) + QStringLiteral("红烧鱼丸") + filler(90),
         "红烧鱼丸", true},
        {"128 characters, shared bits only", filler(124) + QStringLiteral("红烧鱼丸"), "红烧鱼丸",
         true},
        {"129 characters, bits of its own", filler(125) + QStringLiteral("红烧鱼丸"), "红烧鱼丸",
         true},
        {"thousands of characters", filler(6000) + QStringLiteral("鱼丸") + filler(10), "鱼丸",
         true},
        {"stored traditional", filler(200) + QStringLiteral("紅燒魚丸"), "红烧鱼丸", true},
        {"typed traditional", filler(200) + QStringLiteral("红烧鱼丸"), "紅燒魚丸", true},
        {"outside the BMP", filler(200) + QStringLiteral("𠀀鱼") + filler(3), "𠀀鱼", true},
        {"after a character outside the BMP", QStringLiteral("𠀀") + filler(200) + "鱼丸", "𠀀葱",
         true},
        {"a lone surrogate before it", QString(QChar(0xD800)) + filler(200) + "鱼丸", "鱼丸", true},
        {"digits and punctuation", filler(200) + QStringLiteral("鸡蛋2个，鱼丸"), "蛋2个，鱼",
         true},
        {"latin letters between", filler(200) + QStringLiteral("XO酱2勺"), "酱2勺", true},
        {"one character", filler(200) + QStringLiteral("丸"), "丸", true},
        {"typed with a blank", filler(200) + QStringLiteral("鱼丸"), "鱼 丸", true},
        {"stored with a blank", filler(200) + QStringLiteral("鱼 丸"), "鱼丸", false},
        {"every character, never in a row",
         QStringLiteral("红") + filler(70) + "烧" + filler(70) + "鱼" + filler(70) + "丸",
         "红烧鱼丸", false},
        {"the pairs, not in a row", filler(200) + QStringLiteral("红烧，烧鱼，鱼丸"), "红烧鱼丸",
         false},
        {"the other way round", filler(200) + QStringLiteral("丸鱼烧红"), "红烧鱼丸", false},
    };
    for (const auto& c : cases) {
        Index = TSuggestIndex();
        Ingredients.clear();
        Add(1, QStringLiteral("菜"), c.Ingredients);
        Add(2, QStringLiteral("汤"), filler(300)); // long, without the typed text
        EXPECT_EQ(Find(QString::fromUtf8(c.Typed)), c.Found ? QStringList({"*菜"}) : QStringList())
            << c.Why;
    }
}

// A recipe's ingredients changed between long and short, or to others as long: the
// old text's pairs no longer find it, the new text's do.
TEST_F(SuggestIndexTest, LongIngredientsFollowTheirChanges) {
    const QString head(150, u'葱'), other(150, u'姜');
    const struct {
        const char* Why;
        QString Before, After;
    } cases[] = {
        {"long to as long", head + QStringLiteral("红烧鱼丸"), other + QStringLiteral("清蒸排骨")},
        {"long to longer", head + QStringLiteral("红烧鱼丸"), other + other + "清蒸排骨"},
        {"long to short", head + QStringLiteral("红烧鱼丸"), QStringLiteral("清蒸排骨")},
        {"short to long", QStringLiteral("红烧鱼丸"), other + QStringLiteral("清蒸排骨")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Why);
        for (bool bulk : {false, true}) {
            Index = TSuggestIndex();
            Ingredients.clear();
            if (bulk)
                Index.BeginBulk(3);
            Add(1, QStringLiteral("甲"), c.Before);
            Add(2, QStringLiteral("乙"), c.Before);
            Add(3, QStringLiteral("丙"), head + QStringLiteral("烧鱼"));
            if (bulk)
                Index.EndBulk();
            Add(1, QStringLiteral("甲"), c.After);
            EXPECT_EQ(Find(QStringLiteral("红烧鱼丸")), QStringList({"*乙"}));
            EXPECT_EQ(Find(QStringLiteral("清蒸排骨")), QStringList({"*甲"}));
            EXPECT_EQ(Find(QStringLiteral("烧鱼")), QStringList({"*乙", "*丙"}));
            Add(2, QStringLiteral("乙"), c.After); // the same text again, and again
            Add(2, QStringLiteral("乙"), c.After);
            EXPECT_EQ(Find(QStringLiteral("红烧鱼丸")), QStringList());
            EXPECT_EQ(Find(QStringLiteral("清蒸排骨")), QStringList({"*甲", "*乙"}));
        }
    }
}

// Ingredients of every length up to several times the shared bits' reach, over
// enough characters that a text holds only some of the pairs: whatever the filters
// drop, the same as reading every text for the typed characters in a row. Typed
// texts are drawn from pieces of the texts too, so most rounds have hits, many of
// them deep inside long texts.
TEST(SuggestIndex, IngredientsAgreeWithReadingEveryText) {
    QString alphabet;
    for (int i = 0; i < 56; ++i)
        alphabet += QChar(0x4E00 + 37 * i);
    alphabet += QStringLiteral("紅燒红烧𠀀2 ");
    QRandomGenerator rng(5);
    std::vector<QString> texts;
    TSuggestIndex index;
    index.BeginBulk(250);
    for (int i = 0; i < 300; ++i) {
        if (i == 250)
            index.EndBulk();
        const int length = rng.bounded(3) == 0 ? int(rng.bounded(40)) : 100 + int(rng.bounded(700));
        texts.push_back(RandomText(rng, alphabet, length));
        index.Put(i, QString(QChar(u'a' + i % 26)) + QChar(u'a' + i / 26), texts.back());
    }
    std::vector<std::vector<char32_t>> folded(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        for (char32_t c : texts[i].toUcs4())
            folded[i].push_back(SuggestUnit(c));
    auto plain = [&](const QString& typed) {
        std::vector<char32_t> q = PlainUnits(typed);
        QStringList out;
        for (size_t i = 0; i < texts.size() && !q.empty(); ++i) {
            const std::vector<char32_t>& all = folded[i];
            if (std::search(all.begin(), all.end(), q.begin(), q.end()) != all.end())
                out << QStringLiteral("*") + QChar(u'a' + int(i) % 26) + QChar(u'a' + int(i) / 26);
        }
        return out;
    };
    const TIngredientsOf of = [&](qint64 id, QString&) {
        return QStringView(texts[size_t(id)]);
    };
    int found = 0;
    for (int round = 0; round < 600; ++round) {
        QString typed;
        if (round % 2) {
            const QList<uint> text = texts[rng.bounded(quint32(texts.size()))].toUcs4();
            const int n = 2 + int(rng.bounded(4));
            if (text.size() < n)
                continue;
            const qsizetype at = rng.bounded(quint32(text.size() - n + 1));
            typed = QString::fromUcs4(reinterpret_cast<const char32_t*>(text.data() + at), n);
        } else {
            typed = RandomText(rng, alphabet, 2 + int(rng.bounded(2)));
        }
        const QStringList expected = plain(typed);
        found += !expected.isEmpty();
        EXPECT_EQ(Names(index.Suggest(typed, of, 1000)), expected) << qPrintable(typed);
    }
    EXPECT_GT(found, 250);
}

TEST_F(SuggestIndexTest, HostileInput) {
    Add(1, QString(300, u'鱼'));
    Add(2, QString(QChar(0xD800)) + QStringLiteral("鱼"));
    Add(3, QString());
    EXPECT_EQ(Find(QString(TSuggestIndex::MaxTypedUnits, u'y')),
              QStringList({QString(300, u'鱼')}));
    EXPECT_EQ(Find(QString(TSuggestIndex::MaxTypedUnits + 1, u'y')), QStringList());
    EXPECT_EQ(Find(QString(TSuggestIndex::MaxTypedUnits + 1, u'鱼')), QStringList());
    EXPECT_EQ(Find(QString(QChar(0xDC00))), QStringList());
    EXPECT_EQ(Find(QStringLiteral("鱼")).size(), 2);
    EXPECT_EQ(Find(QString(40, u'鱼')), QStringList({QString(300, u'鱼')}));
}

// The matcher keeps what it learnt of each character from keystroke to keystroke on
// its thread: two books whose characters came in another order, asked in turn with
// texts of other lengths, each answer as if asked alone.
// A reader of ingredients may itself ask for suggestions, of this book or another:
// the outer keystroke's answer stays what it is alone.
TEST(SuggestIndex, AskingAgainFromTheIngredientsReader) {
    const QStringList names = {"红烧肉", "冰糖雪梨", "清蒸鱼", "糖醋排骨"},
                      texts = {"五花肉，冰糖，生抽", "雪梨，冰糖", "鲈鱼，姜", "排骨，冰糖，醋"};
    TSuggestIndex book, other;
    for (int i = 0; i < names.size(); ++i)
        book.Put(i, names[i], texts[i]);
    other.Put(7, QStringLiteral("鱼香肉丝"), QStringLiteral("肉丝，冰糖"));
    const TIngredientsOf plain = [&](qint64 id, QString&) {
        return QStringView(texts[id]);
    };
    const QStringList alone = Names(book.Suggest(QStringLiteral("冰糖"), plain));
    ASSERT_EQ(alone, QStringList({"冰糖雪梨", "*红烧肉", "*糖醋排骨"}));
    int asked = 0;
    const TIngredientsOf asking = [&](qint64 id, QString&) {
        ++asked;
        EXPECT_EQ(Names(other.Suggest(QStringLiteral("yuxiangrousi"), {})),
                  QStringList({"鱼香肉丝"}));
        EXPECT_EQ(Names(book.Suggest(QStringLiteral("醋"), plain)), QStringList({"糖醋排骨"}));
        return QStringView(texts[id]);
    };
    EXPECT_EQ(Names(book.Suggest(QStringLiteral("冰糖"), asking)), alone);
    EXPECT_EQ(asked, 2);
}

TEST(SuggestIndex, KeystrokesInTurnOnTwoBooksAnswerAsAlone) {
    const QStringList first = {"红烧肉", "烧鸭", "鸭血粉丝"},
                      second = {"鸭血粉丝", "烧鸭", "红烧肉"};
    TSuggestIndex a, b;
    for (int i = 0; i < 3; ++i) {
        a.Put(i, first[i], QString());
        b.Put(i, second[i], QString());
    }
    const struct {
        const char* Typed;
        QStringList A, B;
    } rows[] = {
        {"hsr", {"红烧肉"}, {"红烧肉"}},
        {"yx", {"鸭血粉丝"}, {"鸭血粉丝"}},
        {"shaoya", {"烧鸭"}, {"烧鸭"}},
        {"sy", {"烧鸭"}, {"烧鸭"}},
        {"ya", {"鸭血粉丝", "烧鸭"}, {"鸭血粉丝", "烧鸭"}},
        {"hongshaorou", {"红烧肉"}, {"红烧肉"}},
        {"xuefen", {"鸭血粉丝"}, {"鸭血粉丝"}},
        {"s", {"烧鸭", "红烧肉", "鸭血粉丝"}, {"烧鸭", "红烧肉", "鸭血粉丝"}},
        {"h", {"红烧肉"}, {"红烧肉"}},
        {"hongshaoya", {}, {}},
    };
    for (int round = 0; round < 2; ++round)
        for (const auto& row : rows) {
            const QString typed = QString::fromUtf8(row.Typed);
            EXPECT_EQ(Names(a.Suggest(typed, {})), row.A) << row.Typed;
            EXPECT_EQ(Names(b.Suggest(typed, {})), row.B) << row.Typed;
        }
}

} // namespace
