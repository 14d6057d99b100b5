// The core's notifications as events: mapping, and the thread they are sent from.
#include "player_notify.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <thread>

using namespace player;

namespace
{

struct Received
{
    DISPID id;
    std::vector<VARIANT> args; // declaration order, copies (by-reference ones followed)
    std::thread::id thread;
};

class Sink final : public IDispatch
{
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid && iid != IDispatch::kIid && iid != DIID__IPlStateEvents)
            return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** t) override { return *t = nullptr, E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                   UINT*) override
    {
        Received r{id, {}, std::this_thread::get_id()};
        for (UINT i = p->cArgs; i-- > 0;)
        {
            VARIANT v;
            VariantInit(&v);
            VariantCopyInd(&v, p->rgvarg[i].vt == (VT_VARIANT | VT_BYREF) ? p->rgvarg[i].pvarVal
                                                                          : &p->rgvarg[i]);
            r.args.push_back(v);
        }
        received.push_back(std::move(r));
        return S_OK;
    }
    ~Sink()
    {
        for (auto& r : received)
            for (auto& v : r.args)
                VariantClear(&v);
    }
    std::vector<Received> received;
};

class PlayerNotify : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(), S_OK);
        state = new CPlState;
        DWORD cookie = 0;
        ASSERT_EQ(state->Advise(&sink, &cookie), S_OK);
        notify = std::make_unique<CPlayerNotify>(state);
    }
    void TearDown() override
    {
        notify.reset();
        state->Release();
        CoUninitialize();
    }
    Sink sink;
    CPlState* state = nullptr;
    std::unique_ptr<CPlayerNotify> notify;
};

TEST_F(PlayerNotify, StatesBecomePlayPauseAndStopWithThePosition)
{
    notify->OnState(1, 120);
    notify->OnState(2, 340);
    notify->OnState(0, 0);
    notify->OnRing(true, 1000, 4000);
    notify->OnDenoiser(true, 20000);
    ASSERT_EQ(sink.received.size(), 5u);
    EXPECT_EQ(sink.received[0].id, DISPID_OnPlay);
    EXPECT_EQ(sink.received[0].args[0].lVal, 120);
    EXPECT_EQ(sink.received[1].id, DISPID_OnPause);
    EXPECT_EQ(sink.received[1].args[0].lVal, 340);
    EXPECT_EQ(sink.received[2].id, DISPID_OnStop);
    EXPECT_EQ(sink.received[3].id, DISPID_OnRing);
    ASSERT_EQ(sink.received[3].args.size(), 3u);
    EXPECT_EQ(sink.received[3].args[0].lVal, 1);
    EXPECT_EQ(sink.received[3].args[2].lVal, 4000);
    EXPECT_EQ(sink.received[4].id, DISPID_OnDenoiser);
    EXPECT_EQ(sink.received[4].args[0].lVal, 1);
}

TEST_F(PlayerNotify, ArraysTravelAsVariants)
{
    notify->OnOpenFile({L"a.wav", L"b.wav"});
    notify->OnMixerChannelsLevel({3, 70});
    notify->OnHLFilter(0.5, 2.0);
    ASSERT_EQ(sink.received.size(), 3u);
    const VARIANT& files = sink.received[0].args.at(0);
    ASSERT_EQ(files.vt, VT_ARRAY | VT_BSTR);
    ASSERT_EQ(files.parray->rgsabound[0].cElements, 2u);
    EXPECT_STREQ(static_cast<BSTR*>(files.parray->pvData)[1], L"b.wav");
    const VARIANT& levels = sink.received[1].args.at(0);
    ASSERT_EQ(levels.vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(static_cast<int32_t*>(levels.parray->pvData)[1], 70);
    EXPECT_EQ(sink.received[2].args.at(1).dblVal, 2.0);
}

TEST_F(PlayerNotify, WorkerThreadNotificationsWaitForTheApartment)
{
    std::thread worker(
        [&]
        {
            notify->OnPositionChange(900);
            notify->OnLevelChanged(40, 41);
            notify->OnEndOfFile();
        });
    worker.join(); // the worker never waited for the sink
    EXPECT_TRUE(sink.received.empty());
    ASSERT_TRUE(testsupport::WaitFor(
        [&]
        {
            PumpApartment();
            return sink.received.size() == 3;
        },
        5000));
    EXPECT_EQ(sink.received[0].id, DISPID_OnPositionChange);
    EXPECT_EQ(sink.received[0].args[0].lVal, 900);
    EXPECT_EQ(sink.received[1].id, DISPID_OnLevelChanged);
    EXPECT_EQ(sink.received[2].id, DISPID_OnEndOfFile);
    for (const auto& r : sink.received)
        EXPECT_EQ(r.thread, std::this_thread::get_id());
}

TEST_F(PlayerNotify, WithoutASubscriberNothingIsSent)
{
    EXPECT_EQ(state->Unadvise(2), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(state->Unadvise(1), S_OK);
    notify->OnSetFileSize(5);
    EXPECT_TRUE(sink.received.empty());
    DWORD cookie = 0;
    EXPECT_EQ(state->Advise(&sink, &cookie), S_OK);
    Sink other;
    DWORD second = 0;
    EXPECT_EQ(state->Advise(&other, &second), CONNECT_E_ADVISELIMIT);
    notify->OnSetFileSize(6);
    ASSERT_EQ(sink.received.size(), 1u);
    EXPECT_EQ(sink.received[0].args[0].lVal, 6);
}

} // namespace
