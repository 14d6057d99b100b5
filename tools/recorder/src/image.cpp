// Image folder of a virtual recorder.
//
//   DIR/recorder.txt        the state, a UTF-8 text file of "key = value" lines; '#' starts a
//                           comment; blank lines are ignored. Section [recorder] holds the
//                           identity (serial, firmware, capability, battery, charging,
//                           memory_total in bytes) and the committed settings in the
//                           recorder's own encodings (access_code, clock_offset in seconds
//                           against the host's UTC clock, battery_indication, rate16k,
//                           uncompressed, stereo, source_left, source_right, level_left,
//                           level_right, agc, button_mode, record_button, accu_threshold,
//                           timer0..timer4 as "start duration" in recorder seconds, and
//                           loop_seconds). Each [record] section is one record, in order:
//                           start ("YYYY-MM-DD HH:MM:SS" on the recorder's clock), header
//                           (the header word) and data (a file name in DIR).
//   DIR/record-NNN.raw      a record's data exactly as stored on the recorder.
//
// Numbers may be decimal or 0x-hexadecimal. Keys left out keep their defaults.
#include "recorder/image.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace recorder
{

namespace
{

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, unsigned* m, unsigned* d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*m <= 2));
}

const int64_t kDays2000 = DaysFromCivil(2000, 1, 1);

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool ParseNumber(const std::string& text, uint64_t max, uint64_t* value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno || *end || v > max) return false;
    *value = v;
    return true;
}

bool ParseSigned(const std::string& text, int64_t min, int64_t max, int64_t* value)
{
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno || *end || v < min || v > max) return false;
    *value = v;
    return true;
}

