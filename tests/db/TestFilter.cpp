// The filter language and the filtered view of the record set.

#include "ADOFilter.h"
#include "BookTestUtil.h"
#include "PieceWalk.h"
#include "RecordWholeTexts.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

struct TLikeCase {
    const char* Pattern;
    const char* Text;
    bool Match;
};

const TLikeCase LikeCases[] = {
    {"%鱼%", "清蒸鱼", true},
    {"%鱼%", "鱼", true},
    {"%鱼%", "肉", false},
    {"%fish%", "Fish Soup", true}, // ASCII letters fold
    {"%FISH%", "fish", true},
    {"%É%", "é", false}, // only ASCII folds
    {"Fish*", "fish soup", true},
    {"Fish*", "a fish", false},
    {"%soup", "Fish Soup", true},
    {"%soup", "Soup!", false},
    {"abc", "ABC", true},
    {"abc", "abcd", false},
    {"a_c", "abc", true},
    {"a?c", "a鱼c", true},
    {"a_c", "ac", false},
    {"_", "", false},
    {"", "", true},
    {"", "a", false},
    {"%", "", true},
    {"%%", "x", true},
    {"**", "", true},
    {"a%b%c", "aXbYc", true},
    {"a%b%c", "abcb", false},
    {"a*b*c", "abbbc", true},
    {"%a_", "ab", true},
    {"%a_", "ba", false},
    {"%''%", "it''s", true}, // the pattern text holds two quotes here
    {"50%", "50%off", true},
    {"%50%%", "5 0", false},
    // "[x]" is the character x: a wildcard searched for as itself.
    {"%[%]%", "50%", true},
    {"%[%]%", "50", false},
    {"%[*]%", "a*b", true},
    {"%[*]%", "ab", false},
    {"[_]", "_", true},
    {"[_]", "a", false},
    {"%[?]", "why?", true},
    {"%[?]", "why!", false},
    {"%[[]a]%", "x[a]y", true},
    {"%[[]a]%", "xay", false},
    {"[A]bc", "abc", true}, // a bracketed letter still folds
    {"%[鱼]%", "清蒸鱼", true},
    // Brackets that are not the three-character form are plain text.
    {"[ab]", "[ab]", true},
    {"[ab]", "a", false},
    {"%[]", "x[]", true},
    {"[", "[", true},
    {"a[%", "a[xyz", true},
};

class TLikePatternTest : public ::testing::TestWithParam<TLikeCase> {};

TEST_P(TLikePatternTest, Matches) {
    const TLikeCase& c = GetParam();
    EXPECT_EQ(TLikePattern(QString::fromUtf8(c.Pattern)).Matches(QString::fromUtf8(c.Text)),
              c.Match)
        << c.Pattern << " ~ " << c.Text;
}

INSTANTIATE_TEST_SUITE_P(Patterns, TLikePatternTest, ::testing::ValuesIn(LikeCases));

TEST(TLikePatternTest, PathologicalPatternStaysFast) {
    QString pattern;
    for (int i = 0; i < 40; ++i) {
        pattern += QStringLiteral("%a");
    }
    pattern += QStringLiteral("%b");
    const QString text(20000, u'a');
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(TLikePattern(pattern).Matches(text));
    EXPECT_LT(t.elapsed(), 2000);
}

// The vectorised search against the plain definition, where a fault would hide:
// at either end, across the eight- and sixteen-unit steps, letters folded at the first and the
// last unit, a start past the text.
TEST(TFindFoldedTest, AgreesWithThePlainSearch) {
    auto plain = [](const std::u16string& t, size_t from, const std::u16string& lit) {
        auto fold = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        };
        for (size_t i = from; i + lit.size() <= t.size(); ++i) {
            bool same = true;
            for (size_t k = 0; k < lit.size() && same; ++k)
                same = fold(t[i + k]) == lit[k];
            if (same)
                return qsizetype(i);
        }
        return qsizetype(lit.empty() && from <= t.size() ? qsizetype(from) : -1);
    };
    const std::u16string literals[] = {
        u"松茸", u"a", u"ab", u"abc", u"松", u"x松茸y", u"0123456789abcdefg", u"é"};
    // Texts of every length up to 70 from a small alphabet, so finds are frequent:
    // across the steps of eight and of sixteen places.
    const std::u16string alphabet = u"aAbBc松茸xXyÉé0";
    uint32_t seed = 7;
    for (int length = 0; length <= 70; ++length)
        for (int round = 0; round < 30; ++round) {
            std::u16string t;
            for (int i = 0; i < length; ++i) {
                seed = seed * 1103515245u + 12345u;
                t.push_back(alphabet[(seed >> 16) % alphabet.size()]);
            }
            for (const std::u16string& lit : literals)
                for (size_t from : {size_t(0), size_t(1), size_t(9), t.size(), t.size() + 1}) {
                    ASSERT_EQ(FindFolded(t.data(), t.size(), from, lit), plain(t, from, lit))
                        << QString::fromStdU16String(t).toStdString() << " / "
                        << QString::fromStdU16String(lit).toStdString() << " from " << from;
                }
        }
    // The literal exactly at the last place of a long text, in upper case.
    std::u16string t(1000, u'z');
    t.replace(t.size() - 3, 3, u"ABC");
    EXPECT_EQ(FindFolded(t.data(), t.size(), 0, u"abc"), qsizetype(t.size() - 3));
}

