// The core's sound card over the wave-out device: 16-bit stereo at the rate being played, cut
// into 127 blocks of 128 frames that are made once and cycle free -> current -> submitted ->
// done -> free. The device's callback only queues a returned block and signals; the
// recycling thread unprepares it and puts it back in the free queue.
#pragma once

#include "basix/thread_class.h"
#include "movra/a_output_drv.h"
#include "platform/event.h"
#include "platform/waveout.h"
#include "templates/n_queue.h"

#include <memory>
#include <mutex>

class SB_OUTPUT_CARD : public A_OUTPUT_DRV, public THREAD_CLASS
{
public:
    static constexpr long kBlocks = 127;
    static constexpr long kBlockSamples = 256;                           // both channels together
    static constexpr long kCapacityFrames = kBlocks * kBlockSamples / 2; // 16256

    // Opens `device` (-1: the default) at 44100 Hz; RUNTIME_ERROR when it cannot be opened.
    explicit SB_OUTPUT_CARD(long device);
    ~SB_OUTPUT_CARD() override;

    long GetMinLevel() override { return 0; }
    long GetMaxLevel() override { return 65535; }
    // `count` is the number of samples of both channels together and must be even; writes
    // what the free blocks hold and says how much it took.
    bool Write(long channel, const short* left, const short* right, long count, long* takenLeft,
               long* takenRight) override;
    bool IsReady() override { return true; }
    bool SetOutChanMode(long channel, long rate) override;
    bool GetOutChanMode(long channel, long* rate) override;
    bool SetOutChanState(long channel, long state) override;
    bool GetOutChanState(long channel, long* state) override;
    bool GetFreeSpace(long channel, long* frames, long* frames2) override;
    bool GetPending(long channel, long* frames, long* frames2) override;
    bool Flush() override;
    bool GetDevicePosition(DEVICE_POSITION* position) override;
    bool SetRawVolume(const RAW_VOLUME* volume) override;
    bool GetRawVolume(RAW_VOLUME* volume) override;

    // The thread part has nothing to report.
    std::string ClassInfo() const override { return std::string(); }

    long FreeBlocks();

protected:
    unsigned int MainThread() override;

private:
    struct BLOCK
    {
        platform::waveout::WaveHeader header;
        uint8_t data[512];
        BLOCK* next = nullptr;
        long filled = 0; // samples
    };

    void Open();
    void Close();
    void StopDevice();
    void Submit(BLOCK* block);
    void Recycle();
    void PutFree(BLOCK* block);
    void OnBlockDone(platform::waveout::WaveHeader* header);
    // Journals the device's error once it has failed.
    void CheckDevice();

    bool opened_ = false;
    bool started_ = false;
    bool deviceFailed_ = false;
    long rate_ = 44100;
    std::unique_ptr<platform::waveout::WaveOut> device_;
    BLOCK* current_ = nullptr;
    n_queue<BLOCK> free_;
    n_queue<BLOCK> done_;
    std::mutex freeLock_;
    std::mutex doneLock_;
    platform::Event event_{platform::Event::Reset::automatic};
    long deviceNumber_ = -1;
    std::unique_ptr<BLOCK[]> blocks_;
};
