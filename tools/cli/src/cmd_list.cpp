// list and params.
#include "cli.h"

#include "device/vark_settings.h"
#include "transfer/record_list_loader.h"
#include "transfer/record_row.h"

#include "platform/event.h"
#include "settings/app_settings.h"

#include "platform/text.h"
#include "res/strings.h"

#include <cstdio>
#include <iostream>

namespace cli
{

int CmdList(Context& ctx)
{
    const bool newest = ctx.args.Has("--newest");
    if (newest && ctx.args.Has("--oldest"))
        throw UsageError{"--newest and --oldest exclude each other"};
    if (ctx.args.Has("--drive")) return DriveList(ctx);
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    const auto recordCount = RecordCount(s);
    if (!recordCount) return kExitFailure;
    const int count = *recordCount;
    const int listOrder = newest ? 1 : 0;
    std::vector<vark::RecordRow> rows;
    bool failed = false;
    if (count > 0)
    {
        // The program's loader, as the "Load records list" dialog runs it; this thread takes
        // each record the way the dialog does.
        platform::Event ready{platform::Event::Reset::automatic};
        vark::RecordListHandover handover;
        handover.threadStarted = ReapplyThreadLanguage;
        handover.recordReady = [&ready](int) { ready.Set(); };
        handover.failed = [&failed](uint32_t) { failed = true; };
        vark::CRecordListLoader loader(s.device, count, listOrder, handover);
        if (!loader.Start())
        {
            Fail(res::ids::kCantOpenRecord);
            return kExitFailure;
        }
        for (;;)
        {
            ready.Wait(100);
            int index = 0;
            vark::RecordInfo info;
            if (loader.TakeRecord(index, info))
            {
                const auto row = vark::RecordRowTexts(index, info, RowText, IsoDate);
                rows.insert(rows.begin() + vark::CRecordListLoader::RowPosition(
                                               listOrder, static_cast<int>(rows.size())),
                            row);
            }
            else if (!loader.Running())
            {
                break;
            }
        }
        loader.Join();
    }
    static const char* kNames[] = {"number", "markL",      "marks",    "start",  "length",
                                   "rate",   "compressed", "channels", "sources"};
    if (ctx.json)
    {
        std::string array = "[";
        for (size_t r = 0; r < rows.size(); ++r)
        {
            Json j;
            for (int c = 0; c < vark::kRecordColumns; ++c)
                j.Str(kNames[c], Narrow(rows[r][c]));
            array += (r ? "," : "") + j.Text();
        }
        std::cout << Json().Int("count", count).Raw("records", array + "]").Text() << "\n";
    }
    else
    {
        std::printf("%-4s %-1s %-2s %-19s %9s %5s %-4s %-6s %s\n", "No.", "L", "AT", "Start",
                    "Length", "Rate", "Comp", "Chan", "Sources");
        for (const auto& row : rows)
            std::printf("%-4s %-1s %-2s %-19s %9s %5s %-4s %-6s %s\n", Narrow(row[0]).c_str(),
                        Narrow(row[1]).c_str(), Narrow(row[2]).c_str(), Narrow(row[3]).c_str(),
                        Narrow(row[4]).c_str(), Narrow(row[5]).c_str(), Narrow(row[6]).c_str(),
                        Narrow(row[7]).c_str(), Narrow(row[8]).c_str());
    }
    if (failed)
    {
        Fail(res::ids::kCantOpenRecord);
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace cli
