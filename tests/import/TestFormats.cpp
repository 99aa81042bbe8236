// Each format's reader on fixture files written from the formats' descriptions.
#include "../common/TimeLimit.h"
#include "Archive.h"
#include "ArchiveFormats.h"
#include "ColumnMapping.h"
#include "HtmlRecipe.h"
#include "ImportBudget.h"
#include "ImportPicture.h"
#include "ImportTestUtil.h"
#include "MealMaster.h"
#include "SchemaRecipe.h"
#include "TextDecode.h"
#include "XmlFormats.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <map>

namespace {
TEST(HtmlRecipe, JsonLdInAGraphWithSectionsAndTheSavedPicture) {
    const auto recipes = ReadAllRecipes(Fixture("hongshao.html"));
    ASSERT_EQ(recipes.size(), 1u);
    const TImportedRecipe& r = recipes[0];
    EXPECT_EQ(r.Name, QStringLiteral("红烧肉 & 卤蛋"));
    EXPECT_EQ(LineTexts(r.Ingredients),
              (QStringList{"五花肉 500克", "冰糖 适量", "生抽 2勺", "八角 少许", "葱 半根"}));
    EXPECT_EQ(LineTexts(r.Steps),
              (QStringList{"#准备", "五花肉切块，冷水下锅焯水。", "捞出沥干。", "#烧制",
                           "1. 小火炒糖色…", "加水炖一个半小时，大火收汁。"}));
    EXPECT_EQ(r.Description, QStringLiteral("肥而不腻，入口即化。"));
    EXPECT_EQ(r.Yield, QStringLiteral("4 人份"));
    EXPECT_EQ(r.CookTime, QStringLiteral("PT1H30M"));
    EXPECT_EQ(r.Source, QStringLiteral("https://cook.example.cn/r/123"));
    EXPECT_EQ(r.Categories, (QStringList{"家常菜"}));
    EXPECT_EQ(r.Keywords, (QStringList{"猪肉", "红烧"}));
    EXPECT_EQ(r.Picture, FixtureBytes("dish.jpg"));
}

TEST(HtmlRecipe, MicrodataWithADataAddressPicture) {
    const auto recipes = ReadAllRecipes(Fixture("pancakes-microdata.html"));
    ASSERT_EQ(recipes.size(), 1u);
    const TImportedRecipe& r = recipes[0];
    EXPECT_EQ(r.Name, QStringLiteral("Fluffy Pancakes"));
    EXPECT_EQ(LineTexts(r.Ingredients),
              (QStringList{"1 1/2 cups flour", "2 eggs", "1 cup milk <cold>"}));
    EXPECT_EQ(LineTexts(r.Steps), (QStringList{"Whisk everything.", "Fry on a hot pan."}));
    EXPECT_EQ(r.Description, QStringLiteral("Sunday breakfast — quick & easy."));
    EXPECT_EQ(r.TotalTime, QStringLiteral("PT25M"));
    EXPECT_EQ(r.Source, QStringLiteral("Ann")); // the author, as there is no address
    EXPECT_EQ(r.Picture, FixtureBytes("green.png"));
}

TEST(HtmlRecipe, EncodingsAndPagesWithoutRecipes) {
    const auto mapo = ReadAllRecipes(Fixture("mapo-gb2312.html"));
    ASSERT_EQ(mapo.size(), 1u);
    EXPECT_EQ(mapo[0].Name, QStringLiteral("麻婆豆腐"));
    EXPECT_EQ(mapo[0].Steps.size(), 2u);
    EXPECT_TRUE(mapo[0].Picture.isEmpty());
    const QByteArray empties[] = {
        FixtureBytes("no-recipe.html"),
        "",
        "<script type=\"application/ld+json\">{broken</script>",
        "<div itemscope itemtype=\"https://schema.org/Person\"><span itemprop=name>x</span></div>",
    };
    for (const QByteArray& page : empties)
        EXPECT_THROW(RecipesFromHtml(page, {}), EImportError) << page.constData();
}

TEST(HtmlRecipe, DeepNestingIsBoundedAndQuick) {
    const QByteArray script =
        "<script type=\"application/ld+json\">{\"@type\":\"Recipe\",\"name\":\"深\"}</script>";
    struct TCase {
        const char* Tag;
        int Count;
        bool Read;
    };
    const TCase cases[] = {
        {"<div>", 3000, true},
        // Elements whose end tag may be left out do not nest.
        {"<p>x", 50000, true},
        {"<li>", 50000, true},
        {"<br>", 50000, true},
        {"<div>", 200000, false},
        {"<b><i>", 100000, false},
    };
    for (const TCase& c : cases) {
        QByteArray page = script;
        for (int i = 0; i < c.Count; ++i)
            page += c.Tag;
        QElapsedTimer timer;
        timer.start();
        if (c.Read) {
            const auto recipes = RecipesFromHtml(page, {});
            ASSERT_EQ(recipes.size(), 1u);
            EXPECT_EQ(recipes[0].Name, QStringLiteral("深"));
        } else {
            EXPECT_THROW(RecipesFromHtml(page, {}), EImportError) << c.Tag;
        }
        // Unbounded, 200,000 nested elements took minutes.
        EXPECT_LT(timer.elapsed(), TimeLimitMs(5000)) << c.Tag;
    }
}

TEST(HtmlRecipe, MhtmlArchiveWithItsPicturePart) {
    const QByteArray jpeg = FixtureBytes("dish.jpg");
    QByteArray mhtml =
        "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"XYZ\"\r\n\r\n"
        "--XYZ\r\nContent-Type: text/html; charset=\"utf-8\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "Content-Location: https://a.example/r\r\n\r\n"
        "<script type=3D\"application/ld+json\">{\"@type\":\"Recipe\",\"name\":\"=E9=B1=BC=\r\n"
        "\",\"image\":\"https://a.example/fish.jpg\"}</script>\r\n"
        "--XYZ\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Location: https://a.example/fish.jpg\r\n\r\n" +
        jpeg.toBase64() + "\r\n--XYZ--\r\n";
    const TMhtml parts = ReadMhtml(mhtml);
    TPageResources resources;
    resources.Parts = parts.Parts;
    const auto recipes = RecipesFromHtml(parts.Html, resources);
    ASSERT_EQ(recipes.size(), 1u);
    EXPECT_EQ(recipes[0].Name, QStringLiteral("鱼"));
    EXPECT_EQ(recipes[0].Picture, jpeg);
    EXPECT_THROW(ReadMhtml("no boundary here"), EImportError);
}

TEST(MealMaster, CodePage437TwoColumnsSectionsAndContinuations) {
    const auto recipes = ReadAllRecipes(Fixture("desserts-cp437.mmf"));
    ASSERT_EQ(recipes.size(), 2u);
    const TImportedRecipe& a = recipes[0];
    EXPECT_EQ(a.Name, QStringLiteral("Crème Brûlée"));
    EXPECT_EQ(a.Categories, (QStringList{"Desserts", "French"}));
    EXPECT_EQ(a.Yield, QStringLiteral("6 servings"));
    EXPECT_EQ(LineTexts(a.Ingredients),
              (QStringList{"2 c Heavy cream", "5 Egg yolks", "1/2 c Sugar",
                           "1 ts Vanilla extract or one vanilla bean, split", "#TOPPING",
                           "6 tb Sugar for caramelising"}));
    ASSERT_EQ(a.Steps.size(), 3u);
    EXPECT_TRUE(a.Steps[0].Text.startsWith(QStringLiteral("Heat the oven to 150°C.")));
    EXPECT_TRUE(a.Steps[0].Text.endsWith(QStringLiteral("pour the cream over them.")));
    EXPECT_EQ(a.Steps[1].Text,
              QStringLiteral("Strain into ramekins and bake in a water bath for 40 minutes."));
    EXPECT_EQ(
        a.Steps[2].Text,
        QStringLiteral("Chill, sprinkle with sugar and caramelise under a hot grill. Voilà!"));

    const TImportedRecipe& b = recipes[1];
    EXPECT_EQ(b.Name, QStringLiteral("Two-Column Chili"));
    EXPECT_EQ(b.Yield, QStringLiteral("4"));
    EXPECT_EQ(
        LineTexts(b.Ingredients),
        (QStringList{"1 lb Ground beef", "1 md Onion, chopped", "2 cn Kidney beans",
                     "2 tb Chili powder", "1 ts Cumin", "Salt", "#GARNISH", "1 c Grated cheese"}));
    EXPECT_EQ(b.Steps.size(), 1u);
}

TEST(MealMaster, ChineseFilesInEveryEncodingAndMissingFields) {
    struct TCase {
        const char* File;
        QStringList Names;
    };
    const TCase cases[] = {
        {"chinese-gb18030.mmf", {"西红柿炒鸡蛋", "蒜蓉西兰花"}},
        {"sanbeiji-big5.txt", {"三杯雞"}},
        {"tomato-utf16.mmf", {"番茄炒蛋"}},
    };
    for (const TCase& c : cases) {
        QStringList names;
        for (const TImportedRecipe& r : ReadAllRecipes(Fixture(c.File)))
            names << r.Name;
        EXPECT_EQ(names, c.Names) << c.File;
    }
    const auto tomato = ReadAllRecipes(Fixture("chinese-gb18030.mmf"));
    EXPECT_TRUE(tomato[0].Categories.isEmpty());
    EXPECT_TRUE(tomato[0].Yield.isEmpty());
    EXPECT_EQ(LineTexts(tomato[0].Ingredients),
              (QStringList{"3 西红柿", "4 鸡蛋", "盐 适量", "糖 少许"}));
    EXPECT_EQ(tomato[1].Yield, QStringLiteral("2 人份"));
}

TEST(MealMaster, LenientAndBounded) {
    const std::pair<const char*, int> cases[] = {
        {"", -1},
        {"no recipe at all\n", -1},
        // No end line: the recipe runs to the end of the file.
        {"MMMMM----- Recipe via Meal-Master (tm) v8.05\n      Title: A\n\n      1    egg\n", 1},
        // A header straight after a recipe without its end line.
        {"---------- Recipe via Meal-Master\n Title: A\n---------- Recipe via Meal-Master\n Title: "
         "B\n-----\n",
         2},
        // Only a header.
        {"MMMMM----- Recipe via Meal-Master", 1},
    };
    for (const auto& [text, count] : cases) {
        int got = 0;
        try {
            ReadMealMasterText(QString::fromUtf8(text), [&](TImportedRecipe&&) { ++got; });
        } catch (const EImportError&) {
            got = -1;
        }
        EXPECT_EQ(got, count) << text;
    }
}

// Read a few bytes at a time, a file gives the recipes it gives when decoded
// whole: lines cut between pieces, a look ahead past a blank line at a piece's
// end, a recipe without its end line at the end of the file.
TEST(MealMaster, ReadInPiecesAsWhole) {
    const QByteArray twoWithoutEnd =
        "MMMMM----- Recipe via Meal-Master (tm) v8.05\r\n      Title: A\r\n\r\n"
        "      1 c  flour\r\n\r\n\r\n      2    eggs\r\n\r\n  Mix.\r\n"
        "MMMMM----- Recipe via Meal-Master (tm) v8.05\r\n      Title: B\r\n\r\n  Stir";
    const std::pair<const char*, QByteArray> cases[] = {
        {"gb18030", FixtureBytes("chinese-gb18030.mmf")},
        {"cp437 two columns", FixtureBytes("desserts-cp437.mmf")},
        {"utf-16", FixtureBytes("tomato-utf16.mmf")},
        {"big5", FixtureBytes("sanbeiji-big5.txt")},
        {"no end lines", twoWithoutEnd},
    };
    auto read = [](const QByteArray& bytes, qsizetype piece) {
        std::vector<TRecipeColumns> out;
        ReadMealMasterBytes(
            bytes, [&](TImportedRecipe&& r) { out.push_back(MapToColumns(r)); }, piece);
        return out;
    };
    for (const auto& [name, bytes] : cases) {
        std::vector<TRecipeColumns> whole;
        ReadMealMasterText(DecodeText(bytes),
                           [&](TImportedRecipe&& r) { whole.push_back(MapToColumns(r)); });
        ASSERT_FALSE(whole.empty()) << name;
        for (const qsizetype piece : {1, 3, 7, 1 << 16})
            EXPECT_EQ(read(bytes, piece), whole) << name << " in pieces of " << piece;
    }
    EXPECT_EQ(read(twoWithoutEnd, 5).size(), 2u);
}

TEST(ArchiveFormats, NextcloudZip) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ok.zip"));
    {
        TZipWriter zip(path);
        ReadZipFile(Fixture("nextcloud.zip"), [&](const QString& entry, const QByteArray& bytes) {
            if (!entry.startsWith(QLatin1String("Broken/")))
                zip.Add(entry, bytes);
            return true;
        });
        zip.Commit();
    }
    const auto recipes = ReadAllRecipes(path);
    ASSERT_EQ(recipes.size(), 2u);
    EXPECT_EQ(recipes[0].Name, QStringLiteral("火锅"));
    EXPECT_EQ(recipes[0].Picture, FixtureBytes("dish.jpg"));
    EXPECT_EQ(recipes[0].Yield, QStringLiteral("4"));
    EXPECT_EQ(LineTexts(recipes[0].Steps), (QStringList{"底料下锅煮开。", "涮肉。"}));
    EXPECT_EQ(recipes[1].Name, QStringLiteral("Greek Salad"));
    EXPECT_TRUE(recipes[1].Picture.isEmpty());
    try {
        ReadAllRecipes(Fixture("nextcloud.zip"));
        FAIL() << "broken recipe.json accepted";
    } catch (const EImportError& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Broken/recipe.json"))) << e.what();
    }
}

