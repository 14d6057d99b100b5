// A record on the attached recorder, streamed into the player's monitoring input as 16-bit
// PCM: every controller tick (200 ms) it reads the next 32 KiB of PCM from the recorder when
// the player holds less than that ahead of the play position, expands mu-law, splits stereo
// into a left and a right block and hands the block to the player. Time comes from the
// controller's clock.
//
// The play position is the flow's own clock, but the player starts output a little after it
// is first fed and plays what it holds at its own pace. So at the end of a record the flow
// keeps showing the duration and stops only once the fed sound has had time to play
// (kPlayOutMs); stopping at the duration would cut off the end of every record.
//
// A read that fails or comes back short in the middle of a record ends playback (the
// controller is told to stop, which closes the record); nothing shifted is handed on. A
// player that refuses the sound (its server died) ends playback the same way. Failure()
// tells which it was.
#pragma once

#include "device/record_info.h"
#include "transfer/data_flow.h"
#include "transfer/record_row.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vark
{

class CVarkDevice;

class CVarkDataFlow final : public CDataFlow
{
public:
    static constexpr uint32_t kBlockBytes = 32768; // PCM per read and held ahead at most
    static constexpr int64_t kAlignBytes = 4096;   // a jump realigns the fed position to this
    static constexpr int kStopWaitMs = 500;
    static constexpr int64_t kPlayOutMs = 1500;
    static constexpr uint32_t kMaxDataSize = 2147483647;

    enum class Failure
    {
        kNone,
        kRead,   // the recorder failed a read or delivered less than the record holds
        kPlayer, // the player refused to start monitoring or to take the sound
    };

    // `date` and `time` format the record's start for the name text, in the user's short
    // date and time formats.
    CVarkDataFlow(DateTimeFormatter date, DateTimeFormatter time);
    ~CVarkDataFlow() override;

    // Set before the flow is adopted. `index` is 0-based.
    void SetRecord(CVarkDevice* device, uint16_t index);

    // Each block handed to the player, as interleaved frames from the record's frame
    // `first` on (the strip of the record is worked out from them).
    std::function<void(int64_t first, const int16_t* frames, size_t count)> soundFed;

    bool Play() override;
    void Stop() override;
    void Pause(bool on) override;
    void SetRing(int32_t seconds) override;
    void SetPosition(int32_t ms) override;
    void Feed() override;
    bool Open() override;
    FlowKind Kind() const override { return FlowKind::kRecord; }

    const RecordInfo& Info() const { return info_; }
    const std::wstring& NameText() const { return name_; }
    const std::wstring& FormatText() const { return format_; }
    int64_t TotalBytes() const { return totalBytes_; }
    int64_t BytesPerMs() const { return bytesPerMs_; }
    int64_t TotalMs() const { return totalMs_; }
    int64_t FedBytes() const { return fedBytes_; }
    int64_t LoopStartMs() const { return loopStartMs_; }
    int64_t LoopEndMs() const { return loopEndMs_; }
    bool IsPlaying() const { return playing_; }
    bool IsPaused() const { return paused_; }
    Failure LastFailure() const { return failure_; }

private:
    int64_t Now() const;
    int64_t PcmPerRecordByte() const { return info_.compressed ? 2 : 1; }
    int64_t Aligned(int64_t bytes) const { return bytes / kAlignBytes * kAlignBytes; }
    // Reads the record from the current fed position; false ends playback.
    bool Seek();
    bool RestartMonitoring();
    bool FeedBlock();
    void Fail(Failure why);

    DateTimeFormatter date_, time_;
    CVarkDevice* device_ = nullptr;
    uint16_t index_ = 0;
    RecordInfo info_;
    std::wstring name_, format_;

    int64_t totalBytes_ = 0;
    int64_t bytesPerMs_ = 16;
    int64_t totalMs_ = 0;
    int64_t clockBase_ = 0;
    int64_t pausedAt_ = 0;
    int64_t fedBytes_ = 0;
    int64_t loopStartMs_ = 0, loopEndMs_ = 0, loopLengthMs_ = 0;
    bool paused_ = false, playing_ = false;
    Failure failure_ = Failure::kNone;

    std::vector<uint8_t> record_; // one read from the recorder
    std::vector<uint8_t> pcm_;    // the block handed to the player
    std::vector<int16_t> frames_; // the same, interleaved, for soundFed
};

} // namespace vark
