#pragma once
// The unpacked skin container: header, version-dependent information block,
// directory of entry names, entry sizes and the entries themselves.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The one message the skin units ever show; the application puts up a box,
// tests collect the texts.
using TSkinMessageProc = std::function<void(const QString& text)>;
// Installs a new message procedure and returns the previous one.
TSkinMessageProc SetSkinMessageProc(TSkinMessageProc proc);
void ShowSkinMessage(const QString& text);

inline const QString OlderSkinText =
    QStringLiteral("This is Older Skin File\rPlease update to new version !");

// The unit's own name for the container header; the control skins have a
// TSkinHeader of their own (the skinned list header), so this one is scoped.
namespace SkinRead {
struct TSkinHeader {
    qint32 Version = 0;
    qint32 DirLen = 0;
    qint32 U1 = 0;
    qint32 U2 = 0;
};
} // namespace SkinRead

struct TSkinEntry {
    QString Name;
    QByteArray Bytes;
};

class TSkinReader {
public:
    static constexpr int MaxEntries = 1001;

    // Entry names, lower-cased, in entry order.
    QStringList Dir;

    // Reads a packed container (size word + stream). False when it cannot be used;
    // the older-skin message is shown for an unknown version.
    bool Loadfromstream(const QByteArray& container);
    bool Loadfromstream(QIODevice& container);
    bool loadfromfile(const QString& path);

    // Unpacks a container into dest; raises ElzhException on a broken one.
    static void Decompress(const QByteArray& source, QByteArray& dest);

    // Copies the named entry (any case) into stream; stream stays empty without it.
    void readfile(const QString& name, QByteArray& stream) const;
    // The first entry whose name contains part, and that name.
    void readIni(const QString& part, QByteArray& stream, QString& foundName) const;

    // The unpacked layout holding entries in order (a zero information block).
    static QByteArray MakeImage(const std::vector<TSkinEntry>& entries, qint32 version = 70000);
    // MakeImage, packed: what Loadfromstream reads.
    static QByteArray MakeContainer(const std::vector<TSkinEntry>& entries, qint32 version = 70000);

    qint64 EntrySize(int index) const { return FSizes[index]; }
    SkinRead::TSkinHeader Header() const { return FHeader; }
    // Base of the directory text for a version, or -1 when the version is unknown.
    static int VersionBase(qint32 version);

private:
    bool Parse(const QByteArray& container);
    QByteArray Entry(int index) const;

    SkinRead::TSkinHeader FHeader;
    QByteArray FData; // the unpacked container
    qint64 FDataStart = 0;
    std::vector<qint64> FSizes;
    std::vector<qint64> FOffsets;
};
