#pragma once
// The main() of benchmarks that drive the window: an application, and every question
// a save asks answered without a user. Header-only, as the book library has no Widgets.

#include "MsgShell.h"

#include <QApplication>
#include <benchmark/benchmark.h>

inline int RunWindowBenchmarks(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mycook"));
    SetMessageHook([](const TMessageRequest&) { return QMessageBox::Yes; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetMessageHook(nullptr);
    return 0;
}
