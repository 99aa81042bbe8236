// Numbers and units as cooks write them, and amounts rounded for their unit.
#include "Quantity.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadNumber, FormsCooksWrite) {
    const struct {
        const char16_t* Text;
        double Value;
        qsizetype Read;
        bool Chinese;
    } cases[] = {
        {u"500克", 500, 3, false},
        {u"1.5kg", 1.5, 3, false},
        {u"０．５升", 0.5, 3, false},
        {u"1/2 勺", 0.5, 3, false},
        {u"1 1/2 cups", 1.5, 5, false},
        {u"1-1/2 c", 1.5, 5, false},
        {u"½ cup", 0.5, 1, false},
        {u"1½ cups", 1.5, 2, false},
        {u"1 ½ cups", 1.5, 3, false},
        {u"3⁄4 tsp", 0.75, 3, false},
        {u"1/0 杯", 1, 1, false}, // no fraction with a zero below:
                                  // the 1 alone
        {u"2-3个", 2, 1, false},  // a range is read by the line, not here
        {u"1 2/1", 1, 1, false},  // an improper fraction is not a whole's part
        {u"一", 1, 1, true},
        {u"两个", 2, 1, true},
        {u"十", 10, 1, true},
        {u"十五分钟", 15, 2, true},
        {u"二十", 20, 2, true},
        {u"二十五", 25, 3, true},
        {u"一百", 100, 2, true},
        {u"两百二十克", 220, 4, true},
        {u"一百零五", 105, 4, true},
        {u"半斤", 0.5, 1, true},
        {u"两三个", 2, 1, true}, // the range's first number
        {u"三十四五", 34, 3, true},
        {u"12345678克", 0, 0, false}, // too many digits for an amount
        {u"零", 0, 0, true},
        {u"百叶", 0, 0, true},
        {u"盐", 0, 0, false},
        {u"", 0, 0, false},
    };
    for (const auto& c : cases) {
        TNumber n;
        const QString text = QString::fromUtf16(c.Text);
        const qsizetype read = ReadNumber(text, n);
        EXPECT_EQ(read, c.Read) << text.toStdString();
        if (read > 0) {
            EXPECT_NEAR(n.Value, c.Value, 1e-9) << text.toStdString();
            EXPECT_EQ(n.Chinese, c.Chinese) << text.toStdString();
        }
    }
}

TEST(UnitAt, LongestSpellingAndWordEnds) {
    const struct {
        const char16_t* Text;
        const char16_t* Key; // nullptr: no unit
        qsizetype Length;
    } cases[] = {
        {u"克五花肉", u"g", 1},
        {u"千克", u"kg", 2},
        {u"毫升水", u"ml", 2},
        {u"升水", u"l", 1},
        {u"汤匙生抽", u"汤匙", 2},
        {u"大勺糖", u"大勺", 2},
        {u"g sugar", u"g", 1},
        {u"grams", u"g", 5},
        {u"cups flour", u"cup", 4},
        {u"Cups", u"cup", 4},
        {u"c Heavy cream", u"cup", 1},
        {u"T butter", u"tbsp", 1},
        {u"t salt", u"tsp", 1},
        {u"tbsp. oil", u"tbsp", 5},
        {u"oz.", u"oz", 3},
        {u"lbs ground beef", u"lb", 3},
        {u"cloves garlic", u"clove", 6},
        {u"Tomatoes", nullptr, 0},
        {u"tablet", nullptr, 0},
        {u"gin", nullptr, 0},
        {u"eggs", nullptr, 0},
        {u"l2", nullptr, 0},
        {u"", nullptr, 0},
    };
    for (const auto& c : cases) {
        qsizetype length = -1;
        const QString text = QString::fromUtf16(c.Text);
        const TUnit* unit = UnitAt(text, length);
        if (!c.Key) {
            EXPECT_EQ(unit, nullptr) << text.toStdString();
            continue;
        }
        ASSERT_NE(unit, nullptr) << text.toStdString();
        EXPECT_EQ(unit->Key, QStringView(c.Key)) << text.toStdString();
        EXPECT_EQ(length, c.Length) << text.toStdString();
    }
}

TEST(AmountText, RoundedForTheUnit) {
    const struct {
        double Value;
        const char16_t* Unit;
        const char* Text;
    } cases[] = {
        {166.666, u"克", "167"},                             // grams whole
        {0.25, u"克", "0.3"},                                // below a gram, still some
        {1000, u"g", "1000"},      {0.333333, u"个", "1/3"}, // never 0.333 of an egg
        {0.7, u"个", "2/3"},       {0.1, u"个", "1/4"},
        {1.6, u"个", "1.5"}, // pieces to halves, the Chinese way
        {2.3, u"个", "2.5"},       {1.75, u"个", "2"},
        {24.4, u"个", "24"},       {1.5, u"", "1 1/2"}, // a bare count of Western lines
        {0.5, u"cup", "1/2"},      {1.5, u"cups", "1 1/2"},
        {0.333333, u"tsp", "1/3"}, {1.3333, u"勺", "1又1/3"},
        {1.5, u"勺", "1.5"},       {0.01, u"tsp", "1/8"}, // a little is not nothing
        {12.4, u"cup", "12"},      {1.25, u"千克", "1.25"},
        {0.75, u"斤", "0.8"},      {1.5, u"lb", "1 1/2"},
        {2.0, u"升", "2"},         {333.3, u"毫升", "333"},
    };
    for (const auto& c : cases) {
        const QString written = QString::fromUtf16(c.Unit);
        qsizetype length = 0;
        const TUnit* unit = written.isEmpty() ? &BareCount() : UnitAt(written, length);
        ASSERT_NE(unit, nullptr) << written.toStdString();
        EXPECT_EQ(AmountText(c.Value, *unit).toStdString(), c.Text)
            << c.Value << " " << written.toStdString();
    }
}

TEST(FractionText, OnlySimpleFractions) {
    EXPECT_EQ(FractionText(0.5), QStringLiteral("1/2"));
    EXPECT_EQ(FractionText(2.75), QStringLiteral("2 3/4"));
    EXPECT_EQ(FractionText(3), QStringLiteral("3"));
    EXPECT_EQ(FractionText(0.3), QString());
    EXPECT_EQ(FractionText(-1), QString());
    EXPECT_EQ(FractionText(std::numeric_limits<double>::quiet_NaN()), QString());
}

} // namespace
