#include "dialogs/params_dlg.h"

#include "device/vark_device.h"
#include "device/vark_settings.h"
#include "platform/text.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"

#include <QButtonGroup>
#include <filesystem>

namespace dialogs
{

using namespace vark;

namespace
{

using namespace skin;

constexpr uint32_t kError = 0x10, kYesNoQuestion = 0x24;

QString Text(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}

std::string WithExtension(const std::string& path)
{
    return std::filesystem::path(path).has_extension() ? path : path + ".vrp";
}

// The folder the parameter file dialogs start in, remembered in the settings.
std::string VrpFolder(const CAppSettings& settings)
{
    return platform::WideToUtf8(settings.LastOpenVrpDirectory);
}

void RememberVrpFolder(CAppSettings& settings, const std::string& file)
{
    settings.LastOpenVrpDirectory =
        platform::Utf8ToWide(std::filesystem::path(file).parent_path().string());
}

} // namespace

CParamsDlg::CParamsDlg(QWidget* parent, CAppSettings& settings, CVarkDevice* device,
                       std::optional<uint32_t> freeKilobytes)
    : SkinnedDialog<CBaseDlg>(kName, kDialogId, parent), settings_(settings), device_(device)
{
    if (freeKilobytes)
        freeKilobytes_ = *freeKilobytes;
    else if (uint32_t total = 0, free = 0; device_ && device_->GetMemory(total, free))
        freeKilobytes_ = MemoryKilobytes(free, device_->FirmwareVersion());
    BindControls();
    FillLists();
    InitSkin(kBitmap, kDescription);
    levelAbove_->hide(); // until the level meter has a live level
    const ParamsEntries presets = DefaultEntries(platform::AutoDate::Now());
    Show(device_ ? EntriesFromParams(device_->Params(), presets) : presets);
    connect(&levelTimer_, &QTimer::timeout, this, [this] { PollLevel(); });
    levelTimer_.start(kLevelPollMs);
}

CParamsDlg::~CParamsDlg() = default;

void CParamsDlg::BindControls()
{
    SkinManager* m = &Skin();
    sourceLeft_ = Bind(new CSkinnedCombo(m), "IDC_CMB_SOURCE_LEFT");
    sourceRight_ = Bind(new CSkinnedCombo(m), "IDC_CMB_SOURCE_RIGHT");
    rate_ = Bind(new CSkinnedCombo(m), "IDC_CMB_SAMPLE_RATE");
    compression_ = Bind(new CSkinnedCheck(m), "IDC_CHK_COMPRESSION");
    mono_ = Bind(new CSkinnedRadio(m), "IDC_OP_FORMAT0");
    stereo_ = Bind(new CSkinnedRadio(m), "IDC_OP_FORMAT1");
    agcOn_ = Bind(new CSkinnedRadio(m), "IDC_OP_AGC1");
    agcOff_ = Bind(new CSkinnedRadio(m), "IDC_OP_AGC0");
    inputLevel_ = Bind(new CSkinnedSlider(m), "IDC_SL_INPUT_LEVEL");
    inputLevelText_ = Bind(new CSkinnedStatic(m), "IDC_STATIC_INPUT_LEVEL");
    accu_ = Bind(new CSkinnedCheck(m), "IDC_CHK_ACCU");
    accuThreshold_ = Bind(new CSkinnedSlider(m), "IDC_SL_ACCU_LEFT");
    accuText_ = Bind(new CSkinnedStatic(m), "IDC_STATIC_ACCU_LEFT");
    level_ = Bind(new CSkinnedProgress(m), "IDC_PROGRESS_LEVEL_LEFT");
    levelAbove_ = Bind(new CSkinnedImage(m), "IDC_STATIC_LEVEL_ABOVE");
    ring_ = Bind(new CSkinnedCheck(m), "IDC_CHK_RING");
    ringHours_ = Bind(new CSkinnedEdit(m), "IDC_EDIT_RING_HOUR");
    ringHoursSpin_ = Bind(new CSkinnedSpin(m), "IDC_SPIN_RING_HOUR");
    ringMinutes_ = Bind(new CSkinnedEdit(m), "IDC_EDIT_RING_MIN");
    ringMinutesSpin_ = Bind(new CSkinnedSpin(m), "IDC_SPIN_RING_MIN");
    buttonMode_ = Bind(new CSkinnedCombo(m), "IDC_CMB_BUTTON_MODE");
    recordButton_ = Bind(new CSkinnedCheck(m), "IDC_CHK_RECORD_BUTTON");
    maxRecordTime_ = Bind(new CSkinnedStatic(m), "IDC_STATIC_MAX_DUR");
    for (const char* name : {"IDC_DEFAULT", "IDC_SAVE", "IDC_LOAD", "IDCANCEL", "IDC_CANCEL"})
        Bind(new CSkinnedButton(m), name);
    Bind(new CSkinnedButton(m), "IDOK")->setDefault(true);
    for (int i = 0; i < kTimerCount; ++i)
    {
        const std::string n = std::to_string(i + 1);
        timerOn_[i] = Bind(new CSkinnedCheck(m), ("IDC_CHK_TIMER" + n).c_str());
        timerDate_[i] = Bind(new CSkinnedDateTime(m, false), ("IDC_DTP_TIMER_DATE" + n).c_str());
        timerTime_[i] = Bind(new CSkinnedDateTime(m, true), ("IDC_DTP_TIMER_TIME" + n).c_str());
        timerDuration_[i] = Bind(new CSkinnedDateTime(m, true), ("IDC_DTP_TIMER_DUR" + n).c_str());
        for (CSkinnedDateTime* t : {timerTime_[i], timerDuration_[i]})
            t->SetCustomFormat("HH:mm");
        connect(timerOn_[i], &QCheckBox::toggled, this, [this] { UpdateEnables(); });
    }
    // the two radio pairs are separate choices although they share the dialog as parent
    formatGroup_ = new QButtonGroup(this);
    formatGroup_->addButton(mono_);
    formatGroup_->addButton(stereo_);
    agcGroup_ = new QButtonGroup(this);
    agcGroup_->addButton(agcOn_);
    agcGroup_->addButton(agcOff_);

    inputLevel_->SetRange(0, kMaxInputLevel);
    accuThreshold_->SetRange(0, kMaxAccuThreshold);
    level_->setRange(0, kMaxAccuThreshold);
    ringHoursSpin_->SetBuddy(ringHours_);
    ringHoursSpin_->SetRange(0, kMaxRingHours);
    ringMinutesSpin_->SetBuddy(ringMinutes_);
    ringMinutesSpin_->SetRange(0, kMaxRingMinutes);

    const auto changed = [this]
    {
        UpdateEnables();
        UpdateMaxRecordTime();
    };
    connect(stereo_, &QRadioButton::toggled, this, changed);
    connect(agcOn_, &QRadioButton::toggled, this, changed);
    connect(compression_, &QCheckBox::toggled, this, changed);
    connect(accu_, &QCheckBox::toggled, this, changed);
    connect(ring_, &QCheckBox::toggled, this, changed);
    connect(rate_, &QComboBox::currentIndexChanged, this, changed);
    connect(inputLevel_, &CSkinnedSlider::notify, this, [this] { UpdateLevelTexts(); });
    connect(accuThreshold_, &CSkinnedSlider::notify, this, [this] { UpdateLevelTexts(); });
    connect(ringHours_, &QLineEdit::textChanged, this,
            [this] { OnRingFieldEdited(ringHours_, kMaxRingHours); });
    connect(ringMinutes_, &QLineEdit::textChanged, this,
            [this] { OnRingFieldEdited(ringMinutes_, kMaxRingMinutes); });
}

void CParamsDlg::FillLists()
{
    for (CSkinnedCombo* list : {sourceLeft_, sourceRight_})
        for (uint32_t id : {res::ids::kNone, res::ids::kInternalMic, res::ids::kExternalMic,
                            res::ids::kLinearInput})
            list->addItem(Text(id));
    rate_->addItem(Text(res::ids::kRate8k));
    rate_->addItem(Text(res::ids::kRate16k));
    for (uint32_t id :
         {res::ids::kButtonLocked, res::ids::kButtonForErase, res::ids::kButtonForPlayback})
        buttonMode_->addItem(Text(id));
}

ParamsEntries CParamsDlg::Entries() const
{
    ParamsEntries e;
    e.sourceLeft = sourceLeft_->currentIndex();
    e.sourceRight = sourceRight_->currentIndex();
    e.rate = rate_->currentIndex();
    e.compression = compression_->isChecked();
    e.stereo = stereo_->isChecked();
    e.agc = agcOn_->isChecked();
    e.inputLevel = inputLevel_->Pos();
    for (int i = 0; i < kTimerCount; ++i)
    {
        TimerEntry& t = e.timers[i];
        const QDate date = timerDate_[i]->date();
        const QTime start = timerTime_[i]->time(), length = timerDuration_[i]->time();
        t.enabled = timerOn_[i]->isChecked();
        t.year = date.year();
        t.month = date.month();
        t.day = date.day();
        t.hour = start.hour();
        t.minute = start.minute();
        t.durationHours = length.hour();
        t.durationMinutes = length.minute();
    }
    e.accu = accu_->isChecked();
    e.accuThreshold = accuThreshold_->Pos();
    e.ring = ring_->isChecked();
    e.ringHours = ringHoursSpin_->Pos();
    e.ringMinutes = ringMinutesSpin_->Pos();
    e.buttonMode = buttonMode_->currentIndex();
    e.recordButton = recordButton_->isChecked();
    return e;
}

void CParamsDlg::Show(const ParamsEntries& e)
{
    sourceLeft_->setCurrentIndex(e.sourceLeft);
    sourceRight_->setCurrentIndex(e.sourceRight);
    rate_->setCurrentIndex(e.rate);
    compression_->setChecked(e.compression);
    (e.stereo ? stereo_ : mono_)->setChecked(true);
    (e.agc ? agcOn_ : agcOff_)->setChecked(true);
    inputLevel_->SetPos(e.inputLevel);
    for (int i = 0; i < kTimerCount; ++i)
    {
        const TimerEntry& t = e.timers[i];
        timerOn_[i]->setChecked(t.enabled);
        timerDate_[i]->setDate(QDate(t.year, t.month, t.day));
        timerTime_[i]->setTime(QTime(t.hour, t.minute));
        timerDuration_[i]->setTime(QTime(t.durationHours, t.durationMinutes));
    }
    accu_->setChecked(e.accu);
    accuThreshold_->SetPos(e.accuThreshold);
    ring_->setChecked(e.ring);
    ringHoursSpin_->SetPos(e.ringHours);
    ringMinutesSpin_->SetPos(e.ringMinutes);
    buttonMode_->setCurrentIndex(e.buttonMode);
    recordButton_->setChecked(e.recordButton);
    UpdateLevelTexts();
    UpdateEnables();
    UpdateMaxRecordTime();
}

void CParamsDlg::UpdateEnables()
{
    sourceRight_->setEnabled(stereo_->isChecked());
    inputLevel_->setEnabled(!agcOn_->isChecked());
    accuThreshold_->setEnabled(accu_->isChecked());
    accuThreshold_->SetRange(accu_->isChecked() ? vark::kMinAccuThresholdOn : 0, kMaxAccuThreshold);
    UpdateLevelTexts();
    const bool ring = ring_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{ringHours_, ringHoursSpin_, ringMinutes_,
                                                      ringMinutesSpin_})
        w->setEnabled(ring);
    for (int i = 0; i < kTimerCount; ++i)
        for (QWidget* w : {timerDate_[i], timerTime_[i], timerDuration_[i]})
            w->setEnabled(timerOn_[i]->isChecked());
}

