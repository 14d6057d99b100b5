// Test doubles of the flows' surroundings: a recording player wrapper, a clock the test
// moves, and a window that keeps what was posted to it.
#pragma once

#include "transfer/flow_clock.h"
#include "transfer/tril_calls.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace flowtest
{

class FakeTril : public vark::TrilCalls
{
public:
    struct Sound
    {
        std::vector<uint8_t> bytes;
        int32_t channels = 0, rate = 0;
    };

    bool Init(int first, platform::HWND hwnd, int message, bool fourth, int fifth) override;
    bool IsReady() override;
    bool Play(int play) override;
    bool Pause() override;
    bool SetPosition(int32_t ms) override;
    bool SetGain(int32_t gain) override;
    bool SetStretch(int32_t speed) override;
    bool SetRing(int32_t seconds, int32_t on) override;
    bool SetMonitoring(int32_t on) override;
    bool SetAgc(int32_t coefficient, int32_t on) override;
    bool SetDenoiser(int32_t mode, int32_t depth, int32_t on) override;
    bool SetSound(const unsigned char* data, int32_t size, int32_t channels, int32_t rate) override;
    bool OpenFile(const wchar_t* path) override;
    bool Answers() override { return !gone; } // a query, not recorded

    // Calls in order, e.g. "SetMonitoring(1)", "SetSound(32768,1,8000)".
    std::vector<std::string> calls;
    std::vector<Sound> sounds;
    bool ready = false;
    bool gone = false;
    std::set<std::string> failing; // names of calls that return false
    platform::HWND initWindow = nullptr;

    // The calls since the last Take, and forget them.
    std::vector<std::string> Take();

private:
    bool Record(const std::string& name, const std::string& args);
};

class TestClock : public vark::FlowClock
{
public:
    int64_t NowMs() override { return now; }
    void WaitMs(int ms) override
    {
        waits.push_back(ms);
        now += ms;
    }
    int64_t now = 1000000;
    std::vector<int> waits;
};

// A registered window handle; each post is kept as (code, value), with the text of the
// codes that carry one.
class Window
{
public:
    struct Message
    {
        int code;
        intptr_t value;
        std::wstring text;
        bool operator==(const Message&) const = default;
    };
    Window();
    ~Window();
    platform::HWND Handle() const { return hwnd_; }
    std::vector<Message> Take();
    std::vector<Message> Sent() const { return sent_; }
    void Send(uint32_t message, uintptr_t code, intptr_t value);

private:
    platform::HWND hwnd_;
    std::mutex mutex_;
    std::vector<Message> posted_, sent_;
};

} // namespace flowtest
