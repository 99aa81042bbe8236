#pragma once
// The cook's words for an error that is not ours: the standard library words its own
// (std::bad_alloc and the like) in English only.

#include "SysUtils.h"

#include <new>

inline QString StandardErrorText(const std::exception& e) {
    if (const auto* own = dynamic_cast<const Exception*>(&e))
        return own->Message();
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return QStringLiteral("内存不足，这项操作没有完成。请关闭其他程序后再试，或者分几次做。");
    return QStringLiteral("程序内部出错，这项操作没有完成。");
}
