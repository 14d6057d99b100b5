#include "recorder/firmware.h"
#include "recorder/flash_page.h"

#include "platform/devio.h"

#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace recorder
{

using platform::devio::DeviceAnswer;
using platform::devio::DeviceRequest;
using platform::devio::GetU16;
using platform::devio::GetU32;
using platform::devio::PutU16;
using platform::devio::PutU32;
using vark::kFrameSize;
using Cmd = vark::RecorderCommand;
namespace dv = platform::devio;

namespace
{

constexpr uint32_t kErrorInsufficientBuffer = 122;

// Waits until `deadline` without overshooting it by the scheduler's wake-up time: a plain
// sleep of 1 ms can last 1.04-1.09 ms, which would make the emulated latency a tenth longer
// than asked. The thread sleeps with the least timer slack, wakes early by the overshoot its
// recent sleeps had, and yields away what is left, which is then only the jitter.
void WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    thread_local const bool slackLowered = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    thread_local nanoseconds overshoot = microseconds(50); // a running mean
    (void)slackLowered;
    const auto wakeAt = deadline - overshoot;
    if (steady_clock::now() < wakeAt)
    {
        std::this_thread::sleep_until(wakeAt);
        const auto late = std::clamp<nanoseconds>(steady_clock::now() - wakeAt, nanoseconds(0),
                                                  microseconds(500));
        overshoot += (late - overshoot) / 8;
    }
    while (steady_clock::now() < deadline)
        std::this_thread::yield();
}

std::string HexBytes(const std::vector<uint8_t>& bytes, size_t max)
{
    std::string s;
    char buf[4];
    for (size_t i = 0; i < bytes.size() && i < max; ++i)
    {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) s += (i % 4 == 0) ? "  " : " ";
        s += buf;
    }
    if (bytes.size() > max) s += " ...";
    return s;
}

} // namespace

struct RecorderFirmware::Reply
{
    uint32_t status = 0;
    uint32_t outputLength = 0;
    std::vector<uint8_t> output;
    bool unplugAfter = false;

    static Reply Error(uint32_t status)
    {
        Reply r;
        r.status = status;
        return r;
    }
    static Reply Frame(const uint8_t* frame)
    {
        Reply r;
        r.output.assign(frame, frame + kFrameSize);
        r.outputLength = kFrameSize;
        return r;
    }
    static Reply WriteDone()
    {
        Reply r;
        r.outputLength = kFrameSize; // the driver reports the frame as transferred
        return r;
    }
};

std::string FormatLogEntry(const RequestLogEntry& e)
{
    std::string s = "#" + std::to_string(e.connection) + " ";
    if (e.direction == 'R')
        s += "R " + std::to_string(e.outputCapacity);
    else if (e.command >= 0)
        s += std::string(1, e.direction) + std::to_string(e.command);
    else
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "code 0x%X", e.code);
        s += buf;
    }
    if (!e.input.empty()) s += " [" + HexBytes(e.input, 16) + "]";
    s += " -> ";
    if (e.status == 0)
        s += "ok " + std::to_string(e.outputLength);
    else
        s += "error " + std::to_string(e.status);
    if (!e.output.empty()) s += " [" + HexBytes(e.output, 16) + "]";
    return s;
}

RecorderFirmware::RecorderFirmware(RecorderImage image, FirmwareConfig config)
    : image_(std::move(image)), committed_(image_.settings), config_(config),
      started_(std::chrono::steady_clock::now())
{
}

void RecorderFirmware::SetImageFolder(const std::string& dir,
                                      std::optional<RecorderIdentity> stored)
{
    std::lock_guard lock(mutex_);
    imageFolder_ = dir;
    storedIdentity_ = stored;
}

