// Hostile input: pictures a page names outside its folder, archives that unpack to far
// more than they weigh, and failures told in Chinese by their codes.
#include "Archive.h"
#include "ArchiveFormats.h"
#include "FileErrors.h"
#include "HtmlRecipe.h"
#include "ImportTestUtil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
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
