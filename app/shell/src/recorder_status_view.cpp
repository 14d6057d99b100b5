#include "shell/recorder_status_view.h"

#include "res/strings.h"
#include "skin/skinned_controls.h"
#include "transfer/recorder_control.h"
#include "transfer/status_texts.h"

namespace
{

QString Text(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}

// The recorder's clock as the status area shows it.
QString ClockText(const platform::AutoDate& clock)
{
    return QString::fromStdString(clock.Format("%Y.%m.%d %H:%M:%S"));
}

QString Percent(uint32_t value)
{
    return QStringLiteral("%1%").arg(value);
}

} // namespace

void RecorderStatusView::ShowState(const vark::RecorderControl& recorder)
{
    using State = vark::RecorderControl::State;
    switch (recorder.GetState())
    {
    case State::kNone:
        c_.connection->setText(Text(res::ids::kNoConnection));
        for (skin::CSkinnedStatic* t :
             {c_.serial, c_.total, c_.free, c_.used, c_.percentFree, c_.timeLeft, c_.charge})
            t->setText({});
        c_.chargeLevel->SetValue(0);
        c_.memory->SetValue(0);
        c_.charging->hide();
        break;
    case State::kLocked:
        c_.connection->setText(Text(res::ids::kNoPinCode));
        // signed, as signatures, the keys and vark-cli carry it (the PIN dialog shows it
        // unsigned)
        c_.serial->setText(QString::number(recorder.SerialNumber()));
        break;
    case State::kConnected:
        c_.connection->setText(Text(res::ids::kConnected));
        break;
    }
    c_.connected->setVisible(recorder.Connected());
    c_.disconnected->setVisible(!recorder.Connected());
    c_.battery->setEnabled(recorder.Can().batteryIndication);
    c_.battery->setChecked(recorder.BatteryIndicationOn());
}

void RecorderStatusView::ShowStatus(const vark::RecorderControl& recorder)
{
    const vark::RecorderControl::Status& s = recorder.LastStatus();
    c_.total->setText(QString::fromStdString(vark::KilobyteText(s.totalKb)));
    c_.free->setText(QString::fromStdString(vark::KilobyteText(s.freeKb)));
    c_.used->setText(QString::fromStdString(
        vark::KilobyteText(s.totalKb >= s.freeKb ? s.totalKb - s.freeKb : 0)));
    c_.timeLeft->setText(QString::fromStdString(s.timeLeft));
    c_.memory->SetValue(int(s.percentFree));
    c_.percentFree->setText(Percent(s.percentFree));
    if (s.batteryPercentShown)
    {
        c_.chargeLevel->SetValue(s.battery);
        c_.charge->setText(Percent(s.battery));
    }
    else
        c_.chargeLevel->SetValue(s.charging ? 0 : 100); // older firmware tells only that
    c_.charging->setVisible(s.charging);
    c_.clock->setText(s.clock ? ClockText(*s.clock) : QString());
}

void RecorderStatusView::ShowClock(const vark::RecorderControl& recorder)
{
    c_.clock->setText(ClockText(platform::AutoDate::Now() + recorder.ClockOffset()));
}

void RecorderStatusView::ShowDrive(const std::string& label,
                                   const std::optional<drive::DriveSpace>& space,
                                   const std::string& timeLeft)
{
    static const QString kNone = QStringLiteral("\u2014");
    c_.connection->setText(Text(res::ids::kConnected));
    c_.serial->setText(QString::fromStdString(label));
    const auto kb = [](uint64_t bytes)
    {
        return QString::fromStdString(
            vark::KilobyteText(uint32_t(std::min<uint64_t>(bytes >> 10, 0xFFFFFFFFu))));
    };
    const int percentFree =
        space && space->totalBytes ? int(space->freeBytes * 100 / space->totalBytes) : 0;
    c_.total->setText(space ? kb(space->totalBytes) : QString());
    c_.free->setText(space ? kb(space->freeBytes) : QString());
    c_.used->setText(space ? kb(space->UsedBytes()) : QString());
    c_.percentFree->setText(space ? Percent(uint32_t(percentFree)) : QString());
    c_.memory->SetValue(percentFree);
    c_.timeLeft->setText(QString::fromStdString(timeLeft));
    c_.charge->setText(kNone);
    c_.chargeLevel->SetValue(0);
    c_.charging->hide();
    c_.clock->setText(kNone);
    c_.connected->setVisible(true);
    c_.disconnected->setVisible(false);
    c_.battery->setEnabled(false);
    c_.battery->setChecked(false);
}
