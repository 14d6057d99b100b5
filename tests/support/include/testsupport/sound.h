// Sound files for tests: a hand-built 16-bit PCM WAV, and what the capture back end heard.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace testsupport
{

// A tone that never sits at zero, so that leading silence cannot be mistaken for it.
std::vector<int16_t> TestTone(size_t samples);
// A RIFF WAVE file: one channel, 16-bit PCM.
std::string MonoWav(const std::vector<int16_t>& samples, uint32_t rate);
// The stereo frames of a file written by VARK_AUDIO=capture:<file>.
std::vector<std::pair<int16_t, int16_t>> CapturedFrames(const std::string& path);
// Empty when `signal` was heard whole on both channels after the leading silence; else why
// not.
std::string HeardOnBothChannels(const std::string& path, const std::vector<int16_t>& signal);

// Empty when `captured` holds `expected` whole after the leading silence of both, with
// nothing but silence after it; else where it differs.
std::string CompareHeard(const std::vector<std::pair<int16_t, int16_t>>& captured,
                         const std::vector<std::pair<int16_t, int16_t>>& expected);
// Live processes of `program` (a file name) whose environment carries XDG_CONFIG_HOME=root,
// i.e. that were started under one ScopedTestEnv.
std::vector<pid_t> ProcessesUnder(const std::string& program, const std::string& root);

} // namespace testsupport
