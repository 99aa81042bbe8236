// The fetcher against a server on 127.0.0.1: redirects, stalls, sizes, gzip, errors,
// recipe pages with their pictures, and the command line's import of an address.
#include "../common/RunTool.h"
#include "LocalServer.h"
#include "RecipeImporter.h"
#include "WebRecipe.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct TOutcome {
    bool Ok = false;
    QByteArray Body;
    QString Error;
    qint64 Ms = 0;
};

TOutcome Fetch(const QUrl& url, const TFetchLimits& limits = {}) {
    TOutcome outcome;
    QElapsedTimer clock;
    clock.start();
    try {
        outcome.Body = FetchPage(url, {}, limits).Body;
        outcome.Ok = true;
    } catch (const EFetchError& e) {
        outcome.Error = e.Message();
    }
    outcome.Ms = clock.elapsed();
    return outcome;
}

TAnswer Redirect(const QString& to, int status = 302) {
    TAnswer a;
    a.Status = status;
    a.Body = "moved";
    a.Headers = {{"Location", to.toUtf8()}};
    return a;
}

QByteArray Png(QRgb colour, int side = 8) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray RecipePage(const QJsonValue& images, const QJsonArray& steps) {
    QJsonObject recipe{{"@context", "https://schema.org"},
                       {"@type", "Recipe"},
                       {"name", QStringLiteral("红烧肉")},
                       {"recipeIngredient",
                        QJsonArray{QStringLiteral("五花肉 500克"), QStringLiteral("冰糖 30克")}},
                       {"recipeInstructions", steps}};
    if (!images.isNull())
        recipe.insert("image", images);
    return "<!doctype html><html><head><meta charset=utf-8><script type=\"application/ld+json\">" +
           QJsonDocument(recipe).toJson() + "</script></head><body><h1>红烧肉</h1></body></html>";
}

QJsonObject Step(const QString& text, const QString& image = {}) {
    QJsonObject step{{"@type", "HowToStep"}, {"text", text}};
    if (!image.isEmpty())
        step.insert("image", image);
    return step;
}

