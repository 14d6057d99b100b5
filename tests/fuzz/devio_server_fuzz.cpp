// The serving side of device I/O with the virtual recorder's firmware behind it: any bytes
// arrive on a connection as request frames. The server answers only complete, acceptable
// requests, in order, each with a well-formed answer whose payload never exceeds what the
// request can take; a malformed frame ends that connection only, and the next one is served.
#include "fuzz_support.h"

#include "platform/devio.h"
#include "platform/devio_frame.h"
#include "platform/devio_server.h"
#include "recorder/firmware.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace platform::devio;

namespace
{

recorder::RecorderFirmware& Firmware()
{
    static recorder::RecorderFirmware* firmware = []
    {
        recorder::RecorderImage image;
        for (uint32_t r = 0; r < 2; ++r)
        {
            recorder::StoredRecord record;
            record.start = 86400 * 400 + r;
            record.header = r;
            record.data.assign(3000 + 5000 * r, static_cast<uint8_t>(r + 1));
            image.records.push_back(record);
        }
        recorder::FirmwareConfig config;
        config.notReadyPolls = 1;
        config.eraseSeconds = 0;
        return new recorder::RecorderFirmware(image, config);
    }();
    return *firmware;
}

DeviceServer& Server()
{
    static DeviceServer* server = []
    {
        ::setenv("VARK_DEVICE_DIR", fuzz::ScratchPath("devices").c_str(), 1);
        auto* s = new DeviceServer;
        if (!s->Publish(kRecorderClassGuid, "fuzz",
                        [](const DeviceRequest& request)
                        {
                            FUZZ_CHECK(request.input.size() <= kMaxTransfer);
                            FUZZ_CHECK(request.outputCapacity <= kMaxTransfer);
                            FUZZ_CHECK(request.op == kOpControl || request.op == kOpRead);
                            return Firmware().Handle(request);
                        }))
            std::abort();
        return s;
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 60000) return 0;
    DeviceServer& server = Server();
    Firmware().ClearRequestLog();
    const DeviceHandle fd = OpenDevice(server.Path());
    FUZZ_CHECK(fd != kInvalidDeviceHandle);
    size_t sent = 0;
    if (size == 0) ::shutdown(fd, SHUT_WR);
    std::vector<uint8_t> answers;
    uint8_t chunk[65536];
    // Send everything while draining the answers, then read to the end.
    while (true)
    {
        pollfd p{fd, static_cast<short>(POLLIN | (sent < size ? POLLOUT : 0)), 0};
        const int ready = ::poll(&p, 1, 20000);
        if (ready < 0 && errno == EINTR) continue; // libFuzzer's own timer signal
        if (ready <= 0) FUZZ_CHECK(!"the server stopped answering");
        if ((p.revents & POLLOUT) && sent < size)
        {
            const ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) sent += static_cast<size_t>(n);
            if (n < 0 && errno != EAGAIN) sent = size; // the server hung up: no more to say
            if (sent == size) ::shutdown(fd, SHUT_WR);
        }
        if (p.revents & (POLLIN | POLLHUP | POLLERR))
        {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0)
                answers.insert(answers.end(), chunk, chunk + n);
            else if (n == 0 || errno != EAGAIN)
                break;
        }
    }
    CloseDevice(fd);

    // Walk the requests as sent and the answers as received side by side.
    size_t req = 0, ans = 0;
    while (ans < answers.size())
    {
        FUZZ_CHECK(size - req >= kRequestHeaderSize);
        const auto header = DecodeRequestHeader(data + req);
        FUZZ_CHECK(header && IsAcceptableRequest(*header));
        FUZZ_CHECK(size - req - kRequestHeaderSize >= header->inputLength);
        req += kRequestHeaderSize + header->inputLength;
        FUZZ_CHECK(answers.size() - ans >= kAnswerHeaderSize);
        const auto answer = DecodeAnswerHeader(answers.data() + ans);
        FUZZ_CHECK(answer.has_value());
        if (header->op == kOpRead && answer->status == kErrorSuccess)
            FUZZ_CHECK(answer->outputLength <= header->outputCapacity);
        if (answer->status != kErrorSuccess) FUZZ_CHECK(answer->outputLength == 0);
        ans +=
            kAnswerHeaderSize + AnswerPayloadLength(answer->outputLength, header->outputCapacity);
        FUZZ_CHECK(ans <= answers.size());
    }
    return 0;
}
