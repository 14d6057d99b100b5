#include "platform/devio.h"
#include "platform/devio_server.h"
#include "platform/devio_watcher.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform::devio;
using testsupport::ScopedTestEnv;
using testsupport::WaitFor;

namespace
{

const std::string kClass = kRecorderClassGuid;

// Echoes a control request's code and input; a read delivers a counting pattern.
DeviceAnswer Echo(const DeviceRequest& r)
{
    DeviceAnswer a;
    if (r.op == kOpRead)
    {
        for (uint32_t i = 0; i < r.outputCapacity; ++i)
            a.output.push_back(static_cast<uint8_t>(i));
        a.outputLength = r.outputCapacity;
        return a;
    }
    if (r.code == 0xDEAD)
    {
        a.status = kErrorAccessDenied;
        return a;
    }
    a.output.resize(4);
    PutU32(a.output.data(), r.code);
    a.output.insert(a.output.end(), r.input.begin(), r.input.end());
    a.outputLength = static_cast<uint32_t>(a.output.size());
    return a;
}

int RawConnect(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

// True when the peer closes the connection within a generous bound.
bool ClosedByPeer(int fd)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return false;
    char c;
    return ::recv(fd, &c, 1, 0) <= 0;
}

bool EchoWorks(DeviceHandle h, uint32_t code)
{
    uint8_t in[16], out[32];
    for (int i = 0; i < 16; ++i)
        in[i] = static_cast<uint8_t>(code + i);
    uint32_t got = 0;
    return DeviceControl(h, code, in, 16, out, 32, &got) && got == 20 && GetU32(out) == code &&
           std::memcmp(out + 4, in, 16) == 0;
}

} // namespace

TEST(Devio, DeviceFolderFollowsTheEnvironment)
{
    ScopedTestEnv env;
    EXPECT_EQ(DeviceFolder(), env.Path("devices"));
    EXPECT_EQ(ClassFolder(kClass), env.Path("devices") + "/" + kClass);
    env.Set("VARK_DEVICE_DIR", std::nullopt);
    EXPECT_EQ(DeviceFolder(), env.Path("runtime") + "/vark/devices");
}

