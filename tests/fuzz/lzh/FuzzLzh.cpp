// Unpacks any bytes as a container, and packs them back and forth.
#include "WinConvert.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QByteArray out = TLZH::UnpackContainer(bytes, 1024 * 1024);
        if (out.size() > TLZH::MaxOutputFor(bytes.size())) {
            std::abort();
        }
    } catch (const ElzhException&) {
    }
    if (size <= 16 * 1024 && TLZH::UnpackContainer(TLZH::PackContainer(bytes)) != bytes) {
        std::abort();
    }
    return 0;
}
