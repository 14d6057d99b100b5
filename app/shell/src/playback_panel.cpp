#include "shell/playback_panel.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <optional>

#include "dialogs/player_options_dlg.h"
#include "pedal_input.h"
#include "platform/text.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "shell/waveform_strip.h"
#include "skin/base_dlg.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "transfer/output_device.h"
#include "transfer/status_texts.h"
#include "trillo/trillo.h"

namespace
{

// A player notification as the panel receives it; texts are copied when posted, since the
// buffers they point to belong to the sender.
class PlayerEvent : public QEvent
{
public:
    PlayerEvent(int c, intptr_t v, QString t)
        : QEvent(QEvent::Type(kPlayerMessage)), code(c), value(v), text(std::move(t))
    {
    }
    const int code;
    const intptr_t value;
    const QString text;
};

bool CarriesText(platform::WPARAM code)
{
    return code == player_code::kOpenFile || code == player_code::kName ||
           code == player_code::kFormat;
}

QString CopiedText(platform::WPARAM code, platform::LPARAM value)
{
    if (!CarriesText(code) || !value) return {};
    return QString::fromWCharArray(reinterpret_cast<const wchar_t*>(value));
}

std::wstring DateText(const platform::AutoDate& d)
{
    platform::DateParts p;
    if (!d.GetParts(p)) return L"";
    return QLocale::system()
        .toString(QDate(p.year, p.month, p.day), QLocale::ShortFormat)
        .toStdWString();
}

std::wstring TimeText(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%H:%M:%S"));
}

QString DurationText(intptr_t ms)
{
    return QString::fromStdWString(
        vark::DurationText(platform::AutoSpan(double(std::max<intptr_t>(ms, 0)) / 86400000.0)));
}

} // namespace

PlaybackPanel::PlaybackPanel(skin::CBaseDlg& window, CAppSettings& settings,
                             const Controls& controls)
    : window_(window), settings_(settings), c_(controls),
      hwnd_(platform::RegisterWindowHandle(
          [this](platform::UINT message, platform::WPARAM w, platform::LPARAM l)
          {
              if (message == kPlayerMessage)
                  QCoreApplication::postEvent(this, new PlayerEvent(int(w), l, CopiedText(w, l)));
          })),
      recordFlow_(DateText, TimeText),
      control_(hwnd_, clock_, vark::RealTril(),
               [this](platform::UINT, platform::WPARAM w, platform::LPARAM l)
               { OnPlayerMessage(int(w), l, CopiedText(w, l)); })
{
    // the device chosen in the device dialog plays from this start on
    control_.initArgument = vark::OutputDeviceNumber(settings_.OutDeviceName);
    c_.position->SetRange(0, 0);
    connect(c_.position, &skin::CSkinnedSlider::notify, this,
            [this](int code, int pos) { OnPositionSlider(code, pos); });
    c_.volume->SetRange(0, 100);
    c_.volume->SetPos(64);
    connect(c_.volume, &skin::CSkinnedSlider::notify, this,
            [this](int code, int pos)
            {
                if (code == skin::CSkinnedSlider::kEndScroll) SetVolume(pos);
            });
    c_.loopSpin->SetBuddy(c_.loopLength);
    c_.loopSpin->SetRange(3, 30);
    c_.loopSpin->SetPos(int(std::clamp<uint32_t>(settings_.RingLength, 3, 30)));
    loopLength_ = c_.loopSpin->Pos();
    connect(c_.loopLength, &QLineEdit::editingFinished, this, [this] { ReadLoopLength(); });
    c_.waveform->seek = [this](int position)
    {
        if (control_.Flow()) control_.Flow()->SetPosition(position);
    };
    connect(&playTimer_, &QTimer::timeout, this, [this] { OnPlayTick(); });
    playTimer_.start(200);
    pedals_ = std::make_unique<PedalInput>(
        settings_.PedalHoldToPlay != 0, int(settings_.PedalSpeed),
        [this](const PedalMapping::Action& a) { OnPedal(int(a.kind), a.ms); });
    pedals_->changed = [this] { ShowPedal(); };
}

