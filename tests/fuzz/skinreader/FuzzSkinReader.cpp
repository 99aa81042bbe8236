// Reads any bytes as a packed container, and (packed first) as an unpacked one,
// then looks up every entry.
#include "SkinRead.h"
#include "WinConvert.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        SetSkinMessageProc([](const QString&) {});
        return true;
    }();
    (void)quiet;
    if (size == 0) {
        return 0;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
    // Mode byte: even reads the bytes as they are, odd packs them first so the
    // header, directory and sizes get exercised directly.
    const QByteArray container = data[0] & 1 ? TLZH::PackContainer(bytes) : bytes;
    TSkinReader reader;
    if (!reader.Loadfromstream(container)) {
        return 0;
    }
    qint64 total = 0;
    for (int i = 0; i < reader.Dir.size(); ++i) {
        QByteArray entry;
        reader.readfile(reader.Dir[i], entry);
        total += entry.size();
        if (entry.size() > reader.EntrySize(i)) {
            std::abort();
        }
    }
    if (reader.Dir.size() > TSkinReader::MaxEntries) {
        std::abort();
    }
    QByteArray ini;
    QString name;
    reader.readIni(QStringLiteral(".ini"), ini, name);
    return 0;
}
