// Two books syncing through one folder, as two machines do through a sync
// client: whatever the order of their changes and syncs, after each has synced
// twice they hold the same recipes.
#include "SyncTestUtil.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {
TEST(TwoBooks, EndEqualAfterEachSyncedTwiceWhateverTheOrder) {
    for (const quint32 seed : {1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        QRandomGenerator random(seed);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Recipes"));
        QDir().mkpath(folder);
        TSyncBook a(dir.filePath(QStringLiteral("a.mdb")));
        TSyncBook b(dir.filePath(QStringLiteral("b.mdb")));
        TSyncBook* books[] = {&a, &b};
        a.Add(QStringLiteral("叉烧"));
        a.Add(QStringLiteral("烧鹅"));
        b.Add(QStringLiteral("白切鸡"));
        b.Add(QStringLiteral("叉烧"), 'b'); // the same dish made on both before any sync
        int made = 0;
        for (int round = 0; round < 12; ++round) {
            TSyncBook& book = *books[random.bounded(2)];
            const auto recipes = book.Recipes();
            const int what = random.bounded(5);
            if (what == 0 || recipes.empty()) {
                book.Add(QStringLiteral("新菜%1").arg(++made), char('a' + made % 20));
            } else {
                auto it = recipes.begin();
                std::advance(it, random.bounded(int(recipes.size())));
                if (what == 1)
                    book.Delete(it->second.Name);
                else if (what == 2)
                    book.Sync(folder);
                else
                    book.Change(it->second.Name, QStringLiteral("第%1轮").arg(round));
            }
        }
        // Each syncs twice, in an order of the seed's.
        const bool aFirst = random.bounded(2) == 0;
        for (int i = 0; i < 2; ++i)
            for (TSyncBook* book : aFirst ? std::array{&a, &b} : std::array{&b, &a})
                book->Sync(folder);
        EXPECT_EQ(a.Contents(), b.Contents());
        EXPECT_FALSE(a.Contents().isEmpty());
        EXPECT_TRUE(a.Sync(folder).NothingChanged());
        EXPECT_TRUE(b.Sync(folder).NothingChanged());
    }
}
} // namespace
