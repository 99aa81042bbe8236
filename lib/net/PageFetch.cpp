#include "PageFetch.h"

#include "HtmlDom.h"
#include "RecipeImporter.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

#include <list>
#include <memory>

namespace {
const QByteArray UserAgent =
    "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) mycook-book/1";

bool IsLoopback(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// The system's proxies, except for this machine itself, as browsers do.
class TProxies final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        if (IsLoopback(query.peerHostName()))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

void SetUp(QNetworkAccessManager& manager) {
    manager.setProxyFactory(new TProxies);
    manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

// One address, its redirects followed; ends with a body or a reason.
class TGet final : public QObject {
public:
    TGet(QNetworkAccessManager& manager, const QUrl& address, bool picture,
         const TFetchLimits& limits, std::function<void()> done)
        : FManager(manager), FPicture(picture), FLimits(limits), FDone(std::move(done)),
          FAddress(address) {
        FStall.setSingleShot(true);
        FTotal.setSingleShot(true);
        connect(&FStall, &QTimer::timeout, this, [this] {
            Fail(FetchFailureText(TFetchFailure::Stalled, FAddress, FLimits.StallMs, FPicture));
        });
        connect(&FTotal, &QTimer::timeout, this, [this] {
            Fail(FetchFailureText(TFetchFailure::TooSlow, FAddress, FLimits.RequestMs, FPicture));
        });
    }
    ~TGet() override { Drop(); }

    void Start() {
        FTotal.start(FLimits.RequestMs);
        Send();
    }
    void Cancel() {
        if (!FEnded)
            Fail(QStringLiteral("已取消"));
    }
    bool Ended() const { return FEnded; }
    const QString& Error() const { return FError; }
    TFetched Result() const { return {FAddress, FBody, FContentType}; }

private:
    qint64 Limit() const { return FPicture ? FLimits.PictureBytes : FLimits.PageBytes; }

    void Send() {
        QNetworkRequest request(FAddress);
        request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent);
        request.setRawHeader("Accept", FPicture ? "image/jpeg,image/png,image/webp,image/*;q=0.8"
                                                : "text/html,application/xhtml+xml,application/"
                                                  "xml;q=0.9,*/*;q=0.8");
        request.setRawHeader("Accept-Language", "zh-CN,zh;q=0.9,en;q=0.8");
        // Not Qt's check of the gzip ratio: ours counts the unpacked bytes and tells the cook.
        request.setDecompressedSafetyCheckThreshold(-1);
        FBody.clear();
        FRedirect = false;
        FReply = FManager.get(request);
        connect(FReply, &QNetworkReply::metaDataChanged, this, [this] { Headers(); });
        connect(FReply, &QNetworkReply::readyRead, this, [this] { Read(); });
        connect(FReply, &QNetworkReply::downloadProgress, this, [this] { Progressed(); });
        connect(FReply, &QNetworkReply::finished, this, [this] { Finished(); });
        connect(FReply, &QNetworkReply::sslErrors, this, [this] { FSslFailed = true; });
        FStall.start(FLimits.StallMs);
    }

    void Progressed() {
        if (!FEnded)
            FStall.start(FLimits.StallMs);
    }

    int Status() const {
        return FReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

    void Headers() {
        Progressed();
        const int status = Status();
        FRedirect = status >= 300 && status < 400 && FReply->hasRawHeader("Location");
        if (FRedirect || status >= 400)
            return;
        bool known = false;
        const qint64 length =
            FReply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        // A compressed body's length says nothing of what it unpacks to.
        if (known && length > Limit() && FReply->rawHeader("Content-Encoding").isEmpty())
            Fail(FetchFailureText(TFetchFailure::TooLarge, FAddress, Limit(), FPicture));
    }

    void Read() {
        Progressed();
        const QByteArray piece = FReply->readAll();
        if (FRedirect || Status() >= 400)
            return;
        FBody += piece;
        if (FBody.size() > Limit())
            Fail(FetchFailureText(TFetchFailure::TooLarge, FAddress, Limit(), FPicture));
    }

    void Finished() {
        if (FEnded)
            return;
        const int status = Status();
        if (FRedirect) {
            const QByteArray location = FReply->rawHeader("Location");
            Drop();
            if (++FRedirects > FLimits.MaxRedirects) {
                Fail(FetchFailureText(TFetchFailure::TooManyRedirects, FAddress,
                                      FLimits.MaxRedirects, FPicture));
                return;
            }
            try {
                FAddress = RedirectTarget(FAddress, location);
            } catch (const EFetchError& e) {
                Fail(e.Message());
                return;
            }
            Send();
            return;
        }
        if (status >= 400) {
            Fail(FetchFailureText(TFetchFailure::Http, FAddress, status, FPicture));
            return;
        }
        if (FReply->error() != QNetworkReply::NoError) {
            const int code = FReply->error();
            const TFetchFailure failure =
                FSslFailed ? TFetchFailure::Certificate : FailureOfNetworkError(code, NetworkUp());
            Fail(FetchFailureText(failure, FAddress, 0, FPicture));
            return;
        }
        FBody += FReply->readAll();
        if (FBody.size() > Limit()) {
            Fail(FetchFailureText(TFetchFailure::TooLarge, FAddress, Limit(), FPicture));
            return;
        }
        FContentType = FReply->rawHeader("Content-Type");
        End();
    }

    void Drop() {
        if (!FReply)
            return;
        disconnect(FReply, nullptr, this, nullptr);
        if (FReply->isRunning())
            FReply->abort();
        FReply->deleteLater();
        FReply = nullptr;
    }

    void Fail(const QString& reason) {
        if (FEnded)
            return;
        FError = reason;
        FBody.clear();
        End();
    }

    void End() {
        FEnded = true;
        FStall.stop();
        FTotal.stop();
        Drop();
        FDone();
    }

    QNetworkAccessManager& FManager;
    bool FPicture;
    TFetchLimits FLimits;
    std::function<void()> FDone;
    QUrl FAddress;
    QNetworkReply* FReply = nullptr;
    QTimer FStall;
    QTimer FTotal;
    QByteArray FBody;
    QByteArray FContentType;
    QString FError;
    int FRedirects = 0;
    bool FRedirect = false;
    bool FSslFailed = false;
    bool FEnded = false;
};

// Waits in an event loop of its own until `done` says so or the cook cancels.
void WaitFor(const std::function<bool()>& done, const TKeepGoing& keepGoing,
             const std::function<void()>& cancel) {
    QEventLoop loop;
    QTimer tick;
    tick.start(50);
    bool cancelled = false;
    while (!done()) {
        if (keepGoing && !keepGoing()) {
            cancelled = true;
            break;
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (cancelled) {
        cancel();
        throw EImportCancelled(QStringLiteral("已取消读取网页"));
    }
}
} // namespace

TFetchFailure FailureOfNetworkError(int code, bool online) {
    switch (QNetworkReply::NetworkError(code)) {
    case QNetworkReply::HostNotFoundError:
        return online ? TFetchFailure::HostNotFound : TFetchFailure::NoNetwork;
    case QNetworkReply::SslHandshakeFailedError:
        return TFetchFailure::Certificate;
    case QNetworkReply::TooManyRedirectsError:
        return TFetchFailure::TooManyRedirects;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return online ? TFetchFailure::Unreachable : TFetchFailure::NoNetwork;
    default:
        return TFetchFailure::Other;
    }
}

bool NetworkUp() {
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) &&
            flags.testFlag(QNetworkInterface::IsRunning) &&
            !flags.testFlag(QNetworkInterface::IsLoopBack) && !i.addressEntries().isEmpty())
            return true;
    }
    return false;
}

TFetched FetchPage(const QUrl& address, const TKeepGoing& keepGoing, const TFetchLimits& limits) {
    QNetworkAccessManager manager;
    SetUp(manager);
    TGet get(manager, address, false, limits, [] {});
    get.Start();
    WaitFor([&] { return get.Ended(); }, keepGoing, [&] { get.Cancel(); });
    if (!get.Error().isEmpty())
        throw EFetchError(get.Error());
    return get.Result();
}

TFetchedPictures FetchPictures(const std::vector<QStringList>& groups, const TKeepGoing& keepGoing,
                               const TFetchLimits& limits) {
    TFetchedPictures result;
    if (groups.empty())
        return result;
    QNetworkAccessManager manager;
    SetUp(manager);
    // One request per group at a time; a failed one makes way for the group's next address.
    struct TSlot {
        size_t Group;
        int Candidate;
        std::unique_ptr<TGet> Get;
        bool Seen = false;
    };
    std::list<TSlot> requestsMade;
    int requests = 0;
    int running = 0;
    size_t nextGroup = 0;
    constexpr int AtOnce = 4;
    auto launch = [&](size_t group, int candidate) {
        ++requests;
        ++running;
        requestsMade.push_back(
            {group, candidate,
             std::make_unique<TGet>(manager, QUrl(groups[group][candidate]), true, limits, [] {})});
        requestsMade.back().Get->Start();
    };
    auto fill = [&] {
        while (running < AtOnce && nextGroup < groups.size() && requests < limits.Pictures) {
            if (!groups[nextGroup].isEmpty())
                launch(nextGroup, 0);
            ++nextGroup;
        }
    };
    auto settle = [&] {
        for (TSlot& s : requestsMade) {
            if (s.Seen || !s.Get->Ended())
                continue;
            s.Seen = true;
            --running;
            const QString& address = groups[s.Group][s.Candidate];
            if (s.Get->Error().isEmpty() && !s.Get->Result().Body.isEmpty()) {
                result.Bytes.insert(address, s.Get->Result().Body);
                continue;
            }
            result.Failed.insert(address, s.Get->Error().isEmpty() ? QStringLiteral("图片是空的")
                                                                   : s.Get->Error());
            if (s.Candidate + 1 < groups[s.Group].size() && requests < limits.Pictures)
                launch(s.Group, s.Candidate + 1);
        }
        fill();
        return running == 0;
    };
    fill();
    WaitFor(settle, keepGoing, [&] {
        for (TSlot& s : requestsMade)
            s.Get->Cancel();
    });
    return result;
}

void RunBeside(const std::function<void()>& work) {
    RunWithDeepStack(work, true);
}
