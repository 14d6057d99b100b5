// A small file read whole (keys, signatures, manifests), and a buffer written whole to a
// descriptor.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace platform
{

// The bytes of the file; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

// Writes all `size` bytes, going on after partial writes and interruptions; false at the
// first failure (errno says which), with what came before it written.
bool WriteWhole(int fd, const void* data, size_t size);

} // namespace platform
