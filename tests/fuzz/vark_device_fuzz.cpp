// CVarkDevice against a recorder whose every answer comes from the fuzzer: status, clock,
// memory, battery and count queries, record headers, parameters, and bulk reads of flash
// pages whose codes are right, wrong, or right with bit errors. The device I/O calls are
// answered in memory (this file stands in for the device I/O client), and pauses between
// "not ready" answers are skipped on the fuzzing thread.
#include "fuzz_support.h"

#include "device/flash_ecc.h"
#include "device/vark_device.h"
#include "platform/devio.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace
{

thread_local bool t_noPauses = false;

// The answers of the recorder of one input.
struct Script
{
    FuzzedDataProvider* in = nullptr;
    bool open = false;
    // The last page delivered and whether every sector of it has at most one flipped bit.
    std::array<uint8_t, vark::kPageDataSize> pageData{};
    bool pageCorrectable = false;
};
Script g_script;

constexpr int kHandle = 1000;

bool Fail(uint32_t error)
{
    platform::devio::SetLastError(error);
    return false;
}

uint32_t SomeError(FuzzedDataProvider& in)
{
    static constexpr uint32_t kErrors[] = {21, 31, 5, 87, 1167};
    return kErrors[in.ConsumeIntegralInRange<size_t>(0, 4)];
}

// One flash page: sectors of random bytes or of silence, codes right or hostile, and up to
// a few flipped bits.
void MakePage(FuzzedDataProvider& in, uint8_t* page)
{
    std::memset(page, 0, vark::kPageSize);
    const uint8_t kinds = in.ConsumeIntegral<uint8_t>();
    for (unsigned k = 0; k < 8; ++k)
    {
        uint8_t* sector = page + vark::kSectorSize * k;
        switch ((kinds >> k) & 1 ? in.ConsumeIntegralInRange<int>(0, 2) : 0)
        {
        case 0:
            for (size_t i = 0; i < vark::kSectorSize; ++i)
                sector[i] = in.ConsumeIntegral<uint8_t>();
            break;
        case 1:
            break; // 16-bit silence
        case 2:
            std::memset(sector, 0xFF, vark::kSectorSize);
            break; // mu-law silence
        }
    }
    uint8_t* spare = page + vark::kPageDataSize;
    const bool rightCodes = in.ConsumeBool();
    if (rightCodes)
    {
        for (unsigned k = 0; k < 8; ++k)
        {
            const auto code = vark::ComputeSectorEcc(page + vark::kSectorSize * k);
            std::memcpy(spare + 3 * k, code.data(), 3);
        }
        spare[vark::kSpareMarkerOffset] = 0x42;
        spare[vark::kSpareMarkerOffset + 1] = 0x45;
    }
    else
    {
        for (size_t i = 0; i < 32; ++i)
            spare[i] = in.ConsumeIntegral<uint8_t>();
    }
    std::memcpy(g_script.pageData.data(), page, vark::kPageDataSize);
    // Flipped bits, in the data or in the codes; at most one per sector keeps the page
    // correctable.
    // A stored code of FF FF FF reads as "never programmed": such a sector is checked only
    // for a flip that silence explains, so a flipped data bit in a sound sector whose true
    // code happens to be FF FF FF is not corrected.
    const auto unchecked = [&](unsigned sector)
    {
        const uint8_t* p = g_script.pageData.data() + vark::kSectorSize * sector;
        const auto code = vark::ComputeSectorEcc(p);
        const bool silent =
            std::all_of(p, p + vark::kSectorSize, [](uint8_t b) { return b == 0; }) ||
            std::all_of(p, p + vark::kSectorSize, [](uint8_t b) { return b == 0xFF; });
        return code == vark::SectorEcc{0xFF, 0xFF, 0xFF} && !silent;
    };
    int flips[8] = {};
    bool flippedUnchecked = false;
    const int count = in.ConsumeIntegralInRange<int>(0, 4);
    for (int f = 0; f < count; ++f)
    {
        const unsigned sector = in.ConsumeIntegralInRange<unsigned>(0, 7);
        const bool inCode = in.ConsumeBool();
        const unsigned bit = in.ConsumeIntegralInRange<unsigned>(0, inCode ? 23 : 4095);
        uint8_t* at =
            inCode ? spare + 3 * sector + bit / 8 : page + vark::kSectorSize * sector + bit / 8;
        *at ^= static_cast<uint8_t>(1u << (bit % 8));
        ++flips[sector];
        if (!inCode && unchecked(sector)) flippedUnchecked = true;
    }
    bool correctable = rightCodes && !flippedUnchecked;
    for (int f : flips)
        correctable = correctable && f <= 1;
    g_script.pageCorrectable = correctable;
}

} // namespace

// Fuzzing-thread pauses return at once; libFuzzer's own threads sleep as usual.
extern "C" int nanosleep(const struct timespec* request, struct timespec* remain)
{
    if (t_noPauses) return 0;
    return static_cast<int>(::syscall(SYS_nanosleep, request, remain));
}

