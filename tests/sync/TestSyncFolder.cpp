// What sync clients leave in the folder while they work: skipped, tried again,
// never imported broken and never taken for a deletion.
#include "SyncTestUtil.h"

#include <QTemporaryDir>

namespace {
TEST(SyncFolderNames, PartialAndConflictNamesOfTheClients) {
    struct TCase {
        const char* Name;
        bool Partial;
        bool Conflict;
    };
    const TCase cases[] = {
        {"recipe.json", false, false},
        {"full.jpg", false, false},
        {"recipe.json.part", true, false},
        {"full.jpg.partial", true, false},
        {"recipe.json~", true, false},
        {".recipe.json.~4f2a", true, false},         // a download in progress
        {".syncthing.full.jpg.tmp", true, false},    // another client's temporary
        {".full.jpg.mycook-12-3.part", true, false}, // ours
        {"recipe (conflicted copy 2026-12-09 101500).json", false, true},
        {"recipe.sync-conflict-20261209-101500-ABCDEFG.json", false, true},
        {"recipe_conflict-20261209-101500.json", false, true},
        {"叉烧 (Conflict 2)", false, true},
        {"叉烧（同步冲突 2026-12-09）", false, false}, // our own copy is a recipe
        {"part-time", false, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(PartialFileName(QString::fromUtf8(c.Name)), c.Partial);
        EXPECT_EQ(SyncConflictName(QString::fromUtf8(c.Name)), c.Conflict);
    }
}

class TPartialTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFolder = FDir.filePath(QStringLiteral("Recipes"));
        QDir().mkpath(FFolder);
        FBook.Add(QStringLiteral("叉烧"));
        FBook.Add(QStringLiteral("白饭")); // the folder is never emptied
        FBook.Sync(FFolder);
    }
    QString In(const QString& name) const { return FFolder + u'/' + name; }

    QTemporaryDir FDir;
    QString FFolder;
    TSyncBook FBook{FDir.filePath(QStringLiteral("cook.mdb"))};
};

QByteArray Cut(const QByteArray& bytes) {
    return bytes.left(bytes.size() / 2);
}