// Folders whose files lie apart in the archive, in any order: every recipe comes once
// with its own pictures, in the order its folder first appears, each member it needs
// unpacked once (the directory says where each lies). The walk that reads what the
// directory's reader leaves: under a small budget for what may be held it lets
// folders go and reads them again, which shows in the bytes unpacked.
TEST(ArchiveFormats, NextcloudFoldersApartComeBackWhole) {
    constexpr int Folders = 12;
    auto picture = [](int i) {
        QByteArray bytes(40 * 1024, char(i));
        bytes[0] = char(0xFF);
        return bytes;
    };
    auto json = [](int i) {
        return QStringLiteral("{\"@type\":\"Recipe\",\"name\":\"菜%1\",\"recipeIngredient\":"
                              "[\"水\"],\"recipeInstructions\":\"煮\","
                              "\"image\":[\"full.jpg\",\"picture-1.jpg\"]}")
            .arg(i)
            .toUtf8();
    };
    struct TMember {
        QString Path;
        QByteArray Bytes;
    };
    auto members = [&](int i, const char* which) -> TMember {
        const QString folder = QStringLiteral("Recipes/菜%1/").arg(i);
        if (qstrcmp(which, "json") == 0)
            return {folder + QStringLiteral("recipe.json"), json(i)};
        if (qstrcmp(which, "full") == 0)
            return {folder + QStringLiteral("full.jpg"), picture(i)};
        return {folder + QStringLiteral("picture-1.jpg"), picture(i + 100)};
    };
    std::vector<TMember> together, apart, crossed, split;
    for (int i = 0; i < Folders; ++i)
        for (const char* which : {"json", "full", "other"})
            together.push_back(members(i, which));
    for (const char* which : {"full", "other", "json"})
        for (int i = 0; i < Folders; ++i)
            apart.push_back(members(i, which));
    for (int i = 0; i < Folders; ++i) {
        crossed.push_back(members(i, "json"));
        crossed.push_back(members(Folders - 1 - i, "full"));
        crossed.push_back(members((i + 5) % Folders, "other"));
    }
    // The first folder's recipe at the start, its pictures after all the others.
    split.push_back(members(0, "json"));
    for (int i = 1; i < Folders; ++i)
        for (const char* which : {"other", "json", "full"})
            split.push_back(members(i, which));
    split.push_back(members(0, "other"));
    split.push_back(members(0, "full"));
    qint64 total = 0;
    for (const TMember& m : together)
        total += m.Bytes.size();
    const struct {
        const char* Order;
        const std::vector<TMember>& Members;
        bool Directory; // false: walked
        bool ReadAgain;
    } cases[] = {{"together", together, true, false},
                 {"apart", apart, true, false},
                 {"crossed", crossed, true, false},
                 {"split", split, true, false},
                 {"together, walked", together, false, false},
                 {"apart, walked", apart, false, true},
                 {"crossed, walked", crossed, false, true},
                 // Only the first folder waits, within the bound.
                 {"split, walked", split, false, false}};
    QTemporaryDir dir;
    int n = 0;
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("%1.zip").arg(++n));
        {
            TZipWriter zip(path);
            for (const TMember& m : c.Members)
                zip.Add(m.Path, m.Bytes);
            zip.Commit();
        }
        TArchiveLimits limits;
        limits.HeldBytes = 3 * 40 * 1024;
        TImportBudget budget(limits);
        std::map<QString, int> seen;
        QStringList order;
        (c.Directory ? ReadNextcloudZip : ReadNextcloudZipWalking)(
            path,
            [&](TImportedRecipe&& r) {
                const int i = r.Name.mid(1).toInt();
                ++seen[r.Name];
                order.append(r.Name);
                EXPECT_EQ(r.Picture, picture(i)) << c.Order << " " << i;
                ASSERT_EQ(r.Pictures.size(), 1u) << c.Order << " " << i;
                EXPECT_EQ(r.Pictures[0].Bytes, picture(i + 100)) << c.Order << " " << i;
            },
            budget);
        EXPECT_EQ(seen.size(), size_t(Folders)) << c.Order;
        for (const auto& [name, times] : seen)
            EXPECT_EQ(times, 1) << c.Order << " " << name.toStdString();
        EXPECT_EQ(budget.Members(), 3 * Folders) << c.Order; // each member counted once
        if (c.ReadAgain)
            EXPECT_GT(budget.Unpacked(), total) << c.Order;
        else
            EXPECT_EQ(budget.Unpacked(), total) << c.Order;
        if (c.Directory) {
            QStringList firstSeen;
            for (const TMember& m : c.Members) {
                const QString name = m.Path.section(u'/', 1, 1);
                if (!firstSeen.contains(name))
                    firstSeen.append(name);
            }
            EXPECT_EQ(order, firstSeen) << c.Order;
        }
    }
}

