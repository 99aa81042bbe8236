// One book and one folder: changes both ways, conflicts, deletions into the
// trash, a vanished folder, a sync killed half-way, the command line.
#include "SyncTestUtil.h"

#include "../common/RawBook.h"
#include "../common/RunTool.h"
#include "RecipeFolder.h"
#include "RecipeImporter.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
class TSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        FFolder = FDir.filePath(QStringLiteral("Recipes"));
        QDir().mkpath(FFolder);
    }
    QString In(const QString& name) const { return FFolder + u'/' + name; }
    QStringList FolderNames() const {
        return QDir(FFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir FDir;
    QString FFolder;
    TSyncBook FBook{FDir.filePath(QStringLiteral("cook.mdb"))};
};

TEST_F(TSyncTest, EveryFieldGoesOutAndComesBackIntoAnotherBook) {
    FBook.Add(QStringLiteral("叉烧"));
    TRecipe bare;
    bare.Name = QStringLiteral("白饭");
    bare.Steps = {{QStringLiteral("煮")}};
    bare.Columns = ColumnsFor(bare);
    FBook.Add(bare);
    const TSyncSummary first = FBook.Sync(FFolder);
    EXPECT_EQ(first.AddedToFolder, 2);
    EXPECT_EQ(FolderNames(), (QStringList{"叉烧", "白饭"}));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("叉烧/full.jpg"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral("叉烧/thumb16.jpg"))));

    TSyncBook other(FDir.filePath(QStringLiteral("other.mdb")));
    EXPECT_EQ(other.Sync(FFolder).AddedToBook, 2);
    EXPECT_EQ(other.Contents(), FBook.Contents());
    const auto recipes = other.Recipes();
    TRecipe expected = WholeRecipe(QStringLiteral("叉烧"));
    for (const auto& [row, r] : recipes)
        if (r.Name == expected.Name) {
            expected.RowId = r.RowId;
            EXPECT_EQ(r, expected);
        }
    EXPECT_TRUE(FBook.Sync(FFolder).NothingChanged());
    EXPECT_TRUE(other.Sync(FFolder).NothingChanged());
}

