#include "debug_output.h"

#include <dlfcn.h>
#include <unistd.h>

namespace ondakit
{

void DebugOutput(const std::string& text)
{
    std::string line = "ondakit: " + text;
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    // One write per message so lines from several threads do not interleave.
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line.data(), line.size());
}

namespace
{
// An address inside this very library: a function with internal linkage cannot be
// interposed by another copy of the library loaded earlier.
void Anchor() {}
} // namespace

std::string LibraryIniPath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&Anchor), &info) || !info.dli_fname) return {};
    const std::string full = info.dli_fname;
    const size_t slash = full.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
    // Only the file name is cut at its first dot: folders such as ~/.local may hold dots.
    const size_t dot = name.find('.');
    name = dot == std::string::npos ? name + "." : name.substr(0, dot + 1);
    return folder + name + "ini";
}

} // namespace ondakit
