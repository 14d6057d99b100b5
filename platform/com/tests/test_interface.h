// The interface the end-to-end tests drive, shared by the test client and the test server.
#pragma once

#include "platform/com/com.h"

namespace comtest
{

using namespace com;

constexpr CLSID kClsid = {
    0x1F0B6C2A, 0x44D1, 0x4E7B, {0x9A, 0x55, 0x10, 0x2C, 0x3D, 0x4E, 0x5F, 0x60}};
constexpr IID kEventsIid = {
    0x1F0B6C2A, 0x44D1, 0x4E7B, {0x9A, 0x55, 0x10, 0x2C, 0x3D, 0x4E, 0x5F, 0x61}};

struct ITestObject : IDispatch
{
    static constexpr GUID kIid = {
        0x1F0B6C2A, 0x44D1, 0x4E7B, {0x9A, 0x55, 0x10, 0x2C, 0x3D, 0x4E, 0x5F, 0x62}};
    virtual HRESULT Add(int32_t a, int32_t b, int32_t* sum) = 0; // 7
    virtual HRESULT Echo(uint32_t u, double d, BSTR s, uint32_t* uo, double* dout,
                         BSTR* sout) = 0;                      // 8
    virtual HRESULT EchoVariant(VARIANT in, VARIANT* out) = 0; // 9
    // Fires event `dispid` with `value` (by value, or by reference when byRef) to the sink and
    // answers what the sink's Invoke answered.
    virtual HRESULT Fire(int32_t dispid, int32_t value, int32_t byRef) = 0; // 10
    virtual HRESULT GetValue(int32_t* value) = 0;                           // 11
    virtual HRESULT SetValue(int32_t value) = 0;                            // 12
    virtual HRESULT Sleep(int32_t ms) = 0;                                  // 13
    // Fires event 2 with `value` from the server's loop after this call has returned.
    virtual HRESULT FireLater(int32_t value) = 0; // 14
    // Writes raw bytes to the connection: 1 = a frame with a bad header, 2 = frames of an
    // unknown type and a call with a garbled body, 3 = after this call has returned, replies
    // to the call ids 1 to 1000 answering E_ACCESSDENIED, then event 2 with 77.
    virtual HRESULT Garbage(int32_t kind) = 0;                            // 15
    virtual HRESULT GetChild(IUnknown** child) = 0;                       // 16
    virtual HRESULT Identity(IUnknown* object, int32_t* sameAsChild) = 0; // 17
    virtual HRESULT GetPid(int32_t* pid) = 0;                             // 18
};

class TestObjectProxy : public Proxy<ITestObject>
{
public:
    using Proxy::Proxy;
    HRESULT Add(int32_t a, int32_t b, int32_t* sum) override { return Call(7, a, b, sum); }
    HRESULT Echo(uint32_t u, double d, BSTR s, uint32_t* uo, double* dout, BSTR* sout) override
    {
        return Call(8, u, d, s, uo, dout, sout);
    }
    HRESULT EchoVariant(VARIANT in, VARIANT* out) override { return Call(9, in, out); }
    HRESULT Fire(int32_t dispid, int32_t value, int32_t byRef) override
    {
        return Call(10, dispid, value, byRef);
    }
    HRESULT GetValue(int32_t* value) override { return Call(11, value); }
    HRESULT SetValue(int32_t value) override { return Call(12, value); }
    HRESULT Sleep(int32_t ms) override { return Call(13, ms); }
    HRESULT FireLater(int32_t value) override { return Call(14, value); }
    HRESULT Garbage(int32_t kind) override { return Call(15, kind); }
    HRESULT GetChild(IUnknown** child) override { return Call(16, child); }
    HRESULT Identity(IUnknown* object, int32_t* same) override { return Call(17, object, same); }
    HRESULT GetPid(int32_t* pid) override { return Call(18, pid); }
};

inline void RegisterTestInterfaces()
{
    RegisterInterface<ITestObject, TestObjectProxy>(
        {Method<7>(&ITestObject::Add), Method<8>(&ITestObject::Echo),
         Method<9>(&ITestObject::EchoVariant), Method<10>(&ITestObject::Fire),
         Method<11>(&ITestObject::GetValue), Method<12>(&ITestObject::SetValue),
         Method<13>(&ITestObject::Sleep), Method<14>(&ITestObject::FireLater),
         Method<15>(&ITestObject::Garbage), Method<16>(&ITestObject::GetChild),
         Method<17>(&ITestObject::Identity), Method<18>(&ITestObject::GetPid)});
    RegisterDispInterface(kEventsIid);
}

} // namespace comtest
