#include "testsupport/test_env.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport
{

ScopedTestEnv::ScopedTestEnv()
{
    char pattern[] = "/tmp/vark-test-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    for (const char* sub : {"config", "data", "runtime", "devices", "com", "drives"})
        std::filesystem::create_directories(root_ + "/" + sub);
    ::chmod((root_ + "/runtime").c_str(), 0700);
    Set("XDG_CONFIG_HOME", root_ + "/config");
    Set("XDG_DATA_HOME", root_ + "/data");
    Set("XDG_CACHE_HOME", root_ + "/cache");
    // no test reads or grabs the machine's own input devices
    Set("VARK_PEDAL_DIR", root_ + "/pedals");
    Set("XDG_RUNTIME_DIR", root_ + "/runtime");
    Set("VARK_DEVICE_DIR", root_ + "/devices");
    Set("VARK_COM_REGISTRY", root_ + "/com");
    Set("VARK_AUDIO", std::string("null"));
    Set("HOME", root_);
    // no drive of the machine's own is ever taken for a recorder: drives are folders put in
    // drives/, and the mount table is empty
    WriteFile(root_ + "/mountinfo", "");
    Set("VARK_MOUNTINFO", root_ + "/mountinfo");
    Set("VARK_DRIVE_ROOTS", root_ + "/drives");
}

ScopedTestEnv::~ScopedTestEnv()
{
    for (const auto& [name, value] : saved_)
    {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    RemoveTree(root_);
}

void ScopedTestEnv::Set(const std::string& name, const std::optional<std::string>& value)
{
    if (!saved_.count(name))
    {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

void UseTestAlsa(ScopedTestEnv& env, const std::string& raw)
{
    WriteFile(env.Path("asound.conf"),
              "pcm.vark_file {\n type file\n slave.pcm { type null }\n file \"" + raw +
                  "\"\n format \"raw\"\n hint { show on description \"Test file\" }\n}\n"
                  "pcm.!default {\n type null\n hint { show on description \"Test "
                  "default\" }\n}\n");
    env.Set("ALSA_CONFIG_PATH", env.Path("asound.conf"));
    env.Set("VARK_AUDIO", std::nullopt);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

void RemoveTree(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

std::string BinDir()
{
    if (const char* dir = std::getenv("VARK_BIN_DIR"); dir && *dir) return dir;
    // Test programs are built into the same folder as every other program.
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

namespace
{

pid_t Spawn(const std::vector<std::string>& argv, int inFd, int outFd, int errFd)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0)
    {
        if (inFd >= 0) ::dup2(inFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::setpgid(0, 0);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void ReadAvailable(int fd, std::string& into)
{
    char buf[4096];
    for (;;)
    {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return;
        into.append(buf, static_cast<size_t>(n));
    }
}

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                         int timeoutMs)
{
    ProcessResult r;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    const pid_t pid = Spawn(argv, in[0], out[1], err[1]);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // Feeding the input in one go is enough for the short answers tests give.
    if (!input.empty()) [[maybe_unused]]
        auto n = ::write(in[1], input.data(), input.size());
    ::close(in[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;)
    {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        ::poll(fds, 2, 20);
        ReadAvailable(out[0], r.out);
        ReadAvailable(err[0], r.err);
        if (::waitpid(pid, &status, WNOHANG) == pid) break;
        if (std::chrono::steady_clock::now() > end)
        {
            r.timedOut = true;
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
    }
    ReadAvailable(out[0], r.out);
    ReadAvailable(err[0], r.err);
    ::close(out[0]);
    ::close(err[0]);
    if (WIFEXITED(status) && !r.timedOut) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv)
{
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe failed");
    const int devnull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_ = Spawn(argv, devnull, out[1], err[1]);
    ::close(devnull);
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
    ::fcntl(errFd_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess()
{
    if (!status_ && pid_ > 0)
    {
        ::kill(pid_, SIGTERM);
        if (!Wait(5000))
        {
            ::kill(-pid_, SIGKILL);
            Wait(5000);
        }
    }
    if (outFd_ >= 0) ::close(outFd_);
    if (errFd_ >= 0) ::close(errFd_);
}

bool ChildProcess::Signal(int sig)
{
    return pid_ > 0 && ::kill(pid_, sig) == 0;
}

void ChildProcess::Drain(bool)
{
    ReadAvailable(outFd_, out_);
    ReadAvailable(errFd_, err_);
}

std::optional<int> ChildProcess::Wait(int timeoutMs)
{
    if (status_) return status_;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        Drain(false);
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_)
        {
            Drain(false);
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() > end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ChildProcess::Stdout()
{
    Drain(false);
    return out_;
}

std::string ChildProcess::Stderr()
{
    Drain(false);
    return err_;
}

bool WaitForRecorder(const ScopedTestEnv& env, int timeoutMs)
{
    const std::string folder = env.Root() + "/devices/{0AA4F298-9C53-41DA-A430-5548C31E5DF7}";
    return WaitFor(
        [&]
        {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(folder, ec))
                if (e.path().filename().string()[0] != '.') return true;
            return false;
        },
        timeoutMs);
}

} // namespace testsupport
