// Hostile input: pictures a page names outside its folder, archives that unpack to far
// more than they weigh, and failures told in Chinese by their codes.
#include "Archive.h"
#include "ArchiveFormats.h"
#include "BookTestUtil.h"
#include "FileErrors.h"
#include "HtmlRecipe.h"
#include "ImportBudget.h"
#include "ImportTestUtil.h"
#include "SchemaRecipe.h"
#include "StandardErrors.h"
#include "XmlFormats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <sys/stat.h>

namespace {
QByteArray PageNaming(const QString& address) {
    return QStringLiteral("<html><script type=\"application/ld+json\">{\"@type\":\"Recipe\","
                          "\"name\":\"汤\",\"recipeIngredient\":[\"水\"],\"image\":\"%1\"}"
                          "</script></html>")
        .arg(address)
        .toUtf8();
}

// dir/secret.jpg, dir/site/page/x.html with x_files/ holding a good picture, a pipe,
// a link leading out and a picture over the bound.
class PagePictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        Files = Dir.filePath(QStringLiteral("site/page/x_files"));
        ASSERT_TRUE(QDir().mkpath(Files));
        Page = Dir.filePath(QStringLiteral("site/page/x.html"));
        Secret = Dir.filePath(QStringLiteral("secret.jpg"));
        ASSERT_TRUE(QFile::copy(Fixture("dish.jpg"), Secret));
        ASSERT_TRUE(QFile::copy(Fixture("dish.jpg"), Files + QStringLiteral("/good.jpg")));
        ASSERT_EQ(
            ::mkfifo(QFile::encodeName(Files + QStringLiteral("/pipe.jpg")).constData(), 0600), 0);
        ASSERT_TRUE(QFile::link(Secret, Files + QStringLiteral("/out.jpg")));
        QFile big(Files + QStringLiteral("/big.jpg"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write(FixtureBytes("dish.jpg"));
        ASSERT_TRUE(big.resize(MaxImportPictureBytes + 1)); // sparse: costs no disk
    }
    TImportedRecipe Read(const QString& address) {
        TPageResources resources;
        resources.PagePath = Page;
        const auto recipes = RecipesFromHtml(PageNaming(address), resources);
        EXPECT_EQ(recipes.size(), 1u);
        return recipes.empty() ? TImportedRecipe{} : recipes[0];
    }
    QTemporaryDir Dir;
    QString Files, Page, Secret;
};

TEST_F(PagePictureTest, OnlyRegularFilesInsideThePagesFolder) {
    const QString outside = QStringLiteral("图片地址指向网页以外的文件，没有导入");
    const struct {
        QString Address;
        bool Taken;
        QString Problem; // part of the note when not taken
    } cases[] = {
        {QStringLiteral("file:///dev/zero"), false, outside},
        {QStringLiteral("/dev/zero"), false, outside},
        {QStringLiteral("x_files/pipe.jpg"), false, QStringLiteral("管道")},
        {Secret, false, outside},
        {QStringLiteral("file://") + Secret, false, outside},
        {QStringLiteral("../../secret.jpg"), false, outside},
        {QStringLiteral("x_files/../../../secret.jpg"), false, outside},
        {QStringLiteral("x_files/out.jpg"), false, outside},
        {QStringLiteral("x_files/big.jpg"), false, QStringLiteral("图片太大（上限 32 MB）")},
        {QStringLiteral("x_files/good.jpg"), true, {}},
        {QStringLiteral("x_files/../x_files/good.jpg"), true, {}},
        {QStringLiteral("file://") + Files + QStringLiteral("/good.jpg"), true, {}},
        // A saved page's address of the web: its file in the saved folder.
        {QStringLiteral("https://cook.example.cn/img/good.jpg"), true, {}},
    };
    for (const auto& c : cases) {
        QElapsedTimer timer;
        timer.start();
        const TImportedRecipe r = Read(c.Address);
        EXPECT_LT(timer.elapsed(), 2000) << c.Address.toStdString();
        if (c.Taken) {
            EXPECT_EQ(r.Picture, FixtureBytes("dish.jpg")) << c.Address.toStdString();
        } else {
            EXPECT_TRUE(r.Picture.isEmpty()) << c.Address.toStdString();
            EXPECT_TRUE(r.PictureProblem.contains(c.Problem))
                << c.Address.toStdString() << ": " << r.PictureProblem.toStdString();
        }
    }
}

TEST_F(PagePictureTest, TheSummarySaysThePictureWasLeftOut) {
    QFile page(Page);
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write(PageNaming(QStringLiteral("../../secret.jpg")));
    page.close();
    std::vector<TImportedRecipe> read;
    ReadRecipeFile(Page, [&](TImportedRecipe&& r) { read.push_back(std::move(r)); });
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].PictureProblem, QStringLiteral("图片地址指向网页以外的文件，没有导入"));
}
} // namespace

