#include "vark_application.h"

#include <cstdlib>
#include <gtest/gtest.h>

// The start-up tests need the program's QApplication, on the offscreen platform.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
    CVarkApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
