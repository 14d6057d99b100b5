// The receiver and its sink in one process, against a local source object.
#include "module.h"
#include "tril.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using namespace trillo;

namespace
{

// A source with its connection point, counting what the receiver does to it.
class FakeSource final : public IPlState, public IConnectionPointContainer, public IConnectionPoint
{
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IUnknown::kIid || iid == IDispatch::kIid || iid == IPlState::kIid)
            *out = static_cast<IPlState*>(this);
        else if (iid == IConnectionPointContainer::kIid)
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (iid == IConnectionPoint::kIid)
            *out = static_cast<IConnectionPoint*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** t) override { return *t = nullptr, E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT End() override { return S_OK; }
    HRESULT Begin() override { return S_OK; }
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** e) override
    {
        return *e = nullptr, E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        if (iid != DIID__IPlStateEvents) return CONNECT_E_NOCONNECTION;
        return QueryInterfaceAs(static_cast<IPlState*>(this), point);
    }
    HRESULT GetConnectionInterface(IID* iid) override { return *iid = DIID__IPlStateEvents, S_OK; }
    HRESULT GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT Advise(IUnknown* s, DWORD* cookie) override
    {
        ++advised;
        if (refuseAdvise) return CONNECT_E_CANNOTCONNECT;
        QueryInterfaceAs(s, sink.put());
        *cookie = 41;
        return S_OK;
    }
    HRESULT Unadvise(DWORD cookie) override
    {
        unadvisedWith.push_back(cookie);
        sink.Reset();
        return S_OK;
    }
    HRESULT EnumConnections(IEnumConnections** e) override { return *e = nullptr, E_NOTIMPL; }

    ULONG refs = 0;
    int advised = 0;
    bool refuseAdvise = false;
    std::vector<DWORD> unadvisedWith;
    ComPtr<IDispatch> sink;
};

constexpr auto Int = VariantFromI4;

struct Posted
{
    platform::UINT message;
    platform::WPARAM code;
    platform::LPARAM value;
};

class ReceiverTest : public ::testing::Test
{
protected:
    ReceiverTest()
    {
        hwnd = platform::RegisterWindowHandle(
            [this](platform::UINT m, platform::WPARAM w, platform::LPARAM l)
            {
                std::lock_guard lock(mutex);
                posted.push_back({m, w, l});
            });
    }
    ~ReceiverTest() override { platform::UnregisterWindowHandle(hwnd); }

    // Fires `id` with arguments in declaration order (stored reversed, as callers do).
    HRESULT Fire(DISPID id, std::vector<VARIANT> args, UINT* argError = nullptr)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS p{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()),
                     0};
        const HRESULT hr =
            source.sink->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr, argError);
        for (auto& v : reversed)
            VariantClear(&v);
        return hr;
    }
    std::vector<Posted> Messages()
    {
        std::lock_guard lock(mutex);
        return posted;
    }

    FakeSource source;
    Tril tril;
    platform::HWND hwnd;
    std::mutex mutex;
    std::vector<Posted> posted;
};

TEST_F(ReceiverTest, HookAdvisesOnceAndTheLastUnhookLetsGo)
{
    ASSERT_EQ(tril.Hook(static_cast<IPlState*>(&source)), S_OK);
    EXPECT_EQ(source.advised, 1);
    ASSERT_NE(tril.m_receiver.Nodes(), nullptr);
    const auto* node = tril.m_receiver.Nodes();
    EXPECT_EQ(node->hooked, 12);
    EXPECT_EQ(node->next, nullptr);
    EXPECT_EQ(node->handlers[EventIndex(DISPID_OnMonitor)], 2);
    EXPECT_EQ(node->handlers[EventIndex(DISPID_OnLevelChanged)], 13);
    EXPECT_EQ(node->handlers[EventIndex(DISPID_OnMixer)], -1);
    EXPECT_EQ(TheModule().CanUnloadNow(), S_FALSE); // the sink lives

    // Another interface of the same object is the same source.
    ASSERT_EQ(tril.Hook(static_cast<IConnectionPointContainer*>(&source)), S_OK);
    EXPECT_EQ(source.advised, 1);
    EXPECT_EQ(tril.m_receiver.Nodes()->hooked, 12);

    ASSERT_TRUE(source.sink);
    EXPECT_EQ(tril.Unhook(static_cast<IPlState*>(&source)), S_OK);
    EXPECT_EQ(source.unadvisedWith, std::vector<DWORD>{41});
    EXPECT_EQ(tril.m_receiver.Nodes(), nullptr);
    EXPECT_EQ(source.refs, 0u); // every reference the receiver took is back
    EXPECT_EQ(TheModule().CanUnloadNow(), S_OK);
    // Unhooking again finds nothing to undo.
    EXPECT_NE(tril.Unhook(static_cast<IPlState*>(&source)), S_OK);
}