bool ReadWhole(const std::string& path, std::vector<uint8_t>* data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteAtomically(const std::string& path, const void* data, size_t size)
{
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool ok =
        std::fwrite(data, 1, size, f) == size && std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    if (std::fclose(f) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0)
    {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string Hex(uint32_t v, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
    return buf;
}

std::string DescribeHeader(uint32_t h)
{
    std::string s = (h & kHeaderRate16k) ? "16000 Hz" : "8000 Hz";
    s += (h & kHeaderStereo) ? " stereo" : " mono";
    s += (h & kHeaderUncompressed) ? " PCM" : " mu-law";
    if (h & kHeaderMarkT) s += " T";
    if (h & kHeaderMarkL) s += " L";
    if (h & kHeaderMarkA) s += " A";
    s += ", sources " + std::to_string((h >> kHeaderSourcesShift) & 0x1F);
    return s;
}

bool RecordSizeFits(const StoredRecord& r)
{
    const size_t frame =
        ((r.header & kHeaderUncompressed) ? 2u : 1u) * ((r.header & kHeaderStereo) ? 2u : 1u);
    return r.data.size() % frame == 0;
}

} // namespace

std::string FormatRecorderTime(uint32_t seconds)
{
    int y;
    unsigned m, d;
    CivilFromDays(kDays2000 + seconds / 86400, &y, &m, &d);
    const unsigned rest = seconds % 86400;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", y, m, d, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return buf;
}

bool ParseRecorderTime(const std::string& text, uint32_t* seconds)
{
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
        6)
        return false;
    if (mo < 1 || mo > 12 || d < 1 || h > 23 || h < 0 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    // Reject days past the end of the month by a round trip.
    int y2;
    unsigned m2, d2;
    const int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    CivilFromDays(days, &y2, &m2, &d2);
    if (y2 != y || static_cast<int>(m2) != mo || static_cast<int>(d2) != d) return false;
    const int64_t total = (days - kDays2000) * 86400 + h * 3600 + mi * 60 + s;
    if (total < 0 || total > 0xFFFFFFFFll) return false;
    *seconds = static_cast<uint32_t>(total);
    return true;
}

int64_t HostSecondsSince2000()
{
    return static_cast<int64_t>(std::time(nullptr)) - 946684800;
}

int64_t LocalUtcOffsetSeconds()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local.tm_gmtoff;
}

bool PinToAccessCode(const std::string& pin, uint32_t* code)
{
    if (pin.size() > 8) return false;
    uint64_t v = 0;
    for (char c : pin)
    {
        if (c < '0' || c > '9') return false;
        v = v * 16 + static_cast<unsigned>(c - '0');
    }
    *code = static_cast<uint32_t>(v > 0x7FFFFFFF ? 0x7FFFFFFF : v);
    return true;
}

bool LoadImage(const std::string& dir, RecorderImage* image, std::string* error)
{
    const std::string path = dir + "/" + kStateFileName;
    std::ifstream in(path);
    if (!in)
    {
        *error = path + ": cannot be read";
        return false;
    }
    RecorderImage img;
    RecorderIdentity& id = img.identity;
    RecorderSettings& st = img.settings;
    std::string section;
    std::set<std::string> seen;
    std::vector<std::string> recordFiles;
    std::vector<int> recordLines;
    std::string line;
    int lineNo = 0;
    const auto fail = [&](const std::string& why)
    {
        *error = path + ":" + std::to_string(lineNo) + ": " + why;
        return false;
    };
    const auto finishRecord = [&]()
    {
        if (section != "record") return true;
        if (!seen.count("start") || !seen.count("header") || !seen.count("data"))
            return fail("record needs start, header and data");
        return true;
    };
    while (std::getline(in, line))
    {
        ++lineNo;
        if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        line = Trim(line);
        if (line.empty()) continue;
        if (line.front() == '[')
        {
            if (line.back() != ']') return fail("malformed section line");
            if (!finishRecord()) return false;
            section = Trim(line.substr(1, line.size() - 2));
            if (section != "recorder" && section != "record")
                return fail("unknown section [" + section + "]");
            if (section == "record")
            {
                img.records.emplace_back();
                recordFiles.emplace_back();
                recordLines.push_back(lineNo);
            }
            seen.clear();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) return fail("expected key = value");
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (section.empty()) return fail("key outside a section");
        if (!seen.insert(key).second) return fail("duplicate key '" + key + "'");
        uint64_t n = 0;
        int64_t sn = 0;
        const auto u8 = [&](uint8_t* field, uint64_t max = 0xFF)
        {
            if (!ParseNumber(value, max, &n)) return false;
            *field = static_cast<uint8_t>(n);
            return true;
        };
        if (section == "record")
        {
            StoredRecord& r = img.records.back();
            if (key == "start")
            {
                if (!ParseRecorderTime(value, &r.start))
                    return fail("bad start time '" + value + "' (want YYYY-MM-DD HH:MM:SS)");
            }
            else if (key == "header")
            {
                if (!ParseNumber(value, kHeaderUsedBits, &n))
                    return fail("bad header word '" + value + "' (bits 0-10 only)");
                r.header = static_cast<uint32_t>(n);
            }
            else if (key == "data")
            {
                if (value.empty() || value.find('/') != std::string::npos || value[0] == '.')
                    return fail("data must name a file in the image folder");
                recordFiles.back() = value;
            }
            else
                return fail("unknown key '" + key + "'");
            continue;
        }
        bool ok = true;
        if (key == "serial")
        {
            ok = ParseSigned(value, -32768, 65535, &sn);
            if (ok) id.serial = static_cast<int16_t>(static_cast<uint16_t>(sn));
        }
        else if (key == "firmware")
        {
            ok = ParseNumber(value, 0xFFFF, &n);
            if (ok) id.firmware = static_cast<uint16_t>(n);
        }
        else if (key == "capability")
            ok = u8(&id.capability);
        else if (key == "battery")
            ok = u8(&id.battery);
        else if (key == "charging")
        {
            uint8_t b = 0;
            ok = u8(&b, 1);
            id.charging = b != 0;
        }
        else if (key == "memory_total")
        {
            ok = ParseNumber(value, 0xFFFFFFFFull * 512, &n);
            if (ok) id.memoryTotal = n;
        }
        else if (key == "access_code")
        {
            ok = ParseNumber(value, 0xFFFFFFFF, &n);
            if (ok) st.accessCode = static_cast<uint32_t>(n);
        }
        else if (key == "clock_offset")
        {
            ok = ParseSigned(value, -(1ll << 40), 1ll << 40, &sn);
            if (ok) st.clockOffset = sn;
        }
        else if (key == "battery_indication")
            ok = u8(&st.batteryIndication, 1);
        else if (key == "rate16k")
            ok = u8(&st.rate16k);
        else if (key == "uncompressed")
            ok = u8(&st.uncompressed);
        else if (key == "stereo")
            ok = u8(&st.stereo, 1);
        else if (key == "source_left")
            ok = u8(&st.sourceLeft);
        else if (key == "source_right")
            ok = u8(&st.sourceRight);
        else if (key == "level_left")
            ok = u8(&st.levelLeft, 31);
        else if (key == "level_right")
            ok = u8(&st.levelRight, 31);
        else if (key == "agc")
            ok = u8(&st.agc);
        else if (key == "button_mode")
            ok = u8(&st.buttonMode);
        else if (key == "record_button")
            ok = u8(&st.recordButton, 1);
        else if (key == "accu_threshold")
        {
            ok = ParseNumber(value, 0xFFFFFFFF, &n);
            if (ok) st.accuThreshold = static_cast<uint32_t>(n);
        }
        else if (key == "loop_seconds")
        {
            ok = ParseNumber(value, 0xFFFFFFFF, &n);
            if (ok) st.loopSeconds = static_cast<uint32_t>(n);
        }
        else if (key.size() == 6 && key.compare(0, 5, "timer") == 0 && key[5] >= '0' &&
                 key[5] <= '4')
        {
            std::istringstream parts(value);
            std::string a, b, extra;
            uint64_t start = 0, duration = 0;
            ok = static_cast<bool>(parts >> a >> b) && !(parts >> extra) &&
                 ParseNumber(a, 0xFFFFFFFF, &start) && ParseNumber(b, 0xFFFFFFFF, &duration);
            if (ok)
                st.timers[static_cast<size_t>(key[5] - '0')] = {static_cast<uint32_t>(start),
                                                                static_cast<uint32_t>(duration)};
        }
        else
            return fail("unknown key '" + key + "'");
        if (!ok) return fail("bad value '" + value + "' for '" + key + "'");
    }
    if (!finishRecord()) return false;
    for (size_t i = 0; i < img.records.size(); ++i)
    {
        const std::string file = dir + "/" + recordFiles[i];
        if (!ReadWhole(file, &img.records[i].data))
        {
            *error = file + ": cannot be read (record at " + path + ":" +
                     std::to_string(recordLines[i]) + ")";
            return false;
        }
        if (img.records[i].data.size() > 0xFFFFFFFFull || !RecordSizeFits(img.records[i]))
        {
            *error = file + ": " + std::to_string(img.records[i].data.size()) +
                     " bytes is not a whole number of sample frames for header " +
                     Hex(img.records[i].header, 4);
            return false;
        }
    }
    *image = std::move(img);
    return true;
}

bool SaveImage(const std::string& dir, const RecorderImage& image, std::string* error)
{
    ::mkdir(dir.c_str(), 0755);
    std::ostringstream s;
    const RecorderIdentity& id = image.identity;
    const RecorderSettings& st = image.settings;
    s << "# Virtual recorder image: the recorder's state in its own encodings.\n"
      << "[recorder]\n"
      << "serial = " << id.serial << "\n"
      << "firmware = " << Hex(id.firmware, 4) << "\n"
      << "capability = " << unsigned(id.capability) << "\n"
      << "battery = " << unsigned(id.battery) << "\n"
      << "charging = " << (id.charging ? 1 : 0) << "\n"
      << "memory_total = " << id.memoryTotal << "\n"
      << "access_code = " << Hex(st.accessCode, 8) << "\n"
      << "clock_offset = " << st.clockOffset << "\n"
      << "battery_indication = " << unsigned(st.batteryIndication) << "\n"
      << "rate16k = " << unsigned(st.rate16k) << "\n"
      << "uncompressed = " << unsigned(st.uncompressed) << "\n"
      << "stereo = " << unsigned(st.stereo) << "\n"
      << "source_left = " << unsigned(st.sourceLeft) << "\n"
      << "source_right = " << unsigned(st.sourceRight) << "\n"
      << "level_left = " << unsigned(st.levelLeft) << "\n"
      << "level_right = " << unsigned(st.levelRight) << "\n"
      << "agc = " << unsigned(st.agc) << "\n"
      << "button_mode = " << unsigned(st.buttonMode) << "\n"
      << "record_button = " << unsigned(st.recordButton) << "\n"
      << "accu_threshold = " << st.accuThreshold << "\n";
    for (size_t i = 0; i < st.timers.size(); ++i)
        s << "timer" << i << " = " << st.timers[i].start << " " << st.timers[i].duration << "\n";
    s << "loop_seconds = " << st.loopSeconds << "\n";
    std::set<std::string> names;
    for (size_t i = 0; i < image.records.size(); ++i)
    {
        const StoredRecord& r = image.records[i];
        char name[32];
        std::snprintf(name, sizeof name, "record-%03zu.raw", i);
        names.insert(name);
        s << "\n[record]\n"
          << "start = " << FormatRecorderTime(r.start) << "\n"
          << "header = " << Hex(r.header, 4) << "   # " << DescribeHeader(r.header) << "\n"
          << "data = " << name << "   # " << r.data.size() << " bytes\n";
        if (!WriteAtomically(dir + "/" + name, r.data.data(), r.data.size()))
        {
            *error = dir + "/" + name + ": cannot be written";
            return false;
        }
    }
    const std::string text = s.str();
    const std::string path = dir + "/" + kStateFileName;
    if (!WriteAtomically(path, text.data(), text.size()))
    {
        *error = path + ": cannot be written";
        return false;
    }
    if (DIR* d = ::opendir(dir.c_str()))
    {
        while (dirent* e = ::readdir(d))
        {
            const std::string n = e->d_name;
            if (n.rfind("record-", 0) == 0 && n.size() > 4 &&
                n.compare(n.size() - 4, 4, ".raw") == 0 && !names.count(n))
                std::remove((dir + "/" + n).c_str());
        }
        ::closedir(d);
    }
    return true;
}

} // namespace recorder