// Each change on one side arrives on the other, and the next sync has nothing to do.
TEST_F(TSyncTest, ChangesGoBothWays) {
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Add(QStringLiteral("烧鹅"));
    FBook.Sync(FFolder);
    struct TCase {
        const char* What;
        std::function<void()> Change;
        std::function<void(const TSyncSummary&)> Expect;
    };
    const TCase cases[] = {
        {"changed in the book",
         [&] { FBook.Change(QStringLiteral("叉烧"), QStringLiteral("梅头肉 1斤")); },
         [&](const TSyncSummary& s) {
             EXPECT_EQ(s.ChangedInFolder, 1);
             EXPECT_EQ(ReadJsonFile(In(QStringLiteral("叉烧/recipe.json")))
                           .value(QStringLiteral("recipeIngredient"))
                           .toArray()
                           .first()
                           .toString(),
                       QStringLiteral("梅头肉 1斤"));
         }},
        {"changed in the folder by another program",
         [&] { EditInFolder(In(QStringLiteral("烧鹅")), QStringLiteral("陈皮 一片")); },
         [&](const TSyncSummary& s) {
             EXPECT_EQ(s.ChangedInBook, 1);
             const TRecipe r = FBook.Recipes().at(FBook.RowOf(QStringLiteral("烧鹅")));
             EXPECT_TRUE(r.Ingredients.endsWith(QStringLiteral("陈皮 一片")));
             EXPECT_TRUE(r.Columns.Ingredients.endsWith(QStringLiteral("陈皮 一片")));
         }},
        {"added in the folder by the cookbook app",
         [&] {
             AppRecipe(In(QStringLiteral("清炒菜心")), QStringLiteral("清炒菜心"),
                       QStringLiteral("菜心 一把"));
         },
         [&](const TSyncSummary& s) {
             EXPECT_EQ(s.AddedToBook, 1);
             const TRecipe r = FBook.Recipes().at(FBook.RowOf(QStringLiteral("清炒菜心")));
             EXPECT_EQ(r.Cover, DishJpeg('n'));
             EXPECT_EQ(r.Categories, QStringList{"家常菜"});
             EXPECT_EQ(r.Keywords, (QStringList{"快手", "素"}));
             EXPECT_EQ(r.Servings, 2);
         }},
        {"added in the book", [&] { FBook.Add(QStringLiteral("咕噜肉")); },
         [&](const TSyncSummary& s) {
             EXPECT_EQ(s.AddedToFolder, 1);
             EXPECT_TRUE(QFile::exists(In(QStringLiteral("咕噜肉/recipe.json"))));
         }},
        {"the cover taken out in the folder",
         [&] {
             QJsonObject o = ReadJsonFile(In(QStringLiteral("咕噜肉/recipe.json")));
             o.insert(QStringLiteral("image"), QJsonArray{});
             WriteJsonFile(In(QStringLiteral("咕噜肉/recipe.json")), o);
             for (const char* f : {"full.jpg", "thumb.jpg", "thumb16.jpg"})
                 QFile::remove(In(QStringLiteral("咕噜肉/")) + QLatin1String(f));
         },
         [&](const TSyncSummary& s) {
             EXPECT_EQ(s.ChangedInBook, 1);
             EXPECT_TRUE(FBook.Recipes().at(FBook.RowOf(QStringLiteral("咕噜肉"))).Cover.isEmpty());
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        c.Change();
        const TSyncSummary s = FBook.Sync(FFolder);
        c.Expect(s);
        EXPECT_EQ(s.Conflicts, 0);
        const TSyncSummary again = FBook.Sync(FFolder);
        EXPECT_TRUE(again.NothingChanged()) << again.Details.join(u'\n').toStdString();
    }
}

TEST_F(TSyncTest, AChangeOnBothSidesIsKeptTwiceAndToldOnce) {
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Sync(FFolder);
    FBook.Change(QStringLiteral("叉烧"), QStringLiteral("梅头肉"));
    EditInFolder(In(QStringLiteral("叉烧")), QStringLiteral("麦芽糖"));
    const TSyncSummary s = FBook.Sync(FFolder);
    EXPECT_EQ(s.Conflicts, 1);
    ASSERT_EQ(s.Problems.size(), 1);
    const QString copy = QStringLiteral("叉烧（同步冲突 2026-12-09）");
    EXPECT_TRUE(s.Problems[0].contains(copy));
    EXPECT_EQ(FBook.Names(), (std::map<QString, int>{{"叉烧", 1}, {copy, 1}}));
    EXPECT_EQ(FBook.Recipes().at(FBook.RowOf(QStringLiteral("叉烧"))).Ingredients,
              QStringLiteral("梅头肉"));
    EXPECT_TRUE(
        FBook.Recipes().at(FBook.RowOf(copy)).Ingredients.endsWith(QStringLiteral("麦芽糖")));
    EXPECT_EQ(FolderNames().size(), 2);
    const TSyncSummary again = FBook.Sync(FFolder);
    EXPECT_TRUE(again.NothingChanged());
    EXPECT_TRUE(again.Problems.isEmpty());
}

// Deleted on one side and changed on the other: kept, on both sides.
TEST_F(TSyncTest, ADeleteAgainstAChangeKeepsTheRecipe) {
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Add(QStringLiteral("烧鹅"));
    FBook.Sync(FFolder);
    FBook.Delete(QStringLiteral("叉烧"));
    EditInFolder(In(QStringLiteral("叉烧")), QStringLiteral("麦芽糖"));
    FBook.Change(QStringLiteral("烧鹅"), QStringLiteral("鹅一只"));
    QDir(In(QStringLiteral("烧鹅"))).removeRecursively();
    const TSyncSummary s = FBook.Sync(FFolder);
    EXPECT_EQ(s.DeletedFromBook + s.DeletedFromFolder, 0);
    EXPECT_EQ(FBook.Names(), (std::map<QString, int>{{"叉烧", 1}, {"烧鹅", 1}}));
    EXPECT_EQ(FolderNames(), (QStringList{"叉烧", "烧鹅"}));
    EXPECT_TRUE(FBook.Recipes()
                    .at(FBook.RowOf(QStringLiteral("叉烧")))
                    .Ingredients.endsWith(QStringLiteral("麦芽糖")));
    EXPECT_EQ(ReadJsonFile(In(QStringLiteral("烧鹅/recipe.json")))
                  .value(QStringLiteral("recipeIngredient"))
                  .toArray()
                  .first()
                  .toString(),
              QStringLiteral("鹅一只"));
    EXPECT_TRUE(FBook.Sync(FFolder).NothingChanged());
}

TEST_F(TSyncTest, DeletionsGoIntoTrashFromWhichTheyComeBack) {
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Add(QStringLiteral("烧鹅"));
    FBook.Add(QStringLiteral("白饭")); // the folder is never emptied
    FBook.Sync(FFolder);
    const TRecipe goose = FBook.Recipes().at(FBook.RowOf(QStringLiteral("烧鹅")));

    FBook.Delete(QStringLiteral("叉烧"));
    TSyncSummary s = FBook.Sync(FFolder);
    EXPECT_EQ(s.DeletedFromFolder, 1);
    EXPECT_EQ(FolderNames(), (QStringList{"烧鹅", "白饭"}));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral(".trash/叉烧/recipe.json"))));
    EXPECT_TRUE(QFile::exists(In(QStringLiteral(".trash/叉烧/full.jpg"))));

    QDir(In(QStringLiteral("烧鹅"))).removeRecursively();
    s = FBook.Sync(FFolder);
    EXPECT_EQ(s.DeletedFromBook, 1);
    EXPECT_EQ(FBook.Names(), (std::map<QString, int>{{"白饭", 1}}));
    const QString trashed = FDir.filePath(QStringLiteral("cook-trash/2026-12-09 烧鹅"));
    ASSERT_TRUE(QFile::exists(trashed + QStringLiteral("/recipe.json")));
    // The cook's undo: import the trashed folder.
    ImportRecipeFiles(FBook.FConnection, {trashed}, {});
    FBook.Reopen();
    TRecipe restored = FBook.Recipes().at(FBook.RowOf(QStringLiteral("烧鹅")));
    restored.RowId = goose.RowId;
    EXPECT_EQ(restored, goose);
    // A deleted folder a second time goes beside the first.
    FBook.Sync(FFolder);
    FBook.Delete(QStringLiteral("烧鹅"));
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Sync(FFolder);
    FBook.Delete(QStringLiteral("叉烧"));
    FBook.Sync(FFolder);
    EXPECT_TRUE(QFile::exists(In(QStringLiteral(".trash/叉烧 (2)/recipe.json"))));
}