namespace platform::devio
{

namespace
{
uint32_t g_lastError = 0;
}

uint32_t LastError()
{
    return g_lastError;
}
void SetLastError(uint32_t error)
{
    g_lastError = error;
}

std::vector<std::string> EnumerateInterfaces(const std::string&)
{
    return {"fuzz"};
}

DeviceHandle OpenDevice(const std::string& path)
{
    if (path != "fuzz") return kInvalidDeviceHandle;
    g_script.open = true;
    return kHandle;
}

bool CloseDevice(DeviceHandle handle)
{
    FUZZ_CHECK(handle == kHandle);
    g_script.open = false;
    return true;
}

bool DeviceControl(DeviceHandle handle, uint32_t, const void* input, uint32_t inLength, void* out,
                   uint32_t outCapacity, uint32_t* returned)
{
    FUZZ_CHECK(handle == kHandle && g_script.open);
    // Every request is one 16-byte frame in one direction.
    FUZZ_CHECK((inLength == vark::kFrameSize && outCapacity == 0) ||
               (inLength == 0 && outCapacity == vark::kFrameSize));
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < inLength; ++i)
        sink = sink ^ static_cast<const uint8_t*>(input)[i];
    *returned = 0;
    FuzzedDataProvider& in = *g_script.in;
    if (in.remaining_bytes() == 0) return Fail(kErrorDeviceNotConnected);
    const uint8_t kind = in.ConsumeIntegral<uint8_t>();
    if (kind < 24) return Fail(SomeError(in));
    // Mostly whole frames; sometimes "not ready" (0) or a length the frame does not have.
    const uint32_t reported = kind < 40 ? 0 : kind < 48 ? kind - 40 : kind < 52 ? 8 + kind : 16;
    *returned = reported;
    const size_t stored = reported < outCapacity ? reported : outCapacity;
    for (size_t i = 0; i < stored; ++i)
        static_cast<uint8_t*>(out)[i] = in.ConsumeIntegral<uint8_t>();
    return true;
}

bool ReadDevice(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* delivered)
{
    FUZZ_CHECK(handle == kHandle && g_script.open);
    FUZZ_CHECK(count <= 1024 * 1024);
    *delivered = 0;
    g_script.pageCorrectable = false;
    FuzzedDataProvider& in = *g_script.in;
    if (in.remaining_bytes() == 0) return Fail(kErrorDeviceNotConnected);
    const uint8_t kind = in.ConsumeIntegral<uint8_t>();
    if (kind < 16) return Fail(SomeError(in));
    auto* out = static_cast<uint8_t*>(buffer);
    if (count == vark::kPageSize && kind >= 48)
    {
        MakePage(in, out);
        *delivered = count;
        return true;
    }
    const uint32_t n = kind < 48 ? in.ConsumeIntegralInRange<uint32_t>(0, count) : count;
    for (uint32_t i = 0; i < n; ++i)
        out[i] = in.ConsumeIntegral<uint8_t>();
    *delivered = n;
    return true;
}

} // namespace platform::devio

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    g_script = Script{};
    g_script.in = &in;
    t_noPauses = true;
    vark::CVarkDevice device;
    const bool found =
        vark::FindRecorder([&](const std::string& path) { return device.Open(path); });
    if (found && device.PresentAccessCode(L""))
    {
        std::vector<uint8_t> buffer;
        for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step)
        {
            switch (in.ConsumeIntegralInRange<int>(0, 9))
            {
            case 0:
            {
                platform::AutoDate clock;
                device.GetClock(clock);
                break;
            }
            case 1:
            {
                uint32_t total = 0, free = 0;
                if (device.GetMemory(total, free))
                    (void)vark::MemoryKilobytes(free, device.FirmwareVersion());
                break;
            }
            case 2:
            {
                bool charging = false;
                (void)device.QueryBattery(charging);
                (void)device.QueryRecordCount();
                (void)device.QueryCapabilityLevel();
                break;
            }
            case 3:
            {
                vark::RecordInfo info;
                if (device.GetRecordInfo(in.ConsumeIntegral<uint16_t>(), info))
                {
                    FUZZ_CHECK(info.stereo <= 1 && info.rate16k <= 1 && info.compressed <= 1);
                    FUZZ_CHECK(info.duration.Days() >= 0);
                }
                break;
            }
            case 4:
            case 5:
            {
                // A bulk read into a buffer with a guard after the bytes asked for.
                if (!device.OpenRecord(in.ConsumeIntegral<uint16_t>())) break;
                const uint32_t wanted =
                    in.ConsumeBool() ? 4096 : in.ConsumeIntegralInRange<uint32_t>(1, 3 * 4096);
                buffer.assign(wanted + 64, 0xA5);
                const uint32_t got = device.Read(buffer.data(), wanted);
                FUZZ_CHECK(got <= wanted);
                for (size_t i = wanted; i < buffer.size(); ++i)
                    FUZZ_CHECK(buffer[i] == 0xA5);
                // One page with at most one bit error per sector arrives as it was stored.
                if (wanted == 4096 && got == 4096 &&
                    device.FirmwareVersion() >= vark::kFirmwarePages && g_script.pageCorrectable)
                    FUZZ_CHECK(std::memcmp(buffer.data(), g_script.pageData.data(), 4096) == 0);
                device.CloseRecord();
                break;
            }
            case 6:
            {
                FUZZ_CHECK(device.ReadParameters());
                const auto bytes = vark::SerializeParams(device.Params());
                FUZZ_CHECK(vark::SerializeParams(vark::DeserializeParams(bytes.data())) == bytes);
                break;
            }
            case 7:
                device.WriteParameters();
                break;
            case 8:
                device.IsErasing();
                break;
            case 9:
                device.SetClock(platform::AutoDate::FromParts(2030, 1, 2, 3, 4, 5));
                break;
            }
        }
    }
    device.Close();
    t_noPauses = false;
    g_script.in = nullptr;
    return 0;
}
