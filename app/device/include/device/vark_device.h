// The one object through which the program talks to the recorder: discovery, the two
// 16-byte control requests, bulk reads (with flash page correction on page-format
// firmware), and the recorder's command set. No lock: requests are strictly sequential.
#pragma once

#include "device/record_info.h"
#include "device/vark_params.h"
#include "device/vark_protocol.h"

#include "platform/autodate.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vark
{

using Frame = uint8_t[kFrameSize];

class CVarkDevice
{
public:
    CVarkDevice();
    // Does not close the handle: the owner closes it on removal.
    virtual ~CVarkDevice();
    CVarkDevice(const CVarkDevice&) = delete;
    CVarkDevice& operator=(const CVarkDevice&) = delete;

    bool Open(const std::string& devicePath);
    bool Close();
    bool IsOpen() const { return handle_ >= 0; }

    bool VarkeControlWrite(RecorderCommand command, const Frame frame);
    bool VarkeControlRead(RecorderCommand command, Frame reply);
    // Bytes delivered into `buffer` (at most `count`).
    uint32_t Read(void* buffer, uint32_t count);

    int16_t SerialNumber() const { return serialNumber_; }
    uint32_t AccessCode() const { return accessCode_; }
    uint16_t FirmwareVersion() const { return firmwareVersion_; }
    VarkParams& Params() { return params_; }
    const VarkParams& Params() const { return params_; }

    bool GetClock(platform::AutoDate& date);
    bool SetClock(const platform::AutoDate& date);
    bool GetMemory(uint32_t& total, uint32_t& free);
    // These three answer 0 when the request fails, as the program's callers expect; the
    // Query variants tell a failure (nullopt) from a true 0.
    uint8_t GetBattery(bool& charging);
    uint16_t GetRecordCount();
    std::optional<uint8_t> QueryBattery(bool& charging);
    std::optional<uint16_t> QueryRecordCount();
    std::optional<uint8_t> QueryCapabilityLevel();
    bool GetInputLevel(uint8_t levels[2]);
    uint8_t GetBatteryIndication();
    bool SetBatteryIndication(bool on);
    uint8_t GetCapabilityLevel();
    bool Commit();

    bool PresentAccessCode(const std::wstring& pin);
    bool ChangeAccessCode(const std::wstring& newPin);

    bool OpenRecord(uint16_t index);
    bool SeekRecord(uint32_t position, uint8_t flag);
    bool CloseRecord();
    bool GetRecordInfo(uint16_t index, RecordInfo& info);

    bool StartEraseAll();
    bool IsErasing();

    bool ReadParameters();  // always true; failed steps leave their fields alone
    bool WriteParameters(); // stops at the first failure; commits last

    // How long a query waits between zero-byte answers; tests shorten nothing, it is here
    // so the retry rule lives in one place.
    static constexpr int kNotReadyPauseMs = 10;
    static constexpr int kNotReadyAttempts = 100;
    // How long opening a record waits for the SelectRecord query to answer "ready", pausing
    // kNotReadyPauseMs between polls.
    static constexpr int kRecordReadyTimeoutMs = 10000;

private:
    bool PollRecordReady();
    bool WriteByte(RecorderCommand command, uint8_t value);
    bool QueryByte(RecorderCommand command, uint8_t& value);
    void ClearFrame(Frame frame) const;

    int handle_ = -1;
    int16_t serialNumber_ = 0;
    uint32_t accessCode_ = 0;
    uint16_t firmwareVersion_ = 0;
    VarkParams params_;
    Frame sequence_ = {}; // the frame reused within one request sequence
};

// PIN text to access code: wcstol base 16 semantics; false for texts over 8 characters.
bool PinTextToAccessCode(const std::wstring& pin, uint32_t& code);

// Memory figure in kilobytes: bytes below firmware 1025, else 512-byte units.
uint32_t MemoryKilobytes(uint32_t raw, uint16_t firmwareVersion);
// Recording time left for `freeKilobytes` at the given parameters.
platform::AutoSpan RecordingTimeLeft(uint32_t freeKilobytes, const VarkParams& params);

// After StartEraseAll: polls every 250 ms (GetClock, then IsErasing) until the erase ends.
// `tick` is called before each poll with the elapsed milliseconds. false when the recorder
// stopped answering.
bool WaitForEraseEnd(CVarkDevice& device, const std::function<void(int elapsedMs)>& tick = {});

// Walks the present recorder interfaces in order and hands each path to `connect`; stops at
// the first for which it returns true. false when none connected.
bool FindRecorder(const std::function<bool(const std::string& devicePath)>& connect);

} // namespace vark
