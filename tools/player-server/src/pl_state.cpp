#include "pl_state.h"

#include "movra/movra.h"

namespace player
{

CPlState::~CPlState() = default;

HRESULT CPlState::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IUnknown::kIid || iid == IDispatch::kIid || iid == IPlState::kIid)
        *object = static_cast<IPlState*>(this);
    else if (iid == IConnectionPointContainer::kIid)
        *object = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IConnectionPoint::kIid)
        *object = static_cast<IConnectionPoint*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CPlState::Release()
{
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

HRESULT CPlState::End()
{
    if (!m_core) return S_OK;
    // Stopping a player that has no file is nothing to report.
    Guarded("End", [&] { return m_core->CStop(); });
    return S_OK;
}

HRESULT CPlState::Begin()
{
    if (!m_core) return E_UNEXPECTED;
    return Guarded("Begin", [&] { return m_core->CGetState(); });
}

HRESULT CPlState::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (points) *points = nullptr;
    return E_NOTIMPL;
}

HRESULT CPlState::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point) return E_POINTER;
    *point = nullptr;
    if (iid != DIID__IPlStateEvents) return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT CPlState::GetConnectionInterface(IID* iid)
{
    if (!iid) return E_POINTER;
    *iid = DIID__IPlStateEvents;
    return S_OK;
}

HRESULT CPlState::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container) return E_POINTER;
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT CPlState::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!sink || !cookie) return E_POINTER;
    if (m_sink) return CONNECT_E_ADVISELIMIT; // one subscriber: the wrapper
    if (FAILED(sink->QueryInterface(DIID__IPlStateEvents, reinterpret_cast<void**>(m_sink.put()))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = ++m_cookie;
    return S_OK;
}

HRESULT CPlState::Unadvise(DWORD cookie)
{
    if (!m_sink || cookie != m_cookie) return CONNECT_E_NOCONNECTION;
    m_sink.Reset();
    return S_OK;
}

HRESULT CPlState::EnumConnections(IEnumConnections** connections)
{
    if (connections) *connections = nullptr;
    return E_NOTIMPL;
}

void CPlState::Fire(DISPID id, std::vector<VARIANT> args)
{
    // The sink may go (Unadvise) while the event is out: keep it for the call.
    ComPtr<IDispatch> sink = m_sink;
    if (sink)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr =
            sink->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        VariantClear(&result);
        if (FAILED(hr) && JOURNAL::Journal)
            JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "event %d: hr=0x%08X", id,
                                  static_cast<unsigned>(hr));
    }
    for (auto& v : args)
        VariantClear(&v);
}

} // namespace player
