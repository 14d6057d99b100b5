// Error information of the thread.
#include "platform/com/interfaces.h"

#include <atomic>

namespace com
{

namespace
{
thread_local IErrorInfo* t_errorInfo = nullptr;

class ErrorInfo final : public IErrorInfo
{
public:
    ErrorInfo(const GUID& guid, const std::wstring& source, const std::wstring& description)
        : guid_(guid), source_(source), description_(description)
    {
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IUnknown::kIid || iid == IErrorInfo::kIid)
        {
            *out = static_cast<IErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT GetGUID(GUID* g) override { return g ? (*g = guid_, S_OK) : E_POINTER; }
    HRESULT GetSource(BSTR* s) override { return Give(source_, s); }
    HRESULT GetDescription(BSTR* s) override { return Give(description_, s); }
    HRESULT GetHelpFile(BSTR* s) override { return Give(L"", s); }
    HRESULT GetHelpContext(DWORD* c) override { return c ? (*c = 0, S_OK) : E_POINTER; }

private:
    ~ErrorInfo() = default;
    static HRESULT Give(const std::wstring& text, BSTR* out)
    {
        if (!out) return E_POINTER;
        *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    std::atomic<ULONG> refs_{1};
    GUID guid_;
    std::wstring source_, description_;
};

struct ThreadSlotCleanup
{
    ~ThreadSlotCleanup()
    {
        if (t_errorInfo) t_errorInfo->Release();
        t_errorInfo = nullptr;
    }
};
thread_local ThreadSlotCleanup t_cleanup;
} // namespace

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info)
{
    if (reserved != 0) return E_INVALIDARG;
    (void)&t_cleanup;
    if (info) info->AddRef();
    if (t_errorInfo) t_errorInfo->Release();
    t_errorInfo = info;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info)
{
    if (reserved != 0 || !info) return E_INVALIDARG;
    *info = t_errorInfo;
    t_errorInfo = nullptr;
    return *info ? S_OK : S_FALSE;
}

IErrorInfo* CreateErrorInfoObject(const GUID& guid, const std::wstring& source,
                                  const std::wstring& description)
{
    return new ErrorInfo(guid, source, description);
}

} // namespace com
