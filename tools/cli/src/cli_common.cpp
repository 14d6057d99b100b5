#include "cli.h"

#include "platform/devio.h"
#include "platform/text.h"
#include "res/strings.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace cli
{

std::optional<std::string> Args::Get(const std::string& name) const
{
    const auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

std::string Narrow(const std::wstring& w)
{
    return platform::WideToUtf8(w);
}

namespace
{
bool jsonErrors = false;
} // namespace

void SetJsonErrors(bool on)
{
    jsonErrors = on;
}

void Fail(const std::string& message, uint32_t code)
{
    std::cerr << message << "\n";
    if (jsonErrors)
        std::cout
            << Json().Raw("error", Json().Str("message", message).Int("code", code).Text()).Text()
            << std::endl;
}

void Fail(uint32_t messageId)
{
    Fail(res::LoadString(messageId), messageId);
}

std::wstring RowText(uint32_t id)
{
    return platform::Utf8ToWide(res::LoadString(id));
}

std::wstring IsoDate(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%Y-%m-%d %H:%M:%S"));
}

std::optional<int> RecordCount(Session& s)
{
    const auto count = s.device.QueryRecordCount();
    if (!count) Fail(res::ids::kCantReadRecordCount);
    return count;
}

std::wstring CommandLinePath(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return platform::Utf8ToWide(ec ? path : absolute.string());
}

bool Context::Connect(Session& s)
{
    const std::wstring pin = platform::Utf8ToWide(args.Get("--pin").value_or(""));
    bool refused = false;
    // Connecting presents the empty PIN first; the given PIN only when that is refused.
    const auto connect = [&](const std::string& path)
    {
        if (!s.device.Open(path)) return false;
        s.path = path;
        if (s.device.PresentAccessCode(L""))
        {
            platform::AutoDate clock;
            if (s.device.GetClock(clock)) return true;
        }
        s.pinLocked = true;
        if (!pin.empty() && s.device.PresentAccessCode(pin))
        {
            platform::AutoDate clock;
            if (s.device.GetClock(clock)) return true;
        }
        refused = true;
        return false;
    };
    bool ok = false;
    if (const auto device = args.Get("--device"))
        ok = connect(*device);
    else
        ok = vark::FindRecorder(connect);
    if (!ok)
    {
        // Without --pin nothing was wrong with a PIN: say how to give one.
        Fail(!refused      ? res::ids::kNoConnection
             : pin.empty() ? res::ids::kRecorderLocked
                           : res::ids::kWrongPinCode);
        return false;
    }
    return true;
}

void Json::Key(const std::string& key)
{
    if (!body_.empty()) body_ += ",";
    body_ += Quote(key) + ":";
}

Json& Json::Str(const std::string& key, const std::string& value)
{
    Key(key);
    body_ += Quote(value);
    return *this;
}

Json& Json::Num(const std::string& key, double value)
{
    Key(key);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", value);
    body_ += buf;
    return *this;
}

Json& Json::Int(const std::string& key, int64_t value)
{
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

Json& Json::Bool(const std::string& key, bool value)
{
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

Json& Json::Raw(const std::string& key, const std::string& json)
{
    Key(key);
    body_ += json;
    return *this;
}

std::string Json::Quote(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s)
    {
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20)
            {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            }
            else
            {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

} // namespace cli
