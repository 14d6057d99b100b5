// The device I/O client reading a hostile device's answer frames: any bytes come back on the
// connection while control requests and bulk reads of varying sizes go out. Nothing is
// stored beyond the capacity given, a read never reports more than it asked for, and once
// the client has found the stream broken every later call fails as "not connected".
#include "fuzz_support.h"

#include "device/vark_protocol.h"
#include "platform/devio.h"
#include "platform/devio_frame.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace platform::devio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 100000) return 0; // the whole answer stream must fit the socket's buffer
    FuzzedDataProvider in(data, size);
    const std::vector<uint8_t> sizes = in.ConsumeBytes<uint8_t>(8);
    const std::vector<uint8_t> answers = in.ConsumeRemainingBytes<uint8_t>();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 0;
    int buffer = 1 << 20;
    ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    ::setsockopt(pair[0], SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    if (!answers.empty() && ::send(pair[1], answers.data(), answers.size(), MSG_NOSIGNAL) !=
                                static_cast<ssize_t>(answers.size()))
    {
        ::close(pair[0]);
        ::close(pair[1]);
        return 0;
    }
    ::shutdown(pair[1], SHUT_WR);

    constexpr uint8_t kGuard = 0xC3;
    std::vector<uint8_t> out;
    bool broken = false;
    for (size_t call = 0; call < sizes.size(); ++call)
    {
        const uint32_t capacity =
            sizes[call] % 2 ? vark::kFrameSize : static_cast<uint32_t>(sizes[call]) * 41;
        out.assign(capacity + 32, kGuard);
        uint32_t returned = 0xFFFFFFFF;
        bool ok;
        if (sizes[call] % 3 == 0)
        {
            ok = ReadDevice(pair[0], out.data(), capacity, &returned);
            if (ok) FUZZ_CHECK(returned <= capacity);
        }
        else
        {
            const uint8_t frame[vark::kFrameSize] = {1, 2, 3, 4};
            ok = DeviceControl(pair[0], vark::QueryCode(static_cast<unsigned>(call)), frame,
                               sizes[call] % 5 ? vark::kFrameSize : 0, out.data(), capacity,
                               &returned);
            if (ok) FUZZ_CHECK(returned <= kMaxTransfer);
        }
        if (!ok) FUZZ_CHECK(returned == 0);
        for (size_t i = capacity; i < out.size(); ++i)
            FUZZ_CHECK(out[i] == kGuard);
        if (broken) FUZZ_CHECK(!ok && LastError() == kErrorDeviceNotConnected);
        // A device may answer 1167 itself; the stream is broken only when the client has
        // shut the connection, which the far end sees as the end of the requests.
        if (!ok && LastError() == kErrorDeviceNotConnected)
        {
            uint8_t drain[4096];
            ssize_t n;
            while ((n = ::recv(pair[1], drain, sizeof drain, MSG_DONTWAIT)) > 0)
            {
            }
            if (n == 0) broken = true;
        }
    }
    CloseDevice(pair[0]);
    ::close(pair[1]);
    return 0;
}