TEST(ArchiveFormats, Paprika) {
    const auto recipes = ReadAllRecipes(Fixture("kitchen.paprikarecipes"));
    ASSERT_EQ(recipes.size(), 2u);
    const TImportedRecipe& d = recipes[0];
    EXPECT_EQ(d.Name, QStringLiteral("饺子"));
    EXPECT_EQ(LineTexts(d.Ingredients), (QStringList{"面粉 500克", "猪肉馅 300克", "韭菜 一把"}));
    EXPECT_EQ(d.Steps.size(), 3u);
    EXPECT_EQ(d.Notes, QStringLiteral("蘸醋吃。"));
    EXPECT_EQ(d.Source, QStringLiteral("https://jiaozi.example.cn"));
    EXPECT_EQ(d.Categories, (QStringList{"面食", "年夜饭"}));
    EXPECT_EQ(d.Picture, FixtureBytes("dish.jpg"));
    EXPECT_EQ(recipes[1].Picture, FixtureBytes("green.png"));
}

TEST(XmlFormats, GourmetAndRecipeMl) {
    const auto breads = ReadAllRecipes(Fixture("breads.grmt"));
    ASSERT_EQ(breads.size(), 2u);
    EXPECT_EQ(breads[0].Name, QStringLiteral("Garlic Bread"));
    EXPECT_EQ(
        LineTexts(breads[0].Ingredients),
        (QStringList{"1 baguette", "#Butter", "4 tbsp butter", "1 pinch chili flakes（可选）"}));
    EXPECT_EQ(LineTexts(breads[0].Steps),
              (QStringList{"Mix the butter with garlic.", "Spread on the bread generously.",
                           "Bake 10 minutes."}));
    EXPECT_EQ(breads[0].Notes, QStringLiteral("Parsley is nice too."));
    EXPECT_EQ(breads[0].Source, QStringLiteral("Grandma http://bread.example.org/garlic"));
    EXPECT_EQ(breads[0].Picture, FixtureBytes("dish.jpg"));
    EXPECT_EQ(breads[1].Name, QStringLiteral("葱油饼"));

    const auto cakes = ReadAllRecipes(Fixture("cakes-recipeml.xml"));
    ASSERT_EQ(cakes.size(), 2u);
    EXPECT_EQ(cakes[0].Name, QStringLiteral("Café Au Lait Cake"));
    EXPECT_EQ(cakes[0].Categories, (QStringList{"Cakes", "Coffee"}));
    EXPECT_EQ(LineTexts(cakes[0].Ingredients),
              (QStringList{"2 cups flour", "#Glaze", "1 cup icing sugar （sifted）"}));
    EXPECT_EQ(LineTexts(cakes[0].Steps), (QStringList{"Mix.", "Bake 35 minutes at 180 °C."}));
    EXPECT_EQ(LineTexts(cakes[1].Steps), (QStringList{"Boil water. Pour over the leaves."}));

    const QByteArray broken[] = {"<gourmetDoc><recipe><title>x</gourmetDoc>",
                                 "<recipeml></recipeml>", "<gourmetDoc/>", "not xml"};
    for (const QByteArray& b : broken) {
        EXPECT_THROW(ReadGourmetXml(b, [](TImportedRecipe&&) {}), EImportError) << b.constData();
    }
    try {
        ReadGourmetXml("<gourmetDoc>\n<recipe>\n<title>x</title>\n</gourmetDoc>",
                       [](TImportedRecipe&&) {});
        FAIL();
    } catch (const EImportError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("第 4 行"))) << e.what();
    }
}