// Each state of a new recipe folder and of the synced one's: nothing comes in,
// nothing goes, the cook hears why; once the client is done, it all comes in.
TEST_F(TPartialTest, HalfWrittenFoldersWaitForTheNextSync) {
    struct TCase {
        const char* What;
        std::function<void(const QString& folder)> Break; // on a whole recipe folder
        std::function<void(const QString& folder)> Mend;
    };
    auto file = [](const char* name) {
        return [name](const QString& folder) {
            return folder + u'/' + QLatin1String(name);
        };
    };
    const TCase cases[] = {
        {"recipe.json cut short",
         [&](const QString& f) {
             QFile json(file("recipe.json")(f));
             ASSERT_TRUE(json.open(QIODevice::ReadOnly));
             const QByteArray whole = json.readAll();
             json.close();
             PutFile(file("recipe.json")(f), Cut(whole));
             PutFile(file("whole")(f), whole);
         },
         [&](const QString& f) {
             QFile::remove(file("recipe.json")(f));
             QFile::rename(file("whole")(f), file("recipe.json")(f));
         }},
        {"recipe.json not there yet, its .part is",
         [&](const QString& f) {
             QFile::rename(file("recipe.json")(f), file("recipe.json.part")(f));
         },
         [&](const QString& f) {
             QFile::rename(file("recipe.json.part")(f), file("recipe.json")(f));
         }},
        {"the cover cut short",
         [&](const QString& f) {
             QFile::copy(file("full.jpg")(f), file("held")(f));
             PutFile(file("full.jpg")(f), Cut(ReadFile(file("held")(f))));
         },
         [&](const QString& f) {
             QFile::remove(file("full.jpg")(f));
             QFile::rename(file("held")(f), file("full.jpg")(f));
         }},
        {"the cover named but missing",
         [&](const QString& f) { QFile::rename(file("full.jpg")(f), file("held")(f)); },
         [&](const QString& f) {
             QFile::rename(file("held")(f), file("full.jpg")(f));
         }},
        {"a step picture still downloading",
         [&](const QString& f) {
             QFile::rename(file("step-1.jpg")(f), file(".step-1.jpg.~81ac")(f));
         },
         [&](const QString& f) {
             QFile::rename(file(".step-1.jpg.~81ac")(f), file("step-1.jpg")(f));
         }},
        {"an editor's backup beside recipe.json",
         [&](const QString& f) { PutFile(file("recipe.json~")(f), "{"); },
         [&](const QString& f) {
             QFile::remove(file("recipe.json~")(f));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        // A recipe as the other machine wrote it, arriving in pieces, and the
        // synced one changed there, arriving the same way.
        TRecipe newOne = WholeRecipe(QStringLiteral("新菜"), 'z');
        QTemporaryDir staging;
        {
            TSyncBook other(staging.filePath(QStringLiteral("o.mdb")));
            other.Add(newOne);
            QDir().mkpath(staging.filePath(QStringLiteral("out")));
            other.Sync(staging.filePath(QStringLiteral("out")));
        }
        const QString arriving = In(QStringLiteral("新菜"));
        QDir().rename(staging.filePath(QStringLiteral("out/新菜")), arriving);
        EditInFolder(In(QStringLiteral("叉烧")), QStringLiteral("麦芽糖"));
        c.Break(arriving);
        c.Break(In(QStringLiteral("叉烧")));
        const QStringList before = FBook.Contents();

        const TSyncSummary s = FBook.Sync(FFolder);
        EXPECT_EQ(FBook.Contents(), before);
        EXPECT_EQ(s.Waiting, 2);
        EXPECT_EQ(s.DeletedFromBook + s.ChangedInFolder + s.AddedToFolder, 0);
        EXPECT_EQ(s.WaitingNotes.size(), 2);
        EXPECT_TRUE(s.Problems.isEmpty());

        c.Mend(arriving);
        c.Mend(In(QStringLiteral("叉烧")));
        const TSyncSummary mended = FBook.Sync(FFolder);
        EXPECT_EQ(mended.AddedToBook, 1);
        EXPECT_EQ(mended.ChangedInBook, 1);
        EXPECT_EQ(mended.Waiting, 0);
        EXPECT_TRUE(FBook.Recipes()
                        .at(FBook.RowOf(QStringLiteral("叉烧")))
                        .Ingredients.endsWith(QStringLiteral("麦芽糖")));
        EXPECT_EQ(FBook.Recipes().at(FBook.RowOf(QStringLiteral("新菜"))).Cover, newOne.Cover);
        // Back to one recipe for the next case.
        FBook.Delete(QStringLiteral("新菜"));
        FBook.Sync(FFolder);
        QDir(In(QStringLiteral(".trash"))).removeRecursively();
    }
}

TEST_F(TPartialTest, TheClientsConflictCopiesAreLeftAlone) {
    // A folder the client set aside, and a conflict file inside a recipe folder.
    QDir(In(QStringLiteral("叉烧"))).removeRecursively();
    FBook.Sync(FFolder); // not taken for a deletion: the folder is gone, so the book's goes
    FBook.Add(QStringLiteral("叉烧"));
    FBook.Sync(FFolder);
    QDir().mkpath(In(QStringLiteral("叉烧 (conflicted copy 2026-12-09 101500)")));
    QFile::copy(In(QStringLiteral("叉烧/recipe.json")),
                In(QStringLiteral("叉烧 (conflicted copy 2026-12-09 101500)/recipe.json")));
    PutFile(In(QStringLiteral("叉烧/recipe (conflicted copy 2026-12-09 101500).json")), "{");
    const QStringList before = FBook.Contents();
    const TSyncSummary s = FBook.Sync(FFolder);
    EXPECT_EQ(FBook.Contents(), before);
    EXPECT_EQ(s.AddedToBook + s.ChangedInBook, 0);
    EXPECT_EQ(s.Waiting, 1);
    EXPECT_TRUE(s.WaitingNotes.join(u'\n').contains(QStringLiteral("冲突副本")));
}
} // namespace
