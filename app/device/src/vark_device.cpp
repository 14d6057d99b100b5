#include "device/vark_device.h"

#include "device/flash_ecc.h"

#include "platform/devio.h"
#include "platform/little_endian.h"
#include "scriba/scriba.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace vark
{

namespace dev = platform::devio;
using Cmd = RecorderCommand;

namespace
{

using platform::LoadLE16;
using platform::LoadLE32;
using platform::StoreLE16;
using platform::StoreLE32;

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

CVarkDevice::CVarkDevice() = default;
CVarkDevice::~CVarkDevice() = default;

bool CVarkDevice::Open(const std::string& devicePath)
{
    if (IsOpen()) Close();
    handle_ = dev::OpenDevice(devicePath);
    if (handle_ < 0) return false;
    Frame reply = {};
    if (!VarkeControlRead(Cmd::SerialNumber, reply))
        return false; // stays open; the caller drops it
    serialNumber_ = static_cast<int16_t>(LoadLE16(reply + 4));
    return true;
}

bool CVarkDevice::Close()
{
    if (handle_ >= 0) dev::CloseDevice(handle_);
    handle_ = -1;
    firmwareVersion_ = 0;
    return true;
}

void CVarkDevice::ClearFrame(Frame frame) const
{
    std::memset(frame, 0, kFrameSize);
    StoreLE32(frame, accessCode_);
}

bool CVarkDevice::VarkeControlWrite(RecorderCommand command, const Frame frame)
{
    if (!IsOpen()) return false;
    uint32_t returned = 0;
    if (!dev::DeviceControl(handle_, WriteCode(command), frame, kFrameSize, nullptr, 0, &returned))
    {
        SLOG_ERR("VarkeControlWrite command: %d, errCode = %d", static_cast<int>(command),
                 static_cast<int>(dev::LastError()));
        return false;
    }
    if (returned != kFrameSize)
    {
        SLOG_ERR("VarkeControlWrite command: %d, return %d bytes", static_cast<int>(command),
                 static_cast<int>(returned));
        return false;
    }
    return true;
}

bool CVarkDevice::VarkeControlRead(RecorderCommand command, Frame reply)
{
    if (!IsOpen()) return false;
    for (int attempt = 1;; ++attempt)
    {
        uint32_t returned = 0;
        if (!dev::DeviceControl(handle_, QueryCode(command), nullptr, 0, reply, kFrameSize,
                                &returned))
            return false;
        if (returned == kFrameSize) return true;
        if (returned != 0 || attempt >= kNotReadyAttempts) return false;
        SleepMs(kNotReadyPauseMs); // the recorder is not ready yet
    }
}

uint32_t CVarkDevice::Read(void* buffer, uint32_t count)
{
    if (!IsOpen() || count == 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    if (firmwareVersion_ < kFirmwareTransferSizeOnOpen)
    {
        Frame frame;
        ClearFrame(frame);
        StoreLE16(frame + 4, static_cast<uint16_t>(count));
        if (!VarkeControlWrite(Cmd::TransferSize, frame)) return 0;
        uint32_t delivered = 0;
        return dev::ReadDevice(handle_, out, count, &delivered) ? delivered : 0;
    }
    if (firmwareVersion_ < kFirmwarePages)
    {
        uint32_t delivered = 0;
        return dev::ReadDevice(handle_, out, count, &delivered) ? delivered : 0;
    }
    uint8_t page[kPageSize]; // one local page, no allocation per read
    for (uint32_t offset = 0; offset < count; offset += kPageDataSize)
    {
        uint32_t delivered = 0;
        if (!dev::ReadDevice(handle_, page, kPageSize, &delivered))
        {
            SLOG_ERR("CVarkDevice::Read: ReadFile return FALSE, error %u", dev::LastError());
            return offset;
        }
        if (delivered != kPageSize)
        {
            SLOG("CVarkDevice::Read: ReadFile return %u bytes", delivered);
            return offset;
        }
        CheckPage(page);
        const uint32_t take = count - offset < kPageDataSize ? count - offset : kPageDataSize;
        std::memcpy(out + offset, page, take);
    }
    return count;
}

// ---- simple commands ----------------------------------------------------------------

bool CVarkDevice::GetClock(platform::AutoDate& date)
{
    Frame reply;
    if (!VarkeControlRead(Cmd::Clock, reply)) return false;
    date = RecorderTimeToDate(LoadLE32(reply + 4));
    return true;
}

bool CVarkDevice::SetClock(const platform::AutoDate& date)
{
    if (!IsOpen()) return false;
    uint32_t seconds = 0;
    if (!DateToRecorderTime(date, seconds)) return false;
    Frame frame;
    ClearFrame(frame);
    StoreLE32(frame + 4, seconds);
    return VarkeControlWrite(Cmd::Clock, frame) && Commit();
}

bool CVarkDevice::GetMemory(uint32_t& total, uint32_t& free)
{
    Frame reply;
    if (!VarkeControlRead(Cmd::Memory, reply)) return false;
    total = LoadLE32(reply + 4);
    free = LoadLE32(reply + 8);
    return true;
}

uint8_t CVarkDevice::GetBattery(bool& charging)
{
    return QueryBattery(charging).value_or(0);
}

std::optional<uint8_t> CVarkDevice::QueryBattery(bool& charging)
{
    Frame reply;
    if (!VarkeControlRead(Cmd::Battery, reply)) return std::nullopt;
    charging = reply[5] == 1;
    return reply[4];
}

uint16_t CVarkDevice::GetRecordCount()
{
    return QueryRecordCount().value_or(0);
}

std::optional<uint16_t> CVarkDevice::QueryRecordCount()
{
    Frame reply;
    if (!VarkeControlRead(Cmd::RecordCount, reply)) return std::nullopt;
    return LoadLE16(reply + 4);
}

bool CVarkDevice::GetInputLevel(uint8_t levels[2])
{
    Frame reply;
    if (!VarkeControlRead(Cmd::InputLevel, reply)) return false;
    levels[0] = reply[4];
    levels[1] = reply[5];
    return true;
}

uint8_t CVarkDevice::GetBatteryIndication()
{
    Frame reply;
    return VarkeControlRead(Cmd::BatteryIndication, reply) ? reply[4] : 0;
}

bool CVarkDevice::SetBatteryIndication(bool on)
{
    return WriteByte(Cmd::BatteryIndication, on ? 1 : 0);
}

uint8_t CVarkDevice::GetCapabilityLevel()
{
    return QueryCapabilityLevel().value_or(0);
}

std::optional<uint8_t> CVarkDevice::QueryCapabilityLevel()
{
    uint8_t level = 0;
    if (!QueryByte(Cmd::CapabilityLevel, level)) return std::nullopt;
    return level;
}

bool CVarkDevice::Commit()
{
    if (!IsOpen()) return false;
    Frame frame;
    ClearFrame(frame);
    return VarkeControlWrite(Cmd::Commit, frame);
}

bool CVarkDevice::WriteByte(RecorderCommand command, uint8_t value)
{
    if (!IsOpen()) return false;
    Frame frame;
    ClearFrame(frame);
    frame[4] = value;
    return VarkeControlWrite(command, frame);
}

bool CVarkDevice::QueryByte(RecorderCommand command, uint8_t& value)
{
    Frame reply;
    if (!VarkeControlRead(command, reply)) return false;
    value = reply[4];
    return true;
}

// ---- access code --------------------------------------------------------------------

bool PinTextToAccessCode(const std::wstring& pin, uint32_t& code)
{
    if (pin.size() > 8) return false;
    size_t i = 0;
    while (i < pin.size() && (pin[i] == L' ' || (pin[i] >= L'\t' && pin[i] <= L'\r')))
        ++i;
    bool negative = false;
    if (i < pin.size() && (pin[i] == L'+' || pin[i] == L'-')) negative = pin[i++] == L'-';
    const auto digit = [](wchar_t c) -> int
    {
        if (c >= L'0' && c <= L'9') return c - L'0';
        if (c >= L'a' && c <= L'f') return c - L'a' + 10;
        if (c >= L'A' && c <= L'F') return c - L'A' + 10;
        return -1;
    };
    if (i + 2 < pin.size() && pin[i] == L'0' && (pin[i + 1] == L'x' || pin[i + 1] == L'X') &&
        digit(pin[i + 2]) >= 0)
        i += 2;
    uint64_t magnitude = 0;
    for (; i < pin.size() && digit(pin[i]) >= 0; ++i)
    {
        magnitude = magnitude * 16 + static_cast<unsigned>(digit(pin[i]));
        if (magnitude > 0x80000000ull) magnitude = 0x80000001ull; // saturate, keep going
    }
    int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
    if (value < -0x80000000ll) value = -0x80000000ll;
    code = static_cast<uint32_t>(static_cast<int32_t>(value));
    return true;
}

bool CVarkDevice::PresentAccessCode(const std::wstring& pin)
{
    uint32_t code = 0;
    if (!IsOpen() || !PinTextToAccessCode(pin, code)) return false;
    Frame frame;
    ClearFrame(frame); // dword 0: the code held so far
    StoreLE32(frame + 4, code);
    if (!VarkeControlWrite(Cmd::PresentAccessCode, frame)) return false;
    accessCode_ = code;
    Frame reply;
    if (!VarkeControlRead(Cmd::FirmwareVersion, reply)) return false;
    firmwareVersion_ = LoadLE16(reply + 4);
    return true;
}

bool CVarkDevice::ChangeAccessCode(const std::wstring& newPin)
{
    uint32_t code = 0;
    if (!IsOpen() || !PinTextToAccessCode(newPin, code)) return false;
    Frame frame;
    ClearFrame(frame);
    StoreLE32(frame + 4, code);
    return VarkeControlWrite(Cmd::ChangeAccessCode, frame) && Commit() && PresentAccessCode(newPin);
}

// ---- record access ------------------------------------------------------------------

bool CVarkDevice::PollRecordReady()
{
    // A recorder that never gets ready must not hold the caller for ever: after the bound
    // the open counts as a failed read.
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRecordReadyTimeoutMs);
    for (;;)
    {
        Frame reply;
        if (!VarkeControlRead(Cmd::SelectRecord, reply)) return false;
        if (reply[4] == 0) return true;
        if (std::chrono::steady_clock::now() >= end)
        {
            SLOG_ERR("CVarkDevice: the record is not ready after %d ms", kRecordReadyTimeoutMs);
            return false;
        }
        SleepMs(kNotReadyPauseMs);
    }
}

bool CVarkDevice::OpenRecord(uint16_t index)
{
    if (!IsOpen()) return false;
    ClearFrame(sequence_);
    StoreLE16(sequence_ + 4, index);
    if (!VarkeControlWrite(Cmd::SelectRecord, sequence_) || !PollRecordReady()) return false;
    if (firmwareVersion_ < kFirmwareTransferSizeOnOpen) return true;
    StoreLE16(sequence_ + 4, kTransferSizeOnOpen); // same frame: later bytes of the sequence remain
    return VarkeControlWrite(Cmd::TransferSize, sequence_);
}

bool CVarkDevice::SeekRecord(uint32_t position, uint8_t flag)
{
    if (!IsOpen()) return false;
    ClearFrame(sequence_);
    StoreLE32(sequence_ + 4, position);
    sequence_[8] = flag;
    if (!VarkeControlWrite(Cmd::SeekRecord, sequence_)) return false;
    if (firmwareVersion_ < kFirmwareTransferSizeOnOpen) return true;
    StoreLE16(sequence_ + 4, kTransferSizeOnOpen);
    return VarkeControlWrite(Cmd::TransferSize, sequence_);
}

bool CVarkDevice::CloseRecord()
{
    if (!IsOpen()) return false;
    Frame frame;
    ClearFrame(frame);
    return VarkeControlWrite(Cmd::CloseRecord, frame);
}

bool CVarkDevice::GetRecordInfo(uint16_t index, RecordInfo& info)
{
    if (!IsOpen()) return false;
    Frame frame;
    ClearFrame(frame);
    StoreLE16(frame + 4, index);
    if (!VarkeControlWrite(Cmd::SelectRecord, frame) || !PollRecordReady()) return false;
    Frame reply;
    if (!VarkeControlRead(Cmd::RecordHeader, reply)) return false;
    info = DecodeRecordHeader(LoadLE32(reply + 4), LoadLE32(reply + 8), LoadLE32(reply + 12),
                              serialNumber_);
    CloseRecord(); // its result does not matter
    return true;
}

// ---- erase --------------------------------------------------------------------------

bool CVarkDevice::StartEraseAll()
{
    return WriteByte(Cmd::EraseAll, 1);
}

bool CVarkDevice::IsErasing()
{
    uint8_t busy = 0;
    return !QueryByte(Cmd::EraseAll, busy) || busy != 0;
}

bool WaitForEraseEnd(CVarkDevice& device, const std::function<void(int)>& tick)
{
    const auto begin = std::chrono::steady_clock::now();
    for (;;)
    {
        SleepMs(250);
        if (tick)
            tick(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - begin)
                                      .count()));
        platform::AutoDate now;
        if (!device.GetClock(now)) return false; // the recorder is gone
        if (!device.IsErasing()) return true;
    }
}

