// MOVRA's data sources: the file list and the monitoring stream, which of them is active,
// and what the open file is.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "movra/datasrc_file.h"
#include "movra/datasrc_monitoring.h"
#include "movra/sb_output_card.h"
#include "movra_ms.h"
#include "platform/little_endian.h"

#include <cstdint>

bool MOVRA::ALogicOpen(LOGICDEVICE device, const std::vector<std::wstring>* files, long tag)
{
    switch (device)
    {
    case LOGICDEVICE_FILE:
        if (!files)
        {
            JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::ALogicOpen: no file list");
            return false;
        }
        if (monitoringSource_->IsOpen())
        {
            AMonitoringClose();
            active_ = FileOpen() ? fileSource_.get() : nullptr;
        }
        if (FileOpen())
        {
            ACloseFile();
            active_ = monitoringSource_->IsOpen() ? monitoringSource_.get() : nullptr;
        }
        if (!AOpenFile(*files)) return false;
        active_ = fileSource_.get();
        return true;
    case LOGICDEVICE_MONITORING:
        if (monitoringSource_->IsOpen())
        {
            AMonitoringClose();
            active_ = FileOpen() ? fileSource_.get() : nullptr;
        }
        if (!AMonitoringOpen(tag)) return false;
        active_ = monitoringSource_.get();
        APlay(false);
        return true;
    }
    throw LOGIC_ERROR(DEBUG_INFO(static_cast<int64_t>(device), "MOVRA: unknown logic device"));
}

bool MOVRA::ALogicClose(LOGICDEVICE device)
{
    bool result;
    switch (device)
    {
    case LOGICDEVICE_FILE:
        result = ACloseFile();
        active_ = monitoringSource_->IsOpen() ? monitoringSource_.get() : nullptr;
        return result;
    case LOGICDEVICE_MONITORING:
        result = AMonitoringClose();
        active_ = FileOpen() ? fileSource_.get() : nullptr;
        return result;
    }
    throw LOGIC_ERROR(DEBUG_INFO(static_cast<int64_t>(device), "MOVRA: unknown logic device"));
}

bool MOVRA::AOpenFile(const std::vector<std::wstring>& files)
{
    if (FileOpen()) return false;
    bool opened;
    try
    {
        opened = fileSource_->Open(files);
    }
    catch (...)
    {
        // A list whose later entry fails must not leave the earlier readers open.
        fileSource_->Close();
        throw;
    }
    if (!opened)
    {
        fileSource_->Close();
        return false;
    }
    RNUMBER64 size;
    fileSize_.Set(fileSource_->Size(size) ? size : RNUMBER64(0));
    position_.Set(RNUMBER64(0));
    endOfFile_.Reset();
    AStop(false, true);
    AGetState();
    return true;
}

bool MOVRA::ACloseFile()
{
    if (!FileOpen()) return false;
    AStop(true, true);
    ARing(false, 0, 0);
    if (fileSource_->Close())
    {
        fileSize_.Reset();
        position_.Set(RNUMBER64(0));
        Host().OnSetFileSize(Ms(fileSize_.Get()));
    }
    AGetState();
    return true;
}

bool MOVRA::AMonitoringOpen(long tag)
{
    if (monitoringSource_->IsOpen()) return false;
    if (!monitoringSource_->Open()) return false;
    monitoringTag_.Set(tag);
    playState_.Set(STATE_PLAYING);
    AStop(false, false);
    AGetState();
    monitoringSource_->Attach(card_.get());
    monitoringSource_->SetRate(outputRate_);
    position_.ClearChanged();
    return true;
}

bool MOVRA::AMonitoringClose()
{
    if (!monitoringSource_->IsOpen()) return true;
    AStop(false, false);
    monitoringSource_->Detach();
    const bool result = monitoringSource_->Close();
    monitoringTag_.Set(0);
    // The host learns that the stream is gone as it learnt that it came.
    Host().OnMonitor(false, 0);
    return result;
}

bool MOVRA::AMonitoringPut(const std::vector<signed char>& pcm, long channels, long rate)
{
    if (!monitoringSource_->IsOpen())
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::AMonitoringPut LOGIC ERROR");
        return true;
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "PUT MONITORING DATA chan=%i freq=%i samples=%i bytes=%i",
                static_cast<int>(channels), static_cast<int>(rate),
                channels > 0 ? static_cast<int>(pcm.size() / (2 * static_cast<size_t>(channels)))
                             : 0,
                static_cast<int>(pcm.size()));
    if (channels <= 0 || rate <= 0)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::AMonitoringPut: bad format chan=%li freq=%li",
                    channels, rate);
        return false;
    }
    const size_t ch = static_cast<size_t>(channels);
    const size_t frames = pcm.size() / (ch * 2);
    readMsg_.Assign(rate, static_cast<unsigned long>(ch), frames);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < ch; ++c)
            readMsg_.Channel(static_cast<unsigned long>(c))[f] =
                static_cast<int16_t>(platform::LoadLE16(bytes + 2 * (f * ch + c)));
    return monitoringSource_->Put(readMsg_);
}

bool MOVRA::AGetFile(std::vector<std::wstring>& files) const
{
    files.clear();
    return FileOpen() && fileSource_->GetFileNames(files);
}

bool MOVRA::AIsOpen() const
{
    return active_ && active_->IsOpen();
}

bool MOVRA::AGetSize(long& ms) const
{
    if (!FileOpen()) return false;
    ms = Ms(fileSize_.Get());
    return true;
}

bool MOVRA::AGetFileSampleRate(long& rate) const
{
    return FileOpen() && fileSource_->GetSampleRate(rate);
}

bool MOVRA::AGetFileChannelsCount(long& channels) const
{
    return FileOpen() && fileSource_->GetChannelsCount(channels);
}

bool MOVRA::AGetFileFormat(std::string& format) const
{
    return FileOpen() && fileSource_->GetFormat(format);
}
