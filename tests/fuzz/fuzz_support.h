// Shared by the libFuzzer targets: a per-process scratch folder on a memory file system for
// the parsers that only read named files, and the check that turns a broken promise into a
// crash the fuzzer keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz
{

// Reports on a copy of stderr taken at start, so that the report survives libFuzzer's
// -close_fd_mask, then aborts.
[[noreturn]] void Broken(const char* what, const char* file, int line);

// `name` in the scratch folder (created on first use).
std::string ScratchPath(const std::string& name);
// Writes the bytes to `path`, replacing what was there; false when that fails.
bool WriteBytes(const std::string& path, const uint8_t* data, size_t size);

} // namespace fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do                                                                                             \
    {                                                                                              \
        if (!(condition)) ::fuzz::Broken(#condition, __FILE__, __LINE__);                          \
    } while (0)
