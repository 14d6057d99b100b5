#include "platform/paths.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

TEST(Paths, FollowTheXdgVariables)
{
    testsupport::ScopedTestEnv env;
    EXPECT_EQ(RoamingAppDataFolder(), env.Root() + "/config");
    env.Set("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(RoamingAppDataFolder(), env.Root() + "/.config");
    env.Set("XDG_CONFIG_HOME", std::string("relative/ignored"));
    EXPECT_EQ(RoamingAppDataFolder(), env.Root() + "/.config");
    EXPECT_TRUE(CreateFolders(env.Root() + "/a/b/c"));
    EXPECT_TRUE(testsupport::FileExists(env.Root() + "/a/b/c"));
    EXPECT_EQ(JoinPath("/x/", "y"), "/x/y");
}

TEST(Paths, SingleInstanceRefusesASecondProcess)
{
    testsupport::ScopedTestEnv env;
    SingleInstance first("{guard}");
    ASSERT_FALSE(first.AlreadyExists());
    const pid_t child = ::fork();
    if (child == 0)
    {
        SingleInstance second("{guard}");
        ::_exit(second.AlreadyExists() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Paths, TheGuardIsFreedWithItsOwner)
{
    testsupport::ScopedTestEnv env;
    {
        SingleInstance first("{guard}");
    }
    SingleInstance again("{guard}");
    EXPECT_FALSE(again.AlreadyExists());
}
