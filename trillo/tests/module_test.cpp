// The library as a COM module: registration of its type library, its lock count, the type
// information its sink hands out.
#include "module.h"
#include "tril.h"

#include "platform/thread_locale.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

using namespace trillo;

TEST(TrilloModule, RegistrationWritesAndRemovesTheTypeLibrary)
{
    testsupport::ScopedTestEnv env;
    platform::SetThreadLocale(1049);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(platform::GetThreadLocale(), 1049u); // the caller's locale comes back
    const auto text = LoadTypeDescription("TrilloWrapper");
    ASSERT_TRUE(text.has_value());
    const auto library = ParseTypeDescription(*text);
    ASSERT_TRUE(library.has_value());
    EXPECT_EQ(library->name, "TrilloWrapper");
    const TypeDispInterface* events = library->Find(DIID__IPlStateEvents);
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->name, "_IPlStateEvents");
    ASSERT_EQ(events->members.size(), kEventCount);
    EXPECT_EQ(events->members[5].name, "OnOpenFile");
    EXPECT_EQ(events->members[5].result, "HRESULT");
    ASSERT_EQ(events->members.back().params.size(), 2u);
    EXPECT_EQ(events->members.back().params[1],
              (std::pair<std::string, std::string>("double", "_highGain")));
    const TypeDispInterface* empty = library->Find(DIID__IPlayerCaseEvents);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->members.empty());

    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_FALSE(LoadTypeDescription("TrilloWrapper").has_value());
    EXPECT_EQ(DllUnregisterServer(), S_OK); // nothing left is fine
    EXPECT_EQ(platform::GetThreadLocale(), 1049u);
}

TEST(TrilloModule, ServesNoClassAndUnloadsOnlyWithoutLocks)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_PlayerCase, IUnknown::kIid, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    // The sink's type information holds the module while it lives.
    {
        Tril tril;
        class Source final : public IUnknown
        {
        public:
            HRESULT QueryInterface(REFIID iid, void** out) override
            {
                *out = iid == IUnknown::kIid ? static_cast<IUnknown*>(this) : nullptr;
                return *out ? S_OK : E_NOINTERFACE;
            }
            ULONG AddRef() override { return 2; }
            ULONG Release() override { return 1; }
        } source;
        tril.Hook(&source); // no connection point: the node exists without a connection
        ASSERT_NE(tril.m_receiver.Nodes(), nullptr);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
        IDispatch* s = tril.m_receiver.Nodes()->sink;
        UINT count = 0;
        EXPECT_EQ(s->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        ITypeInfo* info = nullptr;
        EXPECT_EQ(s->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
        EXPECT_EQ(info, nullptr);
        ASSERT_EQ(s->GetTypeInfo(0, 0, &info), S_OK);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(static_cast<CTypeInfo*>(info)->Description().iid, DIID__IPlStateEvents);
        tril.Unhook(&source);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE); // the type information still holds it
        info->Release();
    }
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(TrilloModule, MalformedTypeDescriptionsAreRefused)
{
    const std::string good = TheModule().TypeLibraryText();
    ASSERT_TRUE(ParseTypeDescription(good).has_value());
    for (const std::string& bad : {
             std::string(""),
             std::string("dispinterface x {66666666-E739-4398-94BC-E5019CAD36E5}\nend\n"),
             std::string("library L\ndispinterface x {not-a-guid}\nend\n"),
             std::string("library L\ndispinterface x {66666666-E739-4398-94BC-E5019CAD36E5}\n"),
             std::string("library L\ndispinterface x {66666666-E739-4398-94BC-E5019CAD36E5}\n"
                         "member 2 void OnPause int32\nend\n"),
             std::string("library L\ndispinterface x {66666666-E739-4398-94BC-E5019CAD36E5}\n"
                         "member 2 void OnPause short pos\nend\n"),
             std::string("library L\ndispinterface x {66666666-E739-4398-94BC-E5019CAD36E5}\n"
                         "member two void OnPause\nend\n"),
             std::string("library L extra\n"),
             std::string("library L\nmember 2 void OnPause\n"),
         })
        EXPECT_FALSE(ParseTypeDescription(bad).has_value()) << bad;
}