TEST(Archive, BoundsOnHostileArchives) {
    // A gzip bomb stops at the bound.
    const QByteArray bomb = Gzip(QByteArray(4 * 1024 * 1024, '\0'));
    EXPECT_THROW(Gunzip(bomb, 1024 * 1024), EImportError);
    EXPECT_EQ(Gunzip(bomb, 8 * 1024 * 1024).size(), 4 * 1024 * 1024);
    EXPECT_THROW(Gunzip("not gzip", 100), EImportError);
    EXPECT_THROW(Gunzip(bomb.left(bomb.size() / 2), 8 * 1024 * 1024), EImportError);
    EXPECT_THROW(
        ReadZipBytes("PK\x03\x04 broken", [](const QString&, const QByteArray&) { return true; }),
        EImportError);
}
} // namespace

namespace {
// A PNG whose header claims width x height but whose data is cut after the header.
QByteArray PngClaiming(int width, int height) {
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "PNG");
    // IHDR's width and height follow the 8-byte signature and the chunk's length and type.
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char((quint32(width) >> (24 - 8 * i)) & 0xFF);
        png[20 + i] = char((quint32(height) >> (24 - 8 * i)) & 0xFF);
    }
    return png;
}

// A small good PNG whose text chunk before IEND claims `length` bytes.
QByteArray PngWithTextClaiming(quint32 length) {
    QByteArray png = PngClaiming(4, 4);
    const qsizetype end = png.size() - 12; // IEND: length, type, CRC
    QByteArray chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(char((length >> shift) & 0xFF));
    chunk.append("tEXtdate:create", 15);
    png.insert(end, chunk);
    return png;
}