TEST_F(ReceiverTest, ARefusedAdviseIsRetriedAndNeverUnadvised)
{
    source.refuseAdvise = true;
    EXPECT_EQ(tril.Hook(static_cast<IPlState*>(&source)), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(source.advised, 12); // every event tries while there is no connection
    source.refuseAdvise = false;
    EXPECT_EQ(tril.Hook(static_cast<IPlState*>(&source)), S_OK);
    EXPECT_EQ(source.advised, 13);
    tril.Unhook(static_cast<IPlState*>(&source));
    source.refuseAdvise = true;
    tril.Hook(static_cast<IPlState*>(&source));
    tril.Unhook(static_cast<IPlState*>(&source));
    EXPECT_EQ(source.unadvisedWith.size(), 1u);
    EXPECT_EQ(source.refs, 0u);
}

TEST_F(ReceiverTest, InvokeChecksCountsTypesAndMembers)
{
    tril.Hook(static_cast<IPlState*>(&source));
    ASSERT_TRUE(source.sink);
    EXPECT_EQ(Fire(DISPID_OnPositionChange, {Int(1), Int(2)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Fire(DISPID_OnPositionChange, {}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Fire(DISPID_OnMixer, {Int(1), Int(2), Int(3), Int(4), Int(5), Int(6)}),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Fire(1, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Fire(7, {Int(1)}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Fire(29, {}), DISP_E_MEMBERNOTFOUND);

    // A text that is no number: the index is that of the argument in rgvarg.
    VARIANT text = VariantFromString(L"left");
    UINT argError = 99;
    EXPECT_EQ(Fire(DISPID_OnLevelChanged, {text, Int(3)}, &argError), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 1u);
    EXPECT_EQ(tril.m_leftLevel, 0);

    // Numbers in other shapes convert; a by-reference value is followed.
    VARIANT numeric = VariantFromString(L"12");
    int32_t held = 34;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &held;
    EXPECT_EQ(Fire(DISPID_OnLevelChanged, {numeric, byRef}), S_OK);
    EXPECT_EQ(tril.m_leftLevel, 12);
    EXPECT_EQ(tril.m_rightLevel, 34);

    // Unhooked events are accepted and ignored, also the double-typed one.
    EXPECT_EQ(Fire(DISPID_OnMixer, {Int(0), Int(0), Int(0), Int(1), Int(1)}), S_FALSE);
    VARIANT d = VariantFromR8(1.5);
    EXPECT_EQ(Fire(DISPID_OnHLFilter, {d, Int(2)}), S_FALSE);
    EXPECT_EQ(Fire(DISPID_OnEndOfFile, {}), S_FALSE);
    VARIANT inner = Int(5);
    VARIANT outer;
    VariantInit(&outer);
    outer.vt = VT_VARIANT | VT_BYREF;
    outer.pvarVal = &inner;
    EXPECT_EQ(Fire(DISPID_OnMixerChannelsLevel, {outer}), S_FALSE);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ReceiverTest, NamedArgumentsGoByPosition)
{
    tril.Hook(static_cast<IPlState*>(&source));
    // OnLevelChanged(left, right) with right named first, then left positional.
    VARIANT args[2] = {Int(70), Int(20)}; // rgvarg[0] named "right" (1), rgvarg[1] positional
    DISPID named[1] = {1};
    DISPPARAMS p{args, named, 2, 1};
    EXPECT_EQ(source.sink->Invoke(DISPID_OnLevelChanged, GUID_NULL, 0, DISPATCH_METHOD, &p, nullptr,
                                  nullptr, nullptr),
              S_OK);
    EXPECT_EQ(tril.m_leftLevel, 20);
    EXPECT_EQ(tril.m_rightLevel, 70);
    DISPID wrong[2] = {0, 0}; // one position twice
    DISPPARAMS twice{args, wrong, 2, 2};
    EXPECT_EQ(source.sink->Invoke(DISPID_OnLevelChanged, GUID_NULL, 0, DISPATCH_METHOD, &twice,
                                  nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    DISPID outside[1] = {2};
    DISPPARAMS far{args, outside, 2, 1};
    EXPECT_EQ(source.sink->Invoke(DISPID_OnLevelChanged, GUID_NULL, 0, DISPATCH_METHOD, &far,
                                  nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
}

TEST_F(ReceiverTest, NamesResolveWithoutRegardToCase)
{
    tril.Hook(static_cast<IPlState*>(&source));
    OLECHAR a[] = L"onopenFILE", b[] = L"balance", c[] = L"_Right", d[] = L"HOGH", e[] = L"nothing",
            f[] = L"pos";
    LPOLESTR names[] = {a, b, c, d, e, f};
    DISPID ids[6];
    EXPECT_EQ(source.sink->GetIDsOfNames(GUID_NULL, names, 6, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_OnOpenFile);
    EXPECT_EQ(ids[1], 1); // first declared by OnVolumeBalanceChange
    EXPECT_EQ(ids[2], 4);
    EXPECT_EQ(ids[3], 1);
    EXPECT_EQ(ids[4], DISPID_UNKNOWN);
    EXPECT_EQ(ids[5], 0);
    LPOLESTR one[] = {a};
    EXPECT_EQ(source.sink->GetIDsOfNames(GUID_NULL, one, 1, 0, ids), S_OK);
}

TEST_F(ReceiverTest, HandlersKeepTheCacheAndPostOnlyWithAWindow)
{
    tril.Hook(static_cast<IPlState*>(&source));
    // No window yet: the cache follows, nothing is posted.
    EXPECT_EQ(Fire(DISPID_OnMonitor, {Int(1), Int(3)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnSetFileSize, {Int(9000)}), S_OK);
    EXPECT_TRUE(tril.m_monitoring);
    EXPECT_EQ(tril.m_fileSize, 9000);
    EXPECT_TRUE(Messages().empty());
    tril.m_hwnd = hwnd; // a window without a message number posts nothing either
    EXPECT_EQ(Fire(DISPID_OnPositionChange, {Int(10)}), S_OK);
    EXPECT_TRUE(Messages().empty());

    tril.m_message = kPlayerMessage;
    EXPECT_EQ(Fire(DISPID_OnPositionChange, {Int(1200)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnStretcher, {Int(-3)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnPlay, {Int(1200)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnPause, {Int(1300)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnStop, {Int(0)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnRing, {Int(1), Int(100), Int(200)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnRingSize, {Int(3000)}), S_OK);
    EXPECT_EQ(Fire(DISPID_OnMonitor, {Int(0), Int(0)}), S_OK);
    VARIANT files = Int(0);
    EXPECT_EQ(Fire(DISPID_OnOpenFile, {files}), S_OK); // no player to ask: posted anyway
    EXPECT_EQ(tril.m_position, 1200);
    EXPECT_EQ(tril.m_stretch, -3);
    EXPECT_TRUE(tril.m_ringOn);
    EXPECT_EQ(tril.m_ringSize, 3000);
    EXPECT_FALSE(tril.m_monitoring);
    EXPECT_FALSE(tril.m_fileLoaded);

    tril.m_fileLoaded = true;
    tril.m_title[0] = L'x';
    tril.m_fileValue1 = 5;
    EXPECT_EQ(Fire(DISPID_OnCloseFile, {}), S_OK);
    EXPECT_FALSE(tril.m_fileLoaded || tril.m_ringOn);
    EXPECT_EQ(tril.m_title[0], 0);
    EXPECT_EQ(tril.m_fileValue1 + tril.m_fileSize + tril.m_position + tril.m_ringSize +
                  tril.m_stretch + tril.m_leftLevel,
              0);

    const auto m = Messages();
    const std::vector<std::pair<platform::WPARAM, platform::LPARAM>> expected = {
        {4, 1200},
        {5, -3},
        {6, 1200},
        {7, 1300},
        {8, 0},
        {0, 0},
        {1, reinterpret_cast<platform::LPARAM>(tril.m_title)},
        {2, 0}};
    ASSERT_EQ(m.size(), expected.size());
    for (size_t i = 0; i < m.size(); ++i)
    {
        EXPECT_EQ(m[i].message, kPlayerMessage);
        EXPECT_EQ(m[i].code, expected[i].first) << i;
        EXPECT_EQ(m[i].value, expected[i].second) << i;
    }

    // Once unhooked the sink answers S_FALSE to everything, even while the server holds it.
    ComPtr<IDispatch> kept = source.sink;
    tril.Unhook(static_cast<IPlState*>(&source));
    DISPPARAMS p{nullptr, nullptr, 0, 0};
    EXPECT_EQ(kept->Invoke(DISPID_OnCloseFile, GUID_NULL, 0, DISPATCH_METHOD, &p, nullptr, nullptr,
                           nullptr),
              S_FALSE);
}

} // namespace
