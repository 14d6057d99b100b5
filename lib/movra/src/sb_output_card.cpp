#include "movra/sb_output_card.h"

#include "basix/sys_sleep.h"
#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"

#include <cstring>
#include <string>

using platform::waveout::WaveHeader;
using platform::waveout::WaveOut;

SB_OUTPUT_CARD::SB_OUTPUT_CARD(long device) : THREAD_CLASS("errproc", "")
{
    deviceNumber_ = device;
    Open();
    blocks_.reset(new BLOCK[kBlocks]);
    for (long i = 0; i < kBlocks; ++i)
        free_.Put(&blocks_[i]);
    Start();
}

SB_OUTPUT_CARD::~SB_OUTPUT_CARD()
{
    try
    {
        StopDevice();
        Close();
    }
    catch (...)
    {
        // A destructor must not throw; the blocks are freed below either way.
    }
    THREAD_CLASS::Stop();
}

void SB_OUTPUT_CARD::Open()
{
    if (opened_) throw LOGIC_ERROR(DEBUG_INFO("SB_OUTPUT_CARD: device already open"));
    std::string error;
    device_ = WaveOut::Open(
        static_cast<int>(deviceNumber_), static_cast<uint32_t>(rate_),
        [this](WaveHeader* header) { OnBlockDone(header); }, &error);
    if (!device_)
        throw RUNTIME_ERROR(
            DEBUG_INFO(deviceNumber_, rate_, ("waveOutOpen failed: " + error).c_str()));
    opened_ = true;
    deviceFailed_ = false;
}

void SB_OUTPUT_CARD::Close()
{
    if (!opened_) return;
    StopDevice();
    // Closing resets the device, so blocks written while not started come back too.
    device_.reset();
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "BLASTER CLOSED");
    opened_ = false;
}

void SB_OUTPUT_CARD::OnBlockDone(WaveHeader* header)
{
    {
        std::lock_guard lock(doneLock_);
        done_.Put(reinterpret_cast<BLOCK*>(header->user));
    }
    event_.Set();
}

void SB_OUTPUT_CARD::PutFree(BLOCK* block)
{
    std::lock_guard lock(freeLock_);
    free_.Put(block);
}

void SB_OUTPUT_CARD::Recycle()
{
    for (;;)
    {
        BLOCK* block;
        {
            std::lock_guard lock(doneLock_);
            block = done_.Get();
        }
        if (!block) return;
        WaveOut::Unprepare(&block->header);
        PutFree(block);
    }
}

// Called on the core's side only (device_ changes there): the recycling thread must not
// touch the device object.
void SB_OUTPUT_CARD::CheckDevice()
{
    if (deviceFailed_ || !opened_) return;
    const std::string error = device_->DeviceError();
    if (error.empty()) return;
    deviceFailed_ = true;
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "SB_OUTPUT_CARD: device error: %s", error.c_str());
}

unsigned int SB_OUTPUT_CARD::MainThread()
{
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "THREAD INFO: SB_OUTPUT_CARD::MainThread id = %i",
                static_cast<int>(GetThreadId()));
    while (!GetTermFlag())
        if (event_.Wait(100)) Recycle();
    Recycle();
    return 0;
}

long SB_OUTPUT_CARD::FreeBlocks()
{
    std::lock_guard lock(freeLock_);
    return free_.Count();
}

void SB_OUTPUT_CARD::Submit(BLOCK* block)
{
    block->header = WaveHeader{};
    block->header.data = block->data;
    block->header.bufferLength = sizeof block->data;
    block->header.user = reinterpret_cast<uintptr_t>(block);
    const bool prepared = WaveOut::Prepare(&block->header);
    const bool written = prepared && device_->Write(&block->header);
    if (prepared && !written) WaveOut::Unprepare(&block->header);
    if (!written)
    {
        block->filled = 0;
        PutFree(block);
    }
}

