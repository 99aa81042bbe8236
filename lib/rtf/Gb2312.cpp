#include "Gb2312.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace {

// Built once from the C library's converter by decoding every two-byte code;
// ~7,500 conversions, far cheaper than a converter call per exported character.
std::vector<std::uint16_t> BuildTable() {
    std::vector<std::uint16_t> table(0x10000, 0);
    iconv_t cd = iconv_open("UTF-16LE", "EUC-CN");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return table; // no converter: every character falls back to '?'
    for (int lead = 0xA1; lead <= 0xF7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char out[8] = {};
            char* inPtr = in;
            char* outPtr = out;
            size_t inLeft = 2;
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
                continue;
            if (sizeof out - outLeft != 2)
                continue; // unassigned or outside the BMP
            const auto unit = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) |
                                                         static_cast<unsigned char>(out[1]) << 8);
            if (unit >= 0x80 && table[unit] == 0)
                table[unit] = static_cast<std::uint16_t>(lead << 8 | trail);
        }
    }
    iconv_close(cd);
    return table;
}

} // namespace

std::uint16_t Gb2312Code(char16_t ch) {
    static const std::vector<std::uint16_t> table = BuildTable();
    return table[ch];
}
