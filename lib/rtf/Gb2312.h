#pragma once
// GB2312 (EUC-CN) bytes of single UTF-16 code units, for the fallback text
// that readers without Unicode support show.

#include <cstdint>

// The two-byte EUC-CN code of the character (lead byte in the high half),
// or 0 when GB2312 has no such character. ASCII is not covered.
std::uint16_t Gb2312Code(char16_t ch);