void RecorderFirmware::Reset()
{
    std::lock_guard lock(mutex_);
    if (eraseEnd_) FinishErase();
    image_.settings = committed_;
    locked_ = true;
    sessionCode_ = 0;
    selected_.reset();
    pollsLeft_ = 0;
    transferSize_ = 0;
    emptyAnswersLeft_ = 0;
    unplugged_ = false;
}

void RecorderFirmware::ConnectionChanged(uint64_t, bool opened)
{
    std::lock_guard lock(mutex_);
    openConnections_ += opened ? 1 : -1;
    if (openConnections_ <= 0)
    {
        openConnections_ = 0;
        locked_ = true;
        selected_.reset();
    }
}

DeviceAnswer RecorderFirmware::Handle(const DeviceRequest& request)
{
    unsigned latency;
    uint64_t throttle;
    {
        std::lock_guard lock(mutex_);
        latency = config_.latencyMs;
        throttle = config_.throttleBytesPerSecond;
    }
    // The latency is the recorder's answer time, counted from the request's arrival, so the
    // work of answering is inside it, as on the device.
    const auto answerAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(latency);

    RequestLogEntry entry;
    entry.connection = request.connection;
    entry.op = request.op;
    entry.code = request.code;
    entry.input = request.input;
    entry.outputCapacity = request.outputCapacity;
    Reply reply;
    std::function<void(const RequestLogEntry&)> sink;
    {
        std::lock_guard lock(mutex_);
        reply = Dispatch(request, &entry);
        if (reply.status != 0)
        {
            reply.output.clear();
            reply.outputLength = 0;
        }
        entry.status = reply.status;
        entry.outputLength = reply.outputLength;
        entry.output = reply.output;
        log_.push_back(entry);
        sink = sink_;
    }
    if (latency) WaitUntil(answerAt);
    // a bulk read's transfer time comes on top of the answer time
    if (throttle && request.op == dv::kOpRead && !reply.output.empty())
        std::this_thread::sleep_for(std::chrono::microseconds(
            static_cast<int64_t>(reply.output.size() * 1000000ull / throttle)));
    if (sink) sink(entry);

    DeviceAnswer answer;
    answer.status = reply.status;
    answer.outputLength = reply.outputLength;
    answer.output = std::move(reply.output);
    answer.unplugAfter = reply.unplugAfter;
    return answer;
}

DeviceAnswer RecorderFirmware::Query(unsigned command)
{
    DeviceRequest r;
    r.op = dv::kOpControl;
    r.code = vark::QueryCode(command);
    r.outputCapacity = kFrameSize;
    return Handle(r);
}

DeviceAnswer RecorderFirmware::Write(unsigned command, const std::array<uint8_t, kFrameSize>& frame)
{
    DeviceRequest r;
    r.op = dv::kOpControl;
    r.code = vark::WriteCode(command);
    r.input.assign(frame.begin(), frame.end());
    return Handle(r);
}

DeviceAnswer RecorderFirmware::Read(uint32_t count)
{
    DeviceRequest r;
    r.op = dv::kOpRead;
    r.outputCapacity = count;
    return Handle(r);
}