TEST(Devio, EnumerationIsSortedAndListsOnlyPresentDevices)
{
    ScopedTestEnv env;
    EXPECT_TRUE(EnumerateInterfaces(kClass).empty()); // no class folder yet
    DeviceServer b, a, c;
    ASSERT_TRUE(b.Publish(kClass, "b-recorder", Echo));
    ASSERT_TRUE(a.Publish(kClass, "a-recorder", Echo));
    ASSERT_TRUE(c.Publish(kClass, "c-recorder", Echo));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(ClassFolder(kClass).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    testsupport::WriteFile(ClassFolder(kClass) + "/0-not-a-socket", "x");
    const std::string f = ClassFolder(kClass) + "/";
    EXPECT_EQ(EnumerateInterfaces(kClass),
              (std::vector<std::string>{f + "a-recorder", f + "b-recorder", f + "c-recorder"}));
    b.Unpublish();
    EXPECT_EQ(EnumerateInterfaces(kClass),
              (std::vector<std::string>{f + "a-recorder", f + "c-recorder"}));
    EXPECT_TRUE(EnumerateInterfaces("{00000000-0000-0000-0000-000000000000}").empty());
    // A second device under a name that is being served is refused.
    DeviceServer dup;
    EXPECT_FALSE(dup.Publish(kClass, "a-recorder", Echo));
}

TEST(Devio, ControlAndReadRoundTrip)
{
    ScopedTestEnv env;
    DeviceServer server;
    ASSERT_TRUE(server.Publish(kClass, "rec", Echo));
    const DeviceHandle h = OpenDevice(server.Path());
    ASSERT_NE(h, kInvalidDeviceHandle);
    EXPECT_TRUE(EchoWorks(h, 0x222000));

    // Output beyond the capacity is reported but not delivered.
    uint8_t in[16] = {0xAA};
    uint32_t got = 0;
    EXPECT_TRUE(DeviceControl(h, 0x222474, in, 16, nullptr, 0, &got));
    EXPECT_EQ(got, 20u);

    uint8_t buf[7000];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_TRUE(ReadDevice(h, buf, 5120, &got));
    EXPECT_EQ(got, 5120u);
    EXPECT_EQ(buf[5119], static_cast<uint8_t>(5119));
    EXPECT_EQ(buf[5120], 0xEE);

    // A refusal carries the device's error number and no bytes.
    EXPECT_FALSE(DeviceControl(h, 0xDEAD, nullptr, 0, buf, 16, &got));
    EXPECT_EQ(LastError(), kErrorAccessDenied);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(EchoWorks(h, 7)); // the connection survives a refusal
    EXPECT_TRUE(CloseDevice(h));
}

TEST(Devio, BadCallsFailWithTheirWindowsNumbers)
{
    ScopedTestEnv env;
    EXPECT_EQ(OpenDevice(env.Path("devices/none")), kInvalidDeviceHandle);
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    EXPECT_EQ(OpenDevice(std::string(200, 'x')), kInvalidDeviceHandle);
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    uint32_t got = 0;
    uint8_t b[4];
    EXPECT_FALSE(DeviceControl(kInvalidDeviceHandle, 1, nullptr, 0, b, 4, &got));
    EXPECT_EQ(LastError(), kErrorInvalidHandle);
    EXPECT_FALSE(CloseDevice(kInvalidDeviceHandle));

    DeviceServer server;
    ASSERT_TRUE(server.Publish(kClass, "rec", Echo));
    const DeviceHandle h = OpenDevice(server.Path());
    std::vector<uint8_t> big(kMaxTransfer + 1);
    EXPECT_FALSE(DeviceControl(h, 1, big.data(), kMaxTransfer + 1, nullptr, 0, &got));
    EXPECT_EQ(LastError(), kErrorInvalidParameter);
    EXPECT_FALSE(ReadDevice(h, big.data(), kMaxTransfer + 1, &got));
    EXPECT_EQ(LastError(), kErrorInvalidParameter);
    EXPECT_TRUE(EchoWorks(h, 3)); // nothing was sent
    CloseDevice(h);
    // A stale socket file that nobody serves opens like an absent device.
    server.Unpublish();
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = ClassFolder(kClass) + "/stale";
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(stale);
    EXPECT_EQ(OpenDevice(path), kInvalidDeviceHandle);
    EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST(Devio, TwoClientsAtOnceEachGetTheirOwnAnswers)
{
    ScopedTestEnv env;
    DeviceServer server;
    std::atomic<int> opened{0};
    server.SetConnectionHook([&](uint64_t, bool open) { opened += open ? 1 : 0; });
    ASSERT_TRUE(server.Publish(kClass, "rec", Echo));
    std::atomic<int> failures{0};
    auto client = [&](uint32_t base)
    {
        const DeviceHandle h = OpenDevice(server.Path());
        for (uint32_t i = 0; i < 300; ++i)
            if (!EchoWorks(h, base + i)) ++failures;
        CloseDevice(h);
    };
    std::thread t1(client, 0x1000), t2(client, 0x9000);
    t1.join();
    t2.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(opened, 2);
}

TEST(Devio, UnplugAndUnpublishFailOpenHandlesWithDeviceNotConnected)
{
    ScopedTestEnv env;
    DeviceServer server;
    ASSERT_TRUE(server.Publish(kClass, "rec",
                               [](const DeviceRequest& r)
                               {
                                   DeviceAnswer a = Echo(r);
                                   a.unplugAfter = r.code == 0xBEEF;
                                   return a;
                               }));
    const DeviceHandle h1 = OpenDevice(server.Path());
    const DeviceHandle h2 = OpenDevice(server.Path());
    ASSERT_TRUE(EchoWorks(h1, 1));
    ASSERT_TRUE(EchoWorks(h2, 2));
    EXPECT_TRUE(EchoWorks(h1, 0xBEEF)); // the last answer still arrives
    EXPECT_TRUE(WaitFor([&] { return EnumerateInterfaces(kClass).empty(); }, 5000));
    EXPECT_TRUE(server.Unplugged());
    for (DeviceHandle h : {h1, h2})
    {
        EXPECT_FALSE(EchoWorks(h, 3));
        EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
        EXPECT_FALSE(EchoWorks(h, 4)); // and stays failed
        EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
        CloseDevice(h);
    }

    DeviceServer second;
    ASSERT_TRUE(second.Publish(kClass, "rec", Echo)); // the name is free again
    const DeviceHandle h3 = OpenDevice(second.Path());
    ASSERT_TRUE(EchoWorks(h3, 5));
    second.Unpublish();
    EXPECT_FALSE(testsupport::FileExists(second.Path()));
    uint8_t b[16];
    uint32_t got;
    EXPECT_FALSE(ReadDevice(h3, b, 16, &got));
    EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
    CloseDevice(h3);
}

TEST(Devio, MalformedFramesEndOnlyTheirOwnConnection)
{
    ScopedTestEnv env;
    DeviceServer server;
    std::atomic<int> served{0};
    ASSERT_TRUE(server.Publish(kClass, "rec",
                               [&](const DeviceRequest& r)
                               {
                                   ++served;
                                   return Echo(r);
                               }));
    const DeviceHandle good = OpenDevice(server.Path());
    ASSERT_TRUE(EchoWorks(good, 1));
    const int before = served;

    RequestHeader header;
    header.op = kOpControl;
    // Bad magic.
    {
        const int fd = RawConnect(server.Path());
        std::vector<uint8_t> f = EncodeRequest(header, nullptr);
        f[0] = 'X';
        ASSERT_EQ(::send(fd, f.data(), f.size(), 0), static_cast<ssize_t>(f.size()));
        EXPECT_TRUE(ClosedByPeer(fd));
        ::close(fd);
    }
    // Input or output length above 1 MiB, announced without the bytes.
    for (auto [in, out] : {std::pair<uint32_t, uint32_t>{kMaxTransfer + 1, 0},
                           {0, kMaxTransfer + 1},
                           {0xFFFFFFFF, 0xFFFFFFFF}})
    {
        const int fd = RawConnect(server.Path());
        RequestHeader h = header;
        h.inputLength = 0;
        std::vector<uint8_t> f = EncodeRequest(h, nullptr);
        PutU32(&f[12], in);
        PutU32(&f[16], out);
        ASSERT_EQ(::send(fd, f.data(), f.size(), 0), static_cast<ssize_t>(f.size()));
        EXPECT_TRUE(ClosedByPeer(fd));
        ::close(fd);
    }
    // Half a frame, then gone; garbage; a disconnect in the middle of the input bytes.
    {
        const int fd = RawConnect(server.Path());
        header.inputLength = 16;
        std::vector<uint8_t> f = EncodeRequest(header, std::vector<uint8_t>(16, 1).data());
        ASSERT_EQ(::send(fd, f.data(), 25, 0), 25);
        ::close(fd);
        const int g = RawConnect(server.Path());
        std::vector<uint8_t> junk(100000, 0x5A);
        ::send(g, junk.data(), junk.size(), MSG_NOSIGNAL);
        EXPECT_TRUE(ClosedByPeer(g));
        ::close(g);
    }
    // An unknown op is refused by number and the connection stays.
    {
        const DeviceHandle h = OpenDevice(server.Path());
        RequestHeader odd = header;
        odd.op = 7;
        odd.inputLength = 0;
        odd.outputCapacity = 16;
        std::vector<uint8_t> f = EncodeRequest(odd, nullptr);
        ASSERT_EQ(::send(h, f.data(), f.size(), 0), static_cast<ssize_t>(f.size()));
        uint8_t ans[kAnswerHeaderSize];
        ASSERT_EQ(::recv(h, ans, sizeof ans, MSG_WAITALL), static_cast<ssize_t>(sizeof ans));
        EXPECT_EQ(DecodeAnswerHeader(ans)->status, kErrorInvalidFunction);
        EXPECT_TRUE(EchoWorks(h, 9));
        CloseDevice(h);
    }
    EXPECT_TRUE(EchoWorks(good, 2));
    EXPECT_EQ(served, before + 2); // no malformed frame reached the handler
    CloseDevice(good);
}

TEST(Devio, HostileAnswersFailTheCallAndTheHandle)
{
    ScopedTestEnv env;
    ASSERT_TRUE(CreateClassFolder(kClass));
    const std::string path = ClassFolder(kClass) + "/hostile";
    const int lfd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(lfd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(lfd, 4), 0);
    // Answers every request with the given bytes, once per connection.
    auto serveOnce = [&](std::vector<uint8_t> reply)
    {
        return std::thread(
            [lfd, reply]
            {
                const int c = ::accept(lfd, nullptr, nullptr);
                uint8_t req[kRequestHeaderSize];
                ::recv(c, req, sizeof req, MSG_WAITALL);
                ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
                ::shutdown(c, SHUT_WR);
                char x;
                ::recv(c, &x, 1, 0);
                ::close(c);
            });
    };
    uint8_t buf[64];
    uint32_t got = 99;
    {
        std::vector<uint8_t> bad = EncodeAnswer({0, 4}, buf, 4);
        bad[1] = 0;
        std::thread t = serveOnce(bad);
        const DeviceHandle h = OpenDevice(path);
        EXPECT_FALSE(DeviceControl(h, 1, nullptr, 0, buf, 16, &got));
        EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
        EXPECT_EQ(got, 0u);
        CloseDevice(h);
        t.join();
    }
    {
        // A read that claims more than was asked for.
        std::vector<uint8_t> many(64, 1);
        std::thread t = serveOnce(EncodeAnswer({0, 64}, many.data(), 64));
        const DeviceHandle h = OpenDevice(path);
        EXPECT_FALSE(ReadDevice(h, buf, 16, &got));
        EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
        CloseDevice(h);
        t.join();
    }
    {
        // A truncated answer, then the device goes.
        std::vector<uint8_t> half = EncodeAnswer({0, 16}, buf, 16);
        half.resize(20);
        std::thread t = serveOnce(half);
        const DeviceHandle h = OpenDevice(path);
        EXPECT_FALSE(DeviceControl(h, 1, nullptr, 0, buf, 16, &got));
        EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
        CloseDevice(h);
        t.join();
    }
    ::close(lfd);
}

TEST(Devio, PeerUidCheck)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    uid_t uid = 12345;
    ASSERT_TRUE(PeerUid(pair[0], &uid));
    EXPECT_EQ(uid, ::geteuid());
    EXPECT_TRUE(PeerAllowed(pair[0], ::geteuid()));
    EXPECT_FALSE(PeerAllowed(pair[0], ::geteuid() + 1));
    ::close(pair[0]);
    ::close(pair[1]);
    const int notSocket = ::open("/dev/null", O_RDONLY);
    EXPECT_FALSE(PeerAllowed(notSocket, ::geteuid()));
    ::close(notSocket);

    // A server that serves another user refuses us before any request is handled.
    ScopedTestEnv env;
    DeviceServer server;
    std::atomic<int> served{0};
    server.SetAllowedUid(::geteuid() + 1);
    ASSERT_TRUE(server.Publish(kClass, "rec",
                               [&](const DeviceRequest& r)
                               {
                                   ++served;
                                   return Echo(r);
                               }));
    const DeviceHandle h = OpenDevice(server.Path());
    ASSERT_NE(h, kInvalidDeviceHandle);
    EXPECT_FALSE(EchoWorks(h, 1));
    EXPECT_EQ(LastError(), kErrorDeviceNotConnected);
    EXPECT_EQ(served, 0);
    CloseDevice(h);
}

namespace
{
// Takes the watcher's events until there are `n`, for at most 5 s.
bool CollectEvents(DeviceWatcher& watcher, std::vector<DeviceEvent>& events, size_t n)
{
    return WaitFor(
        [&]
        {
            pollfd p{watcher.Fd(), POLLIN, 0};
            if (::poll(&p, 1, 0) == 1)
                for (auto& e : watcher.TakeEvents())
                    events.push_back(e);
            return events.size() >= n;
        },
        5000);
}
} // namespace

TEST(Devio, WatcherReportsArrivalAndRemovalWithThePath)
{
    ScopedTestEnv env;
    DeviceWatcher watcher(kClass);
    ASSERT_TRUE(watcher.IsValid());
    EXPECT_TRUE(watcher.TakeEvents().empty());
    std::vector<DeviceEvent> events;
    auto collect = [&](size_t n) { return CollectEvents(watcher, events, n); };
    testsupport::WriteFile(ClassFolder(kClass) + "/plain-file", "x"); // not a device
    std::string path;
    {
        DeviceServer server;
        ASSERT_TRUE(server.Publish(kClass, "rec", Echo));
        path = server.Path();
        ASSERT_TRUE(collect(1));
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, DeviceEvent::Kind::Arrival);
        EXPECT_EQ(events[0].path, path);
        // The device is connectable the moment its arrival is seen.
        const DeviceHandle h = OpenDevice(events[0].path);
        EXPECT_TRUE(EchoWorks(h, 1));
        CloseDevice(h);
    }
    ASSERT_TRUE(collect(2));
    EXPECT_EQ(events[1].kind, DeviceEvent::Kind::RemovalComplete);
    EXPECT_EQ(events[1].path, path);
}

