// A scripted player object for the wrapper's tests, served by a real local-server process.
// It writes every call it gets (and the answer of every event it fires) as one line to
// $TRILLO_TEST_LOG, fails the methods listed in $TRILLO_TEST_FAIL, blocks in the methods
// listed in $TRILLO_TEST_HANG, and fires the events a player would fire for each command.
// With $TRILLO_TEST_BEGIN_EVENTS set, Begin reports monitoring on and an open file.
#include "trillo/player_case.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace trillo;

namespace
{

bool Listed(const char* variable, const std::string& name)
{
    const char* v = std::getenv(variable);
    if (!v) return false;
    const std::string list = std::string(",") + v + ",";
    return list.find("," + name + ",") != std::string::npos;
}

void Log(const std::string& line)
{
    const char* path = std::getenv("TRILLO_TEST_LOG");
    if (!path) return;
    if (FILE* f = std::fopen(path, "a"))
    {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

// Logs the call; answers E_FAIL when the method is scripted to fail.
HRESULT Enter(const std::string& name, const std::string& args = "")
{
    Log(args.empty() ? name : name + " " + args);
    if (Listed("TRILLO_TEST_HANG", name)) std::this_thread::sleep_for(std::chrono::seconds(60));
    return Listed("TRILLO_TEST_FAIL", name) ? E_FAIL : S_OK;
}

class State;

class Point final : public IConnectionPoint
{
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid && iid != IConnectionPoint::kIid) return E_NOINTERFACE;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT GetConnectionInterface(IID* iid) override { return *iid = DIID__IPlStateEvents, S_OK; }
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** c) override
    {
        return *c = nullptr, E_NOTIMPL;
    }
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override
    {
        Log("Advise");
        if (sink_) return CONNECT_E_ADVISELIMIT;
        if (FAILED(
                sink->QueryInterface(DIID__IPlStateEvents, reinterpret_cast<void**>(sink_.put()))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = 7;
        return S_OK;
    }
    HRESULT Unadvise(DWORD cookie) override
    {
        Log("Unadvise " + std::to_string(cookie));
        if (!sink_ || cookie != 7) return CONNECT_E_NOCONNECTION;
        sink_.Reset();
        return S_OK;
    }
    HRESULT EnumConnections(IEnumConnections** e) override { return *e = nullptr, E_NOTIMPL; }

    // Fires one event with the given arguments (in declaration order).
    void Fire(DISPID id, std::vector<VARIANT> args)
    {
        if (!sink_) return;
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          UINT(reversed.size()), 0};
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr =
            sink_->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        Log("fired " + std::to_string(id) + " hr=" + std::to_string(hr));
        VariantClear(&result);
        for (auto& v : args)
            VariantClear(&v);
    }

private:
    ULONG refs_ = 1;
    ComPtr<IDispatch> sink_;
};

constexpr auto Int = VariantFromI4;
constexpr auto Text = VariantFromString;

// Reference counting and an IDispatch without names, for the scripted objects.
template <typename I> class Scripted : public I
{
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
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

protected:
    virtual ~Scripted() = default;

private:
    ULONG refs_ = 1;
};

class State final : public Scripted<IPlState>, public IConnectionPointContainer
{
public:
    ULONG AddRef() override { return Scripted::AddRef(); }
    ULONG Release() override { return Scripted::Release(); }
    State() : point_(new Point) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IUnknown::kIid || iid == IDispatch::kIid || iid == IPlState::kIid)
            *out = static_cast<IPlState*>(this);
        else if (iid == IConnectionPointContainer::kIid)
            *out = static_cast<IConnectionPointContainer*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    HRESULT End() override { return Enter("End"); }
    HRESULT Begin() override
    {
        HRESULT hr = Enter("Begin");
        if (SUCCEEDED(hr) && std::getenv("TRILLO_TEST_BEGIN_EVENTS"))
        {
            Fire(DISPID_OnMonitor, {Int(1), Int(7)});
            Fire(DISPID_OnOpenFile, {Text(L"begin.wav")});
        }
        return hr;
    }
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** e) override
    {
        return *e = nullptr, E_NOTIMPL;
    }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override
    {
        *point = nullptr;
        if (iid != DIID__IPlStateEvents) return CONNECT_E_NOCONNECTION;
        *point = point_.get();
        point_->AddRef();
        return S_OK;
    }
    void Fire(DISPID id, std::vector<VARIANT> args) { point_->Fire(id, std::move(args)); }

private:
    ~State() override = default;
    ComPtr<Point> point_;
};