RecorderFirmware::Reply RecorderFirmware::Dispatch(const DeviceRequest& request,
                                                   RequestLogEntry* log)
{
    if (unplugged_) return Reply::Error(dv::kErrorDeviceNotConnected);
    if (eraseEnd_ && std::chrono::steady_clock::now() >= *eraseEnd_) FinishErase();

    if (request.op == dv::kOpRead)
    {
        log->direction = 'R';
        if (auto r = ApplyRequestFaults('R', -1)) return *r;
        return DoRead(request.outputCapacity);
    }
    char direction = '?';
    unsigned command = 0;
    if (request.code >= vark::kQueryCodeBase && request.code < vark::kWriteCodeBase &&
        (request.code - vark::kQueryCodeBase) % 4 == 0)
    {
        direction = 'Q';
        command = (request.code - vark::kQueryCodeBase) / 4;
    }
    else if (request.code >= vark::kWriteCodeBase && request.code < vark::kWriteCodeBase + 0x400 &&
             (request.code - vark::kWriteCodeBase) % 4 == 0)
    {
        direction = 'W';
        command = (request.code - vark::kWriteCodeBase) / 4;
    }
    log->direction = direction;
    if (direction == '?') return Reply::Error(dv::kErrorInvalidFunction);
    log->command = static_cast<int>(command);
    // Below 256 either way, so every number is a value of the command type; numbers
    // outside the table fall to the switches' default.
    const auto cmd = static_cast<Cmd>(command);

    if (direction == 'Q')
    {
        if (request.outputCapacity < kFrameSize) return Reply::Error(kErrorInsufficientBuffer);
        if (auto r = ApplyRequestFaults('Q', static_cast<int>(command))) return *r;
        if (emptyAnswersLeft_ > 0)
        {
            --emptyAnswersLeft_;
            return Reply{};
        }
        if (locked_ && cmd != Cmd::SerialNumber) return Reply::Error(dv::kErrorAccessDenied);
        Reply r = DoQuery(cmd);
        if (r.status == 0)
            for (ActiveFault& f : faults_)
            {
                if (f.fault.kind != Fault::Kind::ShortAnswer ||
                    (f.fault.command >= 0 && f.fault.command != static_cast<int>(command)))
                    continue;
                if (f.seen++ < f.fault.skip || f.hits >= f.fault.times) continue;
                ++f.hits;
                r.output.resize(8);
                r.outputLength = 8;
                break;
            }
        return r;
    }

    if (request.input.size() != kFrameSize) return Reply::Error(dv::kErrorInvalidParameter);
    if (auto r = ApplyRequestFaults('W', static_cast<int>(command))) return *r;
    if (cmd != Cmd::PresentAccessCode)
    {
        if (locked_) return Reply::Error(dv::kErrorAccessDenied);
        if (GetU32(request.input.data()) != sessionCode_)
            return Reply::Error(dv::kErrorAccessDenied);
    }
    Reply r = DoWrite(cmd, request.input);
    if (r.status == 0) emptyAnswersLeft_ = config_.busyEmptyAnswers;
    return r;
}

std::optional<RecorderFirmware::Reply> RecorderFirmware::ApplyRequestFaults(char direction,
                                                                            int command)
{
    for (ActiveFault& f : faults_)
    {
        const Fault& x = f.fault;
        const bool kindMatches = (x.kind == Fault::Kind::FailCommand && direction != 'R') ||
                                 (x.kind == Fault::Kind::EmptyAnswer && direction == 'Q');
        if (!kindMatches) continue;
        if (x.direction && x.direction != direction) continue;
        if (x.command >= 0 && x.command != command) continue;
        if (f.seen++ < x.skip || f.hits >= x.times) continue;
        ++f.hits;
        if (x.kind == Fault::Kind::FailCommand) return Reply::Error(x.error);
        return Reply{}; // zero bytes: not ready
    }
    return std::nullopt;
}

uint64_t RecorderFirmware::FreeBytes() const
{
    uint64_t used = 0;
    for (const StoredRecord& r : image_.records)
        used += r.data.size();
    return used >= image_.identity.memoryTotal ? 0 : image_.identity.memoryTotal - used;
}

uint32_t RecorderFirmware::RecorderTime() const
{
    std::lock_guard lock(mutex_);
    return static_cast<uint32_t>(HostSecondsSince2000() + image_.settings.clockOffset);
}

