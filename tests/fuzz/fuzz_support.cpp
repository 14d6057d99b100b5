#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzz
{

namespace
{
const int g_reportFd = ::dup(2); // before main, so before libFuzzer closes stderr
} // namespace

void Broken(const char* what, const char* file, int line)
{
    char text[512];
    const int n =
        std::snprintf(text, sizeof text, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    if (n > 0)
    {
        [[maybe_unused]] const ssize_t written = ::write(g_reportFd, text, static_cast<size_t>(n));
    }
    std::abort();
}

std::string ScratchPath(const std::string& name)
{
    static const std::string folder = []
    {
        // scripts/fuzz names a folder it removes afterwards; else memory-backed when the
        // machine has it (thousands of files a second).
        const char* given = std::getenv("VARK_FUZZ_SCRATCH");
        const char* base = given && *given                   ? given
                           : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                             : "/tmp";
        std::string f = std::string(base) + "/vark-fuzz-" + std::to_string(::getpid());
        ::mkdir(f.c_str(), 0700);
        return f;
    }();
    return folder + "/" + name;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return done == size;
}

} // namespace fuzz
