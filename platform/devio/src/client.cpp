#include "platform/devio.h"
#include "platform/devio_frame.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::devio
{

namespace
{

thread_local uint32_t t_lastError = 0;

bool Fail(uint32_t error)
{
    t_lastError = error;
    return false;
}

bool IsDeviceHandle(DeviceHandle handle)
{
    struct stat st
    {
    };
    return handle >= 0 && ::fstat(handle, &st) == 0 && S_ISSOCK(st.st_mode);
}

bool SendAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReceiveAll(int fd, uint8_t* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A device that answers nonsense is treated as gone: the connection is shut down so that
// every later call fails the same way instead of reading from the middle of a frame.
bool Broken(int fd)
{
    ::shutdown(fd, SHUT_RDWR);
    return Fail(kErrorDeviceNotConnected);
}

bool Transact(DeviceHandle handle, uint16_t op, uint32_t code, const void* in, uint32_t inLength,
              void* out, uint32_t outCapacity, uint32_t* returned)
{
    if (returned) *returned = 0;
    if (!IsDeviceHandle(handle)) return Fail(kErrorInvalidHandle);
    if (inLength > kMaxTransfer || outCapacity > kMaxTransfer || (inLength && !in) ||
        (outCapacity && !out))
        return Fail(kErrorInvalidParameter);

    RequestHeader request;
    request.op = op;
    request.code = code;
    request.inputLength = inLength;
    request.outputCapacity = outCapacity;
    const std::vector<uint8_t> frame = EncodeRequest(request, static_cast<const uint8_t*>(in));
    if (!SendAll(handle, frame.data(), frame.size())) return Broken(handle);

    uint8_t headerBytes[kAnswerHeaderSize];
    if (!ReceiveAll(handle, headerBytes, sizeof headerBytes)) return Broken(handle);
    const std::optional<AnswerHeader> answer = DecodeAnswerHeader(headerBytes);
    if (!answer || answer->outputLength > kMaxTransfer ||
        (op == kOpRead && answer->outputLength > outCapacity))
        return Broken(handle);
    const uint32_t payload = AnswerPayloadLength(answer->outputLength, outCapacity);
    if (payload && !ReceiveAll(handle, static_cast<uint8_t*>(out), payload)) return Broken(handle);
    if (answer->status != kErrorSuccess) return Fail(answer->status);
    if (returned) *returned = answer->outputLength;
    return true;
}

} // namespace

DeviceHandle OpenDevice(const std::string& path)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
    {
        Fail(kErrorFileNotFound);
        return kInvalidDeviceHandle;
    }
    std::memcpy(addr.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
    {
        Fail(kErrorGenFailure);
        return kInvalidDeviceHandle;
    }
    int rc;
    do
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    while (rc != 0 && errno == EINTR);
    if (rc != 0)
    {
        const int err = errno;
        ::close(fd);
        // A socket file nobody listens on is a device that has just gone.
        Fail(err == EACCES || err == EPERM ? kErrorAccessDenied : kErrorFileNotFound);
        return kInvalidDeviceHandle;
    }
    return fd;
}

bool DeviceControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                   uint32_t outCapacity, uint32_t* returned)
{
    return Transact(handle, kOpControl, code, in, inLength, out, outCapacity, returned);
}

bool ReadDevice(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* delivered)
{
    return Transact(handle, kOpRead, 0, nullptr, 0, buffer, count, delivered);
}

bool CloseDevice(DeviceHandle handle)
{
    if (!IsDeviceHandle(handle)) return Fail(kErrorInvalidHandle);
    ::close(handle);
    return true;
}

uint32_t LastError()
{
    return t_lastError;
}
void SetLastError(uint32_t error)
{
    t_lastError = error;
}

} // namespace platform::devio
