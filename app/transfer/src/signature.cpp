#include "transfer/signature.h"

#include "platform/finished_file.h"
#include "platform/text.h"
#include "scriba/scriba.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vark
{
namespace
{

constexpr size_t kTrailerSize = 156;
constexpr size_t kCommentTextOffset = 92;
constexpr char kCommentMarker[] = "Start date-time & sound source: ";
constexpr size_t kCommentMarkerSize = sizeof kCommentMarker - 1; // 32
constexpr size_t kMaxBaseNameUnits = 255;

struct FileCloser
{
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForReading(const std::filesystem::path& path)
{
    return File(std::fopen(path.c_str(), "rb"));
}

void TraceDigest(const Sha1Digest& digest)
{
    std::string hex;
    char buf[4];
    for (uint8_t b : digest)
    {
        std::snprintf(buf, sizeof buf, " %02X", b);
        hex += buf;
    }
    SLOG("HASH =%s", hex.c_str());
}

// Hashes every byte of the file; false when it cannot be opened or read to its end.
bool HashFile(std::FILE* f, Sha1& sha)
{
    uint8_t piece[1024];
    for (;;)
    {
        const size_t got = std::fread(piece, 1, sizeof piece, f);
        if (got > 0 && sha.Input(piece, got) != Sha1Status::kSuccess) return false;
        if (got < sizeof piece) return std::ferror(f) == 0;
    }
}

// The base name without folder and extension as UTF-16LE code units, at most 255 of them.
std::vector<uint8_t> BaseNameUtf16Le(const std::filesystem::path& wavPath)
{
    const std::wstring name = platform::Utf8ToWide(wavPath.stem().string());
    std::vector<uint16_t> units;
    for (wchar_t wc : name)
    {
        const auto c = static_cast<uint32_t>(wc);
        if (c >= 0x10000)
        {
            units.push_back(static_cast<uint16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
        else
        {
            units.push_back(static_cast<uint16_t>(c));
        }
    }
    if (units.size() > kMaxBaseNameUnits) units.resize(kMaxBaseNameUnits);
    std::vector<uint8_t> bytes;
    for (uint16_t u : units)
    {
        bytes.push_back(static_cast<uint8_t>(u));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    return bytes;
}

// The name the file was exported under, from the comment of its trailer chunk; empty when
// the last 156 bytes are not such a trailer.
std::wstring ExportedNameFromTrailer(std::FILE* f)
{
    if (std::fseek(f, 0, SEEK_END) != 0) return {};
    const long size = std::ftell(f);
    if (size < static_cast<long>(kTrailerSize)) return {};
    if (std::fseek(f, size - static_cast<long>(kTrailerSize), SEEK_SET) != 0) return {};
    char trailer[kTrailerSize];
    if (std::fread(trailer, 1, kTrailerSize, f) != kTrailerSize) return {};
    if (std::memcmp(trailer + kCommentTextOffset, kCommentMarker, kCommentMarkerSize) != 0)
        return {};
    const char* text = trailer + kCommentTextOffset + kCommentMarkerSize;
    const size_t room = kTrailerSize - kCommentTextOffset - kCommentMarkerSize;
    // The writer keeps the text within the chunk; a text that runs to the end stops there.
    return platform::Utf8ToWide(std::string(text, strnlen(text, room)));
}

} // namespace

std::filesystem::path SignaturePathFor(const std::filesystem::path& wavPath)
{
    return std::filesystem::path(wavPath.native() + ".dsg");
}

bool Sign(const std::filesystem::path& wavPath, Sha1& digestState, uint32_t serial)
{
    Sha1Digest digest{};
    if (digestState.Result(digest) != Sha1Status::kSuccess)
    {
        SLOG("Ошибка получения хэш-кода");
        return false;
    }
    TraceDigest(digest);
    const auto key = SerialKeyBytes(MakeSerialKey(serial));

    std::string bytes(reinterpret_cast<const char*>(digest.data()), digest.size());
    bytes.append(reinterpret_cast<const char*>(key.data()), key.size());
    return platform::WriteFinishedFile(SignaturePathFor(wavPath), bytes);
}

bool Verify(const std::filesystem::path& signaturePath, const std::filesystem::path& wavPath,
            uint32_t serial, std::wstring& exportedName)
{
    exportedName.clear();
    Sha1Digest storedDigest{};
    std::array<uint8_t, 20> storedKey{};
    bool longForm = false;
    {
        File sig = OpenForReading(signaturePath);
        if (!sig) return false;
        if (std::fread(storedDigest.data(), 1, storedDigest.size(), sig.get()) !=
                storedDigest.size() ||
            std::fread(storedKey.data(), 1, storedKey.size(), sig.get()) != storedKey.size())
            return false;
        uint8_t extra[4];
        longForm = std::fread(extra, 1, sizeof extra, sig.get()) == sizeof extra;
    }

    Sha1 sha;
    Sha1Digest digest{};
    std::wstring nameFound;
    File wav = OpenForReading(wavPath);
    bool hashed = wav && HashFile(wav.get(), sha);
    if (hashed && longForm)
    {
        const auto name = BaseNameUtf16Le(wavPath);
        hashed = sha.Input(name.data(), name.size()) == Sha1Status::kSuccess;
    }
    else if (hashed)
    {
        nameFound = ExportedNameFromTrailer(wav.get());
    }
    if (!hashed || sha.Result(digest) != Sha1Status::kSuccess)
    {
        SLOG("Ошибка получения хэш-кода");
        return false;
    }
    TraceDigest(digest);
    exportedName = nameFound;
    return digest == storedDigest && SerialKeyBytes(MakeSerialKey(serial)) == storedKey;
}

} // namespace vark
