#include "events.h"

namespace trillo
{

namespace
{
using P = ParamType;
using R = ResultType;

constexpr EventParam I(std::string_view name)
{
    return {name, P::Int32};
}

const std::array<EventInfo, kEventCount> kEvents = {{
    {DISPID_OnPause, "OnPause", R::None, 1, {I("pos")}},
    {DISPID_OnLevelChanged, "OnLevelChanged", R::None, 2, {I("left"), I("right")}},
    {DISPID_OnPositionChange, "OnPositionChange", R::None, 1, {I("pos")}},
    {DISPID_OnFileChange, "OnFileChange", R::None, 1, {I("num")}},
    {DISPID_OnVolumeBalanceChange,
     "OnVolumeBalanceChange",
     R::None,
     2,
     {I("volume"), I("Balance")}},
    {DISPID_OnOpenFile, "OnOpenFile", R::Hresult, 1, {EventParam{"strArray", P::Variant}}},
    {DISPID_OnCloseFile, "OnCloseFile", R::Hresult, 0, {}},
    {DISPID_OnSetFileSize, "OnSetFileSize", R::Hresult, 1, {I("size")}},
    {DISPID_OnRing, "OnRing", R::Hresult, 3, {I("mode"), I("hogh"), I("low")}},
    {DISPID_OnMonitor, "OnMonitor", R::Hresult, 2, {I("mode"), I("channelID")}},
    {DISPID_OnBegConf, "OnBegConf", R::Hresult, 0, {}},
    {DISPID_OnEndConf, "OnEndConf", R::Hresult, 0, {}},
    {DISPID_OnPlay, "OnPlay", R::None, 1, {I("pos")}},
    {DISPID_OnStop, "OnStop", R::None, 1, {I("pos")}},
    {DISPID_OnRingSize, "OnRingSize", R::Hresult, 1, {I("pos")}},
    {DISPID_OnGainBalance, "OnGainBalance", R::Hresult, 2, {I("Gain"), I("Balance")}},
    {DISPID_OnMixer,
     "OnMixer",
     R::Hresult,
     5,
     {I("_channel_id"), I("_mute"), I("_solo"), I("_left"), I("_right")}},
    {DISPID_OnObject, "OnObject", R::Hresult, 2, {I("Object"), I("cmd")}},
    {DISPID_OnAgc, "OnAgc", R::Hresult, 1, {I("coefficient")}},
    {DISPID_OnSpeechSearch, "OnSpeechSearch", R::Hresult, 1, {I("threshold")}},
    {DISPID_OnStretcher, "OnStretcher", R::Hresult, 1, {I("speed")}},
    {DISPID_OnDenoiser, "OnDenoiser", R::Int32, 2, {I("mode"), I("depth")}},
    {DISPID_OnEndOfFile, "OnEndOfFile", R::Int32, 0, {}},
    {DISPID_OnMixerChannelsCounter,
     "OnMixerChannelsCounter",
     R::Hresult,
     1,
     {I("_channels_count")}},
    {DISPID_OnMixerChannelsLevel,
     "OnMixerChannelsLevel",
     R::Hresult,
     1,
     {EventParam{"_channels_level", P::VariantRef}}},
    {DISPID_OnHLFilter,
     "OnHLFilter",
     R::Int32,
     2,
     {EventParam{"_lowGain", P::Double}, EventParam{"_highGain", P::Double}}},
}};
} // namespace

const std::array<EventInfo, kEventCount>& PlStateEvents()
{
    return kEvents;
}

int EventIndex(DISPID dispid)
{
    for (size_t i = 0; i < kEvents.size(); ++i)
        if (kEvents[i].dispid == dispid) return static_cast<int>(i);
    return -1;
}

} // namespace trillo
