#include "settings/drive_import_settings.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

TEST(DriveImportSettings, KeptPerRecorderAskedOnceAndReadBackAsWritten)
{
    testsupport::ScopedTestEnv env;
    const std::wstring ini = L""; // the program's own file, as the window keeps it
    DriveImportSetting s = LoadDriveImportSetting("uuid:0A1B-2C3D", "VOICE/PEN");
    EXPECT_EQ(s.choice, DriveImportChoice::kUnasked);
    EXPECT_EQ(s.folder, env.Path("Recordings/VOICE_PEN"));
    EXPECT_FALSE(s.deleteVerified);
    EXPECT_EQ(DefaultImportFolder(".."), env.Path("Recordings/Recorder"));

    s.choice = DriveImportChoice::kOn;
    s.folder = env.Path("My records/pen");
    s.deleteVerified = true;
    ASSERT_TRUE(SaveDriveImportSetting("uuid:0A1B-2C3D", s, ini));
    ASSERT_TRUE(SaveDriveImportSetting("path:00ff00ff00ff00ff", {DriveImportChoice::kOff, {}, {}}));
    const DriveImportSetting back = LoadDriveImportSetting("uuid:0A1B-2C3D", "VOICE_PEN");
    EXPECT_EQ(back.choice, DriveImportChoice::kOn);
    EXPECT_EQ(back.folder, env.Path("My records/pen"));
    EXPECT_TRUE(back.deleteVerified);
    // declined: never asked again, and the folder offered is still the default one
    const DriveImportSetting declined = LoadDriveImportSetting("path:00ff00ff00ff00ff", "STICK");
    EXPECT_EQ(declined.choice, DriveImportChoice::kOff);
    EXPECT_EQ(declined.folder, env.Path("Recordings/STICK"));
    EXPECT_EQ(LoadDriveImportSetting("uuid:other", "X").choice, DriveImportChoice::kUnasked);

    // a value edited by hand that is not 1 turns nothing on
    testsupport::WriteFile(env.Path("config/Mirvanta/Varke-P/Varke.ini"),
                           "[DriveImport]\nuuid:0A1B-2C3D.Copy=yes\nuuid:0A1B-2C3D.Delete=true\n");
    const DriveImportSetting edited = LoadDriveImportSetting("uuid:0A1B-2C3D", "VOICE_PEN");
    EXPECT_EQ(edited.choice, DriveImportChoice::kOff);
    EXPECT_FALSE(edited.deleteVerified);
}
