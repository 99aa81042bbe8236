// mycook-book on the command line: import into a new book, export, import the export.
#include "../common/RunTool.h"
#include "ImportTestUtil.h"

#include "Archive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {
TToolRun Tool(const QStringList& args) {
    const TToolRun run = RunTool(QStringLiteral(MYCOOK_BOOK_TOOL), args, 120000);
    EXPECT_TRUE(run.Finished);
    return run;
}

TEST(BookTool, ImportExportAndImportAgain) {
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("cook.mdb"));
    TToolRun r = Tool({QStringLiteral("import"), book, Fixture("chinese-gb18030.mmf"),
                       Fixture("pancakes-microdata.html"), Fixture("no-recipe.html")});
    EXPECT_EQ(r.Code, 0) << r.ErrText().toStdString();
    EXPECT_TRUE(r.OutText().startsWith(
        QStringLiteral("导入完毕\n导入 3 个，覆盖 0 个，跳过 0 个，无法读取的文件 1 个")))
        << r.OutText().toStdString();
    EXPECT_TRUE(
        r.OutText().contains(QStringLiteral("no-recipe.html：无法读取（网页里没有菜谱数据")));

    // Again: the default skips every name already there; keep makes second copies.
    const std::pair<const char*, const char*> again[] = {
        {nullptr, "导入 0 个，覆盖 0 个，跳过 2 个"},
        {"--on-duplicate=overwrite", "导入 0 个，覆盖 2 个，跳过 0 个"},
        {"--on-duplicate=keep", "导入 2 个，覆盖 0 个，跳过 0 个"},
    };
    for (const auto& [option, counts] : again) {
        QStringList args{QStringLiteral("import"), dir.path(), Fixture("chinese-gb18030.mmf")};
        if (option)
            args << QString::fromUtf8(option);
        r = Tool(args);
        EXPECT_EQ(r.Code, 0);
        EXPECT_TRUE(r.OutText().contains(QString::fromUtf8(counts))) << r.OutText().toStdString();
    }

    const QString zip = dir.filePath(QStringLiteral("out"));
    r = Tool({QStringLiteral("export"), book, zip});
    EXPECT_EQ(r.Code, 0) << r.ErrText().toStdString();
    EXPECT_EQ(r.OutText(), QStringLiteral("保存完毕：5 个菜谱，1 张图片\n"));
    EXPECT_TRUE(QFile::exists(zip + QStringLiteral(".zip")));

    const QString second = dir.filePath(QStringLiteral("second.mdb"));
    r = Tool({QStringLiteral("import"), second, zip + QStringLiteral(".zip")});
    EXPECT_TRUE(r.OutText().contains(QStringLiteral("导入 5 个"))) << r.OutText().toStdString();
    const QString zip2 = dir.filePath(QStringLiteral("again.zip"));
    EXPECT_EQ(Tool({QStringLiteral("export"), second, zip2}).Code, 0);
}

// A folder of recipe folders, as a cookbook app keeps them, is named like a file.
TEST(BookTool, ImportsARecipeFolder) {
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("cook.mdb"));
    const std::pair<const char*, const char*> cases[] = {
        {"nextcloud-folder/Recipes", "导入 2 个"},
        {"nextcloud-folder/Recipes/Pasta Carbonara", "跳过 1 个"},
        {"nextcloud-folder/Recipes/Overnight Oats/recipe.json", "跳过 1 个"},
    };
    for (const auto& [path, counts] : cases) {
        const TToolRun r = Tool({QStringLiteral("import"), book, Fixture(path)});
        EXPECT_EQ(r.Code, 0) << path << r.ErrText().toStdString();
        EXPECT_TRUE(r.OutText().contains(QString::fromUtf8(counts)))
            << path << r.OutText().toStdString();
    }
}

