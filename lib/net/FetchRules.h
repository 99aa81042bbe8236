#pragma once
// The fetcher's rules that need no network: which text is a web address, where a
// redirect may lead, how a page's bytes become text, and how a failure is told.

#include "ImportTypes.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// A page that could not be fetched; the text says why and what the cook can do.
MYCOOK_DECLARE_EXCEPTION(EFetchError, EImportError)

struct TFetchLimits {
    int MaxRedirects = 5;
    int StallMs = 20'000;          // no byte for this long ends a request
    int RequestMs = 300'000;       // nor may a trickle go on for ever
    qint64 PageBytes = 16LL << 20; // after gzip or deflate are undone
    qint64 PictureBytes = 10LL << 20;
    int Pictures = 50;
};

// The http(s) address a pasted or dropped text is, or none: one line, no blanks
// inside, a host; "www.…" alone is taken as https.
std::optional<QUrl> WebAddress(const QString& text);

// The charset a Content-Type header names, lower case; empty when none.
QByteArray CharsetOfContentType(const QByteArray& contentType);
// A page's text as UTF-8: a byte-order mark, then the header's charset when the
// bytes fit it, then the page's own meta and detection. A header that says
// Latin-1 over bytes that are clearly UTF-8 (a server's default) is not believed.
QByteArray PageAsUtf8(const QByteArray& bytes, const QByteArray& contentType);

// Where a redirect's Location leads from `from`; raises EFetchError for anything
// but http(s) (a page may never lead the fetcher to a file).
QUrl RedirectTarget(const QUrl& from, const QByteArray& location);

enum class TFetchFailure {
    NoNetwork,
    HostNotFound,
    Unreachable,
    Certificate,
    Http,
    TooLarge,
    TooManyRedirects,
    Stalled,
    TooSlow,
    Other,
};
// The cook's words for a failure of the page (or a picture) at `address`;
// `detail` is the HTTP status, the size limit in bytes, or the redirect limit.
QString FetchFailureText(TFetchFailure failure, const QUrl& address, qint64 detail = 0,
                         bool picture = false);