// Which filters are a keyword search, answered by searching runs of text.
TEST(TFilterExprTest, KeywordSearchesAreToldApart) {
    const QStringList columns = {QStringLiteral("菜名"), QStringLiteral("原料"),
                                 QStringLiteral("做法")};
    struct TCase {
        const char* Filter;
        std::vector<int> Columns; // empty: not a keyword search
        const char16_t* Literal;
    };
    const TCase cases[] = {
        {"菜名 like  '%松茸%' or 原料 like  '%松茸%'", {0, 1}, u"松茸"},
        {"原料 like '%Fish%'", {1}, u"fish"},
        {"(菜名 like '%a%' or (做法 like '*a*')) or 菜名 like '%a%'", {0, 2}, u"a"},
        {"菜名 like '%[%]%'", {0}, u"%"},
        {"菜名 like '%a%' or 原料 like '%b%'", {}, u""}, // two texts
        {"菜名 like '%a%' and 原料 like '%a%'", {}, u""},
        {"菜名 not like '%a%'", {}, u""},
        {"菜名 like 'a%'", {}, u""},
        {"菜名 like '%a_%'", {}, u""},
        {"菜名 like '%'", {}, u""}, // everything but NULL
        {"菜名 = 'a'", {}, u""},
        {"", {}, u""},
    };
    for (const TCase& c : cases) {
        const auto expr = TFilterExpr::Parse(QString::fromUtf8(c.Filter), columns);
        const auto search = expr->AsContainsSearch();
        EXPECT_EQ(search.has_value(), !c.Columns.empty()) << c.Filter;
        if (search) {
            EXPECT_EQ(search->Columns, c.Columns) << c.Filter;
            EXPECT_EQ(search->Literal, std::u16string(c.Literal)) << c.Filter;
        }
    }
}

// A text of a few letters, so that keywords are found often, across cells too.
QString RandomText(QRandomGenerator& rng, int length) {
    const QChar letters[] = {u'松', u'茸', u'盐', u'A', u'a'};
    QString t;
    for (int i = 0; i < length; ++i) {
        t += letters[rng.bounded(int(std::size(letters)))];
    }
    return t;
}

// A small book with the awkward names a keyword search meets.
class TFilterTest : public TBookTest {
protected:
    void SetUp() override {
        TBookTest::SetUp();
        Add(QStringLiteral("红烧肉"), QStringLiteral("五花肉 酱油"), QStringLiteral("炖"),
            QStringLiteral("it's good"));
        Add(QStringLiteral("Fish Soup"), QStringLiteral("fish, salt"), QStringLiteral("boil"),
            QStringLiteral("10"));
        Add(QStringLiteral("it's"), QStringLiteral("apostrophe"), QString(), QStringLiteral("2"));
        Add(QStringLiteral("50%off"), QStringLiteral("discount"), QStringLiteral("x"),
            QStringLiteral("100"));
        FQuery.AppendRecord({QStringLiteral("a_b"), QStringLiteral("underscore"),
                             QStringLiteral("y")});                               // 说明 NULL
        FQuery.AppendRecord({QStringLiteral("清蒸鱼"), QStringLiteral("鱼 姜")}); // 做法 NULL
        FAll = Names();
    }
    void Filter(const QString& text) {
        FQuery.SetFilter(text);
        FQuery.SetFiltered(true);
    }
    QStringList FAll;
};

struct TFilterCase {
    const char* Filter;
    std::vector<const char*> Names;
};

class TFilterSyntaxTest : public TFilterTest, public ::testing::WithParamInterface<TFilterCase> {};

TEST_P(TFilterSyntaxTest, SelectsRows) {
    const TFilterCase& c = GetParam();
    Filter(QString::fromUtf8(c.Filter));
    QStringList expected;
    for (const char* n : c.Names) {
        expected << QString::fromUtf8(n);
    }
    EXPECT_EQ(Names(), expected) << c.Filter;
    EXPECT_EQ(FQuery.RecordCount(), expected.size());
}

