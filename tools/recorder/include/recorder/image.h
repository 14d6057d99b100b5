// A recorder image: the persistent state of one virtual recorder and its records, kept in a
// folder (format described in image.cpp). All values are held as the recorder holds them,
// i.e. in the recorder-side encodings of its commands.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace recorder
{

// Record header word bits (command 12).
inline constexpr uint32_t kHeaderRate16k = 1u << 0;
inline constexpr uint32_t kHeaderStereo = 1u << 1;
inline constexpr uint32_t kHeaderUncompressed = 1u << 2;
inline constexpr uint32_t kHeaderMarkT = 1u << 3;
inline constexpr uint32_t kHeaderMarkL = 1u << 4;
inline constexpr uint32_t kHeaderMarkA = 1u << 5;
inline constexpr unsigned kHeaderSourcesShift = 6;
inline constexpr uint32_t kHeaderUsedBits = 0x7FF;

// Source codes of the two channels.
inline constexpr uint8_t kSourceLineLeft = 1;
inline constexpr uint8_t kSourceExtRight = 2;
inline constexpr uint8_t kSourceInternal = 4;
inline constexpr uint8_t kSourceExtLeft = 8;
inline constexpr uint8_t kSourceLineRight = 16;

struct RecorderIdentity
{
    int16_t serial = 1001;
    uint16_t firmware = 0x2C10;
    uint8_t capability = 1;
    uint8_t battery = 80;
    bool charging = false;
    uint64_t memoryTotal = 64ull * 1024 * 1024; // bytes
};

struct TimerSetting
{
    uint32_t start = 0;    // recorder time
    uint32_t duration = 0; // seconds; 0 = off
    bool operator==(const TimerSetting&) const = default;
};

// What command 31 commits.
struct RecorderSettings
{
    uint32_t accessCode = 0;
    int64_t clockOffset = 0; // recorder clock minus host clock, seconds
    uint8_t batteryIndication = 1;
    uint8_t rate16k = 0;
    uint8_t uncompressed = 0; // command 3: 1 = 16-bit PCM
    uint8_t stereo = 0;
    uint8_t sourceLeft = kSourceInternal;
    uint8_t sourceRight = kSourceInternal;
    uint8_t levelLeft = 15; // command 16 coding: level - 1, 31 = level 0
    uint8_t levelRight = 15;
    uint8_t agc = 1;
    uint8_t buttonMode = 0;
    uint8_t recordButton = 0;
    uint32_t accuThreshold = 0;
    std::array<TimerSetting, 5> timers{};
    uint32_t loopSeconds = 0;
    bool operator==(const RecorderSettings&) const = default;
};

struct StoredRecord
{
    uint32_t start = 0;        // recorder time
    uint32_t header = 0;       // header word
    std::vector<uint8_t> data; // as stored: 16-bit LE PCM or mu-law bytes, interleaved
};

struct RecorderImage
{
    RecorderIdentity identity;
    RecorderSettings settings;
    std::vector<StoredRecord> records;
};

inline constexpr char kStateFileName[] = "recorder.txt";

// Loads DIR/recorder.txt and the record files it names. On failure returns false with a
// message naming the file (and line) at fault.
bool LoadImage(const std::string& dir, RecorderImage* image, std::string* error);
// Writes the state file and the record files (creating DIR), removing record files that are
// no longer named. The state file is replaced atomically.
bool SaveImage(const std::string& dir, const RecorderImage& image, std::string* error);

// Recorder time (seconds since 2000-01-01 00:00:00) <-> "YYYY-MM-DD HH:MM:SS".
std::string FormatRecorderTime(uint32_t seconds);
bool ParseRecorderTime(const std::string& text, uint32_t* seconds);
// The host clock as recorder time without an offset (UTC), and the local zone's offset.
int64_t HostSecondsSince2000();
int64_t LocalUtcOffsetSeconds();

// A PIN text as the program turns it into an access code: its digits read as hexadecimal.
// false for texts that the program refuses (longer than 8 characters) or that are not digits.
bool PinToAccessCode(const std::string& pin, uint32_t* code);

} // namespace recorder
