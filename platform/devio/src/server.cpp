#include "platform/devio.h"
#include "platform/devio_server.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::devio
{

bool PeerUid(int fd, uid_t* uid)
{
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
        return false;
    *uid = cred.uid;
    return true;
}

bool PeerAllowed(int fd, uid_t allowedUid)
{
    uid_t uid = 0;
    return PeerUid(fd, &uid) && uid == allowedUid;
}

struct DeviceServer::Connection
{
    int fd = -1;
    uint64_t id = 0;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
    size_t outSent = 0;
    bool closeWhenFlushed = false;
};

namespace
{

bool MakeAddress(const std::string& path, sockaddr_un* addr)
{
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
    std::memcpy(addr->sun_path, path.data(), path.size());
    return true;
}

// Someone is serving this path right now.
bool IsLive(const std::string& path)
{
    sockaddr_un addr;
    if (!MakeAddress(path, &addr)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool live = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return live;
}

} // namespace

DeviceServer::DeviceServer() : allowedUid_(::geteuid()) {}

DeviceServer::~DeviceServer()
{
    Unpublish();
}

bool DeviceServer::Publish(const std::string& classGuid, const std::string& name, Handler handler)
{
    if (published_ || name.empty() || name[0] == '.' || name.find('/') != std::string::npos)
        return false;
    if (!CreateClassFolder(classGuid)) return false;
    const std::string folder = ClassFolder(classGuid);
    const std::string finalPath = platform::JoinPath(folder, name);
    const std::string tempPath =
        platform::JoinPath(folder, "." + name + ".tmp" + std::to_string(::getpid()));
    sockaddr_un addr;
    if (!MakeAddress(tempPath, &addr) || IsLive(finalPath)) return false;

    ::unlink(tempPath.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return false;
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0 || ::rename(tempPath.c_str(), finalPath.c_str()) != 0)
    {
        ::unlink(tempPath.c_str());
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    path_ = finalPath;
    handler_ = std::move(handler);
    stop_ = false;
    unplugged_ = false;
    published_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DeviceServer::Unpublish()
{
    if (!thread_.joinable()) return;
    stop_ = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void DeviceServer::Run()
{
    std::map<uint64_t, Connection> connections;
    uint64_t nextId = 1;

    const auto removeSocket = [&]
    {
        if (listenFd_ >= 0)
        {
            ::unlink(path_.c_str());
            ::close(listenFd_);
            listenFd_ = -1;
        }
        published_ = false;
    };
    const auto closeConnection = [&](uint64_t id)
    {
        auto it = connections.find(id);
        if (it == connections.end()) return;
        ::close(it->second.fd);
        connections.erase(it);
        if (connectionHook_) connectionHook_(id, false);
    };
    // Sends what is pending; false when the connection has failed.
    const auto flush = [](Connection& c)
    {
        while (c.outSent < c.out.size())
        {
            const ssize_t n =
                ::send(c.fd, c.out.data() + c.outSent, c.out.size() - c.outSent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (n <= 0) return false;
            c.outSent += static_cast<size_t>(n);
        }
        c.out.clear();
        c.outSent = 0;
        return true;
    };
    // Serves every complete request in the input buffer; false when the peer sent a frame
    // that ends the connection.
    const auto serve = [&](Connection& c)
    {
        size_t used = 0;
        bool ok = true;
        while (c.out.empty() && !c.closeWhenFlushed && c.in.size() - used >= kRequestHeaderSize)
        {
            const std::optional<RequestHeader> header = DecodeRequestHeader(c.in.data() + used);
            if (!header || !IsAcceptableRequest(*header))
            {
                ok = false;
                break;
            }
            if (c.in.size() - used < kRequestHeaderSize + header->inputLength) break;
            DeviceRequest request;
            request.op = header->op;
            request.code = header->code;
            request.outputCapacity = header->outputCapacity;
            request.connection = c.id;
            const uint8_t* input = c.in.data() + used + kRequestHeaderSize;
            request.input.assign(input, input + header->inputLength);
            used += kRequestHeaderSize + header->inputLength;

            DeviceAnswer answer;
            if (request.op != kOpControl && request.op != kOpRead)
                answer.status = kErrorInvalidFunction;
            else
                answer = handler_(request);
            if (answer.status != kErrorSuccess)
            {
                answer.outputLength = 0;
            }
            else if (request.op == kOpRead)
            {
                answer.outputLength =
                    std::min<uint32_t>({answer.outputLength, request.outputCapacity,
                                        static_cast<uint32_t>(answer.output.size())});
            }
            else
            {
                answer.outputLength = std::min(answer.outputLength, kMaxTransfer);
            }
            uint32_t payload = AnswerPayloadLength(answer.outputLength, request.outputCapacity);
            answer.output.resize(payload, 0);
            AnswerHeader out{answer.status, answer.outputLength};
            c.out = EncodeAnswer(out, answer.output.data(), payload);
            c.outSent = 0;
            if (answer.unplugAfter)
            {
                unplugged_ = true;
                c.closeWhenFlushed = true;
            }
        }
        c.in.erase(c.in.begin(), c.in.begin() + static_cast<std::ptrdiff_t>(used));
        return ok;
    };

    while (!stop_)
    {
        if (unplugged_ && listenFd_ >= 0)
        {
            removeSocket();
            std::vector<uint64_t> gone;
            for (auto& [id, c] : connections)
                if (!c.closeWhenFlushed) gone.push_back(id);
            for (uint64_t id : gone)
                closeConnection(id);
        }

        std::vector<pollfd> fds;
        std::vector<uint64_t> ids;
        fds.push_back({wakeFd_, POLLIN, 0});
        if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
        const size_t firstConnection = fds.size();
        for (auto& [id, c] : connections)
        {
            const short events = c.out.empty() ? POLLIN : POLLOUT;
            fds.push_back({c.fd, events, 0});
            ids.push_back(id);
        }
        if (::poll(fds.data(), fds.size(), -1) < 0)
        {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents) continue; // woken to stop
        if (listenFd_ >= 0 && fds[1].revents & POLLIN)
        {
            for (;;)
            {
                const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) break;
                if (!PeerAllowed(fd, allowedUid_))
                {
                    ::close(fd);
                    continue;
                }
                Connection c;
                c.fd = fd;
                c.id = nextId++;
                connections.emplace(c.id, std::move(c));
                if (connectionHook_) connectionHook_(nextId - 1, true);
            }
        }
        for (size_t i = firstConnection; i < fds.size(); ++i)
        {
            const uint64_t id = ids[i - firstConnection];
            auto it = connections.find(id);
            if (it == connections.end()) continue;
            Connection& c = it->second;
            bool alive = true;
            if (fds[i].revents & POLLOUT)
            {
                // handled by the serving loop below
            }
            else if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
            {
                uint8_t chunk[65536];
                const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
                if (n > 0)
                    c.in.insert(c.in.end(), chunk, chunk + n);
                else if (!(n < 0 && (errno == EAGAIN || errno == EINTR)))
                    alive = false;
            }
            // Serve what has arrived, one answer at a time; a request that arrived while an
            // answer was still going out is served as soon as that answer has left.
            while (alive)
            {
                if (c.out.empty())
                {
                    alive = serve(c);
                    if (!alive || c.out.empty()) break;
                }
                alive = flush(c);
                if (!alive || !c.out.empty()) break;
                if (c.closeWhenFlushed) alive = false;
            }
            if (!alive) closeConnection(id);
        }
    }
    removeSocket();
    std::vector<uint64_t> all;
    for (auto& [id, c] : connections)
        all.push_back(id);
    for (uint64_t id : all)
        closeConnection(id);
}

} // namespace platform::devio
