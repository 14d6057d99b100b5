// The base interfaces of the COM stand-in, in Windows slot order. Every interface carries its
// identifier as `kIid`, which the marshalling code reads from the declared parameter types.
#pragma once

#include "platform/com/types.h"

#include <utility>

namespace com
{

struct IUnknown
{
    static constexpr GUID kIid = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0; // slot 0
    virtual ULONG AddRef() = 0;                                    // slot 1
    virtual ULONG Release() = 0;                                   // slot 2

protected:
    ~IUnknown() = default;
};

// Type information is not carried across processes; the interface exists so that
// GetTypeInfo has its Windows shape. Local type descriptions come from typelib.h.
struct ITypeInfo : IUnknown
{
    static constexpr GUID kIid = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

protected:
    ~ITypeInfo() = default;
};

struct IDispatch : IUnknown
{
    static constexpr GUID kIid = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;                        // slot 3
    virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0; // slot 4
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                  DISPID* ids) = 0; // slot 5
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0; // slot 6

protected:
    ~IDispatch() = default;
};

struct IConnectionPointContainer;

struct IEnumConnections : IUnknown
{
    static constexpr GUID kIid = {
        0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0, 0xAA, 0, 0x34, 0x1D, 0x07}};

protected:
    ~IEnumConnections() = default;
};

struct IEnumConnectionPoints : IUnknown
{
    static constexpr GUID kIid = {
        0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0, 0xAA, 0, 0x34, 0x1D, 0x07}};

protected:
    ~IEnumConnectionPoints() = default;
};

struct IConnectionPoint : IUnknown
{
    static constexpr GUID kIid = {
        0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0, 0xAA, 0, 0x34, 0x1D, 0x07}};
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;                             // slot 3
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** cpc) = 0; // slot 4
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;                        // slot 5
    virtual HRESULT Unadvise(DWORD cookie) = 0;                                       // slot 6
    virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;              // slot 7

protected:
    ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown
{
    static constexpr GUID kIid = {
        0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0, 0xAA, 0, 0x34, 0x1D, 0x07}};
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;      // slot 3
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0; // slot 4

protected:
    ~IConnectionPointContainer() = default;
};

struct IErrorInfo : IUnknown
{
    static constexpr GUID kIid = {
        0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
    virtual HRESULT GetGUID(GUID* guid) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetHelpFile(BSTR* helpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* helpContext) = 0;

protected:
    ~IErrorInfo() = default;
};

// The thread's error information (reserved must be 0). SetErrorInfo takes its own reference
// (null clears); GetErrorInfo hands the reference over and clears the slot, answering S_FALSE
// when there is none. Error information stays in its thread: it is not carried across
// processes.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info);
// A plain error-information object (reference count 1).
IErrorInfo* CreateErrorInfoObject(const GUID& guid, const std::wstring& source,
                                  const std::wstring& description);

// Typed QueryInterface.
template <typename T> HRESULT QueryInterfaceAs(IUnknown* object, T** result)
{
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!object) return E_POINTER;
    return object->QueryInterface(T::kIid, reinterpret_cast<void**>(result));
}

// Owning interface pointer: releases on destruction.
template <typename T> class ComPtr
{
public:
    ComPtr() = default;
    explicit ComPtr(T* adopt) : p_(adopt) {}
    ComPtr(const ComPtr& o) : p_(o.p_)
    {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(ComPtr o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr()
    {
        if (p_) p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put()
    {
        Reset();
        return &p_;
    }
    void Reset()
    {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* Detach()
    {
        T* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T* p_ = nullptr;
};

} // namespace com
