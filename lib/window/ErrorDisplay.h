#pragma once
// The application's default error display, and the wrapper every event
// handler runs in so that no exception ever crosses a Qt frame.

#include <QString>
#include <exception>
#include <utility>

#include "StandardErrors.h"
#include "SysUtils.h"

// The name users read: the default error display's caption.
QString ApplicationTitle();

// A modal critical box with the error text and the application's name.
void ShowDefaultError(const QString& text);

template <typename F> void RunGuarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (const Exception& e) {
        ShowDefaultError(e.Message());
    } catch (const std::exception& e) {
        ShowDefaultError(StandardErrorText(e));
    } catch (...) {
        ShowDefaultError(QStringLiteral("程序内部出错，这项操作没有完成。"));
    }
}
