// The player wrapper's functions as the data flows and the player controller call them. The
// default forwards to the TRIL_ functions of libtrillo; tests hand in a recording fake so that
// exact call sequences can be checked without a player server.
#pragma once

#include "platform/winmsg.h"

#include <cstdint>

namespace vark
{

class TrilCalls
{
public:
    virtual ~TrilCalls() = default;
    virtual bool Init(int first, platform::HWND hwnd, int message, bool fourth, int fifth) = 0;
    virtual bool IsReady() = 0;
    virtual bool Play(int play) = 0;
    virtual bool Pause() = 0;
    virtual bool SetPosition(int32_t ms) = 0;
    virtual bool SetGain(int32_t gain) = 0;
    virtual bool SetStretch(int32_t speed) = 0;
    virtual bool SetRing(int32_t seconds, int32_t on) = 0;
    virtual bool SetMonitoring(int32_t on) = 0;
    virtual bool SetAgc(int32_t coefficient, int32_t on) = 0;
    virtual bool SetDenoiser(int32_t mode, int32_t depth, int32_t on) = 0;
    // 16-bit samples; with two channels all left samples first, then all right samples.
    virtual bool SetSound(const unsigned char* data, int32_t size, int32_t channels,
                          int32_t rate) = 0;
    virtual bool OpenFile(const wchar_t* path) = 0;
    // False once the player server has gone: a query it no longer answers.
    virtual bool Answers() = 0;
};

// The process's player wrapper (libtrillo).
TrilCalls& RealTril();

} // namespace vark
