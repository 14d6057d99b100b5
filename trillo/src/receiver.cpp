#include "receiver.h"

#include "module.h"
#include "tril.h"

#include <cwctype>

namespace trillo
{

namespace
{
// One identity per COM object: the IUnknown answered by QueryInterface.
IUnknown* IdentityOf(IUnknown* object)
{
    IUnknown* identity = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(IUnknown::kIid, reinterpret_cast<void**>(&identity))))
        return nullptr;
    return identity;
}
} // namespace

CReceiver::~CReceiver()
{
    while (m_nodes)
    {
        Node* node = m_nodes;
        if (node->point) node->point->Unadvise(node->cookie);
        RemoveNode(node);
    }
}

CReceiver::Node* CReceiver::FindNode(IUnknown* identity) const
{
    for (Node* n = m_nodes; n; n = n->next)
        if (n->source == identity) return n;
    return nullptr;
}

void CReceiver::RemoveNode(Node* node)
{
    for (Node** at = &m_nodes; *at; at = &(*at)->next)
        if (*at == node)
        {
            *at = node->next;
            break;
        }
    if (node->point) node->point->Release();
    node->sink->Detach();
    node->sink->Release();
    node->source->Release();
    delete node;
}

HRESULT CReceiver::HookEvent(DISPID event, int handler, IUnknown* source)
{
    const int index = EventIndex(event);
    if (index < 0) return E_INVALIDARG;
    IUnknown* identity = IdentityOf(source);
    if (!identity) return E_POINTER;
    Node* node = FindNode(identity);
    if (node)
        identity->Release();
    else
    {
        node = new Node;
        node->source = identity;
        for (int& h : node->handlers)
            h = -1;
        node->sink = new __Impl__IPlStateEvents(this, node);
        node->next = m_nodes;
        m_nodes = node;
    }
    if (node->handlers[index] == -1)
    {
        node->handlers[index] = handler;
        ++node->hooked;
    }
    if (node->point) return S_OK;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = QueryInterfaceAs(node->source, container.put());
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID__IPlStateEvents, point.put());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(node->sink), &cookie);
    if (FAILED(hr)) return hr;
    node->point = point.Detach();
    node->cookie = cookie;
    return S_OK;
}

HRESULT CReceiver::UnhookEvent(DISPID event, IUnknown* source)
{
    const int index = EventIndex(event);
    if (index < 0) return E_INVALIDARG;
    IUnknown* identity = IdentityOf(source);
    if (!identity) return E_POINTER;
    Node* node = FindNode(identity);
    identity->Release();
    if (!node || node->handlers[index] == -1) return E_FAIL;
    node->handlers[index] = -1;
    if (--node->hooked > 0) return S_OK;
    HRESULT hr = S_OK;
    if (node->point) hr = node->point->Unadvise(node->cookie);
    // The node goes with its last event: nothing may match a source it no longer holds.
    RemoveNode(node);
    return hr;
}

HRESULT CReceiver::Dispatch(int handler, const EventArgs& a)
{
    Tril& t = *m_owner;
    switch (handler)
    {
    case 2:
        t.OnMonitor(a.i[0], a.i[1]);
        break;
    case 3:
        t.OnOpenFile(a.v[0]);
        break;
    case 4:
        t.OnCloseFile();
        break;
    case 5:
        t.OnSetFileSize(a.i[0]);
        break;
    case 6:
        t.OnPositionChange(a.i[0]);
        break;
    case 7:
        t.OnPlay(a.i[0]);
        break;
    case 8:
        t.OnStop(a.i[0]);
        break;
    case 9:
        t.OnPause(a.i[0]);
        break;
    case 10:
        t.OnStretcher(a.i[0]);
        break;
    case 11:
        t.OnRing(a.i[0], a.i[1], a.i[2]);
        break;
    case 12:
        t.OnRingSize(a.i[0]);
        break;
    case 13:
        t.OnLevelChanged(a.i[0], a.i[1]);
        break;
    default:
        return S_FALSE;
    }
    return S_OK;
}

// ---- the sink -------------------------------------------------------------------------------

__Impl__IPlStateEvents::__Impl__IPlStateEvents(CReceiver* receiver, CReceiver::Node* node)
    : m_receiver(receiver), m_node(node)
{
    TheModule().Lock();
}

__Impl__IPlStateEvents::~__Impl__IPlStateEvents()
{
    TheModule().Unlock();
}

HRESULT __Impl__IPlStateEvents::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IUnknown::kIid && iid != IDispatch::kIid && iid != DIID__IPlStateEvents)
        return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG __Impl__IPlStateEvents::AddRef()
{
    return ++m_refs;
}

ULONG __Impl__IPlStateEvents::Release()
{
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

HRESULT __Impl__IPlStateEvents::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    const auto library = TheModule().LoadTypeLibrary();
    *count = library && library->Find(DIID__IPlStateEvents) ? 1 : 0;
    return S_OK;
}