const TFilterCase FilterCases[] = {
    // The program's own search term, two blanks after like.
    {"菜名 like  '%肉%' or 原料 like  '%肉%'", {"红烧肉"}},
    {"菜名 like  '%fish%' or 原料 like  '%fish%'", {"Fish Soup"}},
    {"菜名 like  '%鱼%' or 原料 like  '%鱼%'", {"清蒸鱼"}},
    {"菜名 like  '% %' or 原料 like  '% %'", {"红烧肉", "Fish Soup", "清蒸鱼"}},
    {"菜名\tLIKE\n'%FISH%'", {"Fish Soup"}},
    // Doubled quotes read as one quote.
    {"菜名 like  '%it''s%' or 原料 like  '%it''s%'", {"it's"}},
    {"说明 like '%it''s%'", {"红烧肉"}},
    {"[菜名] = 'it''s'", {"it's"}},
    {"菜名 like  '%''%'", {"it's"}},
    // Wildcards.
    {"菜名 like 'Fish*'", {"Fish Soup"}},
    {"菜名 like '%Soup'", {"Fish Soup"}},
    {"菜名 like 'a?b'", {"a_b"}},
    {"菜名 like '50%'", {"50%off"}},
    {"菜名 like '%'", {"红烧肉", "Fish Soup", "it's", "50%off", "a_b", "清蒸鱼"}},
    {"说明 like '%'", {"红烧肉", "Fish Soup", "it's", "50%off"}}, // NULL never matches
    {"菜名 not like '%a%'", {"红烧肉", "Fish Soup", "it's", "50%off", "清蒸鱼"}},
    // Comparisons: quoted values exactly, bare numbers numerically.
    {"菜名 = 'fish soup'", {}},
    {"菜名 = 'Fish Soup'", {"Fish Soup"}},
    {"做法 = 炖", {"红烧肉"}},
    {"说明 = 10", {"Fish Soup"}},
    {"说明 = '10.0'", {}},
    {"说明 = 10.0", {"Fish Soup"}},
    {"说明 >9 and 说明 < 100", {"Fish Soup"}},
    {"说明 <= 2", {"it's"}},
    {"说明 >=100", {"红烧肉", "50%off"}}, // text that is no number compares as text

    {"说明 <> 10", {"红烧肉", "it's", "50%off"}},
    {"做法 = 'boil'", {"Fish Soup"}},
    // and binds tighter than or; parentheses; keywords in any case.
    {"菜名 like 'Fish*' or 菜名 like '%鱼%' and 说明 = 10", {"Fish Soup"}},
    {"(菜名 like 'Fish*' or 菜名 like '%鱼%') and 原料 like '%姜%'", {"清蒸鱼"}},
    {"菜名 like 'x*' OR 菜名 LIKE 'a*' Or ((原料 like 'dis*'))", {"50%off", "a_b"}},
    {"菜名 like '%o%' AnD 说明 >= 10", {"Fish Soup", "50%off"}},
    {"   ", {"红烧肉", "Fish Soup", "it's", "50%off", "a_b", "清蒸鱼"}},
};

INSTANTIATE_TEST_SUITE_P(Syntax, TFilterSyntaxTest, ::testing::ValuesIn(FilterCases));

struct TInvalidCase {
    const char* Filter;
    const char* Mentions; // the message names the problem
};

class TInvalidFilterTest : public TFilterTest,
                           public ::testing::WithParamInterface<TInvalidCase> {};

TEST_P(TInvalidFilterTest, RaisesAndKeepsThePreviousView) {
    const TInvalidCase& c = GetParam();
    Filter(QStringLiteral("菜名 like '%o%'"));
    FQuery.First();
    FQuery.Next();
    const QStringList before{QStringLiteral("Fish Soup"), QStringLiteral("50%off")};
    ASSERT_EQ(FQuery.RecNo(), 2);

    // Switching an invalid filter on, on a query that was unfiltered.
    FQuery.SetFiltered(false);
    FQuery.SetFilter(QString::fromUtf8(c.Filter)); // not checked while the filter is off
    try {
        FQuery.SetFiltered(true);
        FAIL() << "accepted " << c.Filter;
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("筛选条件无效："))) << e.what();
        EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.Mentions))) << e.what();
    }
    EXPECT_FALSE(FQuery.Filtered());
    EXPECT_EQ(Names(), FAll);

    // Replacing a working filter with an invalid one while it is on.
    FQuery.SetFilter(QStringLiteral("菜名 like '%o%'"));
    FQuery.SetFiltered(true);
    FQuery.First();
    FQuery.Next();
    EXPECT_THROW(FQuery.SetFilter(QString::fromUtf8(c.Filter)), EDatabaseError);
    EXPECT_TRUE(FQuery.Filtered());
    EXPECT_EQ(FQuery.Filter(), QStringLiteral("菜名 like '%o%'"));
    EXPECT_EQ(FQuery.RecNo(), 2);
    EXPECT_EQ(Names(), before);
}

const TInvalidCase InvalidCases[] = {
    {"菜名 like  '%it's%' or 原料 like  '%it's%'", "s%"}, // the program's term, unescaped
    {"菜名 = 'open", "引号"},
    {"价格 = 1", "价格"},
    {"菜名 like", "值"},
    {"菜名 '%x%'", "比较"},
    {"(菜名 = 'a'", ")"},
    {"菜名 = 'a')", ")"},
    {"菜名 = 'a' or", "缺少条件"},
    {"and 菜名 = 'a'", "字段名"},
    {"菜名 = 'a' 原料 = 'b'", "原料"},
    {"菜名 == 'a'", "值"},
    {"菜名 = 'a' xor 原料 = 'b'", "xor"},
    {"[菜名 = 'a'", "]"},
    {"菜名 not = 'a'", "like"},
    {"'a' = 菜名", "字段名"},
};