namespace {
QByteArray PaprikaMember(const QString& name, qsizetype padding) {
    QByteArray json = "{\"name\": \"" + name.toUtf8() + "\",";
    json += QByteArray(padding / 2, ' ');
    json += "\"ingredients\": \"水\", \"directions\": \"煮" + QByteArray(padding / 2, '\n') + "\"}";
    return Gzip(json);
}

QString ZipOf(const QString& path, int members, const QByteArray& bytes, const char* suffix) {
    TZipWriter zip(path);
    for (int i = 0; i < members; ++i)
        zip.Add(QStringLiteral("r%1%2").arg(i).arg(QLatin1String(suffix)), bytes);
    zip.Commit();
    return path;
}

// What every archive of one import unpacks is counted together: Paprika's gzip
// streams as well as the zip's members.
TEST(ImportBudget, OneBudgetForEveryArchiveOfAnImport) {
    QTemporaryDir dir;
    const QByteArray member = PaprikaMember(QStringLiteral("汤"), 600 * 1024); // ~600 KB unpacked
    const QString a =
        ZipOf(dir.filePath(QStringLiteral("a.paprikarecipes")), 2, member, ".paprikarecipe");
    const QString b =
        ZipOf(dir.filePath(QStringLiteral("b.paprikarecipes")), 2, member, ".paprikarecipe");
    const auto limits = [](auto change) {
        TArchiveLimits l;
        change(l);
        return l;
    };
    const struct {
        TArchiveLimits Limits;
        int ReadBeforeRefusal; // recipes of a and b read before the budget runs out
        QString Refusal;
    } cases[] = {
        // Blanks packed a thousand times over, two archives counted together: the
        // whole import may unpack 2 MB at any ratio, and stops half-way through b.
        // (This case once tested a fixed total of unpacked bytes; the total now
        // counts against what the archives weigh.)
        {limits([](TArchiveLimits& l) { l.TotalRatioFreeBytes = 2 * 1024 * 1024; }), 3,
         QStringLiteral("压缩包解开后是压缩时的 20 倍以上")},
        // One member past its own free bytes at that ratio: refused at once.
        {limits([](TArchiveLimits& l) { l.RatioFreeBytes = 256 * 1024; }), 0,
         QStringLiteral("“r0.paprikarecipe”解开后是压缩时的 100 倍以上")},
        // Members: four .paprikarecipe members, three allowed.
        {limits([](TArchiveLimits& l) { l.Members = 3; }), 3, QStringLiteral("一次导入最多 3 个")},
        // One gzip stream over the member bound.
        {limits([](TArchiveLimits& l) { l.MemberBytes = 512 * 1024; }), 0,
         QStringLiteral("每个文件最多 512 KB")},
        {{}, 4, {}},
    };
    for (const auto& c : cases) {
        TImportBudget budget(c.Limits);
        int read = 0;
        QString refusal;
        try {
            for (const QString& path : {a, b})
                ReadRecipeFile(
                    path, [&](TImportedRecipe&&) { ++read; }, budget);
        } catch (const EImportError& e) {
            refusal = e.Message();
        }
        EXPECT_EQ(read, c.ReadBeforeRefusal) << refusal.toStdString();
        if (c.Refusal.isEmpty())
            EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
        else
            EXPECT_TRUE(refusal.contains(c.Refusal)) << refusal.toStdString();
    }
}

// The rule itself, fed as an archive would feed it: (unpacked, packed) steps of one
// member after another.
TEST(ImportBudget, RatioPastFreeBytesMemberAndTotal) {
    constexpr qint64 MiB = 1024 * 1024;
    struct TStep {
        qint64 Unpacked, Packed;
        bool NewMember;
    };
    const struct {
        const char* What;
        std::vector<TStep> Steps;
        int RefusedAt; // the step refused, -1: none
    } cases[] = {
        {"a picture of 40 MB barely shrinks", {{40 * MiB, 39 * MiB, true}}, -1},
        {"past the member bound", {{60 * MiB, 60 * MiB, true}, {5 * MiB, 5 * MiB, false}}, 1},
        {"a text packed a thousand times, within its free bytes",
         {{20 * MiB, 20 * 1024, true}},
         -1},
        {"the same member going on past them",
         {{20 * MiB, 20 * 1024, true}, {13 * MiB, 1, false}},
         1},
        {"exactly a hundred times past them", {{33 * MiB / 100 * 100, 33 * MiB / 100, true}}, -1},
        {"a byte more than a hundred times", {{33 * MiB / 100 * 100 + 1, 33 * MiB / 100, true}}, 0},
        // Members each within their free bytes, packed fifty times: the import's
        // total stops past its own free bytes.
        {"many members at fifty to one",
         std::vector<TStep>(20, TStep{16 * MiB, 16 * MiB / 50, true}), 16},
        {"many members at ten to one", std::vector<TStep>(40, TStep{16 * MiB, 16 * MiB / 10, true}),
         -1},
    };
    for (const auto& c : cases) {
        TImportBudget budget;
        int refusedAt = -1;
        qint64 member = 0, memberPacked = 0;
        for (int i = 0; i < int(c.Steps.size()) && refusedAt < 0; ++i) {
            const TStep& step = c.Steps[size_t(i)];
            if (step.NewMember) {
                member = memberPacked = 0;
                budget.CountMember();
            }
            member += step.Unpacked;
            memberPacked += step.Packed;
            try {
                budget.CountBytes(step.Unpacked, step.Packed, member, memberPacked,
                                  QStringLiteral("m"));
            } catch (const EImportError&) {
                refusedAt = i;
            }
        }
        EXPECT_EQ(refusedAt, c.RefusedAt) << c.What;
    }
}

// The quick look at the bytes must never say "nothing to cut" where the cut would
// change something: each case is checked against CapJsonTexts itself.
TEST(ImportBudget, JsonMayNeedCappingNeverMissesACut) {
    auto nested = [](int depth, const QByteArray& inner) {
        return QByteArray(depth, '[') + inner + QByteArray(depth, ']');
    };
    const QByteArray longText(MaxRecipeFieldChars + 1, 'x');
    const struct {
        const char* What;
        QByteArray Json;
        bool Needs;
    } cases[] = {
        {"a small recipe", R"({"name":"汤","recipeIngredient":["水"]})", false},
        {"nesting at the depth bound", nested(MaxJsonDepth, "\"x\""), false},
        {"nesting past it", nested(MaxJsonDepth + 1, "\"x\""), true},
        {"brackets inside a text do not nest", "[\"" + QByteArray(MaxJsonDepth + 5, '[') + "\"]",
         false},
        {"an escaped quote does not end the text",
         "[\"\\\"" + QByteArray(MaxJsonDepth + 5, '{') + "\"]", false},
        {"an escaped backslash does", "[\"\\\\\"," + nested(MaxJsonDepth, "1") + "]", true},
        {"an escaped backslash before an escaped quote does not",
         "[\"\\\\\\\"" + QByteArray(MaxJsonDepth + 5, '{') + "\"]", false},
        {"an empty text, then nesting past the bound", "[\"\"," + nested(MaxJsonDepth, "1") + "]",
         true},
        {"a text past the bound", "[\"" + longText + "\"]", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonMayNeedCapping(c.Json), c.Needs) << c.What;
        QJsonValue value = ParseJson(c.Json);
        const QJsonValue before = value;
        const bool cut = CapJsonTexts(value);
        if (!JsonMayNeedCapping(c.Json)) {
            EXPECT_FALSE(cut) << c.What;
            EXPECT_EQ(value, before) << c.What;
        }
    }
}

class ImportBookTest : public TBookTest {
protected:
    TImportSummary Import(const QStringList& files) {
        return ImportRecipeFiles(FConnection, files, [](const QString&) {
            return TDuplicateChoice{TDuplicateAnswer::KeepBoth, true};
        });
    }
};

// Archives of a few hundred kilobytes that unpack to recipes of millions of
// characters: read quickly, each text cut to the bound and said so, the book small.
TEST_F(ImportBookTest, HugeTextsInSmallArchivesAreCutQuickly) {
    const QByteArray huge(20'000'000, 'x');
    QByteArray json = "{\"@type\": \"Recipe\", \"name\": \"长汤\", \"recipeIngredient\": [\"水\"], "
                      "\"recipeInstructions\": \"" +
                      huge + "\"}";
    TZipWriter zip(FDir.filePath(QStringLiteral("long.zip")));
    for (int i = 0; i < 5; ++i)
        zip.Add(QStringLiteral("长汤%1/recipe.json").arg(i), json);
    zip.Commit();
    const QString padded =
        ZipOf(FDir.filePath(QStringLiteral("padded.paprikarecipes")), 10,
              PaprikaMember(QStringLiteral("空汤"), 8'000'000), ".paprikarecipe");

    QElapsedTimer timer;
    timer.start();
    const TImportSummary s = Import({FDir.filePath(QStringLiteral("long.zip")), padded});
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(s.Imported, 15) << s.Details.join(u'\n').toStdString();
    EXPECT_EQ(s.Details.filter(QStringLiteral("文字太长，每项只保留前 100 万字")).size(), 15)
        << s.Details.join(u'\n').toStdString();
    FConnection.SetConnected(false);
    EXPECT_LT(QFileInfo(FPath).size(), 64LL * 1024 * 1024);
}
} // namespace

