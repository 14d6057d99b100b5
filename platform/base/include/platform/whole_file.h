// A small file read whole: keys, signatures, manifests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace platform
{

// The bytes of the file; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

} // namespace platform
