// MOVRA's processing objects: their settings, and switching them on and off in the active
// source's chain.
#include "movra/movra.h"

#include "movra/agc.h"
#include "movra/datasrc_monitoring.h"
#include "movra/denoiser.h"
#include "movra/hlfilter.h"
#include "movra/mixer.h"
#include "movra/speechsearch.h"
#include "movra/stretcher.h"

void MOVRA::ASetMixer(long channel, bool mute, bool solo, long left, long right)
{
    mixer_->Set(channel, mute, solo, left, right);
    mixer_->NotifyState();
}

void MOVRA::AGetMixer()
{
    mixer_->NotifyState();
}

bool MOVRA::AAgc(long level)
{
    agc_->SetLevel(level);
    return true;
}

bool MOVRA::AGetAgc(long& level) const
{
    level = agc_->Level();
    return true;
}

bool MOVRA::ASpeechSearch(long threshold)
{
    speechSearch_->SetThreshold(threshold);
    return true;
}

bool MOVRA::AGetSpeechSearch(long& threshold) const
{
    threshold = speechSearch_->Threshold();
    return true;
}

bool MOVRA::AStretcher(long step)
{
    stretcher_->SetStep(step);
    return true;
}

bool MOVRA::AGetStretcher(long& step) const
{
    step = stretcher_->Step();
    return true;
}

bool MOVRA::ADenoiser(long mode, long level)
{
    denoiser_->Set(mode, level);
    return true;
}

bool MOVRA::AGetDenoiser(long& mode, long& level) const
{
    mode = denoiser_->Mode() ? 1 : 0;
    level = denoiser_->Level();
    return true;
}

bool MOVRA::ASetLowFreqGain(double gain)
{
    filter_->SetLowGain(gain);
    return true;
}

bool MOVRA::AGetLowFreqGain(double& gain) const
{
    gain = filter_->LowGain();
    return true;
}

bool MOVRA::ASetHighFreqGain(double gain)
{
    filter_->SetHighGain(gain);
    return true;
}

bool MOVRA::AGetHighFreqGain(double& gain) const
{
    gain = filter_->HighGain();
    return true;
}

bool MOVRA::AObject(long id, long on)
{
    if ((on != 0 && on != 1) || id == OBJ_ID_MIXER) return true;
    const auto found = allObjects_.find(id);
    if (found == allObjects_.end()) return true;
    BASEOBJECT* object = found->second;
    const auto& chain = active_ == monitoringSource_.get() ? monitoringChain_ : fileChain_;
    if (chain.count(id) && object->IsEnabled() != (on == 1))
    {
        if (on == 1)
            object->Enable();
        else
            object->Disable();
    }
    Host().OnObject(id, object->IsEnabled() ? 1 : 0);
    return true;
}

bool MOVRA::AGetStateObjects() const
{
    for (const auto& [id, object] : allObjects_)
    {
        object->NotifyState();
        Host().OnObject(id, object->IsEnabled() ? 1 : 0);
    }
    return true;
}
