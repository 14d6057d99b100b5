// Drive recorders for the demo and the tests: a folder laid out as a recorder that shows up
// as a USB drive (RECORDER/FOLDER_A..FOLDER_E) and, for the demo, a handful of spoken
// recordings of the kinds such recorders leave: Broadcast WAV with its start in "bext", plain
// WAV, MP3 with an ID3 date, dates in names, a file cut short and a file that is not sound.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace recorder
{

struct DriveFile
{
    std::string path;
    std::string what; // format, rate, channels, length and start, for people
};

// Makes `dir` (which may not exist yet, or be empty) into a drive recorder, with the demo
// files when `demo`. Every file's modification time is its start plus its length, in local
// time, so that listings are the same on every run. Nothing on failure, with the reason in
// *error. `usedSpeech` tells whether espeak-ng spoke (else a synthetic voice did).
std::optional<std::vector<DriveFile>> MakeDrive(const std::string& dir, bool demo,
                                                std::string* error, bool* usedSpeech = nullptr);

} // namespace recorder
