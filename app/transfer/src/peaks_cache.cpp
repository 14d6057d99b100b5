#include "transfer/peaks_cache.h"

#include "platform/finished_file.h"
#include "platform/little_endian.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "transfer/sha1.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace vark
{

namespace
{
constexpr char kMagic[4] = {'V', 'K', 'P', 'K'};
constexpr int kMaxChannels = 8;
constexpr int kMaxWidth = 1 << 16;

class Writer
{
public:
    void Bytes(const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }
    void U16(uint16_t v)
    {
        uint8_t b[2];
        platform::StoreLE16(b, v);
        Bytes(b, 2);
    }
    void U32(uint32_t v)
    {
        uint8_t b[4];
        platform::StoreLE32(b, v);
        Bytes(b, 4);
    }
    void U64(uint64_t v)
    {
        uint8_t b[8];
        platform::StoreLE64(b, v);
        Bytes(b, 8);
    }
    std::string out;
};

class Reader
{
public:
    explicit Reader(std::string_view b) : bytes(b) {}
    bool Take(size_t n, const uint8_t*& p)
    {
        if (bytes.size() - at < n) return false;
        p = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
        at += n;
        return true;
    }
    bool U16(uint16_t& v)
    {
        const uint8_t* p;
        if (!Take(2, p)) return false;
        v = platform::LoadLE16(p);
        return true;
    }
    bool U32(uint32_t& v)
    {
        const uint8_t* p;
        if (!Take(4, p)) return false;
        v = platform::LoadLE32(p);
        return true;
    }
    bool U64(uint64_t& v)
    {
        const uint8_t* p;
        if (!Take(8, p)) return false;
        v = platform::LoadLE64(p);
        return true;
    }
    size_t Left() const { return bytes.size() - at; }
    std::string_view bytes;
    size_t at = 0;
};

// Segment bounds are kept in microseconds.
uint64_t Micros(double seconds)
{
    return uint64_t(std::max(0.0, seconds) * 1e6 + 0.5);
}
} // namespace

std::filesystem::path PeaksCacheFolder()
{
    const std::string cache = platform::CacheHomeFolder();
    if (cache.empty()) return {};
    return std::filesystem::path(cache) / "Mirvanta" / "Varke-P" / "peaks";
}

std::string RecordPeaksIdentity(const RecordInfo& info)
{
    return "record:" + platform::WideToUtf8(info.serialNumber) + ":" +
           info.start.Format("%Y%m%dT%H%M%S") + ":" + std::to_string(info.dataSize) + ":" +
           std::to_string(info.Rate()) + ":" + std::to_string(info.Channels()) + ":" +
           (info.compressed ? "mulaw" : "pcm");
}

std::string FilePeaksIdentity(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path, ec);
    struct stat st
    {
    };
    if (ec || ::stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return "file:" + real.string() + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(int64_t(st.st_mtim.tv_sec)) + "." +
           std::to_string(int64_t(st.st_mtim.tv_nsec));
}

std::string EncodePeaks(std::string_view identity, const numera::WaveformPeaks& peaks)
{
    Writer w;
    w.Bytes(kMagic, 4);
    w.U32(numera::kPeaksVersion);
    w.U32(uint32_t(identity.size()));
    w.Bytes(identity.data(), identity.size());
    w.U32(uint32_t(peaks.rate));
    w.U16(uint16_t(peaks.channels));
    w.U32(uint32_t(peaks.width));
    w.U64(uint64_t(std::max<int64_t>(0, peaks.frames)));
    for (size_t i = 0; i < peaks.min.size() && i < peaks.max.size(); ++i)
    {
        w.U16(uint16_t(peaks.min[i]));
        w.U16(uint16_t(peaks.max[i]));
    }
    w.U32(uint32_t(peaks.segments.size()));
    for (const numera::SpeechSegment& s : peaks.segments)
    {
        w.U64(Micros(s.start));
        w.U64(Micros(s.end));
    }
    return w.out;
}

std::optional<numera::WaveformPeaks> DecodePeaks(std::string_view bytes, std::string_view identity,
                                                 int width)
{
    Reader r(bytes);
    const uint8_t* p = nullptr;
    uint32_t version = 0, idLength = 0, rate = 0, w = 0, count = 0;
    uint16_t channels = 0;
    uint64_t frames = 0;
    if (!r.Take(4, p) || !std::equal(p, p + 4, kMagic) || !r.U32(version) ||
        version != numera::kPeaksVersion || !r.U32(idLength) || idLength != identity.size() ||
        !r.Take(idLength, p) ||
        std::string_view(reinterpret_cast<const char*>(p), idLength) != identity)
        return std::nullopt;
    if (!r.U32(rate) || !r.U16(channels) || !r.U32(w) || !r.U64(frames)) return std::nullopt;
    if (rate == 0 || channels == 0 || channels > kMaxChannels || int(w) != width || w == 0 ||
        w > uint32_t(kMaxWidth) || frames > uint64_t(INT64_MAX))
        return std::nullopt;
    numera::WaveformPeaks peaks;
    peaks.rate = int(rate);
    peaks.channels = channels;
    peaks.width = int(w);
    peaks.frames = int64_t(frames);
    const size_t values = size_t(w) * channels;
    if (r.Left() < values * 4) return std::nullopt;
    peaks.min.resize(values);
    peaks.max.resize(values);
    for (size_t i = 0; i < values; ++i)
    {
        uint16_t lo = 0, hi = 0;
        r.U16(lo);
        r.U16(hi);
        peaks.min[i] = int16_t(lo);
        peaks.max[i] = int16_t(hi);
    }
    if (!r.U32(count) || r.Left() != size_t(count) * 16) return std::nullopt;
    for (uint32_t i = 0; i < count; ++i)
    {
        uint64_t start = 0, end = 0;
        r.U64(start);
        r.U64(end);
        if (end < start) return std::nullopt;
        peaks.segments.push_back({double(start) / 1e6, double(end) / 1e6});
    }
    return peaks;
}

PeaksCache::PeaksCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path PeaksCache::FileOf(const std::string& identity, int width) const
{
    Sha1 sha;
    const std::string key = identity + "\n" + std::to_string(width);
    sha.Input(key.data(), key.size());
    Sha1Digest digest{};
    sha.Result(digest);
    std::string name;
    for (const uint8_t b : digest)
    {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        name += hex;
    }
    return folder_ / (name + ".peaks");
}

std::optional<numera::WaveformPeaks> PeaksCache::Load(const std::string& identity, int width) const
{
    if (folder_.empty() || identity.empty()) return std::nullopt;
    std::ifstream in(FileOf(identity, width), std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return DecodePeaks(bytes, identity, width);
}

bool PeaksCache::Store(const std::string& identity, const numera::WaveformPeaks& peaks) const
{
    if (folder_.empty() || identity.empty() || peaks.width <= 0) return false;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!platform::WriteFinishedFile(FileOf(identity, peaks.width), EncodePeaks(identity, peaks)))
        return false;
    Prune();
    return true;
}

void PeaksCache::Prune() const
{
    std::error_code ec;
    std::vector<std::pair<std::filesystem::file_time_type, std::filesystem::path>> entries;
    for (const auto& e : std::filesystem::directory_iterator(folder_, ec))
        if (e.path().extension() == ".peaks") entries.emplace_back(e.last_write_time(ec), e.path());
    if (entries.size() <= kMaxEntries) return;
    std::sort(entries.begin(), entries.end());
    for (size_t i = 0; i + kMaxEntries < entries.size(); ++i)
        std::filesystem::remove(entries[i].second, ec);
}

} // namespace vark
