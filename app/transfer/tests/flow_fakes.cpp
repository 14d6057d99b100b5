#include "flow_fakes.h"

#include "platform/text.h"
#include "transfer/data_flow.h"

#include <utility>

namespace flowtest
{

bool FakeTril::Record(const std::string& name, const std::string& args)
{
    calls.push_back(name + "(" + args + ")");
    return failing.count(name) == 0;
}

std::vector<std::string> FakeTril::Take()
{
    return std::exchange(calls, {});
}

bool FakeTril::Init(int first, platform::HWND hwnd, int message, bool fourth, int fifth)
{
    initWindow = hwnd;
    const bool ok = Record("Init", std::to_string(first) + "," + std::to_string(message) + "," +
                                       std::to_string(fourth) + "," + std::to_string(fifth));
    ready = ready || ok;
    return ok;
}

bool FakeTril::IsReady()
{
    return ready;
}
bool FakeTril::Play(int play)
{
    return Record("Play", std::to_string(play));
}
bool FakeTril::Pause()
{
    return Record("Pause", "");
}
bool FakeTril::SetPosition(int32_t ms)
{
    return Record("SetPosition", std::to_string(ms));
}
bool FakeTril::SetGain(int32_t gain)
{
    return Record("SetGain", std::to_string(gain));
}
bool FakeTril::SetStretch(int32_t speed)
{
    return Record("SetStretch", std::to_string(speed));
}
bool FakeTril::SetRing(int32_t seconds, int32_t on)
{
    return Record("SetRing", std::to_string(seconds) + "," + std::to_string(on));
}
bool FakeTril::SetMonitoring(int32_t on)
{
    return Record("SetMonitoring", std::to_string(on));
}
bool FakeTril::SetAgc(int32_t coefficient, int32_t on)
{
    return Record("SetAgc", std::to_string(coefficient) + "," + std::to_string(on));
}
bool FakeTril::SetDenoiser(int32_t mode, int32_t depth, int32_t on)
{
    return Record("SetDenoiser",
                  std::to_string(mode) + "," + std::to_string(depth) + "," + std::to_string(on));
}
bool FakeTril::SetSound(const unsigned char* data, int32_t size, int32_t channels, int32_t rate)
{
    const bool ok = Record("SetSound", std::to_string(size) + "," + std::to_string(channels) + "," +
                                           std::to_string(rate));
    if (ok) sounds.push_back({std::vector<uint8_t>(data, data + size), channels, rate});
    return ok;
}
bool FakeTril::OpenFile(const wchar_t* path)
{
    return Record("OpenFile", path ? platform::WideToUtf8(path) : "null");
}

Window::Window()
    : hwnd_(platform::RegisterWindowHandle(
          [this](platform::UINT message, platform::WPARAM code, platform::LPARAM value)
          {
              if (message != kPlayerMessage) return;
              Message m{static_cast<int>(code), value, {}};
              if ((code == player_code::kName || code == player_code::kFormat) && value)
                  m.text = reinterpret_cast<const wchar_t*>(value);
              std::lock_guard lock(mutex_);
              posted_.push_back(m);
          }))
{
}

Window::~Window()
{
    platform::UnregisterWindowHandle(hwnd_);
}

std::vector<Window::Message> Window::Take()
{
    std::lock_guard lock(mutex_);
    return std::exchange(posted_, {});
}

void Window::Send(uint32_t message, uintptr_t code, intptr_t value)
{
    if (message == kPlayerMessage) sent_.push_back({static_cast<int>(code), value, {}});
}

} // namespace flowtest