INSTANTIATE_TEST_SUITE_P(Invalid, TInvalidFilterTest, ::testing::ValuesIn(InvalidCases));

TEST(TFilterExprTest, DeepNestingIsRefusedNotRecursedInto) {
    const QString deep = QString(100000, u'(') + QStringLiteral("a = 1") + QString(100000, u')');
    EXPECT_THROW(TFilterExpr::Parse(deep, {QStringLiteral("a")}), EDatabaseError);
    const QString ok = QString(30, u'(') + QStringLiteral("a = 1") + QString(30, u')');
    EXPECT_FALSE(TFilterExpr::Parse(ok, {QStringLiteral("a")})->IsEmpty());
}

TEST_F(TFilterTest, FilteredOffShowsAllRowsAndKeepsTheText) {
    const QString text = QStringLiteral("菜名 like  '%鱼%' or 原料 like  '%鱼%'");
    Filter(text);
    EXPECT_EQ(FQuery.RecordCount(), 1);
    FQuery.SetFiltered(false);
    EXPECT_EQ(FQuery.Filter(), text);
    EXPECT_EQ(Names(), FAll);
    // A filter switched on before opening applies at open.
    FQuery.SetFiltered(true);
    OpenBook();
    EXPECT_EQ(Names(), QStringList{QStringLiteral("清蒸鱼")});
}

TEST_F(TFilterTest, LocateAndRecordNumbersStayInsideTheView) {
    Filter(QStringLiteral("菜名 like  '%o%' or 原料 like  '%o%'"));
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("Fish Soup"), QStringLiteral("it's"),
                                    QStringLiteral("50%off"), QStringLiteral("a_b")}));
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("红烧肉"))); // exists, but filtered out
    EXPECT_FALSE(FQuery.Locate(Method, QStringLiteral("炖")));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("50%off")));
    EXPECT_EQ(FQuery.RecNo(), 3);
    ASSERT_TRUE(FQuery.Locate(Method, QStringLiteral("boil")));
    EXPECT_EQ(FQuery.RecNo(), 1);
    FQuery.SetFiltered(false);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("50%off")));
    EXPECT_EQ(FQuery.RecNo(), 4);
}

TEST_F(TFilterTest, AppendedRowStaysFindableUntilTheFilterIsApplied) {
    // The save's sequence: look up under the search's filter, append, look up again.
    const QString text = QStringLiteral("菜名 like  '%鱼%' or 原料 like  '%鱼%'");
    Filter(text);
    ASSERT_FALSE(FQuery.Locate(Name, QStringLiteral("红烧牛肉")));
    Add(QStringLiteral("红烧牛肉"), QStringLiteral("牛肉"));
    EXPECT_EQ(FQuery.RecNo(), 2);
    EXPECT_EQ(FQuery.RecordCount(), 2);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("红烧牛肉")));
    FQuery.Edit();
    FQuery.FieldByName(QStringLiteral("img")).SetAsString(QStringLiteral("jpeg"));
    FQuery.Post();
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("清蒸鱼"), QStringLiteral("红烧牛肉")}));
    // Applying the filter again drops it; without a filter it is there.
    FQuery.SetFilter(text);
    EXPECT_EQ(Names(), QStringList{QStringLiteral("清蒸鱼")});
    FQuery.SetFiltered(false);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("红烧牛肉")));
    EXPECT_EQ(FQuery.FieldByName(QStringLiteral("img")).AsBytes(), QByteArray("jpeg"));
    EXPECT_EQ(FQuery.RecordCount(), FAll.size() + 1);
}

