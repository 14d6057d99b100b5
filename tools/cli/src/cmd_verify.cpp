// verify and key: the signature check and the serial keys.
#include "cli.h"
#include "entries.h"

#include "platform/text.h"
#include "res/strings.h"
#include "transfer/signature.h"

#include <filesystem>
#include <iostream>

namespace cli
{
namespace
{

std::string Trimmed(const std::string& text)
{
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The serial number of --serial N or of the attached recorder (--attached); 0 after a
// failure that has been reported.
uint32_t ChosenSerial(Context& ctx, const char* usage)
{
    const auto typed = ctx.args.Get("--serial");
    const bool attached = ctx.args.Has("--attached");
    if (typed.has_value() == attached) throw UsageError{usage};
    if (typed)
    {
        const auto serial = ParseSerial(Trimmed(*typed));
        if (!serial) throw UsageError{res::LoadString(res::ids::kWrongSerialNumber)};
        return *serial;
    }
    Session s;
    if (!ctx.Connect(s)) return 0;
    const uint32_t serial = SignatureSerial(s.device.SerialNumber());
    if (serial == 0) Fail(res::ids::kWrongSerialNumber);
    return serial;
}

// A path the user gave: present and naming an existing file, else the program's message.
std::filesystem::path ExistingFile(const std::string& given)
{
    const std::string path = Trimmed(given);
    if (path.empty()) throw UsageError{res::LoadString(res::ids::kEnterFileName)};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw UsageError{res::LoadString(res::ids::kFileNotFound) + ": " + path};
    return path;
}

} // namespace

int CmdVerify(Context& ctx)
{
    static const char* kUsage = "verify FILE.wav [--dsg FILE.dsg] (--serial N | --attached)\n"
                                "       verify FILE --minisig SIG [--public-key KEY]\n"
                                "       verify --manifest DIR";
    if (const auto folder = ctx.args.Get("--manifest"))
    {
        if (!ctx.args.positional.empty()) throw UsageError{kUsage};
        return VerifyManifest(ctx, *folder);
    }
    if (ctx.args.positional.size() != 1) throw UsageError{kUsage};
    const std::filesystem::path wav = ExistingFile(ctx.args.positional[0]);
    if (const auto minisig = ctx.args.Get("--minisig"))
        return VerifyOpenSignature(ctx, wav.string(), ExistingFile(*minisig).string());
    const auto dsgOption = ctx.args.Get("--dsg");
    const std::filesystem::path dsg =
        ExistingFile(dsgOption ? *dsgOption : vark::SignaturePathFor(wav).string());
    const uint32_t serial = ChosenSerial(ctx, kUsage);
    if (serial == 0) return kExitFailure;

    std::wstring exported;
    const bool authentic = vark::Verify(dsg, wav, serial, exported);
    // The exported name is shown only when the file no longer carries it.
    const bool renamed =
        authentic && !exported.empty() && exported != platform::Utf8ToWide(wav.stem().string());
    if (ctx.json)
    {
        Json j;
        j.Bool("authentic", authentic).Str("exportedName", Narrow(exported));
        j.Bool("renamed", renamed);
        std::cout << j.Text() << "\n";
    }
    else
    {
        std::cout << res::LoadString(authentic ? res::ids::kFileIsAuthentic
                                               : res::ids::kFileChanged)
                  << "\n";
        if (renamed)
            std::cout << res::LoadString(res::ids::kFileNameChanged) << Narrow(exported) << "\n";
    }
    return authentic ? kExitOk : kExitFailure;
}

int CmdKey(Context& ctx)
{
    if (!ctx.args.positional.empty())
        throw UsageError{"key (--serial N | --attached) | key --signing [--export FILE]"};
    if (ctx.args.Has("--signing")) return SigningKeyCommand(ctx);
    const uint32_t serial = ChosenSerial(ctx, "key (--serial N | --attached)");
    if (serial == 0) return kExitFailure;
    const std::string key = vark::SerialKeyText(vark::MakeSerialKey(serial));
    if (ctx.json)
        std::cout << Json().Int("serial", static_cast<int32_t>(serial)).Str("key", key).Text()
                  << "\n";
    else
        std::cout << key << "\n";
    return kExitOk;
}

} // namespace cli
