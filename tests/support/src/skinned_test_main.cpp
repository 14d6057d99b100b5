// The main of the GUI tests that need the program's own skins (the dialogs, the main window):
// real widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "skin_data/skin_data.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    skin_data::InitSkinData();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
