// MOVRA's transport: play, pause, stop and the position, and the report of the whole state.
#include "movra/movra.h"

#include "faltor/journal.h"
#include "movra/datasrc_file.h"
#include "movra/datasrc_monitoring.h"
#include "movra/sb_output_card.h"
#include "movra_ms.h"

bool MOVRA::APlay(bool report)
{
    if (playState_.Get() == STATE_PLAYING) return true;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "TOOUTPUTDEVICE: SetOutChanState(CH_STARTED)");
    card_->SetOutChanState(0, CH_STARTED);
    playState_.Set(STATE_PLAYING);
    endOfFile_.Reset();
    if (report) Host().OnState(playState_.Get(), Ms(position_.Get()));
    return true;
}

bool MOVRA::APause(bool report)
{
    if (playState_.Get() == STATE_PAUSED) return true;
    if (playState_.Get() != STATE_PLAYING) return false;
    card_->SetOutChanState(0, CH_STOPPED);
    playState_.Set(STATE_PAUSED);
    stereoLevel_.Reset();
    // Stopping the card dropped what it held, so what was handed to it goes back in front
    // of the queue: playing on resumes where the pause came.
    outputQueue_.splice(outputQueue_.begin(), playingList_);
    if (!outputQueue_.empty()) position_.Set(CappedPosition(outputQueue_.front()->start));
    if (report)
    {
        Host().OnState(playState_.Get(), Ms(position_.Get()));
        Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
        stereoLevel_.ClearChanged();
    }
    return true;
}

bool MOVRA::AStop(bool rewind, bool report)
{
    if (playState_.Get() == STATE_STOPPED) return true;
    card_->SetOutChanState(0, CH_STOPPED);
    if (rewind) ASetPos(0);
    ClearLists();
    playState_.Reset();
    stereoLevel_.Reset();
    if (report)
    {
        Host().OnState(playState_.Get(), Ms(position_.Get()));
        Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
        stereoLevel_.ClearChanged();
    }
    return true;
}

bool MOVRA::ASetPos(long ms)
{
    if (!FileOpen() || ms < 0) return false;
    RNUMBER64 reached;
    if (!fileSource_->Seek(RNUMBER64::FromMs(ms), reached)) return false;
    card_->SetOutChanState(0, CH_STOPPED);
    position_.Set(CappedPosition(reached));
    endOfFile_.Reset();
    stereoLevel_.Reset();
    ClearLists();
    // Stopping reset the device; playing goes on from the new place.
    if (playState_.Get() == STATE_PLAYING) card_->SetOutChanState(0, CH_STARTED);
    Host().OnPositionChange(Ms(position_.Get()));
    position_.ClearChanged();
    Host().OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
    stereoLevel_.ClearChanged();
    return true;
}

bool MOVRA::AGetPos(long& ms) const
{
    if (!FileOpen()) return false;
    ms = Ms(position_.Get());
    return true;
}

bool MOVRA::AGetState() const
{
    MOVRA_NOTIFY& host = Host();
    host.OnBegConf();
    host.OnMonitor(monitoringSource_->IsOpen(), monitoringTag_.Get());
    if (FileOpen())
    {
        std::vector<std::wstring> names;
        fileSource_->GetFileNames(names);
        host.OnOpenFile(names);
        host.OnSetFileSize(Ms(fileSize_.Get()));
        host.OnState(playState_.Get(), Ms(position_.Get()));
        host.OnPositionChange(Ms(position_.Get()));
        host.OnRingSize(Ms(ringSize_.Get()));
        RNUMBER64 from, to;
        if (fileSource_->GetRing(from, to))
            host.OnRing(fileSource_->IsRing(), Ms(from), Ms(to));
        else
            host.OnRing(false, 0, 0);
    }
    else
    {
        host.OnCloseFile();
    }
    host.OnLevelChanged(stereoLevel_.Get().left, stereoLevel_.Get().right);
    host.OnVolumeBalanceChange(volumeBalance_.Get().level, volumeBalance_.Get().balance);
    host.OnEndConf();
    return true;
}
