#include "LocalServer.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <zlib.h>

struct TLocalServer::TState {
    mutable QMutex Lock;
    QHash<QString, TAnswer> Answers;
    QHash<QString, int> Hits;
    QHash<QString, QByteArray> Requests;
    QByteArray Certificate;
    QByteArray Key;
};

namespace {
class TServer final : public QTcpServer {
public:
    explicit TServer(TLocalServer::TState& state) : FState(state) {}

protected:
    void incomingConnection(qintptr handle) override {
        QTcpSocket* socket;
        if (FState.Certificate.isEmpty()) {
            socket = new QTcpSocket(this);
            socket->setSocketDescriptor(handle);
        } else {
            auto* tls = new QSslSocket(this);
            tls->setSocketDescriptor(handle);
            tls->setLocalCertificate(QSslCertificate(FState.Certificate));
            tls->setPrivateKey(QSslKey(FState.Key, QSsl::Rsa));
            tls->startServerEncryption();
            socket = tls;
        }
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            *request += socket->readAll();
            const qsizetype end = request->indexOf("\r\n\r\n");
            if (end < 0 || request->isEmpty())
                return;
            const QByteArray head = request->left(end);
            request->clear();
            Answer(socket, head);
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void Answer(QTcpSocket* socket, const QByteArray& head) {
        const QByteArray line = head.left(head.indexOf("\r\n"));
        const QString path = QString::fromLatin1(line.split(' ').value(1));
        TAnswer answer;
        {
            QMutexLocker lock(&FState.Lock);
            ++FState.Hits[path];
            FState.Requests[path] = head;
            auto it = FState.Answers.constFind(path);
            if (it == FState.Answers.cend())
                answer = TAnswer{404, "text/html", "<html><body>not here</body></html>"};
            else
                answer = *it;
        }
        QTimer::singleShot(answer.DelayMs, socket, [this, socket, answer, head] {
            bool gzip = false;
            for (const QByteArray& header : head.toLower().split('\n'))
                gzip |= header.startsWith("accept-encoding:") && header.contains("gzip");
            Send(socket, answer, gzip);
        });
    }

    void Send(QTcpSocket* socket, TAnswer answer, bool gzipAccepted) {
        QByteArray body = answer.Body;
        const bool gzip = answer.Gzip && gzipAccepted;
        if (gzip)
            body = GzipBody(body);
        QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.Status) + " X\r\n";
        out += "Content-Type: " + answer.ContentType + "\r\n";
        out += "Connection: close\r\n";
        if (gzip)
            out += "Content-Encoding: gzip\r\n";
        if (answer.Endless == 0 && answer.ClaimLength)
            out +=
                "Content-Length: " +
                QByteArray::number(answer.ClaimedLength >= 0 ? answer.ClaimedLength : body.size()) +
                "\r\n";
        for (const auto& [name, value] : answer.Headers)
            out += name + ": " + value + "\r\n";
        out += "\r\n";
        socket->write(out);
        if (answer.Endless > 0) {
            auto* timer = new QTimer(socket);
            const QByteArray piece(qsizetype(answer.Endless), 'x');
            connect(timer, &QTimer::timeout, socket, [socket, piece] {
                if (socket->bytesToWrite() < 4 * piece.size())
                    socket->write(piece);
            });
            timer->start(answer.PieceMs);
            return;
        }
        if (answer.StallAfter >= 0) {
            socket->write(body.left(answer.StallAfter));
            return; // and nothing more
        }
        if (answer.PieceMs > 0) {
            auto* timer = new QTimer(socket);
            auto at = std::make_shared<qsizetype>(0);
            connect(timer, &QTimer::timeout, socket, [socket, body, at, timer] {
                socket->write(body.mid(*at, 64));
                *at += 64;
                if (*at >= body.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
            timer->start(answer.PieceMs);
            return;
        }
        socket->write(body);
        socket->disconnectFromHost();
    }

    TLocalServer::TState& FState;
};
} // namespace

TLocalServer::TLocalServer(const QByteArray& certificate, const QByteArray& key)
    : FState(std::make_unique<TState>()), FTls(!certificate.isEmpty()) {
    FState->Certificate = certificate;
    FState->Key = key;
    FAnchor = std::make_unique<QObject>();
    FAnchor->moveToThread(&FThread);
    FThread.start();
    // Made and listening on its own thread, so its sockets belong there.
    QMetaObject::invokeMethod(
        FAnchor.get(),
        [this] {
            auto* server = new TServer(*FState);
            server->setParent(FAnchor.get());
            server->listen(QHostAddress::LocalHost, 0);
            FPort = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

TLocalServer::~TLocalServer() {
    QMetaObject::invokeMethod(
        FAnchor.get(), [this] { qDeleteAll(FAnchor->children()); }, Qt::BlockingQueuedConnection);
    FThread.quit();
    FThread.wait();
}

void TLocalServer::Serve(const QString& path, const TAnswer& answer) {
    QMutexLocker lock(&FState->Lock);
    FState->Answers.insert(path, answer);
}

QUrl TLocalServer::Url(const QString& path) const {
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(FTls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(FPort)
                    .arg(path));
}

int TLocalServer::Hits(const QString& path) const {
    QMutexLocker lock(&FState->Lock);
    return FState->Hits.value(path);
}

int TLocalServer::TotalHits() const {
    QMutexLocker lock(&FState->Lock);
    int total = 0;
    for (int n : FState->Hits)
        total += n;
    return total;
}

QByteArray TLocalServer::LastRequest(const QString& path) const {
    QMutexLocker lock(&FState->Lock);
    return FState->Requests.value(path);
}

QByteArray GzipBody(const QByteArray& bytes) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(bytes.size()))) + 32, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}
