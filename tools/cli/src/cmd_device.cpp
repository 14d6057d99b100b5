// status, clock, pin and erase.
#include "cli.h"

#include "platform/text.h"
#include "res/strings.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace cli
{

namespace
{

std::string FirmwareText(uint16_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d.%02d", v >> 8, v & 0xFF);
    return buf;
}

bool AskYesNo(const std::string& question)
{
    if (!::isatty(0)) return false;
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

bool ParseDateTime(const std::string& text, platform::AutoDate& date)
{
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
        return false;
    date = platform::AutoDate::FromParts(y, mo, d, h, mi, s);
    return date.IsValid();
}

} // namespace

int CmdStatus(Context& ctx)
{
    if (ctx.args.Has("--drive")) return DriveStatus(ctx);
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    vark::CVarkDevice& dev = s.device;
    dev.ReadParameters();
    platform::AutoDate clock;
    const bool haveClock = dev.GetClock(clock);
    uint32_t total = 0, free = 0;
    const bool haveMemory = dev.GetMemory(total, free);
    const uint16_t fw = dev.FirmwareVersion();
    const uint32_t totalKb = haveMemory ? vark::MemoryKilobytes(total, fw) : 0;
    const uint32_t freeKb = haveMemory ? vark::MemoryKilobytes(free, fw) : 0;
    const uint32_t usedKb = totalKb >= freeKb ? totalKb - freeKb : 0;
    const uint32_t freePercent =
        totalKb ? static_cast<uint32_t>(uint64_t{freeKb} * 100 / totalKb) : 0;
    const std::string timeLeft =
        haveMemory ? TimeLeftText(vark::RecordingTimeLeft(freeKb, dev.Params())) : "00:00:00";
    // A figure the recorder did not answer is no 0: the status fails instead.
    bool charging = false;
    const auto battery = dev.QueryBattery(charging);
    const bool batteryLevelKnown = fw >= vark::kFirmwareSectorUnits;
    const auto records = dev.QueryRecordCount();
    const auto capability = dev.QueryCapabilityLevel();
    if (!records || !battery || !capability)
    {
        Fail(!records   ? res::ids::kCantReadRecordCount
             : !battery ? res::ids::kCantReadBattery
                        : res::ids::kCantReadCapability);
        return kExitFailure;
    }
    const std::string clockText = haveClock ? clock.Format("%Y.%m.%d %H:%M:%S") : "";

    if (ctx.json)
    {
        Json j;
        j.Str("connection", "Connected").Bool("pinLocked", s.pinLocked).Str("device", s.path);
        j.Int("serialNumber", dev.SerialNumber()).Str("firmware", FirmwareText(fw));
        j.Int("capabilityLevel", *capability).Str("clock", clockText);
        j.Int("totalKB", totalKb).Int("usedKB", usedKb).Int("freeKB", freeKb);
        j.Int("freePercent", freePercent).Str("timeLeft", timeLeft);
        if (batteryLevelKnown) j.Int("batteryPercent", *battery);
        j.Bool("charging", charging).Int("records", *records);
        std::cout << j.Text() << "\n";
        return kExitOk;
    }
    std::printf("Connection:       %s (%s)\n", res::LoadString(res::ids::kConnected).c_str(),
                s.pinLocked ? "PIN lock on, unlocked" : "no PIN lock");
    std::printf("Serial number:    %d\n", static_cast<int>(dev.SerialNumber()));
    std::printf("Firmware:         %s\n", FirmwareText(fw).c_str());
    std::printf("Capability level: %d\n", *capability);
    std::printf("Clock:            %s\n", clockText.c_str());
    std::printf("Memory total:     %s KB\n", KilobyteText(totalKb).c_str());
    std::printf("Memory used:      %s KB\n", KilobyteText(usedKb).c_str());
    std::printf("Memory free:      %s KB (%u%%)\n", KilobyteText(freeKb).c_str(), freePercent);
    std::printf("Time left:        %s\n", timeLeft.c_str());
    if (batteryLevelKnown)
        std::printf("Battery:          %d%%%s\n", *battery, charging ? ", charging" : "");
    else
        std::printf("Battery:          %s\n", charging ? "charging" : "not charging");
    std::printf("Records:          %u\n", *records);
    return kExitOk;
}

int CmdClock(Context& ctx)
{
    if (ctx.args.positional.size() != 2 || ctx.args.positional[0] != "set")
        throw UsageError{"clock set now|\"YYYY-MM-DD HH:MM:SS\""};
    platform::AutoDate date;
    if (ctx.args.positional[1] == "now")
    {
        date = platform::AutoDate::Now();
        // Whole seconds, like the time dialog.
        platform::DateParts p;
        date.GetParts(p);
        date = platform::AutoDate::FromParts(p.year, p.month, p.day, p.hour, p.minute, p.second);
    }
    else if (!ParseDateTime(ctx.args.positional[1], date))
    {
        throw UsageError{"not a date and time: " + ctx.args.positional[1]};
    }
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    if (!s.device.SetClock(date))
    {
        Fail(res::ids::kCantSaveParameters);
        return kExitFailure;
    }
    if (ctx.json)
        std::cout << Json().Str("clock", date.Format("%Y.%m.%d %H:%M:%S")).Text() << "\n";
    else
        std::printf("Clock set to %s\n", date.Format("%Y.%m.%d %H:%M:%S").c_str());
    return kExitOk;
}

int CmdPin(Context& ctx)
{
    if (ctx.args.positional.size() != 1 || ctx.args.positional[0] != "change" ||
        !ctx.args.Has("--new"))
        throw UsageError{"pin change --old PIN --new PIN"};
    const std::string newPin = *ctx.args.Get("--new");
    if (newPin.size() > 8) throw UsageError{"a PIN has at most 8 characters"};
    if (const auto old = ctx.args.Get("--old")) ctx.args.options["--pin"] = *old;
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    if (!s.device.ChangeAccessCode(platform::Utf8ToWide(newPin)))
    {
        Fail(res::ids::kCantSetPinCode);
        return kExitFailure;
    }
    if (ctx.json)
        std::cout << Json().Bool("changed", true).Text() << "\n";
    else
        std::printf("PIN changed\n");
    return kExitOk;
}

int CmdErase(Context& ctx)
{
    if (!ctx.args.Has("--yes"))
    {
        if (!AskYesNo(res::LoadString(res::ids::kDeleteAllQuestion)) ||
            !AskYesNo(res::LoadString(res::ids::kDeleteAllTakesTime)))
            return kExitFailure;
    }
    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    if (!s.device.StartEraseAll())
    {
        Fail("Can't delete records.");
        return kExitFailure;
    }
    const bool tty = ::isatty(2);
    const bool done =
        vark::WaitForEraseEnd(s.device,
                              [&](int ms)
                              {
                                  if (tty && !ctx.json)
                                      std::fprintf(stderr, "\rErasing... %d s", ms / 1000);
                              });
    if (tty && !ctx.json) std::fprintf(stderr, "\n");
    if (!done)
    {
        Fail(res::ids::kNoConnection);
        return kExitFailure;
    }
    const auto left = s.device.QueryRecordCount();
    if (!left)
    {
        Fail(res::ids::kCantReadRecordCount);
        return kExitFailure;
    }
    if (ctx.json)
        std::cout << Json().Bool("erased", true).Int("records", *left).Text() << "\n";
    else
        std::printf("All records deleted (%u left)\n", *left);
    return kExitOk;
}

} // namespace cli
