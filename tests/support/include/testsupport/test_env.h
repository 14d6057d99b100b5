// Per-test isolation: every folder a program could touch is pointed at a fresh temporary
// folder, so tests never see the user's real settings, devices or sound card.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport
{

class ScopedTestEnv
{
public:
    ScopedTestEnv();
    ~ScopedTestEnv();
    ScopedTestEnv(const ScopedTestEnv&) = delete;
    ScopedTestEnv& operator=(const ScopedTestEnv&) = delete;

    const std::string& Root() const { return root_; }
    std::string Path(const std::string& name) const { return root_ + "/" + name; }
    // Sets (or, with nullopt, unsets) a variable until the end of the test.
    void Set(const std::string& name, const std::optional<std::string>& value);

private:
    std::string root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Gives ALSA a configuration of the test's own (the machines have no sound card): a default
// that discards ("Test default") and the PCM vark_file ("Test file") that writes what it
// plays to `raw`. VARK_AUDIO is unset, so the sound stand-in uses ALSA.
void UseTestAlsa(ScopedTestEnv& env, const std::string& raw);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);

// Where the built programs are: $VARK_BIN_DIR, else the test program's own folder.
std::string BinDir();

struct ProcessResult
{
    int exitCode = -1; // -1 when killed by a signal or timed out
    int signal = 0;
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs a program with arguments, feeding `input` to its standard input, and waits at most
// `timeoutMs` (then kills it).
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         int timeoutMs = 60000);

// A program running in the background, ended (SIGTERM, then SIGKILL) by the destructor.
class ChildProcess
{
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int Pid() const { return pid_; }
    bool Signal(int sig);
    // Waits for the end; nullopt on time-out. The value is the exit code, or -signal.
    std::optional<int> Wait(int timeoutMs);
    std::string Stdout(); // what the child printed so far (after Wait: everything)
    std::string Stderr();

private:
    void Drain(bool block);
    int pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    std::optional<int> status_;
};

// Waits until a recorder is published in the device folder of the test environment (what
// `vark-recorder plug` does once it is ready).
bool WaitForRecorder(const ScopedTestEnv& env, int timeoutMs);

// Polls `condition` every 10 ms for at most `timeoutMs`.
template <typename F> bool WaitFor(F condition, int timeoutMs);

} // namespace testsupport

#include "testsupport/wait_for.inl"
