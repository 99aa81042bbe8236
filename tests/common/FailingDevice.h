#pragma once
// Test seam: an I/O device that fails (returns -1) once N bytes have passed through it,
// to reach the error paths of code that reads or writes streams.

#include <QIODevice>

#include <algorithm>

class TFailingDevice : public QIODevice {
public:
    // Reads yield `content` and fail once `limit` bytes were read; writes are accepted
    // (and kept) until `limit` bytes were written, then fail. Opened read-write, unbuffered.
    explicit TFailingDevice(qint64 limit, QByteArray content = QByteArray(),
                            QObject* parent = nullptr)
        : QIODevice(parent), FLimit(limit), FContent(std::move(content)) {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }

    const QByteArray& Written() const { return FWritten; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (FRead >= FLimit) {
            setErrorString(QStringLiteral("Simulated read failure"));
            return -1;
        }
        const qint64 n = std::min({maxSize, FLimit - FRead, qint64(FContent.size()) - FRead});
        if (n <= 0) {
            return 0;
        }
        std::copy_n(FContent.constData() + FRead, n, data);
        FRead += n;
        return n;
    }

    qint64 writeData(const char* data, qint64 size) override {
        const qint64 room = FLimit - qint64(FWritten.size());
        if (room <= 0) {
            setErrorString(QStringLiteral("Simulated write failure"));
            return -1;
        }
        const qint64 n = std::min(size, room);
        FWritten.append(data, qsizetype(n));
        return n;
    }

private:
    qint64 FLimit;
    QByteArray FContent;
    QByteArray FWritten;
    qint64 FRead = 0;
};
