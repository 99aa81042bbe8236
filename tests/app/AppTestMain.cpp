// The window's tests run in an application set up as the program sets up its own.
#include "AppLocale.h"
#include "AppSetup.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    PrepareChineseLocale();
    QApplication application(argc, argv);
    SetUpApplication();
    return RUN_ALL_TESTS();
}