// A folder that is missing or empty (a drive not mounted, a client not yet
// synced) while the book synced with it: nothing is deleted, and the cook is told why.
TEST_F(TSyncTest, AVanishedFolderDeletesNothing) {
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Add(QStringLiteral("烧鹅"));
    FBook.Sync(FFolder);
    const QStringList before = FBook.Contents();
    struct TCase {
        const char* What;
        std::function<void()> Do;
        const char* Said;
    };
    const TCase cases[] = {
        {"emptied",
         [&] {
             QDir(FFolder).removeRecursively();
             QDir().mkpath(FFolder);
         },
         "是空的"},
        {"gone", [&] { QDir(FFolder).removeRecursively(); }, "不存在"},
        {"a file in its place",
         [&] {
             QDir(FFolder).removeRecursively();
             PutFile(FFolder, "x");
         },
         "不存在"},
    };
    int n = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        FFolder = FDir.filePath(QStringLiteral("Recipes%1").arg(++n));
        QDir().mkpath(FFolder);
        EXPECT_EQ(FBook.Sync(FFolder).AddedToFolder, 2); // another folder: a first sync
        c.Do();
        try {
            FBook.Sync(FFolder);
            ADD_FAILURE() << "no error";
        } catch (const ESyncError& e) {
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.Said)))
                << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QStringLiteral("什么也没有删除")));
        }
        EXPECT_EQ(FBook.Contents(), before);
    }
}

