// Finished files: every file the program hands to the user as done (an exported record, its
// signature) is written under a hidden temporary name beside its final one, ".NAME.part", and
// renamed into place only once it is complete and synced, then the folder is synced. A crash
// or a power cut therefore never leaves a file under its final name that is not whole: what
// is left is a part file, which the next write of that name removes.
#pragma once

#include <filesystem>
#include <string_view>

namespace platform
{

// ".NAME.part" in the folder of `finalPath`.
std::filesystem::path PartPathFor(const std::filesystem::path& finalPath);

// Makes the complete part file of `finalPath` final: syncs it, renames it over `finalPath`
// (replacing a file there) and syncs the folder. False leaves the part file where it is.
bool CommitPart(const std::filesystem::path& finalPath);

// Writes `bytes` as `finalPath` through its part file. On failure the part file is removed
// and a file already under the final name is left as it was.
bool WriteFinishedFile(const std::filesystem::path& finalPath, std::string_view bytes);

// Removes what an interrupted write of `finalPath` left behind: its part file, if any.
void RemoveLeftoverPart(const std::filesystem::path& finalPath);

} // namespace platform
