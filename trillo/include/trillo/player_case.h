// The player server's object as the wrapper drives it: class, interfaces, slots and event
// identifiers. Shared by the wrapper (client side) and the player server (serving side), so
// that both register the same marshalling descriptions.
//
// Only the slots the wrapper calls are declared; marshalling goes by slot number, not by
// the position of a method in the C++ class.
#pragma once

#include "platform/com/com.h"

namespace trillo
{

using namespace com;

constexpr CLSID CLSID_PlayerCase = {
    0x66666666, 0x7C77, 0x4362, {0xAB, 0xD9, 0x4B, 0x06, 0x07, 0x7A, 0x63, 0xBC}};
constexpr IID DIID__IPlStateEvents = {
    0x66666666, 0xE739, 0x4398, {0x94, 0xBC, 0xE5, 0x01, 0x9C, 0xAD, 0x36, 0xE5}};
// Declared by the wrapper's type library; nothing subscribes to it.
constexpr IID DIID__IPlayerCaseEvents = {
    0x66666666, 0x5D2B, 0x4A61, {0x8F, 0x37, 0x1C, 0x4E, 0x90, 0x2A, 0x6B, 0xD1}};

struct IPlayerCase : IDispatch
{
    static constexpr GUID kIid = {
        0x66666666, 0xAD8A, 0x46AD, {0x93, 0x37, 0x96, 0x14, 0x87, 0x64, 0x9B, 0x51}};
    virtual HRESULT Play() = 0;                                                 // 7
    virtual HRESULT Stop() = 0;                                                 // 8
    virtual HRESULT Pause() = 0;                                                // 9
    virtual HRESULT Ring(int32_t mode, int32_t high, int32_t low) = 0;          // 10
    virtual HRESULT SetPosition(int32_t position) = 0;                          // 12
    virtual HRESULT GetState(IDispatch** state) = 0;                            // 13
    virtual HRESULT OpenFile(BSTR path) = 0;                                    // 14
    virtual HRESULT CloseFile() = 0;                                            // 15
    virtual HRESULT SetMonitoring(int32_t on) = 0;                              // 17
    virtual HRESULT SetSound(VARIANT data, int32_t channels, int32_t rate) = 0; // 18
    virtual HRESULT SetRingSize(int32_t size) = 0;                              // 20
    virtual HRESULT RingOn() = 0;                                               // 21
    virtual HRESULT GetGain(int32_t* gain) = 0;                                 // 22
    virtual HRESULT SetGain(int32_t gain) = 0;                                  // 23
    virtual HRESULT EnableObject(int32_t kind, int32_t on) = 0;                 // 26
    virtual HRESULT SetAgc(int32_t coefficient) = 0;                            // 30
    virtual HRESULT SetSpeechSearch(int32_t threshold) = 0;                     // 32
    virtual HRESULT SetStretch(int32_t speed) = 0;                              // 34
    virtual HRESULT SetDenoiser(int32_t mode, int32_t depth) = 0;               // 36
    virtual HRESULT GetFileValue1(int32_t* value) = 0;                          // 39
    virtual HRESULT GetFileValue2(int32_t* value) = 0;                          // 40
    virtual HRESULT GetFileTitle(BSTR* title) = 0;                              // 41
    // This edition's own: the output device number (in the sound stand-in's device order)
    // the player opens; only before the first GetState, which opens it.
    virtual HRESULT SetOutputDevice(int32_t device) = 0; // 42

protected:
    ~IPlayerCase() = default;
};

struct IPlState : IDispatch
{
    static constexpr GUID kIid = {
        0x66666666, 0xE7F0, 0x4B64, {0x8A, 0xB9, 0x2A, 0xB8, 0x55, 0x9C, 0xA3, 0xF7}};
    virtual HRESULT End() = 0;   // 7
    virtual HRESULT Begin() = 0; // 8

protected:
    ~IPlState() = default;
};

// Object kinds of EnableObject.
enum PlayerObjectKind : int32_t
{
    kObjectDenoiser = 1,
    kObjectAgc = 2,
    kObjectSpeechSearch = 3,
};

// DISPIDs of _IPlStateEvents (1 and 7 are not used).
enum PlStateEvent : DISPID
{
    DISPID_OnPause = 2,
    DISPID_OnLevelChanged = 3,
    DISPID_OnPositionChange = 4,
    DISPID_OnFileChange = 5,
    DISPID_OnVolumeBalanceChange = 6,
    DISPID_OnOpenFile = 8,
    DISPID_OnCloseFile = 9,
    DISPID_OnSetFileSize = 10,
    DISPID_OnRing = 11,
    DISPID_OnMonitor = 12,
    DISPID_OnBegConf = 13,
    DISPID_OnEndConf = 14,
    DISPID_OnPlay = 15,
    DISPID_OnStop = 16,
    DISPID_OnRingSize = 17,
    DISPID_OnGainBalance = 18,
    DISPID_OnMixer = 19,
    DISPID_OnObject = 20,
    DISPID_OnAgc = 21,
    DISPID_OnSpeechSearch = 22,
    DISPID_OnStretcher = 23,
    DISPID_OnDenoiser = 24,
    DISPID_OnEndOfFile = 25,
    DISPID_OnMixerChannelsCounter = 26,
    DISPID_OnMixerChannelsLevel = 27,
    DISPID_OnHLFilter = 28,
};

class PlayerCaseProxy : public Proxy<IPlayerCase>
{
public:
    using Proxy::Proxy;
    HRESULT Play() override { return Call(7); }
    HRESULT Stop() override { return Call(8); }
    HRESULT Pause() override { return Call(9); }
    HRESULT Ring(int32_t mode, int32_t high, int32_t low) override
    {
        return Call(10, mode, high, low);
    }
    HRESULT SetPosition(int32_t position) override { return Call(12, position); }
    HRESULT GetState(IDispatch** state) override { return Call(13, state); }
    HRESULT OpenFile(BSTR path) override { return Call(14, path); }
    HRESULT CloseFile() override { return Call(15); }
    HRESULT SetMonitoring(int32_t on) override { return Call(17, on); }
    HRESULT SetSound(VARIANT data, int32_t channels, int32_t rate) override
    {
        return Call(18, data, channels, rate);
    }
    HRESULT SetRingSize(int32_t size) override { return Call(20, size); }
    HRESULT RingOn() override { return Call(21); }
    HRESULT GetGain(int32_t* gain) override { return Call(22, gain); }
    HRESULT SetGain(int32_t gain) override { return Call(23, gain); }
    HRESULT EnableObject(int32_t kind, int32_t on) override { return Call(26, kind, on); }
    HRESULT SetAgc(int32_t coefficient) override { return Call(30, coefficient); }
    HRESULT SetSpeechSearch(int32_t threshold) override { return Call(32, threshold); }
    HRESULT SetStretch(int32_t speed) override { return Call(34, speed); }
    HRESULT SetDenoiser(int32_t mode, int32_t depth) override { return Call(36, mode, depth); }
    HRESULT GetFileValue1(int32_t* value) override { return Call(39, value); }
    HRESULT GetFileValue2(int32_t* value) override { return Call(40, value); }
    HRESULT GetFileTitle(BSTR* title) override { return Call(41, title); }
    HRESULT SetOutputDevice(int32_t device) override { return Call(42, device); }
};

class PlStateProxy : public Proxy<IPlState>
{
public:
    using Proxy::Proxy;
    HRESULT End() override { return Call(7); }
    HRESULT Begin() override { return Call(8); }
};

// Both sides call this once before the first object crosses (repeating it is harmless).
inline void RegisterPlayerInterfaces()
{
    RegisterInterface<IPlayerCase, PlayerCaseProxy>({Method<7>(&IPlayerCase::Play),
                                                     Method<8>(&IPlayerCase::Stop),
                                                     Method<9>(&IPlayerCase::Pause),
                                                     Method<10>(&IPlayerCase::Ring),
                                                     Method<12>(&IPlayerCase::SetPosition),
                                                     Method<13>(&IPlayerCase::GetState),
                                                     Method<14>(&IPlayerCase::OpenFile),
                                                     Method<15>(&IPlayerCase::CloseFile),
                                                     Method<17>(&IPlayerCase::SetMonitoring),
                                                     Method<18>(&IPlayerCase::SetSound),
                                                     Method<20>(&IPlayerCase::SetRingSize),
                                                     Method<21>(&IPlayerCase::RingOn),
                                                     Method<22>(&IPlayerCase::GetGain),
                                                     Method<23>(&IPlayerCase::SetGain),
                                                     Method<26>(&IPlayerCase::EnableObject),
                                                     Method<30>(&IPlayerCase::SetAgc),
                                                     Method<32>(&IPlayerCase::SetSpeechSearch),
                                                     Method<34>(&IPlayerCase::SetStretch),
                                                     Method<36>(&IPlayerCase::SetDenoiser),
                                                     Method<39>(&IPlayerCase::GetFileValue1),
                                                     Method<40>(&IPlayerCase::GetFileValue2),
                                                     Method<41>(&IPlayerCase::GetFileTitle),
                                                     Method<42>(&IPlayerCase::SetOutputDevice)});
    RegisterInterface<IPlState, PlStateProxy>(
        {Method<7>(&IPlState::End), Method<8>(&IPlState::Begin)});
    RegisterDispInterface(DIID__IPlStateEvents);
}

} // namespace trillo

#include <unistd.h>

namespace trillo
{

// Registers `executable` as the player server unless a server that can be started is
// registered already. False when neither is the case.
inline bool RegisterPlayerServerIfMissing(const std::string& executable)
{
    const auto current = LookupServer(CLSID_PlayerCase);
    if (current && ::access(current->c_str(), X_OK) == 0) return true;
    if (::access(executable.c_str(), X_OK) != 0) return false;
    return RegisterServer(CLSID_PlayerCase, executable);
}

// The start-up of every client: this process activates `executable`, its own installation's
// player server, whatever another installation registered; the registration is written when
// none that can be started exists. Without a runnable `executable` the registered server is
// used; false when there is none either.
inline bool UsePlayerServer(const std::string& executable)
{
    if (!executable.empty() && ::access(executable.c_str(), X_OK) == 0)
        com::UseServerInThisProcess(CLSID_PlayerCase, executable);
    return RegisterPlayerServerIfMissing(executable);
}

} // namespace trillo