// A sync killed after any number of files or book steps loses nothing, and the
// next sync finishes it without doubles.
TEST_F(TSyncTest, ASyncKilledHalfWayLosesNothing) {
    struct TCase {
        int KillAfterFiles; // -1: not
        int KillAfterBookSteps;
    };
    const TCase cases[] = {{0, -1}, {1, -1}, {4, -1}, {6, -1}, {-1, 0}, {-1, 2}, {-1, 5}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.KillAfterFiles << " files, " << c.KillAfterBookSteps << " book steps");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Recipes"));
        QDir().mkpath(folder);
        TSyncBook book(dir.filePath(QStringLiteral("cook.mdb")));
        for (const char* name : {"叉烧", "烧鹅", "白切鸡"})
            book.Add(QString::fromUtf8(name));
        book.Sync(folder);
        // Changes on both sides to be synced by the killed run.
        book.Change(QStringLiteral("叉烧"), QStringLiteral("梅头肉"));
        book.Add(QStringLiteral("咕噜肉"));
        book.Delete(QStringLiteral("白切鸡"));
        AppRecipe(folder + QStringLiteral("/清炒菜心"), QStringLiteral("清炒菜心"),
                  QStringLiteral("菜心"));
        AppRecipe(folder + QStringLiteral("/蒜蓉菜心"), QStringLiteral("蒜蓉菜心"),
                  QStringLiteral("蒜"));
        EditInFolder(folder + QStringLiteral("/烧鹅"), QStringLiteral("陈皮"));
        const QStringList expected{"叉烧", "咕噜肉", "清炒菜心", "烧鹅", "蒜蓉菜心"};

        int status = 0;
        const pid_t killed = fork();
        ASSERT_GE(killed, 0);
        if (killed == 0) {
            TADOConnection connection;
            connection.SetConnectionString(ConnectString(book.FPath));
            connection.SetConnected(true);
            int files = 0, steps = 0;
            TSyncOptions options;
            options.Today = QDate(2026, 12, 9);
            options.AfterFile = [&] {
                if (c.KillAfterFiles >= 0 && ++files > c.KillAfterFiles)
                    raise(SIGKILL);
            };
            options.AfterBookStep = [&] {
                if (c.KillAfterBookSteps >= 0 && ++steps > c.KillAfterBookSteps)
                    raise(SIGKILL);
            };
            try {
                SyncBookWithFolder(connection, folder, options);
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        waitpid(killed, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the sync ended before it was killed";

        book.Reopen();
        const TSyncSummary s = book.Sync(folder);
        EXPECT_EQ(s.Conflicts, 0) << s.Details.join(u'\n').toStdString();
        std::map<QString, int> names;
        for (const QString& n : expected)
            names[n] = 1;
        EXPECT_EQ(book.Names(), names);
        QStringList inFolder =
            QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        inFolder.sort();
        EXPECT_EQ(inFolder, expected);
        EXPECT_TRUE(book.Recipes()
                        .at(book.RowOf(QStringLiteral("烧鹅")))
                        .Ingredients.endsWith(QStringLiteral("陈皮")));
        EXPECT_EQ(book.Recipes().at(book.RowOf(QStringLiteral("叉烧"))).Ingredients,
                  QStringLiteral("梅头肉"));
        // Nothing half-written is left in sight.
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            EXPECT_FALSE(path.endsWith(QLatin1String(".part")) && !path.contains(u"/."))
                << path.toStdString();
        }
        EXPECT_TRUE(book.Sync(folder).NothingChanged());
    }
}

TEST_F(TSyncTest, TheCommandLineSaysWhatItDidAndThenThatNothingChanged) {
    FBook.Add(QStringLiteral("叉烧"));
    FBook.FConnection.SetConnected(false);
    const TToolRun first = RunTool(QStringLiteral(MYCOOK_BOOK_TOOL),
                                   {QStringLiteral("sync"), FBook.FPath, FFolder}, 60000);
    ASSERT_TRUE(first.Finished);
    EXPECT_EQ(first.Code, 0) << first.ErrText().toStdString();
    EXPECT_TRUE(first.OutText().contains(QStringLiteral("文件夹新增 1")))
        << first.OutText().toStdString();
    EXPECT_TRUE(first.OutText().contains(QStringLiteral("叉烧")));
    const TToolRun second = RunTool(QStringLiteral(MYCOOK_BOOK_TOOL),
                                    {QStringLiteral("sync"), FBook.FPath, FFolder}, 60000);
    EXPECT_EQ(second.Code, 0);
    EXPECT_TRUE(second.OutText().startsWith(QStringLiteral("没有变化")))
        << second.OutText().toStdString();
    const TToolRun gone =
        RunTool(QStringLiteral(MYCOOK_BOOK_TOOL),
                {QStringLiteral("sync"), FBook.FPath, FFolder + QStringLiteral("-x")}, 60000);
    EXPECT_EQ(gone.Code, 1);
    EXPECT_TRUE(gone.ErrText().contains(QStringLiteral("不存在"))) << gone.ErrText().toStdString();
}
} // namespace

