// The event receiver of the Tril: one node per subscribed source, each with its sink object,
// connection cookie, count of hooked events and a handler table (one entry per event of
// _IPlStateEvents in DISPID order, -1 = not hooked).
#pragma once

#include "events.h"

namespace trillo
{

class Tril;
class __Impl__IPlStateEvents;

// The converted arguments of one event, by parameter position.
struct EventArgs
{
    int32_t i[kMaxEventParams] = {};
    double d[kMaxEventParams] = {};
    VARIANT* v[kMaxEventParams] = {};
};

class CReceiver
{
public:
    explicit CReceiver(Tril* owner) : m_owner(owner) {}
    ~CReceiver();
    CReceiver(const CReceiver&) = delete;
    CReceiver& operator=(const CReceiver&) = delete;

    // Sets the event's table entry of the source's node (made on first use) to `handler`
    // and connects the node's sink when it has no connection yet.
    HRESULT HookEvent(DISPID event, int handler, IUnknown* source);
    // Clears the entry; the last one disconnects the sink and lets go of the source.
    HRESULT UnhookEvent(DISPID event, IUnknown* source);
    // Runs handler `handler` on the owner. S_FALSE for -1.
    HRESULT Dispatch(int handler, const EventArgs& args);

    struct Node
    {
        IUnknown* source = nullptr; // the source's identity, one reference
        __Impl__IPlStateEvents* sink = nullptr;
        IConnectionPoint* point = nullptr; // where the sink is advised; null when not
        DWORD cookie = 0;
        int hooked = 0;
        int handlers[kEventCount];
        Node* next = nullptr;
    };
    const Node* Nodes() const { return m_nodes; }

private:
    Node* FindNode(IUnknown* identity) const;
    void RemoveNode(Node* node);

    Tril* m_owner;
    Node* m_nodes = nullptr;
};

// The sink object advised to a source: IDispatch for _IPlStateEvents. It reaches its node's
// handler table while the node lives; afterwards every event counts as not hooked.
class __Impl__IPlStateEvents final : public IDispatch
{
public:
    __Impl__IPlStateEvents(CReceiver* receiver, CReceiver::Node* node);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    void Detach() { m_node = nullptr; }

private:
    ~__Impl__IPlStateEvents();
    ULONG m_refs = 1;
    CReceiver* m_receiver;
    CReceiver::Node* m_node;
};

} // namespace trillo
