#include "transfer/tril_calls.h"

#include "trillo/trillo.h"

namespace vark
{

namespace
{

class Trillo final : public TrilCalls
{
public:
    bool Init(int first, platform::HWND hwnd, int message, bool fourth, int fifth) override
    {
        return TRIL_Init(first, hwnd, message, fourth, fifth);
    }
    bool IsReady() override { return TRIL_IsReady(); }
    bool Play(int play) override { return TRIL_Play(play); }
    bool Pause() override { return TRIL_Pause(); }
    bool SetPosition(int32_t ms) override { return TRIL_SetPosition(ms); }
    bool SetGain(int32_t gain) override { return TRIL_SetGain(gain); }
    bool SetStretch(int32_t speed) override { return TRIL_SetStretch(speed); }
    bool SetRing(int32_t seconds, int32_t on) override { return TRIL_SetRing(seconds, on); }
    bool SetMonitoring(int32_t on) override { return TRIL_SetMonitoring(on); }
    bool SetAgc(int32_t coefficient, int32_t on) override { return TRIL_SetAgc(coefficient, on); }
    bool SetDenoiser(int32_t mode, int32_t depth, int32_t on) override
    {
        return TRIL_SetDenoiser(mode, depth, on);
    }
    bool SetSound(const unsigned char* data, int32_t size, int32_t channels, int32_t rate) override
    {
        return TRIL_SetSound(data, size, channels, rate);
    }
    bool OpenFile(const wchar_t* path) override { return TRIL_OpenFile(path); }
    // A gone server fails every call; the gain query is the cheapest that says so.
    bool Answers() override { return TRIL_GetGain() >= 0; }
};

} // namespace

TrilCalls& RealTril()
{
    static Trillo trillo;
    return trillo;
}

} // namespace vark