TEST(Devio, WatcherFollowsTheClassFolderThroughDeletionAndReturn)
{
    ScopedTestEnv env;
    DeviceWatcher watcher(kClass);
    ASSERT_TRUE(watcher.IsValid());
    std::vector<DeviceEvent> events;
    auto collect = [&](size_t n) { return CollectEvents(watcher, events, n); };
    DeviceServer first;
    ASSERT_TRUE(first.Publish(kClass, "first", Echo));
    ASSERT_TRUE(collect(1));
    // The whole device folder goes, class folder and all; then a folder on the way comes
    // and goes again before the class folder is back.
    testsupport::RemoveTree(DeviceFolder());
    ASSERT_TRUE(collect(2));
    EXPECT_EQ(events[1].kind, DeviceEvent::Kind::RemovalComplete);
    EXPECT_EQ(events[1].path, first.Path());
    ASSERT_EQ(::mkdir(DeviceFolder().c_str(), 0700), 0);
    pollfd p{watcher.Fd(), POLLIN, 0};
    ::poll(&p, 1, 200);
    EXPECT_TRUE(watcher.TakeEvents().empty()); // nothing to report, only followed
    ASSERT_EQ(::rmdir(DeviceFolder().c_str()), 0);

    DeviceServer second;
    ASSERT_TRUE(second.Publish(kClass, "second", Echo));
    ASSERT_TRUE(collect(3)) << "the re-created folder was not noticed";
    EXPECT_EQ(events[2].kind, DeviceEvent::Kind::Arrival);
    EXPECT_EQ(events[2].path, second.Path());
    const DeviceHandle h = OpenDevice(events[2].path);
    EXPECT_TRUE(EchoWorks(h, 1));
    CloseDevice(h);
    // And the folder is watched as before.
    {
        DeviceServer third;
        ASSERT_TRUE(third.Publish(kClass, "third", Echo));
        ASSERT_TRUE(collect(4));
        EXPECT_EQ(events[3].path, third.Path());
    }
    ASSERT_TRUE(collect(5));
    EXPECT_EQ(events[4].kind, DeviceEvent::Kind::RemovalComplete);
    EXPECT_EQ(events.size(), 5u);
}
