// The virtual recorder's firmware: answers the recorder's control requests and bulk reads
// the way the real device does, on an in-memory image. Thread-safe: requests may come from
// the device server's thread while a test inspects the state.
//
// Behaviour beyond the command table:
// - The recorder is locked when plugged in and again whenever its last open handle closes or
//   an access code is refused. Locked, it answers only query 0 and write 29.
// - Unlocked, every write must carry in dword 0 the code presented at unlock (write 29 itself
//   excepted). Write 28 changes the recorder's code at once; the code presented at unlock
//   stays good for the writes that follow, and the next write 29 must present the new code.
// - Write 10 selects a record; query 10 answers "not ready" for `notReadyPolls` polls. The
//   record's header, positioning and bulk reads are refused (21) until it is ready.
// - Bulk reads need a transfer size (write 14) since the last write 10 or 13; below firmware
//   17 each read consumes it. Page-format firmware (0x2C00 and above) delivers whole 5120-byte
//   pages only, so a read asks for a multiple of 5120 bytes.
// - Write 31 commits the settings (parameters, access code, clock offset, battery-indication
//   flag); with an image folder attached the commit is written there at once, and so is the
//   result of an erase.
#pragma once

#include "recorder/faults.h"
#include "recorder/image.h"

#include "device/vark_protocol.h"
#include "platform/devio_server.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace recorder
{

struct FirmwareConfig
{
    unsigned notReadyPolls = 2;    // query 10 answers "not ready" this often after write 10
    unsigned busyEmptyAnswers = 0; // after every write, this many queries answer zero bytes
    double eraseSeconds = 3.0;
    uint64_t throttleBytesPerSecond = 0; // bulk reads paced to this rate; 0 = unpaced
    unsigned latencyMs = 0;              // each answer comes this long after its request
};

struct RequestLogEntry
{
    uint64_t connection = 0;
    uint16_t op = 0;    // platform::devio::kOpControl or kOpRead
    uint32_t code = 0;  // the control code (0 for reads)
    char direction = 0; // 'Q', 'W', 'R' (bulk read) or '?' (unknown code)
    int command = -1;   // command number, -1 for reads and unknown codes
    std::vector<uint8_t> input;
    uint32_t outputCapacity = 0;
    uint32_t status = 0;
    uint32_t outputLength = 0;
    std::vector<uint8_t> output; // the bytes that went back
};

// One line: "#conn Q12 -> ok 16: 00 00 ..." style, for `vark-recorder plug -v`.
std::string FormatLogEntry(const RequestLogEntry& entry);

class RecorderFirmware
{
public:
    explicit RecorderFirmware(RecorderImage image, FirmwareConfig config = {});

    // Where commits and erasures are persisted; empty = memory only. `storedIdentity` is the
    // identity written there (default: the one the firmware runs with), so that identity
    // overrides for one run do not end up in the image.
    void SetImageFolder(const std::string& dir,
                        std::optional<RecorderIdentity> storedIdentity = std::nullopt);

    // Serves one request (waits out latency and throttling outside the lock).
    platform::devio::DeviceAnswer Handle(const platform::devio::DeviceRequest& request);
    // A device handle opened or closed.
    void ConnectionChanged(uint64_t connection, bool opened);
    // Power-on: locked, no record selected, no erase running.
    void Reset();

    // In-process shortcuts for tests: a query, a write with a 16-byte frame, a bulk read.
    // By number as well, for numbers outside the command table.
    platform::devio::DeviceAnswer Query(vark::RecorderCommand command)
    {
        return Query(vark::CommandNumber(command));
    }
    platform::devio::DeviceAnswer Write(vark::RecorderCommand command,
                                        const std::array<uint8_t, vark::kFrameSize>& frame)
    {
        return Write(vark::CommandNumber(command), frame);
    }
    platform::devio::DeviceAnswer Query(unsigned command);
    platform::devio::DeviceAnswer Write(unsigned command,
                                        const std::array<uint8_t, vark::kFrameSize>& frame);
    platform::devio::DeviceAnswer Read(uint32_t count);

    void AddFault(const Fault& fault);
    void ClearFaults();
    void SetConfig(const FirmwareConfig& config);
    FirmwareConfig Config() const;

    std::vector<RequestLogEntry> RequestLog() const;
    void ClearRequestLog();
    // Called (outside the lock) with every request and answer.
    void SetLogSink(std::function<void(const RequestLogEntry&)> sink);

    bool Locked() const;
    bool Erasing() const;
    // True once an unplug fault has fired; every later request fails with 1167.
    bool UnpluggedByFault() const;
    uint32_t RecorderTime() const;
    RecorderImage LiveImage() const;      // settings as they stand now
    RecorderImage CommittedImage() const; // settings as last committed
    // Writes the committed image to the image folder (no-op without one). An erase that has
    // been started counts as done: the flash does not get its records back.
    bool Save(std::string* error);

private:
    struct Reply;
    Reply Dispatch(const platform::devio::DeviceRequest& request, RequestLogEntry* log);
    Reply DoQuery(vark::RecorderCommand command);
    Reply DoWrite(vark::RecorderCommand command, const std::vector<uint8_t>& frame);
    Reply DoRead(uint32_t count);
    std::optional<Reply> ApplyRequestFaults(char direction, int command);
    void FinishErase();
    void PersistLocked();
    uint64_t FreeBytes() const;
    void ApplyFlips(size_t record, uint64_t offset, uint8_t* data, size_t size) const;
    void InputLevels(uint8_t* left, uint8_t* right) const;

    mutable std::mutex mutex_;
    RecorderImage image_; // identity, live settings and records
    RecorderSettings committed_;
    FirmwareConfig config_;
    std::string imageFolder_;
    std::optional<RecorderIdentity> storedIdentity_;
    std::function<void(const RequestLogEntry&)> sink_;
    std::vector<RequestLogEntry> log_;

    struct ActiveFault
    {
        Fault fault;
        uint32_t seen = 0; // matching requests so far
        uint32_t hits = 0;
    };
    std::vector<ActiveFault> faults_;

    bool locked_ = true;
    uint32_t sessionCode_ = 0;
    int openConnections_ = 0;
    std::optional<size_t> selected_;
    unsigned pollsLeft_ = 0;
    uint64_t position_ = 0;
    uint32_t transferSize_ = 0;
    unsigned selectedTimer_ = 0;
    unsigned emptyAnswersLeft_ = 0;
    std::optional<std::chrono::steady_clock::time_point> eraseEnd_;
    uint64_t bulkDelivered_ = 0;
    bool unplugged_ = false;
    std::chrono::steady_clock::time_point started_;
};

} // namespace recorder