TEST(BookTool, UsageAndFailures) {
    QTemporaryDir dir;
    const std::pair<QStringList, int> cases[] = {
        {{}, 2},
        {{QStringLiteral("frobnicate")}, 2},
        {{QStringLiteral("import"), dir.filePath(QStringLiteral("a.mdb"))}, 2},
        {{QStringLiteral("import"), dir.filePath(QStringLiteral("a.mdb")), QStringLiteral("x"),
          QStringLiteral("--on-duplicate=never")},
         2},
        {{QStringLiteral("export"), dir.filePath(QStringLiteral("none.mdb")),
          dir.filePath(QStringLiteral("o.zip"))},
         1},
        // Only unreadable files: nothing came in.
        {{QStringLiteral("import"), dir.filePath(QStringLiteral("b.mdb")),
          Fixture("no-recipe.html")},
         1},
    };
    for (const auto& [args, code] : cases) {
        const TToolRun r = Tool(args);
        EXPECT_EQ(r.Code, code) << args.join(u' ').toStdString();
        if (code != 0) {
            EXPECT_FALSE(r.ErrText().isEmpty());
        }
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("o.zip"))));
}

QByteArray Digest(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A zip of many recipes with long methods, so that the book spans many pages.
QString ManyRecipes(const QString& path, const QString& prefix) {
    TZipWriter zip(path);
    for (int i = 0; i < 300; ++i)
        zip.Add(QStringLiteral("%1%2/recipe.json").arg(prefix).arg(i),
                QStringLiteral("{\"@type\":\"Recipe\",\"name\":\"%1%2\",\"recipeIngredient\":"
                               "[\"料%2\"],\"recipeInstructions\":\"%3\"}")
                    .arg(prefix)
                    .arg(i)
                    .arg(QString(600, QChar(u'炒')))
                    .toUtf8());
    zip.Commit();
    return path;
}

// The tool follows the window: a damaged book is refused, in words for a command
// line, and its file is left exactly as it was.
TEST(BookTool, ADamagedBookIsRefusedAndLeftAsItWas) {
    for (const bool withCopy : {false, true}) {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("cook.mdb"));
        TToolRun r =
            Tool({QStringLiteral("import"), book,
                  ManyRecipes(dir.filePath(QStringLiteral("a.zip")), QStringLiteral("菜"))});
        ASSERT_EQ(r.Code, 0) << r.ErrText().toStdString();
        if (withCopy) {
            ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("cook-backups"))));
            ASSERT_TRUE(QFile::copy(
                book, dir.filePath(QStringLiteral("cook-backups/cook-2026-01-02.mdb"))));
        }
        {
            QFile f(book);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            const qint64 pages = f.size() / 4096;
            ASSERT_GT(pages, 10);
            f.seek((pages / 2) * 4096);
            f.write(QByteArray(4096, '\x55'));
        }
        const QByteArray damaged = Digest(book);
        r = Tool({QStringLiteral("import"), book, Fixture("chinese-gb18030.mmf")});
        EXPECT_EQ(r.Code, 1);
        const QString told = r.ErrText();
        EXPECT_TRUE(told.contains(QStringLiteral("已损坏"))) << told.toStdString();
        EXPECT_TRUE(told.contains(QStringLiteral("没有写入任何内容"))) << told.toStdString();
        EXPECT_FALSE(told.contains(QStringLiteral("本程序"))) << told.toStdString();
        EXPECT_EQ(told.contains(QStringLiteral("cook-backups/cook-2026-01-02.mdb")), withCopy)
            << told.toStdString();
        EXPECT_FALSE(r.OutText().contains(QStringLiteral("导入完毕")));
        EXPECT_EQ(Digest(book), damaged);
    }
}

// An empty cook.mdb (left by a copy that crashed) is a book not yet made, as in the window.
TEST(BookTool, AnEmptyBookFileIsMadeIntoABook) {
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("cook.mdb"));
    QFile(book).open(QIODevice::WriteOnly);
    ASSERT_EQ(QFileInfo(book).size(), 0);
    const TToolRun r = Tool({QStringLiteral("import"), dir.path(), Fixture("chinese-gb18030.mmf")});
    EXPECT_EQ(r.Code, 0) << r.ErrText().toStdString();
    EXPECT_TRUE(r.OutText().contains(QStringLiteral("导入 2 个"))) << r.OutText().toStdString();
    EXPECT_GT(QFileInfo(book).size(), 0);
}