// A keyword search over runs of the cached texts finds what a row-by-row one
// does: never a find that runs from one row's or column's text into the next,
// texts too long for the cache, NULL and empty cells, and texts an edit moved.
TEST_F(TFilterTest, KeywordSearchFindsOnlyWithinOneText) {
    const QString longIngredients = QString(5000, u'盐') + QStringLiteral("松茸");
    Add(QStringLiteral("尾松"), QStringLiteral("茸头")); // name's end, ingredients' start
    Add(QStringLiteral("茸菜"), QStringLiteral("松"));   // ingredients' end, next name
    // Longer than the column, as another program may write it.
    FConnection.Execute(QStringLiteral("insert into mycook(菜名, 原料) values('长配料', '%1')")
                            .arg(longIngredients));
    OpenBook();
    FQuery.AppendRecord({QStringLiteral("松茸汤")}); // ingredients NULL
    Add(QString(), QStringLiteral("松茸片"));        // empty name
    Add(QStringLiteral("改过的"), QStringLiteral("豆腐"));
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("改过的")));
    FQuery.Edit();
    FQuery.FieldByName(Ingredients).SetAsString(QStringLiteral("鲜松茸"));
    FQuery.Post();
    Add(QStringLiteral("SONG茸"), QStringLiteral("x"));
    struct TCase {
        const char* Keyword;
        QStringList Names;
    };
    const TCase cases[] = {
        {"松茸",
         {QStringLiteral("长配料"), QStringLiteral("松茸汤"), QString(), QStringLiteral("改过的")}},
        {"song茸", {QStringLiteral("SONG茸")}},
        {"茸头", {QStringLiteral("尾松")}},
        {"松茸头", {}},
        {"菜松", {}},
        {"盐盐松茸", {QStringLiteral("长配料")}},
        {"豆腐", {}}, // the edit's old text is still in memory
        {"姜", {QStringLiteral("清蒸鱼")}},
    };
    for (const TCase& c : cases) {
        const QString k = QString::fromUtf8(c.Keyword);
        Filter(QStringLiteral("菜名 like  '%%1%' or 原料 like  '%%1%'").arg(k));
        EXPECT_EQ(Names(), c.Names) << c.Keyword;
        // The same rows as the row-by-row walk, which a column beyond the cache forces.
        const QStringList found = Names();
        Filter(QStringLiteral("菜名 like  '%%1%' or 原料 like  '%%1%' or 做法 = '-'").arg(k));
        EXPECT_EQ(Names(), found) << c.Keyword;
    }
}

// A book large enough that the search is shared with a second thread finds what
// the row-by-row walk finds: a find across two pieces' border, or across two rows'
// texts, is none, and texts too long for the cache in several pieces are all read.
TEST_F(TFilterTest, SharedSearchOfALargeBookFindsWhatTheRowWalkFinds) {
    constexpr int Rows = 40000;
    QRandomGenerator rng(7);
    auto text = [&](int length) {
        return RandomText(rng, length);
    };
    FConnection.Execute(QStringLiteral("begin"));
    for (int r = 0; r < Rows; ++r) {
        // Every 7,777th row's ingredients are longer than the cache takes.
        const QString ingredients = r % 7777 == 5 ? QString(5000, u'盐') + QStringLiteral("茸松茸")
                                                  : text(int(rng.bounded(1, 9)));
        FConnection.Execute(QStringLiteral("insert into mycook(菜名, 原料) values('%1', '%2')")
                                .arg(text(int(rng.bounded(0, 6))), ingredients));
    }
    FConnection.Execute(QStringLiteral("commit"));
    OpenBook();
    ASSERT_EQ(FQuery.RecordCount(), Rows + FAll.size());
    for (const char* keyword : {"松茸", "茸松茸", "aA", "盐盐盐盐盐盐盐盐", "茸茸茸茸", "x"}) {
        const QString k = QString::fromUtf8(keyword);
        Filter(QStringLiteral("菜名 like  '%%1%' or 原料 like  '%%1%'").arg(k));
        const QStringList shared = Names();
        Filter(QStringLiteral("菜名 like  '%%1%' or 原料 like  '%%1%' or 做法 = '-'").arg(k));
        EXPECT_EQ(shared, Names()) << keyword;
        EXPECT_EQ(shared.isEmpty(), qstrcmp(keyword, "x") == 0) << keyword;
    }
}

