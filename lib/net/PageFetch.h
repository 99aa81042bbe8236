#pragma once
// Fetching a page or pictures over http(s) with Qt Network, within the limits of
// TFetchLimits: the system's certificates and proxy (never for this machine's own
// addresses), redirects followed by hand so that none leads off the web, gzip and
// deflate undone by Qt and counted after. The calls wait in an event loop of their
// own, so the window keeps drawing and the command line needs no loop.

#include "FetchRules.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <vector>

struct TFetched {
    QUrl Address; // where the last redirect led
    QByteArray Body;
    QByteArray ContentType;
};

// Asked about every 50 ms while waiting; false cancels (EImportCancelled).
using TKeepGoing = std::function<bool()>;

// Raises EFetchError in the cook's words.
TFetched FetchPage(const QUrl& address, const TKeepGoing& keepGoing,
                   const TFetchLimits& limits = {});

// Each group's addresses are alternatives, the first that comes is kept; no more
// than limits.Pictures requests in all, a few at a time. Failures do not raise.
struct TFetchedPictures {
    QHash<QString, QByteArray> Bytes; // by the address as the group gave it
    QHash<QString, QString> Failed;   // the reason, by address
};
TFetchedPictures FetchPictures(const std::vector<QStringList>& groups, const TKeepGoing& keepGoing,
                               const TFetchLimits& limits = {});

// A failure of Qt Network (QNetworkReply::NetworkError) as the cook is told it.
TFetchFailure FailureOfNetworkError(int code, bool online);
// Whether any interface but loopback is up with an address.
bool NetworkUp();

// Runs `work` on a thread of its own while this thread's events go on, and raises
// what it raised.
void RunBeside(const std::function<void()>& work);
