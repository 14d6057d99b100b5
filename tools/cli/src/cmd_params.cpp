// params show | save FILE | load FILE [--write] | set KEY=VALUE... [--write]
#include "cli.h"
#include "params_keys.h"

#include "device/vark_settings.h"
#include "platform/text.h"
#include "res/strings.h"

#include <cstdio>
#include <iostream>

namespace cli
{

namespace
{

void Show(const Context& ctx, const vark::VarkParams& p)
{
    const auto keys = ParamsToKeys(p);
    if (ctx.json)
    {
        Json j;
        for (const auto& [k, v] : keys)
            j.Str(k, v);
        std::cout << j.Text() << "\n";
        return;
    }
    for (const auto& [k, v] : keys)
        std::printf("%s=%s\n", k.c_str(), v.c_str());
}

// The recorder would store "on at threshold 0" as off: said before anything is written.
constexpr char kAccuOnAtZero[] =
    "voice activation cannot be on at threshold 0 (the recorder stores that as off): "
    "add voice-threshold=1..120";

int Write(vark::CVarkDevice& device)
{
    if (device.WriteParameters()) return kExitOk;
    Fail(res::ids::kCantSaveParameters);
    return kExitFailure;
}

} // namespace

int CmdParams(Context& ctx)
{
    const auto& pos = ctx.args.positional;
    if (pos.empty()) throw UsageError{"params show|save FILE|load FILE|set KEY=VALUE..."};
    const std::string& what = pos[0];
    if ((what == "save" || what == "load") && pos.size() != 2)
        throw UsageError{"params " + what + " FILE.vrp"};
    if (what == "show" && pos.size() != 1) throw UsageError{"params show takes no arguments"};
    if (what != "show" && what != "save" && what != "load" && what != "set")
        throw UsageError{"unknown params command: " + what};

    // Check every entry before touching the recorder: a wrong entry changes nothing.
    vark::VarkParams edits;
    if (what == "set")
    {
        if (pos.size() < 2) throw UsageError{"params set KEY=VALUE..."};
        for (size_t i = 1; i < pos.size(); ++i)
        {
            const auto eq = pos[i].find('=');
            std::string error;
            if (eq == std::string::npos ||
                !SetParamKey(edits, pos[i].substr(0, eq), pos[i].substr(eq + 1), error))
                throw UsageError{eq == std::string::npos ? "not KEY=VALUE: " + pos[i] : error};
        }
    }

    Session s;
    if (!ctx.Connect(s)) return kExitFailure;
    s.device.ReadParameters();
    vark::VarkParams& p = s.device.Params();
    if (what == "show")
    {
        Show(ctx, p);
        return kExitOk;
    }
    if (what == "save")
    {
        if (!vark::SaveParamsFile(CommandLinePath(pos[1]), p))
        {
            Fail(res::ids::kDiskWriteError);
            return kExitFailure;
        }
        if (!ctx.json) std::printf("Saved %s\n", pos[1].c_str());
        return kExitOk;
    }
    if (what == "load")
    {
        if (!vark::LoadParamsFile(CommandLinePath(pos[1]), p))
        {
            Fail("Not a valid recorder parameter file: " + pos[1]);
            return kExitFailure;
        }
        Show(ctx, p);
        if (!ctx.args.Has("--write")) return kExitOk;
        if (vark::AccuOnAtZero(p))
        {
            Fail(std::string("vark-cli: not written: ") + kAccuOnAtZero);
            return kExitFailure;
        }
        return Write(s.device);
    }
    for (size_t i = 1; i < pos.size(); ++i)
    {
        const auto eq = pos[i].find('=');
        std::string error;
        SetParamKey(p, pos[i].substr(0, eq), pos[i].substr(eq + 1), error);
    }
    if (vark::AccuOnAtZero(p)) throw UsageError{kAccuOnAtZero};
    Show(ctx, p);
    if (!ctx.args.Has("--write"))
    {
        if (!ctx.json) std::fprintf(stderr, "(not written: add --write to send to the recorder)\n");
        return kExitOk;
    }
    return Write(s.device);
}

} // namespace cli
