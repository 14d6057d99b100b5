// The stand-in side of the device I/O layer: publishes one device as a listening socket in
// its interface-class folder and serves every connection to it on one thread. Malformed
// frames (wrong magic, a length above 1 MiB) end only the connection that sent them; peers
// of another user are refused.
#pragma once

#include "platform/devio_frame.h"

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace platform::devio
{

struct DeviceRequest
{
    uint16_t op = 0; // kOpControl or kOpRead
    uint32_t code = 0;
    std::vector<uint8_t> input;
    uint32_t outputCapacity = 0;
    uint64_t connection = 0; // which open handle sent it (numbered from 1)
};

struct DeviceAnswer
{
    uint32_t status = 0;
    // Control: the reported byte count; only min(this, capacity) output bytes travel.
    // Read: the delivered byte count; clipped to the capacity.
    uint32_t outputLength = 0;
    std::vector<uint8_t> output;
    // The device goes away right after this answer has been sent: the socket disappears and
    // every open connection is closed.
    bool unplugAfter = false;
};

// The peer's uid of a connected Unix socket; false when it cannot be read.
bool PeerUid(int fd, uid_t* uid);
// The uid check the server applies to every accepted connection.
bool PeerAllowed(int fd, uid_t allowedUid);

class DeviceServer
{
public:
    // Called on the server thread, one request at a time.
    using Handler = std::function<DeviceAnswer(const DeviceRequest&)>;
    // Called on the server thread when a connection opens (true) or closes (false).
    using ConnectionHook = std::function<void(uint64_t connection, bool opened)>;

    DeviceServer();
    ~DeviceServer(); // unpublishes
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Only peers with this uid are served (default: the process's effective uid).
    void SetAllowedUid(uid_t uid) { allowedUid_ = uid; }
    void SetConnectionHook(ConnectionHook hook) { connectionHook_ = std::move(hook); }

    // Creates the class folder (0700), binds and listens under a hidden name, then renames
    // the socket to <class folder>/<name> so it is connectable the moment it appears.
    bool Publish(const std::string& classGuid, const std::string& name, Handler handler);
    // Removes the socket, closes every connection and stops the thread. Safe to call twice.
    void Unpublish();
    bool IsPublished() const { return published_.load(); }
    // The device path while published.
    const std::string& Path() const { return path_; }
    // True once the device has gone away on its own (an answer with unplugAfter).
    bool Unplugged() const { return unplugged_.load(); }

private:
    struct Connection;
    void Run();

    Handler handler_;
    ConnectionHook connectionHook_;
    uid_t allowedUid_;
    std::string path_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::thread thread_;
    std::atomic<bool> published_{false};
    std::atomic<bool> unplugged_{false};
    std::atomic<bool> stop_{false};
};

} // namespace platform::devio