namespace {
// As the import: a damaged book is refused before anything is written, on either side.
TEST(SyncTool, ADamagedBookIsRefusedBeforeAnythingIsWritten) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Recipes"));
    QDir().mkpath(folder);
    const QString path = dir.filePath(QStringLiteral("cook.mdb"));
    {
        TSyncBook book(path);
        for (int i = 0; i < 40; ++i)
            book.Add(QStringLiteral("菜%1").arg(i), char('a' + i % 20));
        book.Sync(folder);
    }
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const qint64 pages = f.size() / 4096;
        ASSERT_GT(pages, 10);
        f.seek((pages / 2) * 4096);
        f.write(QByteArray(4096, '\x55'));
    }
    AppRecipe(folder + QStringLiteral("/清炒菜心"), QStringLiteral("清炒菜心"),
              QStringLiteral("菜心"));
    QDir(folder + QStringLiteral("/菜3")).removeRecursively(); // would go to the book's trash
    const QByteArray damaged = FileDigest(path);
    const TToolRun r =
        RunTool(QStringLiteral(MYCOOK_BOOK_TOOL), {QStringLiteral("sync"), path, folder}, 60000);
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.ErrText().contains(QStringLiteral("已损坏"))) << r.ErrText().toStdString();
    EXPECT_EQ(FileDigest(path), damaged);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("cook-trash"))));
}
} // namespace

namespace {
// As every way into the book: another program's lock is waited for, and when it stays
// the sync says so and writes nothing on either side.
TEST(SyncTool, ABookHeldByAnotherProgramIsWaitedForAndTold) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Recipes"));
    QDir().mkpath(folder);
    const QString path = dir.filePath(QStringLiteral("cook.mdb"));
    {
        TSyncBook book(path);
        book.Add(QStringLiteral("锁前菜"), 'a');
        book.Sync(folder);
    }
    AppRecipe(folder + QStringLiteral("/清炒菜心"), QStringLiteral("清炒菜心"),
              QStringLiteral("菜心"));
    // Read before the lock: closing any other handle of the file in this process
    // would drop the lock (POSIX locks are the process's).
    const QByteArray before = FileDigest(path);
    TRawBook other(path, SQLITE_OPEN_READWRITE);
    ASSERT_EQ(other.Run("begin exclusive"), SQLITE_OK);
    const TToolRun r =
        RunTool(QStringLiteral(MYCOOK_BOOK_TOOL), {QStringLiteral("sync"), path, folder}, 120000);
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.ErrText().contains(QStringLiteral("另一个程序"))) << r.ErrText().toStdString();
    ASSERT_EQ(other.Run("rollback"), SQLITE_OK);
    EXPECT_EQ(FileDigest(path), before);
    // Once the lock is gone the same sync goes through.
    const TToolRun again =
        RunTool(QStringLiteral(MYCOOK_BOOK_TOOL), {QStringLiteral("sync"), path, folder}, 120000);
    EXPECT_EQ(again.Code, 0) << again.ErrText().toStdString();
}
} // namespace
