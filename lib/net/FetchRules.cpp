#include "FetchRules.h"

#include "FileErrors.h"
#include "TextDecode.h"

namespace {
bool IsHttp(const QUrl& url) {
    return (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
}

bool IsAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool HasByteOrderMark(const QByteArray& b) {
    return b.startsWith("\xEF\xBB\xBF") || b.startsWith("\xFF\xFE") || b.startsWith("\xFE\xFF");
}

// Servers send these when nobody set a charset; pages say better in their meta.
bool IsServerDefault(const QByteArray& charset) {
    for (const char* name :
         {"iso-8859-1", "latin1", "iso8859-1", "us-ascii", "ascii", "windows-1252", "cp1252"})
        if (charset == name)
            return true;
    return false;
}

bool IsSingleByteGuess(const QByteArray& encoding) {
    return encoding == "ibm-437" || encoding == "windows-1252";
}

// The page's meta and detection; a meta naming a set nobody knows is passed over.
QByteArray PageText(const QByteArray& bytes) {
    try {
        return ToUtf8(bytes, TTextKind::Html);
    } catch (const EImportError&) {
        return ToUtf8(bytes, TTextKind::Plain);
    }
}

QString Host(const QUrl& address) {
    return address.host().isEmpty() ? address.toString() : address.host();
}
} // namespace

std::optional<QUrl> WebAddress(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 8192)
        return std::nullopt;
    for (const QChar c : t)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return std::nullopt;
    if (t.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        t.prepend(QStringLiteral("https://"));
    const QUrl url(t, QUrl::StrictMode);
    if (!url.isValid() || !IsHttp(url))
        return std::nullopt;
    return url;
}

QByteArray CharsetOfContentType(const QByteArray& contentType) {
    const QByteArray lower = contentType.toLower();
    const qsizetype at = lower.indexOf("charset");
    if (at < 0)
        return {};
    qsizetype i = at + 7;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t'))
        ++i;
    if (i >= lower.size() || lower[i] != '=')
        return {};
    ++i;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '"' || lower[i] == '\''))
        ++i;
    qsizetype j = i;
    while (j < lower.size() && lower[j] != '"' && lower[j] != '\'' && lower[j] != ';' &&
           lower[j] != ' ' && lower[j] != ',')
        ++j;
    return lower.mid(i, j - i);
}

namespace {
QByteArray PageAsDecoded(const QByteArray& bytes, const QByteArray& contentType) {
    QByteArray charset = CharsetOfContentType(contentType);
    if (charset.isEmpty() || HasByteOrderMark(bytes))
        return PageText(bytes);
    const bool utf8 = IsValidUtf8(bytes);
    if (charset == "utf-8" || charset == "utf8")
        return utf8 ? bytes : PageText(bytes);
    if (IsServerDefault(charset)) {
        // The page's meta, UTF-8 or a multi-byte set win over a server's default.
        const QByteArray found = DetectEncoding(bytes, TTextKind::Html);
        if (IsSingleByteGuess(found))
            return DecodeBytes(bytes, "windows-1252").toUtf8();
        return PageText(bytes);
    }
    // Bytes that are UTF-8 with letters beyond ASCII were not written in another set.
    if (utf8 && !IsAscii(bytes))
        return bytes;
    if (charset == "gb2312" || charset == "gbk" || charset == "x-gbk")
        charset = "GB18030"; // pages so named use the larger set's characters too
    try {
        return DecodeBytes(bytes, charset).toUtf8();
    } catch (const EImportError&) {
        return PageText(bytes); // a name ICU does not know
    }
}
} // namespace

QByteArray PageAsUtf8(const QByteArray& bytes, const QByteArray& contentType) {
    QByteArray text = PageAsDecoded(bytes, contentType);
    // A byte-order mark passes the bytes on as they are; broken sequences become U+FFFD.
    if (!IsValidUtf8(text))
        text = QString::fromUtf8(text).toUtf8();
    return text;
}