HRESULT __Impl__IPlStateEvents::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const auto library = TheModule().LoadTypeLibrary();
    const TypeDispInterface* events = library ? library->Find(DIID__IPlStateEvents) : nullptr;
    if (!events) return E_FAIL;
    *info = new CTypeInfo(*events);
    return S_OK;
}

namespace
{
bool SameName(const OLECHAR* a, std::string_view b)
{
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) !=
            std::towlower(static_cast<wint_t>(static_cast<unsigned char>(b[i]))))
            return false;
    return a[i] == 0 && i == b.size();
}

DISPID ResolveName(const OLECHAR* name)
{
    if (!name) return DISPID_UNKNOWN;
    for (const EventInfo& e : PlStateEvents())
        if (SameName(name, e.name)) return e.dispid;
    for (const EventInfo& e : PlStateEvents())
        for (size_t p = 0; p < e.paramCount; ++p)
            if (SameName(name, e.params[p].name)) return static_cast<DISPID>(p);
    return DISPID_UNKNOWN;
}
} // namespace

HRESULT __Impl__IPlStateEvents::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                              DISPID* ids)
{
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i)
    {
        ids[i] = ResolveName(names[i]);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT __Impl__IPlStateEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    const int index = EventIndex(id);
    if (index < 0) return DISP_E_MEMBERNOTFOUND;
    const EventInfo& event = PlStateEvents()[static_cast<size_t>(index)];
    const UINT args = params ? params->cArgs : 0;
    const UINT named = params ? params->cNamedArgs : 0;
    if (args > kMaxEventParams || args != event.paramCount) return DISP_E_BADPARAMCOUNT;
    if (args && !params->rgvarg) return E_INVALIDARG;
    if (named > args || (named && !params->rgdispidNamedArgs)) return DISP_E_PARAMNOTFOUND;

    // Which rgvarg entry holds each parameter: named ones by their position, the rest in
    // reverse order.
    int slotOf[kMaxEventParams];
    for (int& s : slotOf)
        s = -1;
    for (UINT n = 0; n < named; ++n)
    {
        const DISPID position = params->rgdispidNamedArgs[n];
        if (position < 0 || static_cast<UINT>(position) >= args || slotOf[position] != -1)
        {
            if (argError) *argError = n;
            return DISP_E_PARAMNOTFOUND;
        }
        slotOf[position] = static_cast<int>(n);
    }
    UINT nextPositional = 0;
    for (UINT p = 0; p < args; ++p)
        if (slotOf[p] == -1)
        {
            slotOf[p] = static_cast<int>(args - 1 - nextPositional);
            ++nextPositional;
        }

    EventArgs converted;
    for (UINT p = 0; p < args; ++p)
    {
        VARIANT& arg = params->rgvarg[slotOf[p]];
        HRESULT hr = S_OK;
        switch (event.params[p].type)
        {
        case ParamType::Int32:
        case ParamType::Double:
        {
            VARIANT value;
            VariantInit(&value);
            const bool isInt = event.params[p].type == ParamType::Int32;
            hr = VariantChangeType(&value, &arg, 0, isInt ? VT_I4 : VT_R8);
            if (SUCCEEDED(hr))
            {
                if (isInt)
                    converted.i[p] = value.lVal;
                else
                    converted.d[p] = value.dblVal;
            }
            VariantClear(&value);
            break;
        }
        case ParamType::Variant:
        case ParamType::VariantRef:
            // A VARIANT passed by reference is followed once.
            if (arg.vt == (VT_VARIANT | VT_BYREF))
            {
                if (!arg.pvarVal) hr = DISP_E_TYPEMISMATCH;
                converted.v[p] = arg.pvarVal;
            }
            else
                converted.v[p] = &arg;
            break;
        }
        if (FAILED(hr))
        {
            if (argError) *argError = static_cast<UINT>(slotOf[p]);
            return DISP_E_TYPEMISMATCH;
        }
    }

    const int handler = m_node ? m_node->handlers[index] : -1;
    if (handler == -1) return S_FALSE;
    const HRESULT hr = m_receiver->Dispatch(handler, converted);
    if (event.result == ResultType::Int32 && result)
    {
        VariantClear(result);
        result->vt = VT_I4;
        result->lVal = hr;
    }
    if (event.result == ResultType::Hresult && FAILED(hr))
    {
        if (exception)
        {
            *exception = EXCEPINFO{};
            exception->scode = hr;
            IErrorInfo* info = nullptr;
            if (GetErrorInfo(0, &info) == S_OK && info)
            {
                info->GetSource(&exception->bstrSource);
                info->GetDescription(&exception->bstrDescription);
                info->GetHelpFile(&exception->bstrHelpFile);
                info->GetHelpContext(&exception->dwHelpContext);
                info->Release();
            }
        }
        return hr;
    }
    return hr;
}

} // namespace trillo