// ---- parameters ---------------------------------------------------------------------

bool CVarkDevice::ReadParameters()
{
    Frame reply;
    uint8_t b = 0;
    if (VarkeControlRead(Cmd::AccuThreshold, reply))
    {
        const uint32_t threshold = LoadLE32(reply + 4);
        params_.accuThreshold = static_cast<uint16_t>(threshold);
        params_.pad154[0] = static_cast<uint8_t>(threshold >> 16);
        params_.pad154[1] = static_cast<uint8_t>(threshold >> 24);
        params_.accuEnabled = (threshold & 0xFFFF) != 0 ? 1 : 0;
    }
    if (QueryByte(Cmd::Agc, b)) params_.agc = b;
    if (VarkeControlRead(Cmd::RecordingLevel, reply))
    {
        params_.inputLevelLeft = DecodeInputLevel(reply[4]);
        params_.inputLevelRight = DecodeInputLevel(reply[5]);
    }
    if (QueryByte(Cmd::ButtonMode, b)) params_.buttonMode = b;
    if (QueryByte(Cmd::RecordButton, b)) params_.recordButton = b;
    for (int i = 0; i < kTimerCount; ++i)
    {
        if (!IsOpen()) break;
        ClearFrame(sequence_);
        sequence_[4] = static_cast<uint8_t>(i);
        if (!VarkeControlWrite(Cmd::SelectTimer, sequence_) || !VarkeControlRead(Cmd::Timer, reply))
            continue;
        VarkTimer& t = params_.timers[i];
        const uint32_t start = LoadLE32(reply + 4), duration = LoadLE32(reply + 8);
        if (duration == 0)
        {
            t.enabled = 0;
            continue;
        }
        t.enabled = 1;
        const auto date = RecorderTimeToDate(start);
        const auto span = RecorderSecondsToSpan(duration);
        t.start = date.Days();
        t.startStatus = date.IsValid() ? 0 : 1;
        t.duration = span.Days();
        t.durationStatus = span.IsValid() ? 0 : 1;
    }
    if (VarkeControlRead(Cmd::RingLength, reply))
    {
        const uint32_t seconds = LoadLE32(reply + 4);
        if (seconds == 0)
        {
            params_.ringEnabled = 0;
            params_.ringLength = 0.0625; // 1 h 30 min
        }
        else
        {
            params_.ringEnabled = 1;
            params_.ringLength = seconds / 86400.0;
        }
        params_.ringLengthStatus = 0;
    }
    if (QueryByte(Cmd::SampleRate, b)) params_.rate16k = b;
    if (QueryByte(Cmd::Uncompressed, b)) params_.compression = b == 0 ? 1 : 0;
    if (QueryByte(Cmd::Stereo, b)) params_.stereo = b != 0 ? 1 : 0;
    if (QueryByte(Cmd::SourceLeft, b)) params_.sourceLeft = b;
    if (QueryByte(Cmd::SourceRight, b)) params_.sourceRight = b;
    return true;
}

