#include "testsupport/sound.h"

#include "platform/riff.h"
#include "testsupport/test_env.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>

namespace testsupport
{

namespace
{
void Put16(std::string& f, size_t at, uint16_t v)
{
    f[at] = static_cast<char>(v & 0xFF);
    f[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& f, size_t at, uint32_t v)
{
    Put16(f, at, static_cast<uint16_t>(v & 0xFFFF));
    Put16(f, at + 2, static_cast<uint16_t>(v >> 16));
}
int16_t Get16(const std::string& f, size_t at)
{
    return static_cast<int16_t>(static_cast<uint8_t>(f[at]) | static_cast<uint8_t>(f[at + 1]) << 8);
}
} // namespace

std::vector<int16_t> TestTone(size_t samples)
{
    std::vector<int16_t> s(samples);
    for (size_t i = 0; i < samples; ++i)
        s[i] = static_cast<int16_t>(1000 + 8000 * std::sin(double(i) * 0.05) +
                                    static_cast<double>(i % 7) * 13);
    return s;
}

std::string MonoWav(const std::vector<int16_t>& samples, uint32_t rate)
{
    std::string f(44 + samples.size() * 2, '\0');
    std::memcpy(f.data(), "RIFF", 4);
    Put32(f, 4, static_cast<uint32_t>(f.size() - 8));
    std::memcpy(f.data() + 8, "WAVEfmt ", 8);
    Put32(f, 16, 16);
    Put16(f, 20, 1);
    Put16(f, 22, 1);
    Put32(f, 24, rate);
    Put32(f, 28, rate * 2);
    Put16(f, 32, 2);
    Put16(f, 34, 16);
    std::memcpy(f.data() + 36, "data", 4);
    Put32(f, 40, static_cast<uint32_t>(samples.size() * 2));
    for (size_t i = 0; i < samples.size(); ++i)
        Put16(f, 44 + 2 * i, static_cast<uint16_t>(samples[i]));
    return f;
}

std::vector<std::pair<int16_t, int16_t>> CapturedFrames(const std::string& path)
{
    const std::string f = ReadFile(path);
    std::vector<std::pair<int16_t, int16_t>> frames;
    // A capture still being written may have its sizes behind its samples: the frames run
    // from the data chunk to the end of the file.
    platform::riff::WalkWaveChunks(reinterpret_cast<const uint8_t*>(f.data()), f.size(),
                                   [&](const platform::riff::Chunk& chunk)
                                   {
                                       if (!chunk.Is("data")) return true;
                                       for (size_t at = chunk.body; at + 4 <= f.size(); at += 4)
                                           frames.emplace_back(Get16(f, at), Get16(f, at + 2));
                                       return false;
                                   });
    return frames;
}

std::string HeardOnBothChannels(const std::string& path, const std::vector<int16_t>& signal)
{
    const auto frames = CapturedFrames(path);
    size_t start = 0;
    while (start < frames.size() && frames[start].first == 0 && frames[start].second == 0)
        ++start;
    if (frames.size() < start + signal.size())
        return "captured " + std::to_string(frames.size()) + " frames, sound from " +
               std::to_string(start);
    for (size_t i = 0; i < signal.size(); ++i)
        if (frames[start + i].first != signal[i] || frames[start + i].second != signal[i])
            return "frame " + std::to_string(i) + ": " + std::to_string(frames[start + i].first) +
                   "/" + std::to_string(frames[start + i].second) + " instead of " +
                   std::to_string(signal[i]);
    return "";
}

// Empty when `captured` holds `expected` whole after the leading silence of both, with
// nothing but silence after it; else where it differs.
std::string CompareHeard(const std::vector<std::pair<int16_t, int16_t>>& captured,
                         const std::vector<std::pair<int16_t, int16_t>>& expected)
{
    const auto sound = [](const std::pair<int16_t, int16_t>& f)
    { return f.first != 0 || f.second != 0; };
    const auto c = std::find_if(captured.begin(), captured.end(), sound);
    const auto e = std::find_if(expected.begin(), expected.end(), sound);
    const size_t want = static_cast<size_t>(expected.end() - e);
    const size_t have = static_cast<size_t>(captured.end() - c);
    if (have < want)
        return "heard " + std::to_string(have) + " frames of " + std::to_string(want) +
               ": the end is missing";
    for (size_t i = 0; i < want; ++i)
        if (c[static_cast<std::ptrdiff_t>(i)] != e[static_cast<std::ptrdiff_t>(i)])
            return "frame " + std::to_string(i) + " differs";
    if (std::any_of(c + static_cast<std::ptrdiff_t>(want), captured.end(), sound))
        return "sound after the end";
    return "";
}

std::vector<pid_t> ProcessesUnder(const std::string& program, const std::string& root)
{
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    const std::string marker = "XDG_CONFIG_HOME=" + root + "/config" + '\0';
    while (dirent* e = ::readdir(proc))
    {
        const pid_t pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        const std::string base = "/proc/" + std::to_string(pid);
        const std::string cmd = ReadFile(base + "/cmdline");
        const std::string first = cmd.substr(0, cmd.find('\0'));
        if (first.size() < program.size() ||
            first.compare(first.size() - program.size(), program.size(), program) != 0)
            continue;
        const std::string stat = ReadFile(base + "/stat");
        const auto close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z')
            continue;
        if (ReadFile(base + "/environ").find(marker) != std::string::npos) found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

} // namespace testsupport
