// Durations found in steps, each a timer: Chinese and English, compounds,
// ranges, and numbers that are no duration.
#include "Durations.h"

#include <gtest/gtest.h>

namespace {

TEST(DurationsIn, StepsAsWritten) {
    const struct {
        const char16_t* Step;
        std::vector<int> Seconds;
        std::vector<const char16_t*> Names;
    } cases[] = {
        {u"转小火炖40分钟，至肉软烂。", {2400}, {u"转小火炖40分钟"}},
        {u"盖上锅盖焖 1 小时", {3600}, {u"盖上锅盖焖 1 小时"}},
        {u"Bake 25 minutes, until golden.", {1500}, {u"Bake 25 minutes"}},
        {u"腌制半小时", {1800}, {u"腌制半小时"}},
        {u"再炖半个小时", {1800}, {u"再炖半个小时"}},
        {u"蒸1小时20分钟", {4800}, {u"蒸1小时20分钟"}},
        {u"蒸1小时20分", {4800}, {u"蒸1小时20分"}},
        {u"小火煲一个半小时", {5400}, {u"小火煲一个半小时"}},
        {u"煲1个半小时", {5400}, {u"煲1个半小时"}},
        {u"静置一刻钟", {900}, {u"静置一刻钟"}},
        {u"煮二十分钟", {1200}, {u"煮二十分钟"}},
        {u"焯水30秒", {30}, {u"焯水30秒"}},
        {u"Simmer for 1 hour 30 minutes.", {5400}, {u"Simmer for 1 hour 30 minutes"}},
        {u"Rest 1 hr and 15 mins", {4500}, {u"Rest 1 hr and 15 mins"}},
        {u"Roast 1.5 hours", {5400}, {u"Roast 1.5 hours"}},
        {u"炖20-25分钟", {1200}, {u"炖20-25分钟"}},
        {u"先煮5分钟，再焖10分钟", {300, 600}, {u"先煮5分钟", u"再焖10分钟"}},
        {u"1. 五花肉冷水下锅煮20分钟", {1200}, {u"1. 五花肉冷水下锅煮20分钟"}},
        // No durations
        {u"三分之一的糖", {}, {}},
        {u"煎至五分熟", {}, {}},
        {u"切成3厘米的段", {}, {}},
        {u"Preheat the oven to 200 C", {}, {}},
        {u"Cook 3 hens", {}, {}},
        {u"mp3 minutes", {}, {}},
        {u"放置 100 小时", {}, {}}, // longer than any timer
        {u"", {}, {}},
    };
    for (const auto& c : cases) {
        const QString step = QString::fromUtf16(c.Step);
        SCOPED_TRACE(step.toStdString());
        const auto found = DurationsIn(step);
        ASSERT_EQ(found.size(), c.Seconds.size());
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].Seconds, c.Seconds[i]);
            EXPECT_EQ(found[i].Name.toStdString(), QString::fromUtf16(c.Names[i]).toStdString());
            EXPECT_GE(found[i].Start, 0);
            EXPECT_LE(found[i].Start + found[i].Length, step.size());
        }
    }
}

TEST(DurationsIn, LongClauseNamedByItsEnd) {
    const auto found =
        DurationsIn(u"把所有的材料全部放进砂锅里加满清水大火烧开后转小火慢慢地炖40分钟");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_LE(found[0].Name.size(), 20); // as wide as 36 Latin letters at most
    EXPECT_TRUE(found[0].Name.startsWith(u'…'));
    EXPECT_TRUE(found[0].Name.endsWith(QStringLiteral("炖40分钟")));
}

TEST(CountdownText, MinutesAndHours) {
    EXPECT_EQ(CountdownText(0), QStringLiteral("00:00"));
    EXPECT_EQ(CountdownText(-5), QStringLiteral("00:00"));
    EXPECT_EQ(CountdownText(2345), QStringLiteral("39:05"));
    EXPECT_EQ(CountdownText(3723), QStringLiteral("1:02:03"));
}

} // namespace