bool CVarkDevice::WriteParameters()
{
    if (!IsOpen()) return false;
    const VarkParams& p = params_;
    Frame frame;
    ClearFrame(frame);
    StoreLE16(frame + 4, p.accuEnabled ? p.accuThreshold : 0);
    if (!VarkeControlWrite(Cmd::AccuThreshold, frame)) return false;
    if (!WriteByte(Cmd::Agc, p.agc)) return false;
    ClearFrame(frame);
    frame[4] = frame[5] = EncodeInputLevel(p.inputLevelLeft);
    if (!VarkeControlWrite(Cmd::RecordingLevel, frame)) return false;
    if (!WriteByte(Cmd::ButtonMode, static_cast<uint8_t>(p.buttonMode))) return false;
    if (!WriteByte(Cmd::RecordButton, p.recordButton ? 1 : 0)) return false;
    for (int i = 0; i < kTimerCount; ++i)
    {
        const VarkTimer& t = p.timers[i];
        uint32_t start = 0, duration = 0;
        // An invalid value is never sent: the timer goes out as off. A valid one outside the
        // recorder's range (before 2000, a negative span, beyond 32 bits) would arrive
        // wrapped round: the write stops there, a failure like a refused command.
        if (t.enabled && t.startStatus == 0 && t.durationStatus == 0 &&
            (!DateToRecorderTime(platform::AutoDate(t.start), start) ||
             !SpanToRecorderSeconds(platform::AutoSpan(t.duration), duration)))
        {
            SLOG_ERR("WriteParameters: timer %d is outside the recorder's range", i + 1);
            return false;
        }
        if (!t.enabled || t.startStatus != 0 || t.durationStatus != 0) start = duration = 0;
        ClearFrame(sequence_);
        sequence_[4] = static_cast<uint8_t>(i);
        if (!VarkeControlWrite(Cmd::SelectTimer, sequence_)) return false;
        StoreLE32(sequence_ + 4, start);
        StoreLE32(sequence_ + 8, duration);
        if (!VarkeControlWrite(Cmd::Timer, sequence_)) return false;
    }
    uint32_t ring = 0;
    if (p.ringEnabled && p.ringLengthStatus == 0 &&
        !SpanToRecorderSeconds(platform::AutoSpan(p.ringLength), ring))
    {
        SLOG_ERR("WriteParameters: the loop length is outside the recorder's range");
        return false;
    }
    if (!p.ringEnabled || p.ringLengthStatus != 0) ring = 0;
    ClearFrame(frame);
    StoreLE32(frame + 4, ring);
    if (!VarkeControlWrite(Cmd::RingLength, frame)) return false;
    if (!WriteByte(Cmd::SampleRate, p.rate16k)) return false;
    if (!WriteByte(Cmd::Uncompressed, static_cast<uint8_t>(1 - (p.compression ? 1 : 0))))
        return false;
    if (!WriteByte(Cmd::Stereo, p.stereo)) return false;
    if (!WriteByte(Cmd::SourceLeft, p.sourceLeft)) return false;
    if (!WriteByte(Cmd::SourceRight, p.sourceRight)) return false;
    return Commit();
}

// ---- helpers ------------------------------------------------------------------------

uint32_t MemoryKilobytes(uint32_t raw, uint16_t firmwareVersion)
{
    return firmwareVersion < kFirmwareSectorUnits ? raw >> 10 : raw >> 1;
}

platform::AutoSpan RecordingTimeLeft(uint32_t freeKilobytes, const VarkParams& params)
{
    const double bytes = static_cast<double>(freeKilobytes) * 1024.0;
    return platform::AutoSpan(bytes / BytesPerSecond(params) / 86400.0);
}

bool FindRecorder(const std::function<bool(const std::string&)>& connect)
{
    for (const std::string& path : dev::EnumerateInterfaces(dev::kRecorderClassGuid))
        if (connect(path)) return true;
    return false;
}

} // namespace vark
