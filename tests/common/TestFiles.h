#pragma once
// Files a test makes and reads back.

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Makes the file (or empties it) and writes the bytes; false when any step fails.
inline bool WriteFile(const QString& path, const QByteArray& bytes = {}) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// SHA-256 of the file's bytes; empty when it cannot be read.
inline QByteArray FileDigest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