bool SB_OUTPUT_CARD::Write(long channel, const short* left, const short* right, long count,
                           long* takenLeft, long* takenRight)
{
    A_OUTPUT_DRV::Write(channel, left, right, count, takenLeft, takenRight);
    if (count % 2 != 0)
        throw LOGIC_ERROR(DEBUG_INFO(count, "SB_OUTPUT_CARD::Write: odd sample count"));
    *takenLeft = 0;
    *takenRight = 0;
    if (count <= 0 || !opened_) return true;
    CheckDevice();
    long taken = 0;
    while (taken < count)
    {
        if (!current_)
        {
            std::lock_guard lock(freeLock_);
            current_ = free_.Get();
            if (!current_) break;
            current_->filled = 0;
        }
        BLOCK* block = current_;
        while (block->filled < kBlockSamples && taken < count)
        {
            const short sample = (taken % 2 == 0) ? left[taken / 2] : right[taken / 2];
            const auto u = static_cast<uint16_t>(sample);
            block->data[2 * block->filled] = static_cast<uint8_t>(u);
            block->data[2 * block->filled + 1] = static_cast<uint8_t>(u >> 8);
            ++block->filled;
            ++taken;
        }
        if (block->filled == kBlockSamples)
        {
            current_ = nullptr;
            Submit(block);
        }
    }
    *takenLeft = taken;
    *takenRight = taken;
    return true;
}

bool SB_OUTPUT_CARD::Flush()
{
    if (current_)
    {
        BLOCK* block = current_;
        std::memset(block->data + 2 * block->filled, 0, sizeof block->data - 2 * block->filled);
        block->filled = kBlockSamples;
        current_ = nullptr;
        Submit(block);
        JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "FLUSHED.");
    }
    return true;
}

void SB_OUTPUT_CARD::StopDevice()
{
    if (!opened_ || !started_) return;
    device_->Reset();
    if (current_)
    {
        current_->filled = 0;
        PutFree(current_);
        current_ = nullptr;
    }
    while (FreeBlocks() < kBlocks)
        SysSleepMs(0);
    started_ = false;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "BLASTER STOPPED");
}

bool SB_OUTPUT_CARD::SetOutChanMode(long channel, long rate)
{
    A_OUTPUT_DRV::SetOutChanMode(channel, rate);
    if (rate != rate_)
    {
        Close();
        rate_ = rate;
        Open();
    }
    return true;
}

bool SB_OUTPUT_CARD::GetOutChanMode(long channel, long* rate)
{
    A_OUTPUT_DRV::GetOutChanMode(channel, rate);
    *rate = rate_;
    return true;
}

bool SB_OUTPUT_CARD::SetOutChanState(long channel, long state)
{
    A_OUTPUT_DRV::SetOutChanState(channel, state);
    if (state == CH_STARTED)
        started_ = true;
    else if (state == CH_STOPPED)
        StopDevice();
    else
        throw LOGIC_ERROR(DEBUG_INFO(state, "SB_OUTPUT_CARD: unknown channel state"));
    return true;
}

bool SB_OUTPUT_CARD::GetOutChanState(long channel, long* state)
{
    A_OUTPUT_DRV::GetOutChanState(channel, state);
    *state = started_ ? CH_STARTED : CH_STOPPED;
    return true;
}

bool SB_OUTPUT_CARD::GetFreeSpace(long channel, long* frames, long* frames2)
{
    A_OUTPUT_DRV::GetFreeSpace(channel, frames, frames2);
    CheckDevice();
    const long room = current_ ? kBlockSamples - current_->filled : 0;
    *frames = *frames2 = (FreeBlocks() * kBlockSamples + room) / 2;
    return true;
}

bool SB_OUTPUT_CARD::GetPending(long channel, long* frames, long* frames2)
{
    A_OUTPUT_DRV::GetPending(channel, frames, frames2);
    long free = 0;
    GetFreeSpace(channel, &free, &free);
    *frames = *frames2 = kCapacityFrames - free;
    return true;
}

bool SB_OUTPUT_CARD::GetDevicePosition(DEVICE_POSITION* position)
{
    A_OUTPUT_DRV::GetDevicePosition(position);
    if (!opened_)
    {
        position->samples = position->bytes = -1;
        return true;
    }
    position->samples = static_cast<long long>(device_->Position());
    position->bytes = position->samples * 4;
    return true;
}

bool SB_OUTPUT_CARD::SetRawVolume(const RAW_VOLUME* volume)
{
    A_OUTPUT_DRV::SetRawVolume(volume);
    if (!opened_) return false;
    const auto level = [](long v) {
        return static_cast<uint16_t>(v < 0 ? 0 : v > 65535 ? 65535 : v);
    };
    device_->SetVolume(level(volume->left), level(volume->right));
    return true;
}

bool SB_OUTPUT_CARD::GetRawVolume(RAW_VOLUME* volume)
{
    A_OUTPUT_DRV::GetRawVolume(volume);
    if (!opened_) return false;
    uint16_t left = 0, right = 0;
    device_->GetVolume(&left, &right);
    *volume = RAW_VOLUME{GetMaxLevel(), GetMinLevel(), right, left};
    return true;
}
