#pragma once
// Shared by the skin suites.

#include "SkinRead.h"

#include <QStringList>

// Collects what the skin units would show the user.
class TMessageCatcher {
public:
    TMessageCatcher() {
        FPrevious = SetSkinMessageProc([this](const QString& t) { Messages.append(t); });
    }
    ~TMessageCatcher() { SetSkinMessageProc(FPrevious); }
    QStringList Messages;

private:
    TSkinMessageProc FPrevious;
};
