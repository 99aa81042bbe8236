#pragma once
// Time limits of tests that guard against a parser running away. The sanitizer build
// unwinds the whole stack on every allocation, which on deeply nested input is tens of
// times slower; there the limit only keeps a runaway from hanging the run, and the
// plain build keeps the tight one.
#include <cstdint>

constexpr std::int64_t TimeLimitMs(std::int64_t plainMs) {
#if defined(__SANITIZE_ADDRESS__)
    return plainMs * 15;
#else
    return plainMs;
#endif
}