// A large book with whole names and ingredients beside the columns that hold them cut,
// as the recipe's extras keep them: the shared search finds what the book's texts hold,
// by a model of its own and by the row-by-row walk, before and after changes.
class TWholeFilterTest : public TFilterTest {
protected:
    struct TRow {
        qint64 Id = 0;
        QString Name, Ingredients;           // the columns (null: NULL)
        QString WholeName, WholeIngredients; // null: none
        QString NameColumn, IngredientsColumn;
        bool Whole = false;
    };
    void Insert(TRow& r) {
        FConnection.Execute(QStringLiteral("insert into mycook(菜名, 原料) values(%1, %2)")
                                .arg(Sql(r.Name), Sql(r.Ingredients)));
        r.Id = qint64(FRows.size()) + 1; // rows are only added
        if (r.Whole) {
            WriteWhole(r);
        }
    }
    void WriteWhole(const TRow& r) {
        FConnection.Execute(
            QStringLiteral("insert or replace into mycook_recipe(recipe, name_column,"
                           " ingredients_column) values(%1, %2, %3)")
                .arg(r.Id)
                .arg(Sql(r.NameColumn), Sql(r.IngredientsColumn)));
        FConnection.Execute(QStringLiteral("insert or replace into mycook_whole(recipe, name,"
                                           " ingredients) values(%1, %2, %3)")
                                .arg(r.Id)
                                .arg(Sql(r.WholeName), Sql(r.WholeIngredients)));
    }
    static QString Sql(const QString& t) {
        return t.isNull() ? QStringLiteral("NULL") : QLatin1Char('\'') + t + QLatin1Char('\'');
    }
    // What the search must find: a whole text counts while the column holds what it
    // was cut to (the ingredients only beside a counting name).
    std::vector<qint64> Expected(const QString& keyword) const {
        std::vector<qint64> out;
        for (const TRow& r : FRows) {
            const bool name = r.Whole && r.Name == r.NameColumn;
            const bool ingredients =
                name && !r.WholeIngredients.isNull() && r.Ingredients == r.IngredientsColumn;
            const QString n = name && !r.WholeName.isNull() ? r.WholeName : r.Name;
            const QString i = ingredients ? r.WholeIngredients : r.Ingredients;
            if (n.contains(keyword, Qt::CaseInsensitive) ||
                i.contains(keyword, Qt::CaseInsensitive)) {
                out.push_back(r.Id);
            }
        }
        return out;
    }
    std::vector<qint64> Found(const QString& filter) {
        Filter(filter);
        std::vector<qint64> out;
        for (FQuery.First(); !FQuery.Eof(); FQuery.Next()) {
            out.push_back(FQuery.RowId());
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    void Check(const char* step) {
        for (const char* keyword :
             {"松茸", "茸松茸", "aA", "松茸盐A松", "盐盐盐", "茸…", "…", "茸头", "x"}) {
            const QString k = QString::fromUtf8(keyword);
            const std::vector<qint64> shared =
                Found(QStringLiteral("菜名 like '%%1%' or 原料 like '%%1%'").arg(k));
            EXPECT_EQ(shared, Expected(k)) << step << ": " << keyword;
            EXPECT_EQ(
                shared,
                Found(QStringLiteral("菜名 like '%%1%' or 原料 like '%%1%' or 做法 = '-'").arg(k)))
                << step << ": " << keyword;
        }
    }
    std::vector<TRow> FRows;
};

TEST_F(TWholeFilterTest, SharedSearchFindsWholeTextsAsTheBookHoldsThem) {
    for (const TRow& r : {TRow{0, QStringLiteral("红烧肉"), QStringLiteral("五花肉 酱油")},
                          TRow{0, QStringLiteral("Fish Soup"), QStringLiteral("fish, salt")},
                          TRow{0, QStringLiteral("it's"), QStringLiteral("apostrophe")},
                          TRow{0, QStringLiteral("50%off"), QStringLiteral("discount")},
                          TRow{0, QStringLiteral("a_b"), QStringLiteral("underscore")},
                          TRow{0, QStringLiteral("清蒸鱼"), QStringLiteral("鱼 姜")}}) {
        FRows.push_back(r);
    }
    for (size_t i = 0; i < FRows.size(); ++i) {
        FRows[i].Id = qint64(i) + 1;
    }
    FConnection.Execute(QStringLiteral("create table mycook_recipe(recipe integer primary key,"
                                       " name_column text not null, ingredients_column text)"));
    FConnection.Execute(QStringLiteral("create table mycook_whole(recipe integer primary key,"
                                       " name text, ingredients text)"));
    constexpr int Rows = 40000;
    QRandomGenerator rng(11);
    auto text = [&](int length) {
        return RandomText(rng, length);
    };
    // What a column keeps of a longer text: its start and an ellipsis.
    auto cut = [&](const QString& whole) {
        return whole.left(int(rng.bounded(1, int(whole.size())))) + QStringLiteral("…");
    };
    // Rows at and beside the borders of the shared walk's pieces have whole texts.
    const size_t all = FRows.size() + Rows;
    std::vector<char> border(all + 2, 0);
    for (size_t k = 1; k < 16; ++k) {
        for (const size_t b : {all * k / 16 - 1, all * k / 16, all * k / 16 + 1}) {
            border[b] = 1;
        }
    }
    FConnection.Execute(QStringLiteral("begin"));
    for (int i = 0; i < Rows; ++i) {
        TRow r;
        const auto kind = rng.bounded(12);
        r.Whole = border[FRows.size()] || kind < 4;
        if (r.Whole) {
            // A whole name always; whole ingredients on some; a name the column no
            // longer holds as it was cut (another program renamed it) on a few.
            r.WholeName = text(int(rng.bounded(2, 12)));
            r.NameColumn = cut(r.WholeName);
            r.Name = kind == 3 ? text(3) : r.NameColumn;
            if (kind != 1) {
                r.WholeIngredients = text(int(rng.bounded(2, 30)));
                r.IngredientsColumn = cut(r.WholeIngredients);
                r.Ingredients = kind == 2 ? text(4) : r.IngredientsColumn;
            } else {
                r.Ingredients = text(int(rng.bounded(0, 6)));
            }
        } else if (kind == 11) {
            r.Name = QStringLiteral(""); // empty and NULL cells among the texts
        } else {
            r.Name = text(int(rng.bounded(0, 6)));
            r.Ingredients = kind == 10 ? QString() : text(int(rng.bounded(0, 9)));
        }
        Insert(r);
        FRows.push_back(r);
    }
    FConnection.Execute(QStringLiteral("commit"));
    OpenBook();
    ASSERT_EQ(FQuery.RecordCount(), int(FRows.size()));
    // Keywords found only past what the column holds, so the whole texts are searched.
    size_t pastTheColumn = 0;
    for (const TRow& r : FRows) {
        pastTheColumn += r.Whole && r.Name == r.NameColumn &&
                         r.WholeName.contains(QStringLiteral("茸松茸")) &&
                         !r.Name.contains(QStringLiteral("茸松茸")) &&
                         !r.Ingredients.contains(QStringLiteral("茸松茸"));
    }
    ASSERT_GT(pastTheColumn, 10u);
    Check("as read");

    // Changes of our own: whole texts rewritten, dropped, made whole again, a name
    // edited out of the run (its whole name no longer counts), a row added.
    FConnection.Execute(QStringLiteral("begin"));
    for (size_t i = 6; i < FRows.size(); i += 97) {
        TRow& r = FRows[i];
        if (!r.Whole) {
            continue;
        }
        if (i % 3 == 0) {
            FConnection.Execute(
                QStringLiteral("delete from mycook_whole where recipe = %1").arg(r.Id));
            r.Whole = false;
        } else {
            r.WholeName = r.NameColumn.chopped(1) + text(int(rng.bounded(1, 9)));
            WriteWhole(r);
        }
    }
    FConnection.Execute(QStringLiteral("commit"));
    FQuery.SetFiltered(false);
    for (size_t i = 7; i < FRows.size(); i += 4001) {
        TRow& r = FRows[i];
        ASSERT_TRUE(FQuery.LocateRowId(r.Id));
        FQuery.Edit();
        r.Name = QStringLiteral("茸松茸") + text(2);
        FQuery.FieldByName(Name).SetAsString(r.Name);
        FQuery.Post();
    }
    TRow added;
    added.Whole = true;
    added.WholeName = QStringLiteral("新菜茸松茸");
    added.NameColumn = QStringLiteral("新菜…");
    added.Name = added.NameColumn;
    FQuery.AppendRecord({added.Name, added.Ingredients});
    added.Id = FQuery.RowId();
    WriteWhole(added);
    FRows.push_back(added);
    ASSERT_EQ(FQuery.RecordCount(), int(FRows.size()));
    Check("after changes");
}

// Each piece runs once, whatever the count and whoever takes it; a second caller
// while the helper serves the first still gets all of its own.
TEST(TRunPiecesTest, EachPieceRunsOnce) {
    for (const size_t count :
         {size_t(0), size_t(1), size_t(2), size_t(3), size_t(16), size_t(1000)}) {
        std::vector<std::atomic<int>> runs(count);
        RunPieces(count, [&](size_t k) { runs[k].fetch_add(1); });
        for (size_t k = 0; k < count; ++k) {
            EXPECT_EQ(runs[k].load(), 1) << count << " pieces, piece " << k;
        }
    }
    std::vector<std::atomic<int>> outer(64), inner(64 * 8);
    std::thread other([&] {
        for (int round = 0; round < 8; ++round) {
            RunPieces(64, [&](size_t k) { inner[size_t(round) * 64 + k].fetch_add(1); });
        }
    });
    for (int round = 0; round < 8; ++round) {
        RunPieces(64, [&](size_t k) {
            outer[k].fetch_add(1);
            std::this_thread::yield();
        });
    }
    other.join();
    for (const auto& n : outer) {
        EXPECT_EQ(n.load(), 8);
    }
    for (const auto& n : inner) {
        EXPECT_EQ(n.load(), 1);
    }
}

// The whole texts' reading waits for the rows' (one reading thread at a time beside
// the window's): nothing is read before the rows are done, a reading given up while it
// waits ends at once, and once the rows are done it reads every entry.
TEST(TWholeReadingTest, WaitsForTheRowsAndCanBeGivenUpMeanwhile) {
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("cook.mdb")).toUtf8();
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.constData(), &raw), SQLITE_OK);
        TDbPtr db(raw);
        ASSERT_EQ(
            sqlite3_exec(raw,
                         "create table mycook_whole(recipe integer primary key, name text,"
                         " ingredients text);"
                         "create table mycook_recipe(recipe integer primary key,"
                         " name_column text, ingredients_column text);"
                         "insert into mycook_whole values(1, '整名一', null), (2, '整名二', '料');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
    }
    struct TCase {
        const char* How;
        bool RowsDone, GiveUp;
        size_t Entries; // what Take gives once the reading is left time; -1: nothing
    };
    const TCase cases[] = {
        {"rows still read", false, false, size_t(-1)},
        {"given up while it waits", false, true, size_t(-1)},
        {"rows done", true, false, 2},
    };
    for (const TCase& c : cases) {
        std::promise<void> rows;
        TWholeReading reading;
        reading.Start(path, rows.get_future().share());
        if (c.RowsDone) {
            rows.set_value();
        }
        QElapsedTimer clock;
        clock.start();
        if (c.GiveUp) {
            reading.Stop();
            EXPECT_LT(clock.elapsed(), 1000) << c.How;
            EXPECT_FALSE(reading.Running()) << c.How;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto entries = reading.Take();
        EXPECT_EQ(entries ? entries->size() : size_t(-1), c.Entries) << c.How;
    }
}

TEST_F(TFilterTest, EditsAreSeenByTheNextFilterAndLookUp) {
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("a_b")));
    FQuery.Edit();
    FQuery.FieldByName(Name).SetAsString(QStringLiteral("鱼丸"));
    FQuery.FieldByName(Note).SetAsString(QStringLiteral("55"));
    FQuery.Post();
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("a_b")));
    Filter(QStringLiteral("菜名 like  '%鱼%'"));
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("鱼丸"), QStringLiteral("清蒸鱼")}));
    FQuery.SetFilter(QStringLiteral("说明 > 50 and 说明 < 60"));
    EXPECT_EQ(Names(), QStringList{QStringLiteral("鱼丸")});
}