namespace {
// Latin words in a message other than the names of formats: a library's English.
bool HasEnglishWords(const QString& text) {
    QString rest = text;
    for (const char* name : {"JSON", "XML", "UTF-8", "zip", "gzip", "MHTML", "Paprika", "MB", "GB",
                             "KB", "recipe.json"})
        rest.remove(QLatin1String(name));
    int run = 0;
    for (const QChar c : rest) {
        run = (c.isLetter() && c.unicode() < 0x80) ? run + 1 : 0;
        if (run >= 3)
            return true;
    }
    return false;
}

QByteArray SmallZip() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("z.zip"));
    {
        TZipWriter zip(path);
        QByteArray text;
        for (int i = 0; i < 4000; ++i)
            text += "第" + QByteArray::number(i * 7919 % 10007) + "步，";
        zip.Add(QStringLiteral("汤/recipe.json"),
                "{\"name\":\"汤\",\"recipeInstructions\":\"" + text + "\"}");
        zip.Commit();
    }
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray NestedEntities() {
    QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE gourmetDoc [\n<!ENTITY a0 \"汤汤汤汤\">\n";
    for (int i = 1; i < 10; ++i)
        xml += QStringLiteral("<!ENTITY a%1 \"&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;&a%2;\">\n")
                   .arg(i)
                   .arg(i - 1)
                   .toUtf8();
    return xml + "]>\n<gourmetDoc><recipe><title>&a9;</title></recipe></gourmetDoc>";
}

// Every failure a cook may meet is told in Chinese and says what is true.
TEST(ImportErrors, ArchivesFilesAndLimitsAreToldInChinese) {
    QTemporaryDir dir;
    const QByteArray zip = SmallZip();
    QByteArray corrupt = zip;
    for (qsizetype i = 60; i < 200 && i < corrupt.size(); ++i)
        corrupt[i] = char(corrupt[i] ^ 0x5A);
    const QString big = dir.filePath(QStringLiteral("big.mmf"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(MaxImportFileBytes + 1));
    }
    const auto readZip = [](const QByteArray& bytes) {
        return [bytes] {
            ReadNextcloudZipBytes(bytes, [](TImportedRecipe&&) {});
        };
    };
    const struct {
        const char* Name;
        std::function<void()> Run;
        QString Says; // part of the message
    } cases[] = {
        {"not an archive", readZip("hello, no archive here at all"), QStringLiteral("不是")},
        {"broken header", readZip("PK\x03\x04 broken"), QStringLiteral("zip")},
        {"cut short", readZip(zip.left(zip.size() / 2)), QStringLiteral("压缩包")},
        {"bad deflate data", readZip(corrupt), QStringLiteral("压缩包")},
        {"too big", [&] { ReadAllRecipes(big); }, QStringLiteral("上限 64 MB")},
        {"xml bomb", [] { ReadGourmetXml(NestedEntities(), [](TImportedRecipe&&) {}); },
         QStringLiteral("太深")},
        {"no recipe in a page", [] { RecipesFromHtml("<html><p>汤</p></html>", {}); },
         QStringLiteral("网页里没有菜谱数据")},
        {"out of memory", [] { throw std::bad_alloc(); }, QStringLiteral("内存不足")},
    };
    for (const auto& c : cases) {
        QString message;
        try {
            c.Run();
        } catch (const std::exception& e) {
            message = StandardErrorText(e);
        }
        EXPECT_TRUE(message.contains(c.Says)) << c.Name << ": " << message.toStdString();
        EXPECT_FALSE(HasEnglishWords(message)) << c.Name << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("标记不完整"))) << c.Name;
    }
}

// The one place that words the system's codes: each in Chinese, saying what is true.
TEST(ImportErrors, SystemCodesInWords) {
    const std::pair<int, const char*> codes[] = {
        {ENOSPC, "磁盘已满"}, {EDQUOT, "磁盘已满"}, {EROFS, "只读"},        {EACCES, "权限"},
        {EPERM, "权限"},      {EISDIR, "文件夹"},   {ENOENT, "不存在"},     {EIO, "磁盘"},
        {ENXIO, "设备"},      {EMFILE, "太多"},     {ENAMETOOLONG, "太长"}, {12345, "12345"},
    };
    for (const auto& [code, says] : codes) {
        const QString text = SystemErrorText(code);
        EXPECT_TRUE(text.contains(QString::fromUtf8(says))) << code << ": " << text.toStdString();
        EXPECT_FALSE(HasEnglishWords(text)) << text.toStdString();
    }
    // Without an errno, Qt's own code decides.
    EXPECT_TRUE(
        FileDeviceErrorText(QFileDevice::ResourceError, 0).contains(QStringLiteral("磁盘已满")));
    EXPECT_EQ(FileDeviceErrorText(QFileDevice::WriteError, ENOSPC), SystemErrorText(ENOSPC));
}
} // namespace
