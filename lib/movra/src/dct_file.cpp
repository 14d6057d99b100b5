// ".DCT" files are turned into WAVE files by an outside converter, `etools`, which is not
// shipped with the system: the program is looked up on PATH and given the input and the
// output name as two arguments (no shell, so no name can be taken for a command).
#include "movra/datasrc_file.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "platform/text.h"

#include <cerrno>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace
{

bool IsFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::wstring Get_DCT_SoundFile(const std::wstring& name)
{
    if (name.size() < 4 ||
        !platform::EqualsNoCase(std::wstring_view(name).substr(name.size() - 4), L".DCT"))
        throw RUNTIME_ERROR(
            DEBUG_INFO("Get_DCT_SoundFile:  filename extension different from DCT"));
    const std::string input = platform::WideToUtf8(name);
    if (!IsFile(input))
        throw RUNTIME_ERROR(DEBUG_INFO("Get_DCT_SoundFile: non-existing input file"));
    const std::wstring wav = name.substr(0, name.size() - 4) + L".WAV";
    const std::string output = platform::WideToUtf8(wav);

    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "Get_DCT_SoundFile: etools \"%s\" \"%s\"", input.c_str(),
                output.c_str());
    std::string program = "etools";
    char* argv[] = {program.data(), const_cast<char*>(input.c_str()),
                    const_cast<char*>(output.c_str()), nullptr};
    pid_t pid = 0;
    int status = -1;
    bool ran = ::posix_spawnp(&pid, "etools", nullptr, nullptr, argv, environ) == 0;
    if (ran)
    {
        pid_t done;
        while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR)
        {
        }
        ran = done == pid;
    }
    if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !IsFile(output))
        throw RUNTIME_ERROR(DEBUG_INFO("Get_DCT_SoundFile: DCT to WAV conversion failed"));
    return wav;
}