TEST(ImportPicture, KeepsJpegConvertsOthersRefusesForgeries) {
    const QByteArray jpeg = FixtureBytes("dish.jpg");
    EXPECT_EQ(PictureAsJpeg(jpeg), jpeg);
    const QByteArray converted = PictureAsJpeg(FixtureBytes("green.png"));
    EXPECT_TRUE(converted.startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(QImage::fromData(converted).size(), QSize(10, 8));
    // A JPEG header claiming 20000 x 20000: over the bound, refused before decoding.
    QByteArray huge = jpeg;
    const qsizetype sof = huge.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    huge[sof + 5] = char(0x4E), huge[sof + 6] = char(0x20); // height 20000
    huge[sof + 7] = char(0x4E), huge[sof + 8] = char(0x20); // width 20000
    const QByteArray refused[] = {QByteArray(),
                                  "not a picture at all",
                                  huge,
                                  PngClaiming(9000, 9000),
                                  PngClaiming(20000, 20000),
                                  PngWithTextClaiming(1u << 30),
                                  jpeg.left(3)};
    for (const QByteArray& bytes : refused) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_THROW(PictureAsJpeg(bytes), Exception) << bytes.left(8).toHex().constData();
        EXPECT_LT(timer.elapsed(), 2000);
    }
}
} // namespace