void RecorderFirmware::InputLevels(uint8_t* left, uint8_t* right) const
{
    // Phrases of a few syllables with pauses between them, and a little room noise.
    const double t =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const auto level = [](double t, double phase)
    {
        const double phrase = std::fmod(t + phase, 3.3) < 2.3 ? 1.0 : 0.0;
        const double syllable = std::max(0.0, std::sin(2 * M_PI * 3.9 * t + phase));
        const double stress = 0.65 + 0.35 * std::sin(2 * M_PI * 0.7 * t + 3 * phase);
        const double noise = 2.0 + 1.5 * std::fabs(std::sin(t * 91.7 + phase * 13));
        return static_cast<uint8_t>(
            std::min(100.0, noise + 85.0 * phrase * stress * std::sqrt(syllable)));
    };
    *left = level(t, 0.0);
    *right = level(t, 0.4);
}

// Each switch names every command of the table, so that a command the link gains fails the
// build here until the firmware decides what it does with it in both directions.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch-enum"

RecorderFirmware::Reply RecorderFirmware::DoQuery(Cmd command)
{
    uint8_t f[kFrameSize] = {};
    const RecorderSettings& s = image_.settings;
    const RecorderIdentity& id = image_.identity;
    switch (command)
    {
    case Cmd::SerialNumber:
        PutU16(f + 4, static_cast<uint16_t>(id.serial));
        break;
    case Cmd::Clock:
        PutU32(f + 4, static_cast<uint32_t>(HostSecondsSince2000() + s.clockOffset));
        break;
    case Cmd::SampleRate:
        f[4] = s.rate16k;
        break;
    case Cmd::Uncompressed:
        f[4] = s.uncompressed;
        break;
    case Cmd::Stereo:
        f[4] = s.stereo;
        break;
    case Cmd::SourceLeft:
        f[4] = s.sourceLeft;
        break;
    case Cmd::SourceRight:
        f[4] = s.sourceRight;
        break;
    case Cmd::Memory:
    {
        const bool bytes = id.firmware < vark::kFirmwareSectorUnits;
        const auto units = [&](uint64_t v)
        {
            const uint64_t u = bytes ? v : v / 512;
            return static_cast<uint32_t>(std::min<uint64_t>(u, 0xFFFFFFFF));
        };
        PutU32(f + 4, units(id.memoryTotal));
        PutU32(f + 8, units(FreeBytes()));
        break;
    }
    case Cmd::Battery:
        f[4] = id.battery;
        f[5] = id.charging ? 1 : 0;
        break;
    case Cmd::RecordCount:
        PutU16(f + 4, static_cast<uint16_t>(std::min<size_t>(image_.records.size(), 0xFFFF)));
        break;
    case Cmd::SelectRecord:
        if (!selected_) return Reply::Error(dv::kErrorGenFailure);
        if (pollsLeft_ > 0)
        {
            --pollsLeft_;
            f[4] = 1;
        }
        break;
    case Cmd::RecordHeader:
    {
        if (!selected_) return Reply::Error(dv::kErrorGenFailure);
        if (pollsLeft_ > 0) return Reply::Error(dv::kErrorNotReady);
        const StoredRecord& r = image_.records[*selected_];
        PutU32(f + 4, static_cast<uint32_t>(r.data.size()));
        PutU32(f + 8, r.start);
        PutU32(f + 12, r.header);
        break;
    }
    case Cmd::RecordingLevel:
        f[4] = s.levelLeft;
        f[5] = s.levelRight;
        break;
    case Cmd::InputLevel:
        InputLevels(&f[4], &f[5]);
        break;
    case Cmd::Agc:
        f[4] = s.agc;
        break;
    case Cmd::ButtonMode:
        f[4] = s.buttonMode;
        break;
    case Cmd::AccuThreshold:
        PutU32(f + 4, s.accuThreshold);
        break;
    case Cmd::Timer:
        PutU32(f + 4, s.timers[selectedTimer_].start);
        PutU32(f + 8, s.timers[selectedTimer_].duration);
        break;
    case Cmd::EraseAll:
        f[4] = eraseEnd_ ? 1 : 0;
        break;
    case Cmd::RingLength:
        PutU32(f + 4, s.loopSeconds);
        break;
    case Cmd::RecordButton:
        f[4] = s.recordButton;
        break;
    case Cmd::FirmwareVersion:
        PutU16(f + 4, id.firmware);
        break;
    case Cmd::BatteryIndication:
        f[4] = s.batteryIndication;
        break;
    case Cmd::CapabilityLevel:
        f[4] = id.capability;
        break;
    // Write-only commands are answered like unknown ones.
    case Cmd::CloseRecord:
    case Cmd::SeekRecord:
    case Cmd::TransferSize:
    case Cmd::SelectTimer:
    case Cmd::ChangeAccessCode:
    case Cmd::PresentAccessCode:
    case Cmd::Commit:
    default:
        return Reply::Error(dv::kErrorInvalidFunction);
    }
    return Reply::Frame(f);
}

