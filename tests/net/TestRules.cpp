// The fetcher's rules that need no network: addresses, redirects, charsets, failures.
#include "FetchRules.h"
#include "PageFetch.h"
#include "TextDecode.h"

#include <QNetworkReply>
#include <gtest/gtest.h>

namespace {
TEST(FetchRules, WebAddressesAreHttpOnlyAndOneLine) {
    const struct {
        const char* Text;
        const char* Address; // nullptr: no address
    } cases[] = {
        {"https://example.com/recipe/1", "https://example.com/recipe/1"},
        {"  http://example.com/a?b=1#c \n", "http://example.com/a?b=1#c"},
        {"HTTPS://Example.com/x", "https://example.com/x"},
        {"www.example.com/x", "https://www.example.com/x"},
        {"https://例子.中国/菜谱", "https://例子.中国/菜谱"},
        {"file:///etc/passwd", nullptr},
        {"/etc/passwd", nullptr},
        {"ftp://example.com/x", nullptr},
        {"javascript:alert(1)", nullptr},
        {"data:text/html,<h1>x</h1>", nullptr},
        {"https://", nullptr},
        {"http:///path", nullptr},
        {"https://example.com/a https://example.com/b", nullptr},
        {"https://example.com/a\nhttps://example.com/b", nullptr},
        {"红烧肉的做法", nullptr},
        {"example.com", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto address = WebAddress(QString::fromUtf8(c.Text));
        if (!c.Address) {
            EXPECT_FALSE(address.has_value()) << c.Text;
            continue;
        }
        ASSERT_TRUE(address.has_value()) << c.Text;
        EXPECT_EQ(*address, QUrl(QString::fromUtf8(c.Address))) << c.Text;
    }
}

TEST(FetchRules, RedirectsLeadOnlyToWebPages) {
    const QUrl from(QStringLiteral("https://example.com/a/b?x=1"));
    const struct {
        const char* Location;
        const char* Target; // nullptr: refused
    } cases[] = {
        {"/c", "https://example.com/c"},
        {"c", "https://example.com/a/c"},
        {"../d", "https://example.com/d"},
        {"//other.org/e", "https://other.org/e"},
        {"http://plain.org/f", "http://plain.org/f"},
        {"  https://example.com/g  ", "https://example.com/g"},
        {"file:///etc/passwd", nullptr},
        {"FILE:/etc/passwd", nullptr},
        {"ftp://example.com/x", nullptr},
        {"javascript:alert(1)", nullptr},
        {"data:text/html,x", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        if (!c.Target) {
            EXPECT_THROW(RedirectTarget(from, c.Location), EFetchError) << c.Location;
            continue;
        }
        EXPECT_EQ(RedirectTarget(from, c.Location), QUrl(QString::fromUtf8(c.Target)))
            << c.Location;
    }
}

TEST(FetchRules, CharsetFromTheContentType) {
    const struct {
        const char* Header;
        const char* Charset;
    } cases[] = {
        {"text/html; charset=UTF-8", "utf-8"},
        {"text/html;charset=\"gbk\"", "gbk"},
        {"text/html; Charset = 'Big5' ; q=1", "big5"},
        {"text/html", ""},
        {"text/html; charset=", ""},
        {"text/html; charsetx=utf-8", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CharsetOfContentType(c.Header), QByteArray(c.Charset)) << c.Header;
}

TEST(FetchRules, PageTextFromHeaderMetaAndBytes) {
    const QString dish = QStringLiteral("红烧肉 – crème");
    const QByteArray utf8 = dish.toUtf8();
    const QByteArray gbk = QByteArray::fromHex("baecc9d5c8e2"); // 红烧肉 in GBK
    const QString gbkText = QStringLiteral("红烧肉");
    auto page = [](const QByteArray& meta, const QByteArray& body) {
        return "<html><head>" + meta + "</head><body>" + body + "</body></html>";
    };
    const struct {
        const char* Name;
        QByteArray Bytes;
        QByteArray Header;
        QString Expected;
    } cases[] = {
        {"header says UTF-8", page("", utf8), "text/html; charset=utf-8", dish},
        {"header says GBK, bytes are GBK", page("", gbk), "text/html; charset=gbk", gbkText},
        {"header says gb2312 (meaning GBK)", page("", gbk), "text/html; charset=gb2312", gbkText},
        {"server's Latin-1 default over UTF-8 bytes", page("", utf8),
         "text/html; charset=ISO-8859-1", dish},
        {"server's Latin-1 default, meta says GBK", page("<meta charset=gbk>", gbk),
         "text/html; charset=iso-8859-1", gbkText},
        {"header says UTF-8 over GBK bytes, meta says GBK", page("<meta charset=gbk>", gbk),
         "text/html; charset=utf-8", gbkText},
        {"header says GBK over UTF-8 bytes", page("", utf8), "text/html; charset=gbk", dish},
        {"no header, meta says GBK", page("<meta charset=\"gbk\">", gbk), "text/html", gbkText},
        {"unknown charset name", page("", utf8), "text/html; charset=no-such-set", dish},
        {"unknown charset name, meta names none known either",
         page("<meta charset=no-such-set>", utf8), "text/html; charset=also-unknown", dish},
        {"server's default, meta names none known", page("<meta charset=nonsense>", utf8),
         "text/html; charset=iso-8859-1", dish},
        {"no header, meta names none known", page("<meta charset=nonsense>", utf8), "text/html",
         dish},
        {"byte-order mark over the header", "\xEF\xBB\xBF" + page("", utf8),
         "text/html; charset=gbk", dish},
        {"byte-order mark over broken bytes", "\xEF\xBB\xBF" + page("", utf8 + "\xF1\xF1"),
         "text/html; charset=iso-8859-1", dish},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(IsValidUtf8(PageAsUtf8(c.Bytes, c.Header))) << c.Name;
        const QString text = QString::fromUtf8(PageAsUtf8(c.Bytes, c.Header));
        EXPECT_TRUE(text.contains(c.Expected)) << c.Name << ": " << text.toStdString();
    }
}

TEST(FetchRules, NetworkFailuresAreToldByWhatTheCookCanDo) {
    const struct {
        QNetworkReply::NetworkError Code;
        bool Online;
        TFetchFailure Failure;
    } cases[] = {
        {QNetworkReply::HostNotFoundError, true, TFetchFailure::HostNotFound},
        {QNetworkReply::HostNotFoundError, false, TFetchFailure::NoNetwork},
        {QNetworkReply::ConnectionRefusedError, true, TFetchFailure::Unreachable},
        {QNetworkReply::TemporaryNetworkFailureError, false, TFetchFailure::NoNetwork},
        {QNetworkReply::ProxyConnectionRefusedError, true, TFetchFailure::Unreachable},
        {QNetworkReply::SslHandshakeFailedError, true, TFetchFailure::Certificate},
        {QNetworkReply::ProtocolFailure, true, TFetchFailure::Other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FailureOfNetworkError(c.Code, c.Online), c.Failure) << c.Code;
    const QUrl address(QStringLiteral("https://cook.example/r/1"));
    // Every text names the site (or the network) and says what to do.
    for (const TFetchFailure f :
         {TFetchFailure::HostNotFound, TFetchFailure::Unreachable, TFetchFailure::Certificate,
          TFetchFailure::TooManyRedirects, TFetchFailure::Stalled, TFetchFailure::TooSlow,
          TFetchFailure::Other}) {
        const QString text = FetchFailureText(f, address, 5);
        EXPECT_TRUE(text.contains(QStringLiteral("cook.example"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("请"))) << text.toStdString();
    }
    EXPECT_TRUE(FetchFailureText(TFetchFailure::NoNetwork, address)
                    .contains(QStringLiteral("没有连上网络")));
    const struct {
        int Status;
        const char* Says;
    } statuses[] = {{404, "失效"}, {410, "失效"}, {403, "另存为"}, {503, "过一会儿"}, {418, "418"}};
    for (const auto& s : statuses)
        EXPECT_TRUE(FetchFailureText(TFetchFailure::Http, address, s.Status)
                        .contains(QString::fromUtf8(s.Says)))
            << s.Status;
}

// Each failure the cook may meet reads as whole Chinese sentences that say what
// happened (with the site, the status, the limit) and what to do next.
TEST(FetchRules, EachFailureSaysWhatHappenedAndWhatToDo) {
    const QUrl address(QStringLiteral("https://cook.example/r/1"));
    const struct {
        TFetchFailure Failure;
        qint64 Detail;
        const char* Happened;
        const char* ToDo;
    } cases[] = {
        {TFetchFailure::NoNetwork, 0, "没有连上网络", "请连上网络后再试"},
        {TFetchFailure::HostNotFound, 0, "找不到网站“cook.example”", "请检查网址和网络"},
        {TFetchFailure::Unreachable, 0, "连不上网站“cook.example”", "请过一会儿再试"},
        {TFetchFailure::Certificate, 0, "安全证书无法验证", "另存为文件再导入"},
        {TFetchFailure::Http, 404, "没有这个网页（404）", "请在浏览器里打开网址确认"},
        {TFetchFailure::Http, 500, "暂时出了问题（500）", "请过一会儿再试"},
        {TFetchFailure::TooLarge, 16 << 20, "网页太大（超过 16 MB）", "另存为文件再导入"},
        {TFetchFailure::TooManyRedirects, 5, "超过 5 次", "复制过来再试"},
        {TFetchFailure::Stalled, 20'000, "20 秒没有回应", "请检查网络后再试"},
        {TFetchFailure::TooSlow, 120'000, "120 秒还没有传完", "请过一会儿再试"},
        {TFetchFailure::Other, 0, "出了问题", "请检查网址和网络后再试"},
    };
    for (const auto& c : cases) {
        const QString text = FetchFailureText(c.Failure, address, c.Detail);
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.Happened))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.ToDo))) << text.toStdString();
        // No placeholder left unfilled, and a whole sentence at the end.
        EXPECT_FALSE(text.contains(u'%')) << text.toStdString();
        EXPECT_TRUE(text.endsWith(u'。')) << text.toStdString();
    }
}
} // namespace
