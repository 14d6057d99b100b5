// The recorder driver's user-mode interface, client side. A present device is a Unix stream
// socket in <device folder>/<interface class GUID>/; its full path is the device path. Every
// call blocks until the device has answered, like non-overlapped I/O on Windows, and every
// failure leaves a Windows error number for LastError() on the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::devio
{

// The recorder's device interface class.
inline constexpr char kRecorderClassGuid[] = "{0AA4F298-9C53-41DA-A430-5548C31E5DF7}";

// Windows error numbers as the driver and the system report them.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotReady = 21;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;

// $VARK_DEVICE_DIR, else <runtime folder>/vark/devices.
std::string DeviceFolder();
// <DeviceFolder()>/<classGuid>.
std::string ClassFolder(const std::string& classGuid);
// Creates the class folder (and its parents) with mode 0700; true when it exists afterwards.
bool CreateClassFolder(const std::string& classGuid);

// Device paths of the present interfaces of a class, sorted. Only sockets count; names
// starting with '.' are a stand-in's work in progress and are skipped.
std::vector<std::string> EnumerateInterfaces(const std::string& classGuid);

using DeviceHandle = int;
inline constexpr DeviceHandle kInvalidDeviceHandle = -1;

// Connects to a device path. kInvalidDeviceHandle on failure (2 for an absent device, 5 when
// access is refused). A device may be opened several times; each handle is independent.
DeviceHandle OpenDevice(const std::string& path);

// A device control request. `returned` receives the byte count the device reports as
// transferred (it may exceed outCapacity for write requests, see devio_frame.h); at most
// outCapacity bytes are stored in `out`. false with LastError() = the device's status when
// it refuses, 1167 when it has gone away, 87 for a length above 1 MiB, 6 for a bad handle.
bool DeviceControl(DeviceHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                   uint32_t outCapacity, uint32_t* returned);

// A bulk read of at most `count` bytes; `delivered` receives what the device delivered.
bool ReadDevice(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* delivered);

// Closes the handle; false (6) for a handle that is not open.
bool CloseDevice(DeviceHandle handle);

// The Windows error number of the calling thread's last failed call.
uint32_t LastError();
void SetLastError(uint32_t error);

} // namespace platform::devio
