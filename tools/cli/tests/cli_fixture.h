// vark-cli tests: a virtual recorder plugged in by `vark-recorder plug` in a child process
// and the CLI run against it, both in a fresh test environment.
#pragma once

#include "testsupport/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class CliTest : public ::testing::Test
{
protected:
    CliTest() { env_.Set("LC_ALL", std::string("C")); } // the messages below are English

    // Plugs the demo recorder, or the image in `source` when given, with `extra` options.
    void Plug(std::vector<std::string> extra = {}, const std::string& source = "--demo")
    {
        std::vector<std::string> argv = {testsupport::BinDir() + "/vark-recorder", "plug", source};
        argv.insert(argv.end(), extra.begin(), extra.end());
        recorder_ = std::make_unique<testsupport::ChildProcess>(argv);
        ASSERT_TRUE(testsupport::WaitForRecorder(env_, 60000)) << recorder_->Stderr();
    }
    testsupport::ProcessResult Cli(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), testsupport::BinDir() + "/vark-cli");
        return testsupport::RunProcess(args, input, 120000);
    }

    testsupport::ScopedTestEnv env_;
    std::unique_ptr<testsupport::ChildProcess> recorder_;
};
