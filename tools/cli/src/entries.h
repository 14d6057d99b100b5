// The user's entries of `export`, `verify` and `key`, checked before the recorder is touched:
// record lists, pauses, serial numbers and Yes/No answers.
#pragma once

#include "cli.h"
#include "transfer/audio_file_writer.h"
#include "transfer/export_rules.h"
#include "transfer/signature.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli
{

// What to do with a file that already exists.
enum class Existing
{
    kAsk,
    kOverwrite,
    kSkip,
};

struct ExportRequest
{
    std::string out;
    bool all = false;
    std::vector<int> records; // 1-based numbers as the list shows them, ascending, once each
    vark::PauseMode pauseMode = vark::PauseMode::kFixed;
    int pauseSeconds = 1;
    bool sign = false;
    bool minisig = false; // an open signature beside each file, with the user's signing key
    bool bwf = false;     // a Broadcast WAV "bext" chunk in each WAV file that is written
    vark::ExportFormat format = vark::ExportFormat::kWav;
    Existing existing = Existing::kAsk;
    bool yes = false;
    // drive recorders only
    std::optional<uint32_t> serial;
    bool keepOriginal = false;
};

// "1,3-5" -> 1 3 4 5 (ascending, each once); nullopt for an empty list, an empty item, a
// number outside 1..65535, a range that runs backwards or anything that is not a number.
std::optional<std::vector<int>> ParseRecordList(const std::string& text);

// The options of `export`; throws UsageError for a wrong entry (the program's message where
// the program has one: "Enter target folder.", the pause range).
ExportRequest ParseExportRequest(const Args& args);

// What `play` is asked to play and how.
struct PlayRequest
{
    std::string file;            // a sound file, or
    int record = 0;              // a record, 1-based as the list numbers it
    std::optional<int32_t> from; // ms into the record
    std::optional<int32_t> gain, ring, agc, stretch, ncMode, ncDepth;
    std::optional<std::string> outputDevice; // an output's name, as vark-audio devices lists
};

// The options of `play`: FILE or --record N (not both), --from only with --record; throws
// UsageError for a wrong entry.
PlayRequest ParsePlayRequest(const Args& args);

// The serial number entry and the signatures' serial of a device number, shared with the
// signature dialogs.
using vark::ParseSerial;
using vark::SignatureSerial;

// A typed answer to a Yes/No question: "y", "yes", the language's Yes text or its first
// letter (when No does not start with it) mean Yes, case ignored; everything else is No.
bool IsYesAnswer(const std::string& answer, const std::string& yesText, const std::string& noText);

} // namespace cli
