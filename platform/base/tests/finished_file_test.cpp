#include "platform/finished_file.h"

#include "testsupport/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::FileExists;
using testsupport::ReadFile;

TEST(FinishedFile, AppearsWholeUnderItsNameOrNotAtAll)
{
    testsupport::ScopedTestEnv env;
    const std::string wav = env.Path("2026_11_07 09_30_00.wav");
    EXPECT_EQ(PartPathFor(wav), env.Path(".2026_11_07 09_30_00.wav.part"));
    EXPECT_EQ(PartPathFor("a.dsg"), std::filesystem::path("./.a.dsg.part"));

    ASSERT_TRUE(WriteFinishedFile(wav, "first"));
    EXPECT_EQ(ReadFile(wav), "first");
    ASSERT_TRUE(WriteFinishedFile(wav, "second, longer"));
    EXPECT_EQ(ReadFile(wav), "second, longer");
    EXPECT_FALSE(FileExists(PartPathFor(wav)));

    // A part file left by an interrupted write is made final only by its commit, and removed
    // by the next write's clean-up.
    testsupport::WriteFile(PartPathFor(wav), "half");
    EXPECT_EQ(ReadFile(wav), "second, longer");
    RemoveLeftoverPart(wav);
    EXPECT_FALSE(FileExists(PartPathFor(wav)));
    testsupport::WriteFile(PartPathFor(wav), "whole");
    ASSERT_TRUE(CommitPart(wav));
    EXPECT_EQ(ReadFile(wav), "whole");
    EXPECT_FALSE(CommitPart(wav)); // nothing left to commit

    // Failures leave no part behind and the final name as it was.
    EXPECT_FALSE(WriteFinishedFile(env.Path("missing/x.dsg"), "x"));
    std::filesystem::create_directory(env.Path("folder.dsg"));
    testsupport::WriteFile(env.Path("folder.dsg/inside"), "kept");
    EXPECT_FALSE(WriteFinishedFile(env.Path("folder.dsg"), "x"));
    EXPECT_FALSE(FileExists(PartPathFor(env.Path("folder.dsg"))));
    EXPECT_EQ(ReadFile(env.Path("folder.dsg/inside")), "kept");
}
