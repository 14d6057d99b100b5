// The process-wide table of marshalled interfaces, with the base interfaces registered.
#include "channel.h"

#include <mutex>

namespace com
{
namespace detail
{
namespace
{
struct Table
{
    std::mutex mutex;
    std::vector<std::unique_ptr<InterfaceDescription>> entries;
    std::vector<GUID> dispinterfaces;
};
Table& TheTable()
{
    static Table table;
    return table;
}

class ConnectionPointProxy : public Proxy<IConnectionPoint>
{
public:
    using Proxy::Proxy;
    HRESULT GetConnectionInterface(IID* iid) override { return Call(3, iid); }
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** c) override
    {
        return Call(4, c);
    }
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override { return Call(5, sink, cookie); }
    HRESULT Unadvise(DWORD cookie) override { return Call(6, cookie); }
    HRESULT EnumConnections(IEnumConnections** e) override
    {
        if (e) *e = nullptr;
        return E_NOTIMPL;
    }
};

class ContainerProxy : public Proxy<IConnectionPointContainer>
{
public:
    using Proxy::Proxy;
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** e) override
    {
        if (e) *e = nullptr;
        return E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        return Call(4, iid, point);
    }
};

struct BaseRegistrations
{
    BaseRegistrations()
    {
        RegisterInterface<IDispatch, Proxy<IDispatch>>({});
        RegisterInterface<IConnectionPoint, ConnectionPointProxy>(
            {Method<3>(&IConnectionPoint::GetConnectionInterface),
             Method<4>(&IConnectionPoint::GetConnectionPointContainer),
             Method<5>(&IConnectionPoint::Advise), Method<6>(&IConnectionPoint::Unadvise)});
        RegisterInterface<IConnectionPointContainer, ContainerProxy>(
            {Method<4>(&IConnectionPointContainer::FindConnectionPoint)});
    }
};
} // namespace

const InterfaceDescription* FindDescription(const IID& iid)
{
    static BaseRegistrations base;
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    for (auto& e : t.entries)
        if (e->iid == iid) return e.get();
    return nullptr;
}

bool IsDispatchInterface(const IID& iid)
{
    if (iid == IDispatch::kIid) return true;
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    for (auto& g : t.dispinterfaces)
        if (g == iid) return true;
    return false;
}
} // namespace detail

void RegisterInterfaceDescription(InterfaceDescription description)
{
    auto& t = detail::TheTable();
    std::lock_guard lock(t.mutex);
    for (auto& e : t.entries)
        if (e->iid == description.iid)
        {
            *e = std::move(description);
            return;
        }
    t.entries.push_back(std::make_unique<InterfaceDescription>(std::move(description)));
}

void RegisterDispInterface(const IID& iid)
{
    {
        auto& t = detail::TheTable();
        std::lock_guard lock(t.mutex);
        for (auto& g : t.dispinterfaces)
            if (g == iid) return;
        t.dispinterfaces.push_back(iid);
    }
    InterfaceDescription d;
    d.iid = iid;
    d.dual = true;
    d.makeProxy = [](detail::ProxyLink link)
    {
        auto* proxy = new Proxy<IDispatch>(link);
        return detail::ProxyInstance{static_cast<IDispatch*>(proxy), proxy};
    };
    d.release = [](void* object) { static_cast<IDispatch*>(object)->Release(); };
    RegisterInterfaceDescription(std::move(d));
}

} // namespace com
