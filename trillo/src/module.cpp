#include "module.h"

#include "platform/thread_locale.h"
#include "trillo/trillo.h"

#include <sstream>

namespace trillo
{

namespace
{
std::string_view TypeName(ParamType type)
{
    switch (type)
    {
    case ParamType::Int32:
        return "int32";
    case ParamType::Double:
        return "double";
    case ParamType::Variant:
        return "VARIANT";
    case ParamType::VariantRef:
        return "VARIANT*";
    }
    return "?";
}

std::string_view ResultName(ResultType type)
{
    switch (type)
    {
    case ResultType::None:
        return "void";
    case ResultType::Hresult:
        return "HRESULT";
    case ResultType::Int32:
        return "int32";
    }
    return "?";
}

bool KnownType(const std::string& t)
{
    return t == "int32" || t == "double" || t == "VARIANT" || t == "VARIANT*";
}

std::string WriteTypeDescription()
{
    std::ostringstream s;
    s << "library " << CTrilloWrapperModule::kTypeLibraryName << "\n";
    s << "dispinterface _IPlStateEvents " << GuidToString(DIID__IPlStateEvents) << "\n";
    for (const EventInfo& e : PlStateEvents())
    {
        s << "member " << e.dispid << ' ' << ResultName(e.result) << ' ' << e.name;
        for (size_t p = 0; p < e.paramCount; ++p)
            s << ' ' << TypeName(e.params[p].type) << ' ' << e.params[p].name;
        s << "\n";
    }
    s << "end\n";
    s << "dispinterface _IPlayerCaseEvents " << GuidToString(DIID__IPlayerCaseEvents) << "\n";
    s << "end\n";
    return s.str();
}

// Scoped thread locale, restored on every way out.
class ThreadLocaleScope
{
public:
    explicit ThreadLocaleScope(platform::Lcid lcid) : m_saved(platform::GetThreadLocale())
    {
        platform::SetThreadLocale(lcid);
    }
    ~ThreadLocaleScope() { platform::SetThreadLocale(m_saved); }

private:
    platform::Lcid m_saved;
};
} // namespace

const TypeDispInterface* TypeLibrary::Find(const IID& iid) const
{
    for (const auto& d : dispinterfaces)
        if (d.iid == iid) return &d;
    return nullptr;
}

std::optional<TypeLibrary> ParseTypeDescription(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    TypeLibrary library;
    TypeDispInterface* open = nullptr;
    bool haveLibrary = false;
    while (std::getline(in, line))
    {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) continue;
        if (keyword == "library" && !haveLibrary)
        {
            if (!(words >> library.name)) return std::nullopt;
            haveLibrary = true;
        }
        else if (keyword == "dispinterface" && haveLibrary && !open)
        {
            std::string name, iid;
            if (!(words >> name >> iid)) return std::nullopt;
            const auto guid = GuidFromString(iid);
            if (!guid) return std::nullopt;
            library.dispinterfaces.push_back({name, *guid, {}});
            open = &library.dispinterfaces.back();
        }
        else if (keyword == "member" && open)
        {
            TypeMember m;
            if (!(words >> m.dispid >> m.result >> m.name)) return std::nullopt;
            if (m.result != "void" && m.result != "HRESULT" && m.result != "int32")
                return std::nullopt;
            std::string type, name;
            while (words >> type)
            {
                if (!KnownType(type) || !(words >> name)) return std::nullopt;
                m.params.emplace_back(type, name);
            }
            open->members.push_back(std::move(m));
        }
        else if (keyword == "end" && open)
            open = nullptr;
        else
            return std::nullopt;
        std::string rest;
        if (keyword != "member" && (words >> rest)) return std::nullopt;
    }
    if (!haveLibrary || open) return std::nullopt;
    return library;
}

CTypeInfo::CTypeInfo(TypeDispInterface description) : m_description(std::move(description))
{
    TheModule().Lock();
}

CTypeInfo::~CTypeInfo()
{
    TheModule().Unlock();
}

HRESULT CTypeInfo::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IUnknown::kIid && iid != ITypeInfo::kIid) return E_NOINTERFACE;
    *object = static_cast<ITypeInfo*>(this);
    AddRef();
    return S_OK;
}

ULONG CTypeInfo::AddRef()
{
    return ++m_refs;
}

ULONG CTypeInfo::Release()
{
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

const std::string& CTrilloWrapperModule::TypeLibraryText() const
{
    static const std::string text = WriteTypeDescription();
    return text;
}

std::optional<TypeLibrary> CTrilloWrapperModule::LoadTypeLibrary() const
{
    auto library = ParseTypeDescription(TypeLibraryText());
    if (!library || library->name != kTypeLibraryName) return std::nullopt;
    return library;
}

HRESULT CTrilloWrapperModule::RegisterServer()
{
    // Registered in the system default locale, whatever language the caller runs in.
    ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    if (!LoadTypeLibrary()) return E_UNEXPECTED;
    return RegisterTypeDescription(kTypeLibraryName, TypeLibraryText()) ? S_OK : E_ACCESSDENIED;
}

HRESULT CTrilloWrapperModule::UnregisterServer()
{
    ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    return UnregisterTypeDescription(kTypeLibraryName) ? S_OK : E_ACCESSDENIED;
}

HRESULT CTrilloWrapperModule::GetClassObject(REFCLSID, REFIID, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE; // the module serves no creatable class
}

CTrilloWrapperModule& TheModule()
{
    // Never destroyed: sinks released while the library unloads still unlock it.
    static CTrilloWrapperModule* module = new CTrilloWrapperModule;
    return *module;
}

namespace
{
// The loader's calls of DllMain.
__attribute__((constructor)) void LibraryLoaded()
{
    DllMain(nullptr, 1, nullptr);
}
__attribute__((destructor)) void LibraryUnloaded()
{
    DllMain(nullptr, 0, nullptr);
}
} // namespace

} // namespace trillo

// C linkage comes from the declarations in trillo.h.
int DllMain(void*, uint32_t reason, void*)
{
    // The interfaces must be known to the COM runtime before the first player crosses.
    if (reason == 1) trillo::RegisterPlayerInterfaces();
    return 1;
}

int32_t DllGetClassObject(const com::GUID& clsid, const com::GUID& iid, void** object)
{
    return trillo::TheModule().GetClassObject(clsid, iid, object);
}

int32_t DllRegisterServer()
{
    return trillo::TheModule().RegisterServer();
}

int32_t DllUnregisterServer()
{
    return trillo::TheModule().UnregisterServer();
}

int32_t DllCanUnloadNow()
{
    return trillo::TheModule().CanUnloadNow();
}