class Player final : public Scripted<IPlayerCase>
{
public:
    Player() : state_(new State) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid != IUnknown::kIid && iid != IDispatch::kIid && iid != IPlayerCase::kIid)
            return E_NOINTERFACE;
        *out = static_cast<IPlayerCase*>(this);
        AddRef();
        return S_OK;
    }

    HRESULT Play() override { return Then(Enter("Play"), DISPID_OnPlay, {Int(position_)}); }
    HRESULT Stop() override { return Then(Enter("Stop"), DISPID_OnStop, {Int(0)}); }
    HRESULT Pause() override { return Then(Enter("Pause"), DISPID_OnPause, {Int(position_)}); }
    HRESULT Ring(int32_t mode, int32_t high, int32_t low) override
    {
        return Then(Enter("Ring", Args({mode, high, low})), DISPID_OnRing,
                    {Int(mode), Int(high), Int(low)});
    }
    HRESULT SetPosition(int32_t position) override
    {
        HRESULT hr = Enter("SetPosition", Args({position}));
        if (SUCCEEDED(hr)) position_ = position;
        return Then(hr, DISPID_OnPositionChange, {Int(position)});
    }
    HRESULT GetState(IDispatch** state) override
    {
        HRESULT hr = Enter("GetState");
        if (FAILED(hr)) return hr;
        *state = static_cast<IPlState*>(state_.get());
        state_->AddRef();
        return S_OK;
    }
    HRESULT OpenFile(BSTR path) override
    {
        std::wstring name = path ? path : L"";
        HRESULT hr = Enter("OpenFile", std::to_string(name.size()));
        if (FAILED(hr)) return hr;
        title_ = name;
        VARIANT files;
        VariantInit(&files);
        files.vt = VT_ARRAY | VT_BSTR;
        files.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
        static_cast<BSTR*>(files.parray->pvData)[0] = SysAllocString(name.c_str());
        state_->Fire(DISPID_OnOpenFile, {files});
        state_->Fire(DISPID_OnSetFileSize, {Int(int32_t(1000 + name.size()))});
        return S_OK;
    }
    HRESULT CloseFile() override { return Then(Enter("CloseFile"), DISPID_OnCloseFile, {}); }
    HRESULT SetMonitoring(int32_t on) override
    {
        return Then(Enter("SetMonitoring", Args({on})), DISPID_OnMonitor, {Int(on), Int(0)});
    }
    HRESULT SetSound(VARIANT data, int32_t channels, int32_t rate) override
    {
        uint32_t sum = 0, bytes = 0;
        if (data.vt == (VT_ARRAY | VT_UI1) && data.parray)
        {
            bytes = data.parray->rgsabound[0].cElements;
            for (uint32_t i = 0; i < bytes; ++i)
                sum = sum * 31 + static_cast<uint8_t*>(data.parray->pvData)[i];
        }
        return Enter("SetSound", "vt=" + std::to_string(data.vt) +
                                     " bytes=" + std::to_string(bytes) +
                                     " sum=" + std::to_string(sum) + " " + Args({channels, rate}));
    }
    HRESULT SetRingSize(int32_t size) override
    {
        return Then(Enter("SetRingSize", Args({size})), DISPID_OnRingSize, {Int(size)});
    }
    HRESULT RingOn() override
    {
        return Then(Enter("RingOn"), DISPID_OnRing, {Int(1), Int(0), Int(3000)});
    }
    HRESULT GetGain(int32_t* gain) override
    {
        HRESULT hr = Enter("GetGain");
        if (SUCCEEDED(hr)) *gain = 33;
        return hr;
    }
    HRESULT SetGain(int32_t gain) override
    {
        HRESULT hr = Enter("SetGain", Args({gain}));
        if (gain == -999)
        {
            // Malformed events: a wrong count, a text where a number belongs, an unknown
            // event, and one that is not hooked.
            state_->Fire(DISPID_OnPositionChange, {Int(1), Int(2)});
            state_->Fire(DISPID_OnSetFileSize, {Text(L"many")});
            state_->Fire(99, {Int(1)});
            state_->Fire(DISPID_OnMixer, {Int(0), Int(0), Int(0), Int(50), Int(50)});
        }
        return hr;
    }
    HRESULT EnableObject(int32_t kind, int32_t on) override
    {
        return Enter("EnableObject", Args({kind, on}));
    }
    HRESULT SetAgc(int32_t c) override { return Enter("SetAgc", Args({c})); }
    HRESULT SetSpeechSearch(int32_t t) override { return Enter("SetSpeechSearch", Args({t})); }
    HRESULT SetStretch(int32_t speed) override
    {
        return Then(Enter("SetStretch", Args({speed})), DISPID_OnStretcher, {Int(speed)});
    }
    HRESULT SetDenoiser(int32_t mode, int32_t depth) override
    {
        return Enter("SetDenoiser", Args({mode, depth}));
    }
    HRESULT GetFileValue1(int32_t* v) override
    {
        HRESULT hr = Enter("GetFileValue1");
        if (SUCCEEDED(hr)) *v = 2500;
        return hr;
    }
    HRESULT GetFileValue2(int32_t* v) override
    {
        HRESULT hr = Enter("GetFileValue2");
        if (SUCCEEDED(hr)) *v = 8000;
        return hr;
    }
    HRESULT GetFileTitle(BSTR* title) override
    {
        HRESULT hr = Enter("GetFileTitle");
        if (SUCCEEDED(hr)) *title = SysAllocString(title_.c_str());
        return hr;
    }
    HRESULT SetOutputDevice(int32_t device) override
    {
        return Enter("SetOutputDevice", Args({device}));
    }

private:
    ~Player() override = default;
    static std::string Args(std::initializer_list<int32_t> values)
    {
        std::string s;
        for (int32_t v : values)
            s += (s.empty() ? "" : " ") + std::to_string(v);
        return s;
    }
    HRESULT Then(HRESULT hr, DISPID event, std::vector<VARIANT> args)
    {
        if (SUCCEEDED(hr))
            state_->Fire(event, std::move(args));
        else
            for (auto& v : args)
                VariantClear(&v);
        return hr;
    }
    ComPtr<State> state_;
    int32_t position_ = 0;
    std::wstring title_;
};

} // namespace

int main(int argc, char** argv)
{
    RegisterPlayerInterfaces();
    ServerClass server{CLSID_PlayerCase, [](REFIID iid, void** out)
                       {
                           Log("pid " + std::to_string(::getpid()));
                           auto* player = new Player;
                           const HRESULT hr = player->QueryInterface(iid, out);
                           player->Release();
                           return hr;
                       }};
    return ServerMain(argc, argv, server);
}