RecorderFirmware::Reply RecorderFirmware::DoWrite(Cmd command, const std::vector<uint8_t>& frame)
{
    RecorderSettings& s = image_.settings;
    const uint8_t* f = frame.data();
    const uint32_t dword4 = GetU32(f + 4);
    switch (command)
    {
    case Cmd::Clock:
        s.clockOffset = static_cast<int64_t>(dword4) - HostSecondsSince2000();
        break;
    case Cmd::SampleRate:
        s.rate16k = f[4];
        break;
    case Cmd::Uncompressed:
        s.uncompressed = f[4];
        break;
    case Cmd::Stereo:
        s.stereo = f[4] ? 1 : 0;
        break;
    case Cmd::SourceLeft:
        s.sourceLeft = f[4];
        break;
    case Cmd::SourceRight:
        s.sourceRight = f[4];
        break;
    case Cmd::SelectRecord:
    {
        if (eraseEnd_) return Reply::Error(dv::kErrorNotReady);
        const uint16_t index = GetU16(f + 4);
        selected_.reset();
        if (index >= image_.records.size()) return Reply::Error(dv::kErrorGenFailure);
        selected_ = index;
        pollsLeft_ = config_.notReadyPolls;
        position_ = 0;
        transferSize_ = 0;
        break;
    }
    case Cmd::CloseRecord:
        selected_.reset();
        break;
    case Cmd::SeekRecord:
        if (!selected_) return Reply::Error(dv::kErrorGenFailure);
        if (pollsLeft_ > 0) return Reply::Error(dv::kErrorNotReady);
        position_ = dword4;
        transferSize_ = 0;
        break;
    case Cmd::TransferSize:
    {
        const uint16_t size = GetU16(f + 4);
        if (size == 0) return Reply::Error(dv::kErrorInvalidParameter);
        transferSize_ = size;
        break;
    }
    case Cmd::RecordingLevel:
        if (f[4] > 31 || f[5] > 31) return Reply::Error(dv::kErrorInvalidParameter);
        s.levelLeft = f[4];
        s.levelRight = f[5];
        break;
    case Cmd::Agc:
        s.agc = f[4];
        break;
    case Cmd::ButtonMode:
        s.buttonMode = f[4];
        break;
    case Cmd::AccuThreshold:
        s.accuThreshold = GetU16(f + 4);
        break;
    case Cmd::SelectTimer:
        if (f[4] > 4) return Reply::Error(dv::kErrorInvalidParameter);
        selectedTimer_ = f[4];
        break;
    case Cmd::Timer:
        s.timers[selectedTimer_] = {dword4, GetU32(f + 8)};
        break;
    case Cmd::EraseAll:
        if (f[4] != 1) return Reply::Error(dv::kErrorInvalidParameter);
        selected_.reset();
        eraseEnd_ = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(config_.eraseSeconds));
        break;
    case Cmd::RingLength:
        s.loopSeconds = dword4;
        break;
    case Cmd::ChangeAccessCode:
        s.accessCode = dword4;
        break;
    case Cmd::PresentAccessCode:
        if (dword4 != s.accessCode)
        {
            locked_ = true;
            return Reply::Error(dv::kErrorAccessDenied);
        }
        locked_ = false;
        sessionCode_ = dword4;
        break;
    case Cmd::RecordButton:
        s.recordButton = f[4] ? 1 : 0;
        break;
    case Cmd::Commit:
        committed_ = s;
        PersistLocked();
        break;
    case Cmd::BatteryIndication:
        s.batteryIndication = f[4] ? 1 : 0;
        break;
    // Query-only commands are answered like unknown ones.
    case Cmd::SerialNumber:
    case Cmd::Memory:
    case Cmd::Battery:
    case Cmd::RecordCount:
    case Cmd::RecordHeader:
    case Cmd::InputLevel:
    case Cmd::FirmwareVersion:
    case Cmd::CapabilityLevel:
    default:
        return Reply::Error(dv::kErrorInvalidFunction);
    }
    return Reply::WriteDone();
}