void PlaybackPanel::OnPedal(int kind, int ms)
{
    using Kind = PedalMapping::Kind;
    switch (Kind(kind))
    {
    case Kind::kPlay:
        if (control_.IsPaused())
            Resume();
        else if (!control_.IsPlaying())
            OnPlayPause();
        break;
    case Kind::kPause:
        OnPause();
        break;
    case Kind::kToggle:
        OnPlayPause();
        break;
    case Kind::kStep:
        SeekTo(c_.position->Pos() + ms);
        break;
    case Kind::kPreviousRecord:
    case Kind::kNextRecord:
        if (stepRecord) stepRecord(Kind(kind) == Kind::kNextRecord ? 1 : -1);
        break;
    }
}

void PlaybackPanel::ShowPedal()
{
    if (optionsDialog_)
        optionsDialog_->ShowPedal(pedals_ ? pedals_->PedalName() : QString(),
                                  pedals_ ? pedals_->Down() : std::array<bool, 3>{});
}

PlaybackPanel::~PlaybackPanel()
{
    CloseOptions(); // it clears optionsDialog_ and writes its place while the window exists
    control_.Drop();
    platform::UnregisterWindowHandle(hwnd_);
}

void PlaybackPanel::CloseOptions()
{
    delete optionsDialog_;
}

void PlaybackPanel::End()
{
    pedals_.reset(); // let go of the pedals: they are another program's again
    playTimer_.stop();
    control_.Drop();
    TRIL_Clear();
}

bool PlaybackPanel::event(QEvent* e)
{
    if (e->type() == QEvent::Type(kPlayerMessage))
    {
        auto* p = static_cast<PlayerEvent*>(e);
        OnPlayerMessage(p->code, p->value, p->text);
        return true;
    }
    return QObject::event(e);
}

