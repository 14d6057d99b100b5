// Foot pedals for transcription, read through evdev. A pedal is an event device in
// /dev/input/by-id/ ($VARK_PEDAL_DIR for tests and unusual set-ups), a "*-event-*" entry the
// user may read, that is a known pedal model by its USB ids or says in its name that it is a
// pedal or a foot switch: a keyboard is never taken for one. While a pedal is open it is
// grabbed (EVIOCGRAB), so that its presses reach no other program; closing lets it go.
//
// Three pedals, left, middle and right. A device that has only a few keys (a pedal that is
// a HID button device) ranks them: its lowest key code is the left pedal. One that has a
// keyboard's keys (the programmable foot switches) is read by the well-known triples its
// makers ship (a, b, c and the like); a key outside them is not a pedal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::pedals
{

enum Pedal : int
{
    kLeft = 0,
    kMiddle = 1,
    kRight = 2,
};
inline constexpr int kPedals = 3;

struct PedalModel
{
    uint16_t vendor, product;
    const char* name;
};
// The pedal models known by their USB ids; the package's udev rule lists the same.
const std::vector<PedalModel>& KnownPedals();
bool IsKnownPedal(uint16_t vendor, uint16_t product);

// $VARK_PEDAL_DIR, else /dev/input/by-id.
std::string PedalFolder();

struct PedalChange
{
    Pedal pedal;
    bool down;
    bool operator==(const PedalChange&) const = default;
};

// The pedals' states from a stream of struct input_event records (the kernel's own layout).
class PedalDecoder
{
public:
    // `keys`: the key codes the device has (EVIOCGBIT), empty when unknown.
    explicit PedalDecoder(std::vector<uint16_t> keys = {});

    // Bytes as read: whole records are decoded, a torn one waits for the rest. Key repeats
    // and events of other kinds change nothing.
    std::vector<PedalChange> Feed(const uint8_t* bytes, size_t count);
    // The device went: every pedal held is let go.
    std::vector<PedalChange> ReleaseAll();
    const std::array<bool, kPedals>& Down() const { return down_; }

private:
    int PedalOf(uint16_t code) const;

    std::vector<uint16_t> ranked_; // a few keys: the pedals in order
    std::vector<uint8_t> partial_;
    std::array<bool, kPedals> down_{};
};

// A pedal found in the folder.
struct PedalInfo
{
    std::string path; // the by-id entry
    std::string name; // the device's own name, else the entry's
    uint16_t vendor = 0, product = 0;
};
// The pedals in PedalFolder() the user may read, sorted by path.
std::vector<PedalInfo> FindPedals();

// One open, grabbed pedal. Its descriptor is non-blocking, for the caller's event loop.
class PedalDevice
{
public:
    explicit PedalDevice(const PedalInfo& info);
    ~PedalDevice(); // lets go of the grab and closes
    PedalDevice(const PedalDevice&) = delete;
    PedalDevice& operator=(const PedalDevice&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    const PedalInfo& Info() const { return info_; }
    // Whether the grab took (a stand-in that is no event device cannot be grabbed).
    bool Grabbed() const { return grabbed_; }

    // What has come since the last call. Gone() is true once the device has gone (pulled
    // out): every pedal held is then let go in the changes, and nothing more comes.
    std::vector<PedalChange> Read();
    bool Gone() const { return gone_; }
    const std::array<bool, kPedals>& Down() const { return decoder_.Down(); }

private:
    PedalInfo info_;
    int fd_ = -1;
    bool grabbed_ = false, gone_ = false;
    PedalDecoder decoder_;
};

// Says when pedals may have come or gone: an inotify descriptor on the folder (and on the
// one above it, where the folder itself appears with the first input device), readable on a
// change. The caller drains it with Drain() and looks again with FindPedals().
class PedalWatcher
{
public:
    PedalWatcher();
    ~PedalWatcher();
    PedalWatcher(const PedalWatcher&) = delete;
    PedalWatcher& operator=(const PedalWatcher&) = delete;

    int Fd() const { return fd_; } // -1 when nothing can be watched
    void Drain();

private:
    void Arm();
    int fd_ = -1, folderWatch_ = -1, parentWatch_ = -1;
    std::string folder_;
};

} // namespace platform::pedals
