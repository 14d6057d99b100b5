#include "movra/a_output_drv.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"

A_IO_CARD::~A_IO_CARD() = default;
A_OUTPUT_DRV::~A_OUTPUT_DRV() = default;

void A_OUTPUT_DRV::CheckChannel(long channel) const
{
    if (channel < 0 || channel >= channels_)
        throw INVALID_ARGUMENT(DEBUG_INFO(channel, "bad channel index"));
}

void A_OUTPUT_DRV::CheckPointer(const void* pointer)
{
    if (!pointer) throw INVALID_ARGUMENT(DEBUG_INFO("null pointer argument"));
}

bool A_OUTPUT_DRV::Write(long channel, const short* left, const short* right, long, long* takenLeft,
                         long* takenRight)
{
    CheckChannel(channel);
    CheckPointer(left);
    CheckPointer(right);
    CheckPointer(takenLeft);
    CheckPointer(takenRight);
    return true;
}

bool A_OUTPUT_DRV::IsReady()
{
    return true;
}

bool A_OUTPUT_DRV::GetVolume(long channel, VOLUME_LEVEL* volume)
{
    CheckChannel(channel);
    CheckPointer(volume);
    volume->level = level_;
    volume->balance = balance_;
    return true;
}

void A_OUTPUT_DRV::ConvertLevelBalance2ChansLevels(long level, long balance, long maximum,
                                                   long minimum, long* left, long* right)
{
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE,
                "A_OUTPUT_DRV::ConvertLevelBalance2ChansLevels\n level=%d balance=%d",
                static_cast<int>(level), static_cast<int>(balance));
    double l = static_cast<double>(level);
    double r = l;
    if (balance < 0)
        r = static_cast<long>((balance + 10) / 10.0 * r);
    else if (balance > 0)
        l = static_cast<long>((10 - balance) / 10.0 * l);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "after balance: left=%d right=%d", static_cast<int>(l),
                static_cast<int>(r));
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "maxOutLevel %d minOutLevel %d", static_cast<int>(maximum),
                static_cast<int>(minimum));
    const double range = static_cast<double>(maximum - minimum);
    *left = static_cast<long>(l / 100.0 * range + static_cast<double>(minimum));
    *right = static_cast<long>(r / 100.0 * range + static_cast<double>(minimum));
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "resulting: left=%d right=%d", static_cast<int>(*left),
                static_cast<int>(*right));
}

bool A_OUTPUT_DRV::SetVolume(long channel, const VOLUME_LEVEL* volume)
{
    CheckChannel(channel);
    CheckPointer(volume);
    RAW_VOLUME raw{GetMaxLevel(), GetMinLevel(), 0, 0};
    ConvertLevelBalance2ChansLevels(volume->level, volume->balance, raw.maximum, raw.minimum,
                                    &raw.left, &raw.right);
    if (!SetRawVolume(&raw)) throw LOGIC_ERROR(DEBUG_INFO("setting the device volume failed"));
    level_ = volume->level;
    balance_ = volume->balance;
    return true;
}

bool A_OUTPUT_DRV::SetOutChanMode(long channel, long)
{
    CheckChannel(channel);
    return true;
}

bool A_OUTPUT_DRV::GetOutChanMode(long channel, long* rate)
{
    CheckChannel(channel);
    CheckPointer(rate);
    return true;
}

bool A_OUTPUT_DRV::SetOutChanState(long channel, long)
{
    CheckChannel(channel);
    return true;
}

bool A_OUTPUT_DRV::GetOutChanState(long channel, long* state)
{
    CheckChannel(channel);
    CheckPointer(state);
    return true;
}

bool A_OUTPUT_DRV::GetFreeSpace(long channel, long* frames, long* frames2)
{
    CheckChannel(channel);
    CheckPointer(frames);
    CheckPointer(frames2);
    return true;
}

bool A_OUTPUT_DRV::GetPending(long channel, long* frames, long* frames2)
{
    CheckChannel(channel);
    CheckPointer(frames);
    CheckPointer(frames2);
    return true;
}

bool A_OUTPUT_DRV::Flush()
{
    return true;
}

bool A_OUTPUT_DRV::GetDevicePosition(DEVICE_POSITION* position)
{
    CheckPointer(position);
    return true;
}

bool A_OUTPUT_DRV::SetRawVolume(const RAW_VOLUME* volume)
{
    CheckPointer(volume);
    return true;
}

bool A_OUTPUT_DRV::GetRawVolume(RAW_VOLUME* volume)
{
    CheckPointer(volume);
    return true;
}
