// The output driver interface of the player core: argument checks and the volume arithmetic
// shared by every output card. Each operation's base version checks its channel index and
// pointers and throws INVALID_ARGUMENT; the card calls it first.
#pragma once

#include <cstdint>

// Base of the core's sound cards.
class A_IO_CARD
{
public:
    virtual ~A_IO_CARD();
};

struct VOLUME_LEVEL
{
    long level;   // 0..100
    long balance; // -10 (left only) .. 10 (right only)
};

// The device's own volume: its range and the two channel levels.
struct RAW_VOLUME
{
    long maximum;
    long minimum;
    long right; // the high word of the device volume
    long left;  // the low word
};

// Where the device is: samples played and the same in bytes; -1, -1 when closed.
struct DEVICE_POSITION
{
    long long samples;
    long long bytes;
};

constexpr long CH_STOPPED = 0;
constexpr long CH_STARTED = 1;

class A_OUTPUT_DRV : public A_IO_CARD
{
public:
    A_OUTPUT_DRV() = default;
    ~A_OUTPUT_DRV() override;

    virtual long GetMinLevel() = 0;
    virtual long GetMaxLevel() = 0;
    virtual bool Write(long channel, const short* left, const short* right, long count,
                       long* takenLeft, long* takenRight);
    virtual bool IsReady();
    virtual bool GetVolume(long channel, VOLUME_LEVEL* volume);
    // Turns level and balance into two device levels and sets them; LOGIC_ERROR when the
    // device refuses.
    virtual bool SetVolume(long channel, const VOLUME_LEVEL* volume);
    virtual bool SetOutChanMode(long channel, long rate);
    virtual bool GetOutChanMode(long channel, long* rate);
    virtual bool SetOutChanState(long channel, long state);
    virtual bool GetOutChanState(long channel, long* state);
    virtual bool GetFreeSpace(long channel, long* frames, long* frames2);
    virtual bool GetPending(long channel, long* frames, long* frames2);
    virtual bool Flush();
    virtual bool GetDevicePosition(DEVICE_POSITION* position);
    virtual bool SetRawVolume(const RAW_VOLUME* volume);
    virtual bool GetRawVolume(RAW_VOLUME* volume);

    // level/balance -> left/right device levels in minimum..maximum.
    static void ConvertLevelBalance2ChansLevels(long level, long balance, long maximum,
                                                long minimum, long* left, long* right);

protected:
    void CheckChannel(long channel) const;
    static void CheckPointer(const void* pointer);

    long reserved1_ = 0;
    long channels_ = 1; // only channel 0 exists
    long reserved2_ = 0;
    long level_ = 50;
    long balance_ = 0;
};