// Narrowing by row identities, with and without the keyword filter.
class TNarrowTest : public TFilterTest {
protected:
    // The identities of the named rows, ascending.
    std::shared_ptr<const std::vector<qint64>> Rows(const QStringList& names) {
        auto rows = std::make_shared<std::vector<qint64>>();
        const bool filtered = FQuery.Filtered();
        const auto narrowing = FQuery.Narrowed();
        FQuery.SetFiltered(false);
        FQuery.SetNarrowing(nullptr);
        for (const QString& name : names)
            if (FQuery.Locate(Name, name))
                rows->push_back(FQuery.RowId());
        rows->push_back(999999); // a row no longer in the book
        std::sort(rows->begin(), rows->end());
        FQuery.SetFiltered(filtered);
        EXPECT_FALSE(narrowing) << "take the rows before narrowing";
        return rows;
    }
};

TEST_F(TNarrowTest, NarrowsWithAndWithoutTheFilter) {
    const QString fish = QStringLiteral("菜名 like  '%鱼%' or 原料 like  '%鱼%'");
    const QString soupOrO = QStringLiteral("菜名 like  '%o%' or 原料 like  '%o%'");
    struct TCase {
        const char* Why;
        QStringList Narrow; // empty: none
        bool NoNarrowing;
        QString Filter; // empty: off
        QStringList Expected;
    };
    const QStringList all = FAll;
    const TCase cases[] = {
        {"no narrowing, no filter", {}, true, {}, all},
        {"narrowing alone keeps the book's order",
         {QStringLiteral("清蒸鱼"), QStringLiteral("红烧肉")},
         false,
         {},
         {QStringLiteral("红烧肉"), QStringLiteral("清蒸鱼")}},
        {"an empty narrowing shows nothing", {}, false, {}, {}},
        {"narrowing and the filter both hold",
         {QStringLiteral("清蒸鱼"), QStringLiteral("Fish Soup"), QStringLiteral("it's")},
         false,
         soupOrO,
         {QStringLiteral("Fish Soup"), QStringLiteral("it's")}},
        {"the filter alone", {}, true, fish, {QStringLiteral("清蒸鱼")}},
        {"nothing in both", {QStringLiteral("红烧肉")}, false, fish, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Why);
        FQuery.SetNarrowing(nullptr);
        FQuery.SetFiltered(false);
        auto rows = c.NoNarrowing ? nullptr : Rows(c.Narrow);
        FQuery.SetNarrowing(rows);
        if (!c.Filter.isEmpty())
            Filter(c.Filter);
        EXPECT_EQ(Names(), c.Expected);
        EXPECT_EQ(FQuery.RecordCount(), c.Expected.size());
        // Switching the filter off leaves the narrowing.
        FQuery.SetFiltered(false);
        if (!c.NoNarrowing)
            EXPECT_EQ(FQuery.RecordCount(), c.Narrow.size());
        else
            EXPECT_EQ(FQuery.RecordCount(), all.size());
    }
}

TEST_F(TNarrowTest, LookUpsAndRereadsStayInsideTheNarrowedView) {
    FQuery.SetNarrowing(Rows({QStringLiteral("Fish Soup"), QStringLiteral("清蒸鱼")}));
    EXPECT_FALSE(FQuery.Locate(Name, QStringLiteral("红烧肉"))); // in the book, narrowed out
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("清蒸鱼")));
    EXPECT_EQ(FQuery.RecNo(), 2);
    // Read again (another program changed the book): the narrowing holds.
    OpenBook();
    EXPECT_EQ(Names(), (QStringList{QStringLiteral("Fish Soup"), QStringLiteral("清蒸鱼")}));
    // A row saved meanwhile is findable until the next narrowing, as under a filter.
    Add(QStringLiteral("新菜"));
    EXPECT_EQ(FQuery.RecordCount(), 3);
    ASSERT_TRUE(FQuery.Locate(Name, QStringLiteral("新菜")));
    FQuery.SetNarrowing(nullptr);
    EXPECT_EQ(FQuery.RecordCount(), FAll.size() + 1);
}

} // namespace