QUrl RedirectTarget(const QUrl& from, const QByteArray& location) {
    const QByteArray trimmed = location.trimmed();
    const QUrl target = trimmed.isEmpty() ? QUrl() : from.resolved(QUrl::fromEncoded(trimmed));
    if (!target.isValid() || !IsHttp(target))
        throw EFetchError(
            QStringLiteral("网站“%1”把网址转到了一个不是网页的地址（%2），没有跟过去。"
                           "请在浏览器里打开网页，确认后把网页另存为文件再导入。")
                .arg(Host(from), QString::fromLatin1(trimmed.left(200))));
    return target;
}

QString FetchFailureText(TFetchFailure failure, const QUrl& address, qint64 detail, bool picture) {
    const QString host = Host(address);
    const QString what = picture ? QStringLiteral("图片") : QStringLiteral("网页");
    switch (failure) {
    case TFetchFailure::NoNetwork:
        return QStringLiteral("这台电脑没有连上网络，读不到%1。请连上网络后再试。").arg(what);
    case TFetchFailure::HostNotFound:
        return QStringLiteral("找不到网站“%1”：网址可能拼错了，或者网络没有连通。"
                              "请检查网址和网络后再试。")
            .arg(host);
    case TFetchFailure::Unreachable:
        return QStringLiteral("连不上网站“%1”：网站可能暂时关闭，或者网络、代理设置有问题。"
                              "请过一会儿再试。")
            .arg(host);
    case TFetchFailure::Certificate:
        return QStringLiteral(
                   "网站“%1”的安全证书无法验证，为安全起见没有读取%2。"
                   "请确认网址没有拼错；若在浏览器里能正常打开，可把网页另存为文件再导入。")
            .arg(host, what);
    case TFetchFailure::Http:
        if (detail == 404 || detail == 410)
            return QStringLiteral("网站“%1”上没有这个%2（%3）：网址可能已经失效或拼错了。"
                                  "请在浏览器里打开网址确认。")
                .arg(host, what)
                .arg(detail);
        if (detail == 401 || detail == 403)
            return QStringLiteral("网站“%1”不让读取这个%2（%3）。可以在浏览器里打开网页，"
                                  "另存为文件后再导入。")
                .arg(host, what)
                .arg(detail);
        if (detail == 429 || detail >= 500)
            return QStringLiteral("网站“%1”暂时出了问题（%2），请过一会儿再试。")
                .arg(host)
                .arg(detail);
        return QStringLiteral("网站“%1”没有给出%2（HTTP %3）。请在浏览器里打开网址确认。")
            .arg(host, what)
            .arg(detail);
    case TFetchFailure::TooLarge:
        return QStringLiteral("%1太大（超过 %2），没有读取%3。")
            .arg(what, SizeLimitText(detail),
                 picture ? QString()
                         : QStringLiteral("：菜谱网页不会这么大。请确认网址没有拼错，"
                                          "或在浏览器里把网页另存为文件再导入"));
    case TFetchFailure::TooManyRedirects:
        return QStringLiteral("网站“%1”把网址转了太多次（超过 %2 次），没有读到%3。"
                              "请在浏览器里打开网页，把最后显示的网址复制过来再试。")
            .arg(host)
            .arg(detail)
            .arg(what);
    case TFetchFailure::Stalled:
        return QStringLiteral("网站“%1”%2 秒没有回应，没有读到%3。请检查网络后再试。")
            .arg(host)
            .arg(detail / 1000)
            .arg(what);
    case TFetchFailure::TooSlow:
        return QStringLiteral("网站“%1”传得太慢，%2 秒还没有传完%3，已停止。请过一会儿再试。")
            .arg(host)
            .arg(detail / 1000)
            .arg(what);
    case TFetchFailure::Other:
        break;
    }
    return QStringLiteral("读取网站“%1”的%2时出了问题。请检查网址和网络后再试。").arg(host, what);
}