void CParamsDlg::UpdateMaxRecordTime()
{
    maxRecordTime_->setText(QString::fromStdString(res::LoadString(res::ids::kMaxRecordTime) +
                                                   MaxRecordTime(freeKilobytes_, Entries())));
}

void CParamsDlg::UpdateLevelTexts()
{
    inputLevelText_->setText(QString::fromStdString(InputLevelText(inputLevel_->Pos())));
    accuText_->setText(QString::number(AccuNumber(accuThreshold_->Pos())));
}

void CParamsDlg::PollLevel()
{
    uint8_t levels[2] = {0, 0};
    const bool live = accu_->isChecked() && device_ && device_->GetInputLevel(levels);
    level_->setValue(live ? std::min<int>(levels[0], kMaxAccuThreshold) : 0);
    levelAbove_->setVisible(live && levels[0] >= accuThreshold_->Pos());
}

void CParamsDlg::OnRingFieldEdited(CSkinnedEdit* field, int maximum)
{
    // typed or pasted text: only its digits stay, and a number above the range is the top
    QString digits;
    for (QChar c : field->text())
        if (c >= '0' && c <= '9') digits += c;
    bool ok = false;
    const int value = digits.toInt(&ok);
    if (ok && value > maximum)
        digits = QString::number(maximum);
    else if (digits.size() > 1 && ok)
        digits = QString::number(value); // no leading zeros
    else if (!ok && digits.size() > 0)
        digits = QString::number(maximum); // too many digits for an int
    if (digits != field->text()) field->setText(digits);
}

