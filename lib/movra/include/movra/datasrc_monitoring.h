// DATASRC_MONITORING: live sound the host pushes in (CMonitoringPut). Pushed messages are
// buffered and cut into planar blocks of the read block duration (20 ms); the worker's Read
// hands them out, continuing inside a partly handed-out block. Once no whole block is left,
// what remains of the last one is handed out as it is (the end of a stream is never held
// back). When nothing is left a read gives an empty message without an end mark, so the
// core just collects nothing then.
//
// At most 60 s of sound waits: what would go beyond that is dropped ("OVERFLOW").
//
// While attached to the output card the source reads the card's device position at most
// every 200 ms and keeps how many samples the device played since the previous reading; a
// device that reports no position stops these readings. The measurement is kept for
// pacing and drift correction; blocks are handed out as the core asks for them.
#pragma once

#include "basix/timer.h"
#include "movra/datasrc.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class A_OUTPUT_DRV;

class DATASRC_MONITORING : public DATASRC
{
public:
    static constexpr int64_t kMaxBacklogMs = 60000;
    static constexpr int64_t kPositionPeriodMs = 200;

    explicit DATASRC_MONITORING(const RNUMBER64& readBlock);
    ~DATASRC_MONITORING() override;

    bool Close() override;
    bool IsOpen() const override { return open_; }
    bool Read(SMSG& msg, const RNUMBER64& wanted) override;

    // False when already open.
    bool Open();
    // `msg` is planar, as SMSG always is. False when not open.
    bool Put(const SMSG& msg);

    void Attach(A_OUTPUT_DRV* card);
    void Detach();
    // The output rate changed.
    void SetRate(long rate);
    long Rate() const { return rate_; }
    double SampleMs() const { return sampleMs_; }

    // Sound waiting to be read.
    RNUMBER64 Backlog() const;
    // Samples the device played, summed over the position readings since Attach.
    int64_t DevicePlayed() const { return devicePlayed_; }
    bool DevicePositionKnown() const { return positionKnown_; }

private:
    void Empty();
    void CutBlocks(bool all);
    void MeasureDevice();
    int64_t BlockFrames(long rate) const;

    bool open_ = false;
    RNUMBER64 readBlock_;
    // Received sound not yet cut into blocks: one run per channel, all of one format.
    std::vector<std::vector<int16_t>> pending_;
    long pendingRate_ = 0;
    std::deque<std::unique_ptr<SMSG>> ready_;
    std::unique_ptr<SMSG> current_; // the block being handed out
    size_t currentOffset_ = 0;      // frames of it already handed out
    A_OUTPUT_DRV* card_ = nullptr;
    long rate_ = 0;
    double sampleMs_ = 0;
    TIMER positionTimer_;
    bool positionKnown_ = false;
    bool positionDead_ = false;
    int64_t lastPosition_ = 0;
    int64_t devicePlayed_ = 0;
};
