// Recorders that appear as a drive: drives, and status, list, export and delete with
// --drive PATH (a drive recorder or any folder opened as one).
#include "cli.h"
#include "entries.h"

#include "drive/drive_identity.h"
#include "drive/drive_recorders.h"
#include "drive/drive_space.h"
#include "drive/recorder_layout.h"
#include "platform/mounts.h"
#include "platform/text.h"
#include "res/strings.h"
#include "settings/drive_serials.h"
#include "transfer/record_row.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace cli
{

namespace
{

const char* StartFromName(drive::StartFrom from)
{
    switch (from)
    {
    case drive::StartFrom::kBext:
        return "bext";
    case drive::StartFrom::kTags:
        return "tags";
    case drive::StartFrom::kName:
        return "name";
    case drive::StartFrom::kModified:
        break;
    }
    return "modified";
}

// The records `numbers` (1-based, as listed) name; fails for one beyond the list.
std::optional<std::vector<drive::DriveRecord>> Chosen(const DriveSession& d,
                                                      const std::vector<int>& numbers)
{
    std::vector<drive::DriveRecord> chosen;
    for (int n : numbers)
    {
        if (n > static_cast<int>(d.records.size()))
        {
            Fail("vark-cli: no record " + std::to_string(n) + " (the recorder has " +
                 std::to_string(d.records.size()) + ")");
            return std::nullopt;
        }
        chosen.push_back(d.records[static_cast<size_t>(n - 1)]);
    }
    return chosen;
}

} // namespace

bool OpenDrive(Context& ctx, DriveSession& d)
{
    const std::string given = ctx.args.Get("--drive").value_or("");
    std::error_code ec;
    if (given.empty() || !std::filesystem::is_directory(given, ec))
    {
        Fail(res::FormatWithStrings(res::ids::kNotARecorderFolder, {given}),
             res::ids::kNotARecorderFolder);
        return false;
    }
    d.root = std::filesystem::absolute(given, ec).lexically_normal().string();
    if (d.root.size() > 1 && d.root.back() == '/') d.root.pop_back();
    d.identity = drive::IdentifyDrive(d.root, platform::mounts::ReadMounts());
    d.records = drive::ListRecords(d.root);
    if (ctx.args.Has("--newest")) std::reverse(d.records.begin(), d.records.end());
    return true;
}

int CmdDrives(Context& ctx)
{
    if (!ctx.args.positional.empty()) throw UsageError{"drives takes no arguments"};
    std::string array = "[";
    int found = 0;
    for (const drive::AttachedDrive& d : drive::FindDriveRecorders())
    {
        const size_t records = drive::ListRecords(d.root).size();
        if (ctx.json)
            array += (found ? "," : "") + Json()
                                              .Str("path", d.root)
                                              .Str("label", d.identity.label)
                                              .Str("identity", d.identity.id)
                                              .Int("records", static_cast<int64_t>(records))
                                              .Text();
        else
            std::printf("%s\t%s\t%s\t%zu\n", d.root.c_str(), d.identity.label.c_str(),
                        d.identity.id.c_str(), records);
        ++found;
    }
    if (ctx.json) std::cout << Json().Raw("drives", array + "]").Text() << "\n";
    return kExitOk;
}

int DriveStatus(Context& ctx)
{
    DriveSession d;
    if (!OpenDrive(ctx, d)) return kExitFailure;
    const auto space = drive::SpaceOf(d.root);
    if (!space)
    {
        Fail(res::ids::kNoConnection);
        return kExitFailure;
    }
    const auto kb = [](uint64_t bytes) { return static_cast<uint32_t>(bytes >> 10); };
    const uint32_t totalKb = kb(space->totalBytes), freeKb = kb(space->freeBytes),
                   usedKb = kb(space->UsedBytes());
    const uint32_t freePercent =
        totalKb ? static_cast<uint32_t>(uint64_t{freeKb} * 100 / totalKb) : 0;
    const auto seconds = drive::SecondsLeft(space->freeBytes, d.records);
    const std::string timeLeft =
        seconds ? TimeLeftText(platform::AutoSpan(static_cast<double>(*seconds) / 86400.0)) : "—";
    if (ctx.json)
    {
        Json j;
        j.Str("connection", "Connected").Str("kind", "drive").Str("drive", d.root);
        j.Str("label", d.identity.label).Str("identity", d.identity.id);
        j.Int("totalKB", totalKb).Int("usedKB", usedKb).Int("freeKB", freeKb);
        j.Int("freePercent", freePercent).Str("timeLeft", timeLeft);
        j.Int("records", static_cast<int64_t>(d.records.size()));
        std::cout << j.Text() << "\n";
        return kExitOk;
    }
    std::printf("Connection:       %s (drive %s)\n", res::LoadString(res::ids::kConnected).c_str(),
                d.root.c_str());
    std::printf("Label:            %s\n", d.identity.label.c_str());
    std::printf("Identity:         %s\n", d.identity.id.c_str());
    std::printf("Clock:            —\n");
    std::printf("Memory total:     %s KB\n", KilobyteText(totalKb).c_str());
    std::printf("Memory used:      %s KB\n", KilobyteText(usedKb).c_str());
    std::printf("Memory free:      %s KB (%u%%)\n", KilobyteText(freeKb).c_str(), freePercent);
    std::printf("Time left:        %s\n", timeLeft.c_str());
    std::printf("Battery:          —\n");
    std::printf("Records:          %zu\n", d.records.size());
    return kExitOk;
}

int DriveList(Context& ctx)
{
    DriveSession d;
    if (!OpenDrive(ctx, d)) return kExitFailure;
    if (ctx.json)
    {
        std::string array = "[";
        for (size_t i = 0; i < d.records.size(); ++i)
        {
            const drive::DriveRecord& r = d.records[i];
            const vark::RecordRow row =
                vark::DriveRecordRowTexts(static_cast<int>(i), r, RowText, IsoDate);
            Json j;
            j.Int("number", static_cast<int64_t>(i + 1)).Str("file", r.path);
            j.Str("folder", r.folder).Bool("readable", r.readable);
            j.Str("start", Narrow(row[3])).Str("startFrom", StartFromName(r.startFrom));
            if (r.readable)
                j.Str("length", Narrow(row[4]))
                    .Int("rate", r.rate)
                    .Str("codec", r.codec)
                    .Int("channels", r.channels);
            array += (i ? "," : "") + j.Text();
        }
        std::cout << Json()
                         .Int("count", static_cast<int64_t>(d.records.size()))
                         .Raw("records", array + "]")
                         .Text()
                  << "\n";
        return kExitOk;
    }
    std::printf("%-4s %-19s %-8s %9s %6s %-10s %-6s %s\n", "No.", "Start", "From", "Length", "Rate",
                "Codec", "Chan", "File");
    for (size_t i = 0; i < d.records.size(); ++i)
    {
        const auto row =
            vark::DriveRecordRowTexts(static_cast<int>(i), d.records[i], RowText, IsoDate);
        std::printf("%-4s %-19s %-8s %9s %6s %-10s %-6s %s\n", Narrow(row[0]).c_str(),
                    Narrow(row[3]).c_str(), StartFromName(d.records[i].startFrom),
                    Narrow(row[4]).c_str(), Narrow(row[5]).c_str(), Narrow(row[6]).c_str(),
                    Narrow(row[7]).c_str(), Narrow(row[8]).c_str());
    }
    return kExitOk;
}

std::optional<std::vector<drive::DriveRecord>> DriveRecordsFor(Context& ctx, DriveSession& d,
                                                               const ExportRequest& request)
{
    if (!OpenDrive(ctx, d)) return std::nullopt;
    if (!request.all) return Chosen(d, request.records);
    // All that can be copied: a file that cannot be read is named and left out, not a reason
    // to copy none.
    std::vector<drive::DriveRecord> readable;
    for (const drive::DriveRecord& r : d.records)
        if (r.readable)
            readable.push_back(r);
        else
            std::fprintf(stderr, "%s\n",
                         res::FormatWithStrings(res::ids::kDriveFileUnreadable, {r.path}).c_str());
    return readable;
}

std::optional<uint32_t> DriveSerialFor(const DriveSession& d, const ExportRequest& request)
{
    if (request.serial)
    {
        RememberDriveSerial(d.identity.id, *request.serial);
        return request.serial;
    }
    if (const auto remembered = RememberedDriveSerial(d.identity.id)) return remembered;
    Fail("vark-cli: " + res::LoadString(res::ids::kDriveSerialQuestion) + " (--serial N)");
    return std::nullopt;
}

int CmdDelete(Context& ctx)
{
    if (!ctx.args.Has("--drive"))
        throw UsageError{
            "delete works on a drive recorder (--drive PATH); erase empties the recorder"};
    const bool all = ctx.args.Has("--all");
    const auto list = ctx.args.Get("--records");
    if (all == list.has_value()) throw UsageError{"give either --all or --records LIST"};
    std::vector<int> numbers;
    if (list)
    {
        const auto parsed = ParseRecordList(*list);
        if (!parsed) throw UsageError{"bad record list '" + *list + "' (e.g. 1,3-5)"};
        numbers = *parsed;
    }
    DriveSession d;
    if (!OpenDrive(ctx, d)) return kExitFailure;
    if (all)
        for (size_t i = 0; i < d.records.size(); ++i)
            numbers.push_back(static_cast<int>(i + 1));
    const auto chosen = Chosen(d, numbers);
    if (!chosen) return kExitUsage;
    const std::string question =
        res::FormatWithStrings(res::ids::kDeleteRecordsQuestion, {std::to_string(chosen->size())});
    if (!ctx.args.Has("--yes"))
    {
        if (!::isatty(0)) throw UsageError{question + " (--yes)"};
        std::cerr << question << " [y/N] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        if (answer.empty() || (answer[0] != 'y' && answer[0] != 'Y')) return kExitFailure;
    }
    std::string deleted = "[";
    int failed = 0;
    for (const drive::DriveRecord& r : *chosen)
    {
        if (::unlink(r.path.c_str()) != 0)
        {
            Fail(res::FormatWithStrings(res::ids::kDriveFileNotDeleted, {r.path}),
                 res::ids::kDriveFileNotDeleted);
            ++failed;
            continue;
        }
        if (ctx.json)
            deleted += (deleted.size() > 1 ? "," : "") + Json::Quote(r.path);
        else
            std::printf("%s\n", r.path.c_str());
    }
    if (ctx.json) std::cout << Json().Raw("deleted", deleted + "]").Text() << "\n";
    return failed ? kExitFailure : kExitOk;
}

} // namespace cli