int CParamsDlg::Tell(uint32_t textId, uint32_t style, int a, int b)
{
    return Message(textId, res::ids::kMessageTitle, style, a, b);
}

std::optional<VarkParams> CParamsDlg::CheckedRecord()
{
    ParamsEntries e = Entries();
    std::optional<platform::AutoDate> clock;
    if (platform::AutoDate now; device_ && device_->GetClock(now)) clock = now;
    const ParamsVerdict verdict = CheckEntries(
        e, clock, freeKilobytes_,
        [this] { return Tell(res::ids::kNotEnoughMemoryForLoop, kYesNoQuestion) == IDYES; });
    if (e.ring)
    {
        // the corrections of the loop checks show in the fields
        ringHoursSpin_->SetPos(e.ringHours);
        ringMinutesSpin_->SetPos(e.ringMinutes);
    }
    if (verdict.refusal)
        Tell(verdict.refusal->textId, kError, verdict.refusal->args[0], verdict.refusal->args[1]);
    if (!verdict.accepted) return std::nullopt;
    VarkParams base;
    if (device_) base = device_->Params();
    return ParamsFromEntries(base, e);
}

void CParamsDlg::OnCommand(int id)
{
    if (writing_) return; // a write is waiting for playback to stop
    switch (id)
    {
    case IDOK:
        Confirm();
        return;
    case IDC_DEFAULT:
        Show(DefaultEntries(platform::AutoDate::Now()));
        return;
    case IDC_SAVE:
        Save();
        return;
    case IDC_LOAD:
        Load();
        return;
    default:
        CBaseDlg::OnCommand(id);
    }
}

