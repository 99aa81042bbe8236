#pragma once
// An HTTP server on 127.0.0.1 for the fetcher's tests, on a thread of its own so
// that a test may wait on the fetch or on a tool it runs. Each path is given an
// answer beforehand; the server counts what it was asked.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QUrl>

#include <memory>

struct TAnswer {
    int Status = 200;
    QByteArray ContentType = "text/html; charset=utf-8";
    QByteArray Body;
    QList<QPair<QByteArray, QByteArray>> Headers; // added as given (Location, ...)
    bool Gzip = false;                            // compressed when the request accepts gzip
    int DelayMs = 0;                              // before anything is sent
    int StallAfter = -1;                          // send this many bytes of the body, then nothing
    qint64 Endless = 0;      // a body of this many bytes a piece for ever (no length)
    int PieceMs = 0;         // the endless body, or Body in pieces of 64 bytes, this slowly
    bool ClaimLength = true; // Content-Length sent
    qint64 ClaimedLength = -1;
};

class TLocalServer {
public:
    // With a certificate and key (PEM), it speaks TLS.
    explicit TLocalServer(const QByteArray& certificate = {}, const QByteArray& key = {});
    ~TLocalServer();

    void Serve(const QString& path, const TAnswer& answer);
    QUrl Url(const QString& path) const;
    int Hits(const QString& path) const;
    int TotalHits() const;
    QByteArray LastRequest(const QString& path) const; // its header lines

    struct TState;

private:
    std::unique_ptr<TState> FState;
    QThread FThread;
    std::unique_ptr<QObject> FAnchor; // lives on FThread
    quint16 FPort = 0;
    bool FTls = false;
};

// Bytes gzip-compressed as servers send them.
QByteArray GzipBody(const QByteArray& bytes);