#pragma GCC diagnostic pop

void RecorderFirmware::ApplyFlips(size_t record, uint64_t offset, uint8_t* data, size_t size) const
{
    for (const ActiveFault& f : faults_)
    {
        const Fault& x = f.fault;
        if (x.kind != Fault::Kind::FlipData) continue;
        if (x.record >= 0 && static_cast<size_t>(x.record) != record) continue;
        const uint64_t target = uint64_t{x.sector} * kSectorSize + x.byte;
        if (target >= offset && target < offset + size)
            data[target - offset] ^= static_cast<uint8_t>(1u << x.bit);
    }
}

RecorderFirmware::Reply RecorderFirmware::DoRead(uint32_t count)
{
    if (locked_) return Reply::Error(dv::kErrorAccessDenied);
    if (eraseEnd_) return Reply::Error(dv::kErrorNotReady);
    if (!selected_) return Reply::Error(dv::kErrorGenFailure);
    if (pollsLeft_ > 0) return Reply::Error(dv::kErrorNotReady);
    if (transferSize_ == 0) return Reply::Error(dv::kErrorGenFailure);

    const size_t index = *selected_;
    const std::vector<uint8_t>& data = image_.records[index].data;
    const uint64_t remaining = position_ < data.size() ? data.size() - position_ : 0;
    const uint16_t firmware = image_.identity.firmware;
    Reply r;
    if (firmware < vark::kFirmwarePages)
    {
        uint64_t n = std::min<uint64_t>(count, remaining);
        if (firmware < vark::kFirmwareTransferSizeOnOpen)
        {
            n = std::min<uint64_t>(n, transferSize_);
            transferSize_ = 0; // sent again before every read
        }
        r.output.assign(data.begin() + static_cast<std::ptrdiff_t>(position_),
                        data.begin() + static_cast<std::ptrdiff_t>(position_ + n));
        ApplyFlips(index, position_, r.output.data(), r.output.size());
        position_ += n;
    }
    else
    {
        if (count < kPageSize) return Reply::Error(dv::kErrorInvalidParameter);
        const uint64_t pagesLeft = (remaining + kPageDataSize - 1) / kPageDataSize;
        const uint64_t pages = std::min<uint64_t>(count / kPageSize, pagesLeft);
        r.output.resize(pages * kPageSize);
        uint8_t sectorData[kPageDataSize];
        for (uint64_t p = 0; p < pages; ++p)
        {
            const uint64_t take = std::min<uint64_t>(kPageDataSize, data.size() - position_);
            std::fill(sectorData, sectorData + kPageDataSize, 0xFF);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(position_), take, sectorData);
            uint8_t* page = r.output.data() + p * kPageSize;
            // The codes were programmed with the data; flips are what reads back wrong.
            BuildPage(sectorData, page);
            ApplyFlips(index, position_, page, kPageDataSize);
            for (const ActiveFault& f : faults_)
            {
                const Fault& x = f.fault;
                if (x.kind != Fault::Kind::FlipCode) continue;
                if (x.record >= 0 && static_cast<size_t>(x.record) != index) continue;
                for (size_t k = 0; k < kSectorsPerPage; ++k)
                    if ((position_ + k * kSectorSize) / kSectorSize == x.sector)
                        page[kPageDataSize + 3 * k + x.byte] ^= static_cast<uint8_t>(1u << x.bit);
            }
            position_ += take;
        }
    }

    for (ActiveFault& f : faults_)
    {
        if (f.fault.kind != Fault::Kind::ShortRead) continue;
        if (f.seen++ < f.fault.skip || f.hits >= f.fault.times) continue;
        ++f.hits;
        if (r.output.size() > f.fault.bytes) r.output.resize(f.fault.bytes);
        break; // the rest of this transfer is lost
    }
    for (ActiveFault& f : faults_)
    {
        if (f.fault.kind != Fault::Kind::UnplugAfter) continue;
        const uint64_t allowed =
            f.fault.bytes > bulkDelivered_ ? f.fault.bytes - bulkDelivered_ : 0;
        if (r.output.size() >= allowed)
        {
            r.output.resize(allowed);
            r.unplugAfter = true;
            unplugged_ = true;
        }
    }
    bulkDelivered_ += r.output.size();
    r.outputLength = static_cast<uint32_t>(r.output.size());
    return r;
}

