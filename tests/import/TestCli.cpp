// mycook-book on the command line: import into a new book, export, import the export.
#include "../common/RunTool.h"
#include "ImportTestUtil.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

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
} // namespace