TEST(Fetch, PagesRedirectsAndFailures) {
    TLocalServer server;
    const QByteArray page = "<html><body>" + QByteArray(100'000, 'a') + "</body></html>";
    server.Serve("/plain", {200, "text/html", "<html>hello</html>"});
    TAnswer gz{200, "text/html", page};
    gz.Gzip = true;
    server.Serve("/gz", gz);
    for (int i = 1; i <= 6; ++i)
        server.Serve(QStringLiteral("/r%1").arg(i), Redirect(QStringLiteral("/r%1").arg(i - 1)));
    server.Serve("/r0", {200, "text/html", "<html>arrived</html>"});
    server.Serve("/loopA", Redirect("/loopB", 301));
    server.Serve("/loopB", Redirect(server.Url("/loopA").toString(), 308));
    server.Serve("/tofile", Redirect("file:///etc/passwd"));
    server.Serve("/relative", Redirect("plain", 303));
    server.Serve("/gone", {404, "text/html", "<html>no</html>"});
    server.Serve("/broken", {500, "text/html", "<html>oops</html>"});
    TAnswer stalled{200, "text/html", QByteArray(1000, 'b')};
    stalled.StallAfter = 10;
    server.Serve("/stalled", stalled);
    TAnswer steady{200, "text/html", QByteArray(640, 'c')};
    steady.PieceMs = 60;
    server.Serve("/steady", steady);
    TAnswer trickle;
    trickle.Endless = 1;
    trickle.PieceMs = 50;
    server.Serve("/trickle", trickle);
    TAnswer claims{200, "text/html", "<html>small</html>"};
    claims.ClaimedLength = 17LL << 20;
    server.Serve("/claims", claims);
    TAnswer endless;
    endless.Endless = 64 * 1024;
    endless.PieceMs = 1;
    server.Serve("/endless", endless);
    TAnswer bomb{200, "text/html", QByteArray(20 << 20, '\0')};
    bomb.Gzip = true;
    server.Serve("/bomb", bomb);
    TAnswer late{200, "text/html", "<html>late</html>"};
    late.DelayMs = 300;
    server.Serve("/late", late);

    TFetchLimits quick;
    quick.StallMs = 400;
    quick.RequestMs = 1500;
    const struct {
        const char* Path;
        TFetchLimits Limits;
        const char* Body;  // a part of the body when it must arrive
        const char* Error; // a part of the error otherwise
    } cases[] = {
        {"/plain", {}, "hello", nullptr},
        {"/gz", {}, "aaaa</body>", nullptr},
        {"/r5", {}, "arrived", nullptr},
        {"/r6", {}, nullptr, "超过 5 次"},
        {"/loopA", {}, nullptr, "超过 5 次"},
        {"/tofile", {}, nullptr, "不是网页的地址"},
        {"/relative", {}, "hello", nullptr},
        {"/gone", {}, nullptr, "（404）"},
        {"/broken", {}, nullptr, "暂时出了问题（500）"},
        {"/stalled", quick, nullptr, "秒没有回应"},
        {"/steady", quick, "cccc", nullptr},
        {"/trickle", quick, nullptr, "传得太慢"},
        {"/claims", {}, nullptr, "超过 16 MB"},
        {"/endless", {}, nullptr, "超过 16 MB"},
        {"/bomb", {}, nullptr, "超过 16 MB"},
        {"/late", quick, "late", nullptr},
    };
    for (const auto& c : cases) {
        const TOutcome out = Fetch(server.Url(QString::fromLatin1(c.Path)), c.Limits);
        EXPECT_LT(out.Ms, 10'000) << c.Path;
        if (c.Body) {
            EXPECT_TRUE(out.Ok) << c.Path << ": " << out.Error.toStdString();
            EXPECT_TRUE(out.Body.contains(c.Body)) << c.Path;
        } else {
            EXPECT_FALSE(out.Ok) << c.Path;
            EXPECT_TRUE(out.Error.contains(QString::fromUtf8(c.Error)))
                << c.Path << ": " << out.Error.toStdString();
        }
    }
    EXPECT_EQ(Fetch(server.Url("/gz")).Body, page); // unpacked whole
    EXPECT_TRUE(server.LastRequest("/gz").toLower().contains("gzip"));
    // The loop was given up after the limit, not followed for ever.
    EXPECT_LE(server.Hits("/loopA") + server.Hits("/loopB"), 6);
    EXPECT_EQ(server.Hits("/r0"), 1); // five redirects are followed, six are not
}

TEST(Fetch, AClosedPortAndAnUntrustedCertificateAreTold) {
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    const TOutcome refused = Fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    EXPECT_FALSE(refused.Ok);
    EXPECT_TRUE(refused.Error.contains(QStringLiteral("连不上网站“127.0.0.1”")))
        << refused.Error.toStdString();

    auto read = [](const char* name) {
        QFile f(QStringLiteral(MYCOOK_NET_FIXTURES "/") + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    TLocalServer tls(read("selfsigned-cert.pem"), read("selfsigned-key.pem"));
    tls.Serve("/", {200, "text/html", "<html>secret</html>"});
    const TOutcome untrusted = Fetch(tls.Url("/"));
    EXPECT_FALSE(untrusted.Ok);
    EXPECT_TRUE(untrusted.Error.contains(QStringLiteral("证书"))) << untrusted.Error.toStdString();
}

TEST(Fetch, CancelEndsAStalledFetchAtOnce) {
    TLocalServer server;
    TAnswer stalled{200, "text/html", "x"};
    stalled.StallAfter = 0;
    server.Serve("/stalled", stalled);
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(FetchPage(server.Url("/stalled"), [&] { return clock.elapsed() < 200; }),
                 EImportCancelled);
    EXPECT_LT(clock.elapsed(), 1500);
}

TEST(WebPage, TheRecipeComesWithItsCoverAndStepPicturesOverHttpOnly) {
    TLocalServer server;
    QTemporaryDir dir;
    const QString secret = dir.filePath(QStringLiteral("secret.png"));
    {
        QFile f(secret);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Png(qRgb(1, 2, 3)));
    }
    const QByteArray cover = Png(qRgb(200, 0, 0));
    const QByteArray step1 = Png(qRgb(0, 200, 0));
    server.Serve("/img/cover.png", {200, "image/png", cover});
    server.Serve("/img/s1.png", {200, "image/png", step1});
    server.Serve("/img/s3.png", Redirect(QUrl::fromLocalFile(secret).toString()));
    server.Serve("/recipe/hongshao",
                 {200, "text/html; charset=utf-8",
                  RecipePage(QJsonArray{"/img/missing.jpg", "../img/cover.png"},
                             QJsonArray{Step(QStringLiteral("切块"), "s1.png"),
                                        Step(QStringLiteral("炒糖色"),
                                             QUrl::fromLocalFile(secret).toString()),
                                        Step(QStringLiteral("炖"), "/img/s3.png")})});
    // The step picture "s1.png" is relative to the page's folder.
    server.Serve("/recipe/s1.png", {200, "image/png", step1});
    const std::vector<TImportedRecipe> recipes =
        RecipesFromWebPage(server.Url("/recipe/hongshao"), {});
    ASSERT_EQ(recipes.size(), 1u);
    const TImportedRecipe& r = recipes.front();
    EXPECT_EQ(r.Name, QStringLiteral("红烧肉"));
    EXPECT_EQ(r.Picture, cover); // the first alternative is missing, the second comes
    EXPECT_EQ(r.Source, server.Url("/recipe/hongshao").toString());
    ASSERT_EQ(r.Pictures.size(), 1u); // the local file and the redirect to it are never read
    EXPECT_EQ(r.Pictures[0].Bytes, step1);
    EXPECT_EQ(r.Pictures[0].Step, 1);
    EXPECT_EQ(server.Hits("/img/missing.jpg"), 1);
    EXPECT_EQ(server.Hits("/img/cover.png"), 1);
}

TEST(WebPage, PicturesAreBoundedInSizeAndNumber) {
    TLocalServer server;
    TAnswer endless;
    endless.ContentType = "image/jpeg";
    endless.Endless = 64 * 1024;
    endless.PieceMs = 1;
    server.Serve("/never-ends.jpg", endless);
    QJsonArray steps;
    for (int i = 0; i < 80; ++i) {
        const QString path = QStringLiteral("/p/%1.png").arg(i);
        server.Serve(path, {200, "image/png", Png(qRgb(i, i, i))});
        steps.append(Step(QStringLiteral("第%1步").arg(i), path));
    }
    server.Serve("/many", {200, "text/html", RecipePage("/never-ends.jpg", steps)});
    TFetchLimits limits;
    limits.PictureBytes = 1 << 20;
    QElapsedTimer clock;
    clock.start();
    const std::vector<TImportedRecipe> recipes =
        RecipesFromWebPage(server.Url("/many"), {}, limits);
    EXPECT_LT(clock.elapsed(), 20'000);
    ASSERT_EQ(recipes.size(), 1u);
    EXPECT_TRUE(recipes.front().Picture.isEmpty());
    EXPECT_TRUE(recipes.front().PictureProblem.contains(QStringLiteral("太大")))
        << recipes.front().PictureProblem.toStdString();
    EXPECT_EQ(recipes.front().Pictures.size(), 49u); // 50 requests, the cover's among them
    EXPECT_LE(server.TotalHits(), 51);
}

TEST(WebPage, WhatIsNoRecipePageIsToldSo) {
    TLocalServer server;
    server.Serve("/article",
                 {200, "text/html", "<html><body><h1>新闻</h1><p>今天</p></body></html>"});
    server.Serve("/photo.jpg", {200, "image/jpeg", "\xFF\xD8\xFF\xE0 not a page"});
    const struct {
        const char* Path;
        const char* Error;
    } cases[] = {{"/article", "没有找到菜谱"}, {"/photo.jpg", "不是网页（image/jpeg）"}};
    for (const auto& c : cases) {
        try {
            RecipesFromWebPage(server.Url(QString::fromLatin1(c.Path)), {});
            ADD_FAILURE() << c.Path;
        } catch (const EFetchError& e) {
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.Error)))
                << c.Path << ": " << e.Message().toStdString();
        }
    }
}

TEST(WebPage, TheCommandLineImportsAnAddressAsAFile) {
    TLocalServer server;
    server.Serve("/img/cover.png", {200, "image/png", Png(qRgb(9, 9, 200), 64)});
    server.Serve("/r/1",
                 {200, "text/html",
                  RecipePage("/img/cover.png", QJsonArray{Step(QStringLiteral("炖一小时"))})});
    server.Serve("/gone", {404, "text/html", "no"});
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("cook.mdb"));
    const QString tool = QStringLiteral(MYCOOK_BOOK_TOOL);
    const TToolRun first = RunTool(tool, {"import", book, server.Url("/r/1").toString()}, 60'000);
    ASSERT_TRUE(first.Finished);
    EXPECT_EQ(first.Code, 0) << first.ErrText().toStdString();
    EXPECT_TRUE(first.OutText().contains(QStringLiteral("导入 1 个")))
        << first.OutText().toStdString();
    EXPECT_FALSE(first.OutText().contains(QStringLiteral("图片未导入")));
    // Stored: the same address again is a duplicate.
    const TToolRun again = RunTool(tool, {"import", book, server.Url("/r/1").toString()}, 60'000);
    EXPECT_TRUE(again.OutText().contains(QStringLiteral("跳过 1 个")))
        << again.OutText().toStdString();
    const TToolRun gone = RunTool(tool, {"import", book, server.Url("/gone").toString()}, 60'000);
    EXPECT_EQ(gone.Code, 1);
    EXPECT_TRUE(gone.OutText().contains(QStringLiteral("（404）"))) << gone.OutText().toStdString();
}
} // namespace
