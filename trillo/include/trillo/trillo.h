// The player wrapper's flat playback interface over the player object of the player server.
//
// One player per process. Call every function from one thread that is already in a COM
// apartment (com::CoInitialize) and pumps it: the player's events arrive on that thread and
// are handed to the window given to TRIL_Init by PostMessageW (platform/winmsg.h), with the
// message number given there and a code of player_code (trillo/player_message.h) in the
// WPARAM.
//
// Widths: the interface's "long" values are 32-bit (int32_t). Text is wchar_t, the
// platform's wide character (32-bit); the title buffer whose address code 1 carries holds
// 64 of them, zero-terminated.
#pragma once

#include "platform/com/types.h"
#include "platform/winmsg.h"
#include "trillo/player_message.h"

#include <cstdint>

constexpr int kTrilTitleUnits = 64;

extern "C"
{

    // `device`: the output device number in the sound stand-in's device order, -1 the
    // default (this edition's own; the fourth and fifth arguments are not used).
    bool TRIL_Init(int device, platform::HWND hwnd, int message, bool unused2, int unused3);
    bool TRIL_IsReady();
    bool TRIL_FileIsLoaded();
    bool TRIL_IsMoitoring();
    void TRIL_Clear();
    bool TRIL_Play(int play);
    bool TRIL_Pause();
    bool TRIL_SetPosition(int32_t position);
    bool TRIL_SetGain(int32_t gain);
    int32_t TRIL_GetGain(); // -1 when the player cannot tell
    bool TRIL_SetStretch(int32_t speed);
    bool TRIL_SetRing(int32_t seconds, int32_t on);
    bool TRIL_SetMonitoring(int32_t on);
    bool TRIL_SetAgc(int32_t coefficient, int32_t on);
    bool TRIL_SetDenoiser(int32_t mode, int32_t depth, int32_t on);
    bool TRIL_SetSpeechSearch(int32_t threshold, int32_t on);
    // 16-bit samples; with two channels all left samples come first, then all right samples.
    bool TRIL_SetSound(const unsigned char* data, int32_t size, int32_t channels, int32_t rate);
    // A null or empty path only closes the open file.
    bool TRIL_OpenFile(const wchar_t* path);

    // The library as a COM module. DllMain is called by the library's own load and unload
    // (reason 1 and 0); registration writes the type description "TrilloWrapper" into the COM
    // registry folder (com::RegisterTypeDescription).
    int DllMain(void* module, uint32_t reason, void* reserved);
    int32_t DllGetClassObject(const com::GUID& clsid, const com::GUID& iid, void** object);
    int32_t DllRegisterServer();
    int32_t DllUnregisterServer();
    int32_t DllCanUnloadNow();
}
