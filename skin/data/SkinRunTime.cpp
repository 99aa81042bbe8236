#include "SkinRunTime.h"

namespace {
// Constant-initialised, so it is null before any plug-in runs at start-up.
constinit TSkinRunTime* GRunTime = nullptr;
} // namespace

void PlugSkinRunTime(TSkinRunTime* runTime) {
    GRunTime = runTime;
}

TSkinRunTime* SkinRunTime() {
    return GRunTime;
}