TEST(BookTool, HelpAndVersionOnStandardOutput) {
    const struct {
        QString Option;
        QString Says;
    } cases[] = {
        {QStringLiteral("--help"), QStringLiteral("用法：")},
        {QStringLiteral("-h"), QStringLiteral("用法：")},
        {QStringLiteral("--version"), QStringLiteral("mycook-book 1.")},
    };
    for (const auto& c : cases) {
        const TToolRun r = Tool({c.Option});
        EXPECT_EQ(r.Code, 0) << c.Option.toStdString();
        EXPECT_TRUE(r.OutText().startsWith(c.Says)) << r.OutText().toStdString();
        EXPECT_TRUE(r.Err.isEmpty()) << r.ErrText().toStdString();
    }
}

// What is given as a recipe file but is none is told as what it is, at once.
TEST(BookTool, FoldersPipesAndMissingFilesToldAsWhatTheyAre) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.mmf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString zipPipe = dir.filePath(QStringLiteral("pipe.zip"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(zipPipe).constData(), 0600), 0);
    QDir().mkpath(dir.filePath(QStringLiteral("folder.html")));
    const std::pair<QString, QString> cases[] = {
        {pipe, QStringLiteral("pipe.mmf：无法读取（这是一个管道，不是普通文件）")},
        {zipPipe, QStringLiteral("pipe.zip：无法读取（这是一个管道，不是普通文件）")},
        {dir.filePath(QStringLiteral("folder.html")),
         QStringLiteral("folder.html：无法读取（文件夹里没有菜谱")},
        {dir.filePath(QStringLiteral("none.mmf")),
         QStringLiteral("none.mmf：无法读取（文件不存在）")},
    };
    for (const auto& [file, says] : cases) {
        QElapsedTimer timer;
        timer.start();
        const TToolRun r =
            Tool({QStringLiteral("import"), dir.filePath(QStringLiteral("b.mdb")), file});
        EXPECT_LT(timer.elapsed(), 20000);
        EXPECT_EQ(r.Code, 1);
        EXPECT_TRUE(r.OutText().contains(says)) << r.OutText().toStdString();
    }
}

// A write that fails only when the last of the zip goes out (here the file size limit
// stands in for a full disk) is told, and the earlier file stays as it was.
TEST(BookTool, AnExportThatCannotBeWrittenWholeIsToldAndReplacesNothing) {
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("cook.mdb"));
    ASSERT_EQ(Tool({QStringLiteral("import"), book, Fixture("hongshao.html"),
                    Fixture("kitchen.paprikarecipes")})
                  .Code,
              0);
    const QString target = dir.filePath(QStringLiteral("out.zip"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the earlier export");
    }
    const QString script = QStringLiteral("trap '' XFSZ; ulimit -f 2; exec \"$0\" \"$@\"");
    const TToolRun r = RunTool(QStringLiteral("/bin/sh"),
                               {QStringLiteral("-c"), script, QStringLiteral(MYCOOK_BOOK_TOOL),
                                QStringLiteral("export"), book, target},
                               60000);
    EXPECT_EQ(r.Code, 1) << r.OutText().toStdString();
    EXPECT_FALSE(r.OutText().contains(QStringLiteral("保存完毕"))) << r.OutText().toStdString();
    EXPECT_TRUE(r.ErrText().startsWith(QStringLiteral("无法写入“"))) << r.ErrText().toStdString();
    EXPECT_TRUE(r.ErrText().contains(QStringLiteral("文件超过了文件系统允许的大小")))
        << r.ErrText().toStdString();
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the earlier export"));
}
} // namespace
