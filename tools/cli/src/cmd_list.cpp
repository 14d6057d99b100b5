// list and params.
#include "cli.h"

#include "device/vark_settings.h"
#include "transfer/record_row.h"

#include "platform/text.h"

#include <cstdio>
#include <iostream>
#include <map>

namespace cli {

namespace {

// Texts of the records list. They move to the program's string tables with the dialogs.
std::wstring RowText(uint32_t id)
{
    static const std::map<uint32_t, std::wstring> texts = {
        {115, L"Internal mic"}, {116, L"Left external mic"}, {117, L"Right external mic"},
        {118, L"Left linear input"}, {119, L"Right linear input"}, {156, L"stereo"},
        {157, L"mono"}, {158, L"yes"}, {159, L"no"}, {160, L"L"}, {161, L"T"}, {162, L"A"}};
    const auto it = texts.find(id);
    return it == texts.end() ? L"" : it->second;
}

std::wstring IsoDate(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%Y-%m-%d %H:%M:%S"));
}

} // namespace

int CmdList(Context& ctx)
{
    const bool newest = ctx.args.Has("--newest");
    if (newest && ctx.args.Has("--oldest")) throw UsageError{"--newest and --oldest exclude each other"};
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    const int count = s.device.GetRecordCount();
    std::vector<vark::RecordRow> rows;
    bool failed = false;
    for (int k = 0; k < count; ++k) {
        const int index = newest ? count - 1 - k : k;
        vark::RecordInfo info;
        if (!s.device.GetRecordInfo(static_cast<uint16_t>(index), info)) {
            failed = true;
            break;
        }
        auto row = vark::RecordRowTexts(index, info, RowText, IsoDate);
        if (newest)
            rows.insert(rows.begin(), row);
        else
            rows.push_back(row);
    }
    static const char* kNames[] = {"number", "markL", "marks", "start", "length",
                                   "rate", "compressed", "channels", "sources"};
    if (ctx.json) {
        std::string array = "[";
        for (size_t r = 0; r < rows.size(); ++r) {
            Json j;
            for (int c = 0; c < vark::kRecordColumns; ++c) j.Str(kNames[c], Narrow(rows[r][c]));
            array += (r ? "," : "") + j.Text();
        }
        std::cout << Json().Int("count", count).Raw("records", array + "]").Text() << "\n";
    } else {
        std::printf("%-4s %-1s %-2s %-19s %9s %5s %-4s %-6s %s\n", "No.", "L", "AT", "Start",
                    "Length", "Rate", "Comp", "Chan", "Sources");
        for (const auto& row : rows)
            std::printf("%-4s %-1s %-2s %-19s %9s %5s %-4s %-6s %s\n", Narrow(row[0]).c_str(),
                        Narrow(row[1]).c_str(), Narrow(row[2]).c_str(), Narrow(row[3]).c_str(),
                        Narrow(row[4]).c_str(), Narrow(row[5]).c_str(), Narrow(row[6]).c_str(),
                        Narrow(row[7]).c_str(), Narrow(row[8]).c_str());
    }
    if (failed) {
        Fail("Can't open record.");
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace cli
