// The library as a COM module: its lock count (held by every live sink object) and its type
// library "TrilloWrapper", embedded as a type description text.
#pragma once

#include "events.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace trillo
{

struct TypeMember
{
    DISPID dispid;
    std::string result;
    std::string name;
    std::vector<std::pair<std::string, std::string>> params; // type, name
};

struct TypeDispInterface
{
    std::string name;
    IID iid;
    std::vector<TypeMember> members;
};

struct TypeLibrary
{
    std::string name;
    std::vector<TypeDispInterface> dispinterfaces;
    const TypeDispInterface* Find(const IID& iid) const;
};

// Reads a type description text; nullopt when it is malformed.
std::optional<TypeLibrary> ParseTypeDescription(const std::string& text);

// The type information of one dispinterface of the library.
class CTypeInfo final : public ITypeInfo
{
public:
    explicit CTypeInfo(TypeDispInterface description);
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    const TypeDispInterface& Description() const { return m_description; }

private:
    ~CTypeInfo();
    std::atomic<ULONG> m_refs{1};
    TypeDispInterface m_description;
};

class CTrilloWrapperModule
{
public:
    static constexpr const char* kTypeLibraryName = "TrilloWrapper";

    long Lock() { return ++m_locks; }
    long Unlock() { return --m_locks; }
    long LockCount() const { return m_locks; }

    // The embedded type description, written from the event table.
    const std::string& TypeLibraryText() const;
    // The library as this module carries it; nullopt if it cannot be read.
    std::optional<TypeLibrary> LoadTypeLibrary() const;

    HRESULT RegisterServer();
    HRESULT UnregisterServer();
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
    HRESULT CanUnloadNow() const { return m_locks == 0 ? S_OK : S_FALSE; }

private:
    std::atomic<long> m_locks{0};
};

CTrilloWrapperModule& TheModule();

} // namespace trillo