void PlaybackPanel::OnPlayTick()
{
    control_.Tick();
    FollowWaveform();
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

void PlaybackPanel::PlayRecord(vark::CVarkDevice* device, uint16_t index)
{
    waveform_.reset();
    recordFlow_.soundFed = nullptr;
    c_.waveform->Clear();
    waveformShown_ = false;
    recordFlow_.SetRecord(device, index);
    if (!control_.Adopt(&recordFlow_)) return;
    // the strip fills from the sound the record streams as it plays, unless it is kept
    const vark::RecordInfo& info = recordFlow_.Info();
    fileStart_ = DateTimeOf(info.start);
    // the same record played again goes on from what its strip already knows
    if (!recordWaveform_ || recordWaveform_->Identity() != vark::RecordPeaksIdentity(info))
        recordWaveform_ = std::make_unique<vark::RecordWaveform>(
            info, std::max(1, c_.waveform->width()), &peaksCache_);
    recordFlow_.soundFed = [this](int64_t first, const int16_t* frames, size_t count)
    {
        if (recordWaveform_) recordWaveform_->Feed(first, frames, count);
    };
    FollowWaveform();
    if (control_.Play()) control_.SetGain(c_.volume->Pos());
}

std::optional<QDateTime> PlaybackPanel::DateTimeOf(const platform::AutoDate& date)
{
    platform::DateParts p;
    if (!date.IsValid() || !date.GetParts(p)) return std::nullopt;
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

void PlaybackPanel::PlayFromDisk()
{
    // the first filter ends with "||": the second pair goes in before the end
    std::string filters = res::LoadString(res::ids::kSoundFilesFilter);
    if (filters.size() >= 2 && filters.compare(filters.size() - 2, 2, "||") == 0)
        filters.resize(filters.size() - 1);
    // the player reads whatever its media reader reads
    filters += res::LoadString(res::ids::kAllFiles) + " (*)|*||";
    const auto path = skin::Questions().OpenFile(
        &window_, filters, platform::WideToUtf8(settings_.LastOpenWaveDirectory));
    if (!path) return;
    settings_.LastOpenWaveDirectory =
        platform::Utf8ToWide(QFileInfo(QString::fromStdString(*path)).absolutePath().toStdString());
    PlayFile(*path);
}

bool PlaybackPanel::PlayFile(const std::string& path, std::optional<QDateTime> start)
{
    recordWaveform_.reset();
    recordFlow_.soundFed = nullptr;
    fileStart_ = std::move(start);
    fileFlow_.SetPath(platform::Utf8ToWide(path));
    if (control_.Adopt(&fileFlow_) && control_.Play() && control_.SetGain(c_.volume->Pos()))
    {
        StartWaveform(path);
        return true;
    }
    window_.Message(res::LoadString(res::ids::kPlayFileError) + path, 0);
    return false;
}

void PlaybackPanel::StartWaveform(const std::string& path)
{
    c_.waveform->Clear();
    waveformShown_ = false;
    // one peak column per pixel column of the strip
    waveform_ = std::make_unique<vark::WaveformWorker>(path, std::max(1, c_.waveform->width()),
                                                       &peaksCache_);
}

void PlaybackPanel::SeekTo(int ms)
{
    if (!control_.Flow() || c_.position->Maximum() <= 0) return;
    ms = std::clamp(ms, 0, c_.position->Maximum());
    control_.Flow()->SetPosition(ms);
    c_.position->SetPos(ms);
    c_.waveform->SetPosition(ms);
    c_.at->setText(DurationText(ms));
}

void PlaybackPanel::Skip(int direction)
{
    SeekTo(c_.position->Pos() + direction * int(settings_.SkipStep) * 1000);
}

QString PlaybackPanel::TimeStamp() const
{
    if (!control_.Flow() || c_.position->Maximum() <= 0) return {};
    const int ms = c_.position->Pos();
    if (settings_.TimeStampOfDay && fileStart_)
        return fileStart_->addMSecs(ms).toString(QStringLiteral("[HH:mm:ss]"));
    const int s = ms / 1000;
    return QStringLiteral("[%1:%2:%3]")
        .arg(s / 3600, 2, 10, QChar('0'))
        .arg(s / 60 % 60, 2, 10, QChar('0'))
        .arg(s % 60, 2, 10, QChar('0'));
}

void PlaybackPanel::CopyTimeStamp()
{
    const QString stamp = TimeStamp();
    if (!stamp.isEmpty()) QGuiApplication::clipboard()->setText(stamp);
}

void PlaybackPanel::Resume()
{
    if (settings_.ResumeRewind > 0) SeekTo(c_.position->Pos() - int(settings_.ResumeRewind) * 1000);
    control_.TogglePause();
}

void PlaybackPanel::JumpToSpeech(int direction)
{
    const numera::WaveformPeaks& peaks = c_.waveform->Peaks();
    const int now = c_.position->Pos();
    std::optional<int> to;
    for (const numera::SpeechSegment& s : peaks.segments)
    {
        const int start = int(s.start * 1000);
        if (direction > 0 && start > now + 300)
        {
            to = start;
            break;
        }
        if (direction < 0 && start < now - 1000) to = start;
    }
    if (direction < 0 && !to) to = 0;
    if (to) SeekTo(*to);
}

void PlaybackPanel::FollowWaveform()
{
    if (waveformShown_ || (!waveform_ && !recordWaveform_)) return;
    const vark::WaveformSnapshot s =
        waveform_ ? waveform_->Snapshot() : recordWaveform_->Snapshot();
    c_.waveform->SetPeaks(s.peaks, s.columns);
    c_.waveform->SetStart(fileStart_);
    waveformShown_ = s.done;
}

void PlaybackPanel::OnPlayButton()
{
    if (control_.IsPaused()) return Resume();
    if (control_.Flow())
    {
        if (control_.Play()) control_.SetGain(c_.volume->Pos());
        return;
    }
    if (playCurrentRecord) playCurrentRecord();
}

void PlaybackPanel::OnPlayPause()
{
    if (!control_.Flow())
    {
        if (playCurrentRecord) playCurrentRecord();
        return;
    }
    if (!control_.IsPlaying())
    {
        if (control_.Play()) control_.SetGain(c_.volume->Pos());
        return;
    }
    if (control_.IsPaused())
        Resume();
    else
        control_.TogglePause();
}

void PlaybackPanel::OnPause()
{
    if (control_.IsPlaying()) control_.TogglePause();
}

bool PlaybackPanel::StopRecorderPlayback()
{
    if (control_.Kind() != vark::FlowKind::kRecord) return false;
    control_.Stop();
    return true;
}

void PlaybackPanel::VolumeStep(int delta)
{
    c_.volume->SetPos(c_.volume->Pos() + delta);
    SetVolume(c_.volume->Pos());
}

void PlaybackPanel::SetVolume(int volume)
{
    control_.SetGain(std::clamp(volume, 0, 100));
}

void PlaybackPanel::ReadLoopLength()
{
    bool ok = false;
    const int v = c_.loopLength->text().toInt(&ok);
    c_.loopSpin->SetPos(ok ? v : loopLength_); // the spin forces 3 to 30
    loopLength_ = c_.loopSpin->Pos();
}

void PlaybackPanel::OnLoopBox()
{
    ReadLoopLength();
    if (control_.Flow()) control_.Flow()->SetRing(c_.loop->isChecked() ? loopLength_ : 0);
}

void PlaybackPanel::OnProcessingBox(bool agc)
{
    skin::CSkinnedCheck* box = agc ? c_.agc : c_.denoiser;
    if (!control_.Flow())
    {
        box->setChecked(false);
        return;
    }
    if (agc)
        control_.SetAgc(box->isChecked());
    else
        control_.SetDenoiser(box->isChecked());
}

void PlaybackPanel::OpenOptions()
{
    dialogs::PlayerOptions current{control_.agcLevel, control_.ncMode, control_.ncDepth};
    current.skipStep = int(settings_.SkipStep);
    current.resumeRewind = int(settings_.ResumeRewind);
    current.stampTimeOfDay = settings_.TimeStampOfDay != 0;
    current.pedalHoldToPlay = settings_.PedalHoldToPlay != 0;
    current.pedalSpeed = int(settings_.PedalSpeed);
    dialogs::CPlayerOptionsDlg::Open(&window_, optionsDialog_, settings_, current,
                                     [this](const dialogs::PlayerOptions& o) { ApplyOptions(o); });
    ShowPedal();
}

void PlaybackPanel::ApplyOptions(const dialogs::PlayerOptions& o)
{
    control_.agcLevel = o.agcLevel;
    control_.ncMode = o.ncMode;
    control_.ncDepth = o.ncDepth;
    settings_.SkipStep = uint32_t(std::clamp(o.skipStep, 1, 30));
    settings_.ResumeRewind = uint32_t(std::clamp(o.resumeRewind, 0, 10));
    settings_.TimeStampOfDay = o.stampTimeOfDay ? 1 : 0;
    settings_.PedalHoldToPlay = o.pedalHoldToPlay ? 1 : 0;
    settings_.PedalSpeed = uint32_t(std::clamp(o.pedalSpeed, 2, 10));
    if (pedals_) pedals_->Remap(o.pedalHoldToPlay, int(settings_.PedalSpeed));
    if (c_.agc->isChecked()) control_.SetAgc(true);
    if (c_.denoiser->isChecked()) control_.SetDenoiser(true);
}

void PlaybackPanel::OnPositionSlider(int code, int position)
{
    if (code == skin::CSkinnedSlider::kThumbTrack)
        dragging_ = true;
    else if (code == skin::CSkinnedSlider::kEndScroll)
    {
        dragging_ = false;
        if (control_.Flow()) control_.Flow()->SetPosition(position);
    }
}

void PlaybackPanel::OnPlayerMessage(int code, intptr_t value, const QString& text)
{
    playerActive_ = true;
    if (code != player_code::kReplaced && !control_.Flow()) return;
    switch (code)
    {
    case player_code::kDuration:
        c_.duration->setText(DurationText(value));
        c_.at->setText(DurationText(0));
        c_.position->SetRange(0, int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        c_.waveform->SetRange(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        break;
    case player_code::kPosition:
        if (!dragging_)
        {
            c_.at->setText(DurationText(value));
            c_.position->SetPos(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
            c_.waveform->SetPosition(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        }
        break;
    case player_code::kPlay:
        c_.position->SetPos(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        c_.waveform->SetPosition(int(std::clamp<intptr_t>(value, 0, INT32_MAX)));
        control_.Notified(code);
        break;
    case player_code::kPause:
        control_.Notified(code);
        break;
    case player_code::kStop:
        if (control_.Flow()) control_.Flow()->SetRing(0);
        c_.loop->setChecked(false);
        control_.Notified(code);
        break;
    case player_code::kSize:
        c_.size->setText(
            QString::fromStdString(vark::KilobyteText(uint32_t(std::max<intptr_t>(value, 0)))));
        break;
    case player_code::kName:
        c_.name->setText(text);
        break;
    case player_code::kOpenFile:
    case player_code::kFormat:
        c_.format->setText(text);
        break;
    case player_code::kReplaced:
        for (skin::CSkinnedStatic* t : {c_.name, c_.at, c_.duration, c_.size, c_.format})
            t->setText({});
        c_.position->SetRange(0, 0);
        c_.position->SetPos(0);
        c_.waveform->Clear();
        waveformShown_ = false; // the file that comes next shows its strip again
        c_.loop->setChecked(false);
        break;
    default:
        break;
    }
}
