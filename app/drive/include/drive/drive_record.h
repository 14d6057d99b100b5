// The records of a drive recorder: its sound files, each with what its headers say and the
// moment it started. Reading a drive never stops at a bad file: one that cannot be read is
// kept in the list, marked so.
#pragma once

#include "platform/autodate.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace drive
{

// Where a record's start time came from, best first.
enum class StartFrom
{
    kBext,     // the Broadcast WAV origination date and time
    kTags,     // a date and time in the file's tags
    kName,     // a date and time in the file name
    kModified, // the file's modification time, less its length (written until it ended)
};

struct DriveRecord
{
    std::string path;   // the file
    std::string folder; // its folder below the drive's root ("" at the top), the source
    std::string name;   // its name, as stored (not always UTF-8)
    bool readable = false;
    std::string container, codec; // e.g. "wav" and "pcm_s16le", "mp3" and "mp3"
    uint32_t rate = 0;
    uint16_t channels = 0;
    platform::AutoSpan duration;
    platform::AutoDate start;
    StartFrom startFrom = StartFrom::kModified;
    uint64_t bytes = 0;
    time_t modified = 0;

    // A WAV file is copied as it is; everything else is decoded to PCM.
    bool IsWave() const { return container == "wav"; }
};

// Reads one file of the drive whose root is `root`.
DriveRecord ReadRecord(const std::string& root, const std::string& path);

// The records of the drive at `root`: the sound files of its record folders (of `root` itself
// when it has none, as for a folder the user opened), oldest first. Files whose name starts
// with a dot are left out (other systems' shadow files); a file with a sound extension that
// cannot be read is listed unreadable, any other file only when its content is sound.
// `stop`, asked between files, ends the listing early.
std::vector<DriveRecord> ListRecords(const std::string& root,
                                     const std::function<bool()>& stop = {});

// A start time in a tag's text: "YYYY-MM-DD[T ]hh:mm[:ss][.frac][Z|+hh:mm|-hh:mm]"; a time
// with a zone is turned into local time. Invalid when there is no date and time.
platform::AutoDate DateInTag(const std::string& text);

} // namespace drive