namespace {
// Latin words in a message, other than the format's name: Qt's English detail.
bool HasEnglishWords(const QString& text) {
    QString rest = text;
    for (const char* name : {"JSON", "XML", "UTF-8"})
        rest.remove(QLatin1String(name));
    int run = 0;
    for (const QChar c : rest) {
        run = (c.isLetter() && c.unicode() < 0x80) ? run + 1 : 0;
        if (run >= 3)
            return true;
    }
    return false;
}
} // namespace

// Broken files are explained in Chinese, not in the parsers' English.
TEST(ImportErrors, BrokenFilesAreToldInChinese) {
    const QByteArray png = FixtureBytes("green.png");
    const TRecipeSink Ignore = [](TImportedRecipe&&) {
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"json cut",
         [] {
             ParseJson("{\"name\": \"汤\", ");
         }},
        {"json garbage",
         [] {
             ParseJson("{} trailing");
         }},
        {"json bad value",
         [] {
             ParseJson("{\"a\": tru}");
         }},
        {"xml unclosed",
         [&] {
             ReadGourmetXml("<gourmetDoc><recipe><title>汤</recipe>", Ignore);
         }},
        {"xml cut",
         [&] {
             ReadRecipeMlXml("<recipeml><recipe><head>", Ignore);
         }},
        {"picture cut",
         [&] {
             PictureAsJpeg(png.left(png.size() - 20));
         }},
    };
    for (const auto& [name, run] : cases) {
        QString message;
        try {
            run();
        } catch (const Exception& e) {
            message = e.Message();
        }
        EXPECT_FALSE(message.isEmpty()) << name;
        EXPECT_FALSE(HasEnglishWords(message)) << name << ": " << message.toStdString();
    }
}