void RecorderFirmware::FinishErase()
{
    eraseEnd_.reset();
    image_.records.clear();
    selected_.reset();
    PersistLocked();
}

void RecorderFirmware::PersistLocked()
{
    if (imageFolder_.empty()) return;
    RecorderImage stored;
    stored.identity = storedIdentity_ ? *storedIdentity_ : image_.identity;
    stored.settings = committed_;
    stored.records = image_.records;
    std::string error;
    if (!SaveImage(imageFolder_, stored, &error))
        std::fprintf(stderr, "vark-recorder: %s\n", error.c_str());
}

bool RecorderFirmware::Save(std::string* error)
{
    std::lock_guard lock(mutex_);
    if (eraseEnd_)
    {
        eraseEnd_.reset();
        image_.records.clear();
        selected_.reset();
    }
    if (imageFolder_.empty()) return true;
    RecorderImage stored;
    stored.identity = storedIdentity_ ? *storedIdentity_ : image_.identity;
    stored.settings = committed_;
    stored.records = image_.records;
    return SaveImage(imageFolder_, stored, error);
}

void RecorderFirmware::AddFault(const Fault& fault)
{
    std::lock_guard lock(mutex_);
    faults_.push_back({fault, 0, 0});
}

void RecorderFirmware::ClearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void RecorderFirmware::SetConfig(const FirmwareConfig& config)
{
    std::lock_guard lock(mutex_);
    config_ = config;
}

FirmwareConfig RecorderFirmware::Config() const
{
    std::lock_guard lock(mutex_);
    return config_;
}

std::vector<RequestLogEntry> RecorderFirmware::RequestLog() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

void RecorderFirmware::ClearRequestLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
}

void RecorderFirmware::SetLogSink(std::function<void(const RequestLogEntry&)> sink)
{
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

bool RecorderFirmware::Locked() const
{
    std::lock_guard lock(mutex_);
    return locked_;
}

bool RecorderFirmware::Erasing() const
{
    std::lock_guard lock(mutex_);
    return eraseEnd_ && std::chrono::steady_clock::now() < *eraseEnd_;
}

bool RecorderFirmware::UnpluggedByFault() const
{
    std::lock_guard lock(mutex_);
    return unplugged_;
}

RecorderImage RecorderFirmware::LiveImage() const
{
    std::lock_guard lock(mutex_);
    return image_;
}

RecorderImage RecorderFirmware::CommittedImage() const
{
    std::lock_guard lock(mutex_);
    RecorderImage img = image_;
    img.settings = committed_;
    return img;
}

} // namespace recorder
