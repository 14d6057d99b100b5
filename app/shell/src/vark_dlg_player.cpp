// The main window and the player: records and files, the transport buttons, volume,
// position, loop, gain control and noise reduction, and the player's notifications.
#include <QFileInfo>

#include "dialogs/player_options_dlg.h"
#include "dialogs/records_list.h"
#include "platform/text.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "skin/modal_questions.h"
#include "transfer/record_row.h"
#include "transfer/status_texts.h"
#include "trillo/trillo.h"

namespace
{

QString DurationText(intptr_t ms)
{
    return QString::fromStdWString(
        vark::DurationText(platform::AutoSpan(double(std::max<intptr_t>(ms, 0)) / 86400000.0)));
}

} // namespace

void CVarkDlg::OnPlayTick()
{
    control_.Tick();
    // A player server that has gone sends nothing more: notice it about once a second while a
    // flow is held (a record flow may already have stopped itself on the refused sound), let
    // go of the player, and the next playback starts a new one.
    if (++playTicks_ % 5 == 0 && control_.Flow() && !control_.PlayerAnswers())
    {
        SLOG_ERR("The player stopped answering");
        control_.Drop();
        TRIL_Clear();
    }
}

void CVarkDlg::PlayRecord()
{
    if (selected_ < 0 || !connected_) return;
    recordFlow_.SetRecord(&device_, uint16_t(list_->RecordIndex(selected_)));
    if (control_.Adopt(&recordFlow_) && control_.Play()) control_.SetGain(volume_->Pos());
}

void CVarkDlg::PlayFirstSelected()
{
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) return;
    ChooseRow(rows.front());
    PlayRecord();
}

void CVarkDlg::PlayFromDisk()
{
    // the first filter ends with "||": the second pair goes in before the end
    std::string filters = res::LoadString(res::ids::kSoundFilesFilter);
    if (filters.size() >= 2 && filters.compare(filters.size() - 2, 2, "||") == 0)
        filters.resize(filters.size() - 1);
    // the player reads whatever its media reader reads
    filters += res::LoadString(res::ids::kAllFiles) + " (*)|*||";
    const auto path = skin::Questions().OpenFile(
        this, filters, platform::WideToUtf8(settings_.LastOpenWaveDirectory));
    if (!path) return;
    settings_.LastOpenWaveDirectory =
        platform::Utf8ToWide(QFileInfo(QString::fromStdString(*path)).absolutePath().toStdString());
    fileFlow_.SetPath(platform::Utf8ToWide(*path));
    if (!control_.Adopt(&fileFlow_) || !control_.Play() || !control_.SetGain(volume_->Pos()))
        Message(res::LoadString(res::ids::kPlayFileError) + *path, 0);
}

void CVarkDlg::OnPlayButton()
{
    if (control_.IsPaused()) return control_.TogglePause();
    if (control_.Flow())
    {
        if (control_.Play()) control_.SetGain(volume_->Pos());
        return;
    }
    PlayRecord();
}

void CVarkDlg::OnPlayPause()
{
    if (!control_.Flow()) return PlayRecord();
    if (!control_.IsPlaying())
    {
        if (control_.Play()) control_.SetGain(volume_->Pos());
        return;
    }
    control_.TogglePause();
}

void CVarkDlg::SetVolume(int volume)
{
    control_.SetGain(std::clamp(volume, 0, 100));
}

void CVarkDlg::ReadLoopLength()
{
    bool ok = false;
    const int v = loopEdit_->text().toInt(&ok);
    loopSpin_->SetPos(ok ? v : loopLength_); // the spin forces 3 to 30
    loopLength_ = loopSpin_->Pos();
}

void CVarkDlg::OnLoopChanged()
{
    ReadLoopLength();
    if (control_.Flow()) control_.Flow()->SetRing(ring_->isChecked() ? loopLength_ : 0);
}

void CVarkDlg::OnProcessingBox(int id)
{
    skin::CSkinnedCheck* box = id == IDC_CHK_ARC ? agc_ : denoiser_;
    if (!control_.Flow())
    {
        box->setChecked(false);
        return;
    }
    if (id == IDC_CHK_ARC)
        control_.SetAgc(box->isChecked());
    else
        control_.SetDenoiser(box->isChecked());
}

void CVarkDlg::OnPlayerOptions()
{
    dialogs::CPlayerOptionsDlg::Open(this, optionsDialog_, settings_,
                                     {control_.agcLevel, control_.ncMode, control_.ncDepth},
                                     [this](const dialogs::PlayerOptions& o)
                                     { ApplyPlayerOptions(o.agcLevel, o.ncMode, o.ncDepth); });
}

void CVarkDlg::ApplyPlayerOptions(int32_t level, int32_t mode, int32_t depth)
{
    control_.agcLevel = level;
    control_.ncMode = mode;
    control_.ncDepth = depth;
    if (agc_->isChecked()) control_.SetAgc(true);
    if (denoiser_->isChecked()) control_.SetDenoiser(true);
}

void CVarkDlg::OnPositionSlider(int code, int position)
{
    if (code == skin::CSkinnedSlider::kThumbTrack)
        dragging_ = true;
    else if (code == skin::CSkinnedSlider::kEndScroll)
    {
        dragging_ = false;
        if (control_.Flow()) control_.Flow()->SetPosition(position);
    }
}

void CVarkDlg::OnPlayerMessage(int code, intptr_t value, const QString& text)
{
    playerActive_ = true;
    if (code != vark::flow_code::kReplaced && !control_.Flow()) return;
    switch (code)
    {
    case vark::flow_code::kDuration:
        SetText(IDC_EDIT_PLAY_DURATION, DurationText(value));
        SetText(IDC_EDIT_CURRENT_PLAY_POSITION, DurationText(0));
        position_->SetRange(0, int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        break;
    case vark::flow_code::kPosition:
        if (!dragging_)
        {
            SetText(IDC_EDIT_CURRENT_PLAY_POSITION, DurationText(value));
            position_->SetPos(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        }
        break;
    case vark::flow_code::kStart:
        position_->SetPos(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        control_.Notified(code);
        break;
    case vark::flow_code::kPaused:
        control_.Notified(code);
        break;
    case vark::flow_code::kStopped:
        if (control_.Flow()) control_.Flow()->SetRing(0);
        ring_->setChecked(false);
        control_.Notified(code);
        break;
    case vark::flow_code::kSize:
        SetText(IDC_EDIT_SOUND_DATA_SIZE,
                QString::fromStdString(vark::KilobyteText(uint32_t(std::max<intptr_t>(value, 0)))));
        break;
    case vark::flow_code::kName:
        SetText(IDC_EDIT_NAME, text);
        break;
    case 1:
    case vark::flow_code::kFormat:
        SetText(IDC_EDIT_FORMAT, text);
        break;
    case vark::flow_code::kReplaced:
        for (int id : {IDC_EDIT_NAME, IDC_EDIT_CURRENT_PLAY_POSITION, IDC_EDIT_PLAY_DURATION,
                       IDC_EDIT_SOUND_DATA_SIZE, IDC_EDIT_FORMAT})
            SetText(id, {});
        position_->SetRange(0, 0);
        position_->SetPos(0);
        ring_->setChecked(false);
        break;
    default:
        break;
    }
}
