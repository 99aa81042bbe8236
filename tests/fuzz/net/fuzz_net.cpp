// Hostile answers through the fetcher's rules. The input is a Content-Type line, a
// Location line, and a page, split at the first two newlines. Whatever they hold:
// a redirect leads only to http(s), the page decodes to valid UTF-8, a dropped text
// is an http(s) address or none, and a fetched page asks only for http(s) pictures
// and never gets one from a file.
#include "FetchRules.h"
#include "HtmlRecipe.h"
#include "TextDecode.h"

#include <cstdint>

namespace {
bool IsHttp(const QUrl& url) {
    return (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype first = bytes.indexOf('\n');
    const qsizetype second = first < 0 ? -1 : bytes.indexOf('\n', first + 1);
    const QByteArray contentType = first < 0 ? bytes : bytes.left(first);
    const QByteArray location =
        second < 0 ? QByteArray() : bytes.mid(first + 1, second - first - 1);
    const QByteArray page = second < 0 ? QByteArray() : bytes.mid(second + 1);
    const QUrl base(QStringLiteral("https://cook.example/r/1/index.html"));

    (void)CharsetOfContentType(contentType);
    try {
        if (!IsHttp(RedirectTarget(base, location)))
            __builtin_trap();
    } catch (const EFetchError&) {
    }
    if (const auto address = WebAddress(QString::fromUtf8(location)); address && !IsHttp(*address))
        __builtin_trap();

    const QByteArray utf8 = PageAsUtf8(page, contentType);
    if (!IsValidUtf8(utf8))
        __builtin_trap();
    std::vector<QStringList> wanted;
    TPageResources resources;
    resources.Address = base;
    resources.Wanted = &wanted;
    try {
        for (const TImportedRecipe& r : RecipesFromHtml(utf8, resources))
            if (!r.Picture.isEmpty() && !r.PictureOrigin.startsWith(QLatin1String("data:")))
                __builtin_trap(); // nothing fetched, so only a data: address gives a picture
    } catch (const EImportError&) {
    }
    for (const QStringList& group : wanted)
        for (const QString& address : group)
            if (!IsHttp(QUrl(address)))
                __builtin_trap();
    return 0;
}