void CParamsDlg::reject()
{
    if (!writing_) CBaseDlg::reject();
}

void CParamsDlg::Confirm()
{
    const std::optional<VarkParams> params = CheckedRecord();
    if (!params) return;
    if (stopRecorderPlayback && stopRecorderPlayback())
    {
        // the recorder needs a moment to close the record; the window stays responsive
        writing_ = true;
        QTimer::singleShot(kPlaybackStopMs, this,
                           [this, p = *params]
                           {
                               writing_ = false;
                               Write(p);
                           });
        return;
    }
    Write(*params);
}

void CParamsDlg::Write(const VarkParams& params)
{
    if (device_)
    {
        device_->Params() = params;
        if (device_->WriteParameters())
        {
            done(IDOK);
            return;
        }
    }
    SLOG_ERR("Writing the recording parameters failed");
    Tell(res::ids::kCantSaveParameters, kError);
}

void CParamsDlg::Save()
{
    const std::optional<std::string> chosen = Questions().SaveFile(
        this, res::LoadString(res::ids::kParameterFilesFilter), VrpFolder(settings_), "");
    if (!chosen) return;
    const std::string path = WithExtension(*chosen);
    RememberVrpFolder(settings_, path);
    const std::optional<VarkParams> params = CheckedRecord();
    if (!params) return;
    if (!SaveParamsFile(platform::Utf8ToWide(path), *params))
        Tell(res::ids::kDiskWriteError, kError);
}

void CParamsDlg::Load()
{
    const std::optional<std::string> chosen = Questions().OpenFile(
        this, res::LoadString(res::ids::kParameterFilesFilter), VrpFolder(settings_));
    if (!chosen) return;
    RememberVrpFolder(settings_, *chosen);
    VarkParams params;
    if (device_) params = device_->Params();
    if (!LoadParamsFile(platform::Utf8ToWide(*chosen), params))
    {
        Message(res::ids::kNotAParameterFile, res::ids::kMessageTitle, kError, chosen->c_str());
        return;
    }
    Show(EntriesFromParams(params, DefaultEntries(platform::AutoDate::Now())));
}

} // namespace dialogs
