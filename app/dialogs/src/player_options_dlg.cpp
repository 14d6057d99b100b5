#include "dialogs/player_options_dlg.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "dialog_text.h"
#include "form_buttons.h"
#include "settings/app_settings.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

namespace
{
constexpr int kReachable = 40;
} // namespace

CPlayerOptionsDlg* CPlayerOptionsDlg::Open(QWidget* owner, CPlayerOptionsDlg*& slot,
                                           CAppSettings& settings, const PlayerOptions& current,
                                           ApplyOptions apply)
{
    if (!slot)
    {
        slot = new CPlayerOptionsDlg(owner, slot, settings, current, std::move(apply));
        slot->show();
    }
    else
        slot->showNormal();
    slot->raise();
    slot->activateWindow();
    return slot;
}

CPlayerOptionsDlg::CPlayerOptionsDlg(QWidget* owner, CPlayerOptionsDlg*& slot,
                                     CAppSettings& settings, const PlayerOptions& current,
                                     ApplyOptions apply)
    : SkinnedDialog(kName, kDialogId, owner), slot_(slot), settings_(settings),
      apply_(std::move(apply))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    level_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_AGC");
    mode_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_NC_MODE");
    depth_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_NC_DEPTH");
    skip_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_SKIP_STEP");
    rewind_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_RESUME_REWIND");
    stamp_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_TIME_STAMP");
    for (int s = 1; s <= 30; ++s)
        skip_->addItem(QString::number(s));
    for (int s = 0; s <= 10; ++s)
        rewind_->addItem(QString::number(s));
    stamp_->addItem(Text(res::ids::kStampPosition));
    stamp_->addItem(Text(res::ids::kStampTimeOfDay));
    pedal_ = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_PEDAL");
    pedals_ = {Bind(new skin::CSkinnedCheck(&Skin()), "IDC_CHK_PEDAL_LEFT"),
               Bind(new skin::CSkinnedCheck(&Skin()), "IDC_CHK_PEDAL_MIDDLE"),
               Bind(new skin::CSkinnedCheck(&Skin()), "IDC_CHK_PEDAL_RIGHT")};
    for (skin::CSkinnedCheck* p : pedals_)
    {
        // they show the pedals, they are not set by hand
        p->setAttribute(Qt::WA_TransparentForMouseEvents);
        p->setFocusPolicy(Qt::NoFocus);
    }
    pedalMode_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_PEDAL_MODE");
    pedalMode_->addItem(Text(res::ids::kHoldToPlay));
    pedalMode_->addItem(Text(res::ids::kPressToPlayPause));
    pedalSpeed_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_COMBO_PEDAL_SPEED");
    for (int s = 2; s <= 10; ++s)
        pedalSpeed_->addItem(QString::number(s) + QChar(0x00d7));
    for (int l = 1; l <= 96; ++l)
        level_->addItem(QString::number(l));
    for (int d = 6000; d <= 30000; d += 1000)
        depth_->addItem(QString::number(d));
    mode_->addItem(Text(res::ids::kTelephoneLine));
    mode_->addItem(Text(res::ids::kMicrophone));
    Bind(new skin::CSkinnedButton(&Skin()), "IDC_BUTTON_SET_DEFAULT");
    Bind(new skin::CSkinnedButton(&Skin()), "IDC_BUTTON_APPLY");
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    ShowPedal({}, {}); // until the owner says which pedal it has
    Show(current);
    PlaceFromSettings();
}

CPlayerOptionsDlg::~CPlayerOptionsDlg()
{
    settings_.PlayerOptionsWinPosX = static_cast<uint32_t>(pos().x());
    settings_.PlayerOptionsWinPosY = static_cast<uint32_t>(pos().y());
    slot_ = nullptr;
}

void CPlayerOptionsDlg::Show(const PlayerOptions& options)
{
    shown_ = options;
    auto select = [](skin::CSkinnedCombo* list, int value)
    {
        int i = list->findText(QString::number(value));
        if (i >= 0) list->setCurrentIndex(i);
    };
    select(level_, options.agcLevel);
    select(depth_, options.ncDepth);
    select(skip_, options.skipStep);
    select(rewind_, options.resumeRewind);
    stamp_->setCurrentIndex(options.stampTimeOfDay ? 1 : 0);
    pedalMode_->setCurrentIndex(options.pedalHoldToPlay ? 0 : 1);
    pedalSpeed_->setCurrentIndex(std::clamp(options.pedalSpeed, 2, 10) - 2);
    mode_->setCurrentIndex(options.ncMode == 0 || options.ncMode == 1 ? options.ncMode : 0);
}

PlayerOptions CPlayerOptionsDlg::Read() const
{
    PlayerOptions o = shown_;
    if (level_->currentIndex() >= 0) o.agcLevel = level_->currentText().toInt();
    if (depth_->currentIndex() >= 0) o.ncDepth = depth_->currentText().toInt();
    if (skip_->currentIndex() >= 0) o.skipStep = skip_->currentText().toInt();
    if (rewind_->currentIndex() >= 0) o.resumeRewind = rewind_->currentText().toInt();
    o.stampTimeOfDay = stamp_->currentIndex() == 1;
    o.pedalHoldToPlay = pedalMode_->currentIndex() != 1;
    if (pedalSpeed_->currentIndex() >= 0) o.pedalSpeed = pedalSpeed_->currentIndex() + 2;
    o.ncMode = mode_->currentIndex();
    if (o.ncMode != 0 && o.ncMode != 1) o.ncDepth = 0;
    return o;
}

void CPlayerOptionsDlg::OnCommand(int id)
{
    switch (id)
    {
    case IDC_BUTTON_SET_DEFAULT:
        // shown only: nothing is applied before Apply or OK
        Show(PlayerOptions{});
        shown_ = Read();
        break;
    case IDC_BUTTON_APPLY:
    case skin::IDOK:
        shown_ = Read();
        if (apply_) apply_(shown_);
        if (id == skin::IDOK) close();
        break;
    case skin::IDCANCEL:
    case skin::IDC_CANCEL:
        close();
        break;
    default:
        break;
    }
}

void CPlayerOptionsDlg::ShowPedal(const QString& name, const std::array<bool, 3>& down)
{
    pedal_->setText(name.isEmpty() ? Text(res::ids::kNoPedalFound) : name);
    for (size_t p = 0; p < pedals_.size(); ++p)
    {
        pedals_[p]->setChecked(down[p]);
        pedals_[p]->setEnabled(!name.isEmpty());
    }
}

QString CPlayerOptionsDlg::PedalText() const
{
    return pedal_->text();
}

std::array<bool, 3> CPlayerOptionsDlg::PedalsShown() const
{
    return {pedals_[0]->isChecked(), pedals_[1]->isChecked(), pedals_[2]->isChecked()};
}

QPoint CPlayerOptionsDlg::KeepReachable(int64_t x, int64_t y, QSize size, QRect screen)
{
    const int64_t left = screen.left(), top = screen.top();
    const int64_t w = size.width();
    if (x + w < left + kReachable) x = left + kReachable - w;
    if (x > left + screen.width() - kReachable) x = left + screen.width() - kReachable;
    if (y < top - kReachable) y = top - kReachable;
    if (y > top + screen.height() - kReachable) y = top + screen.height() - kReachable;
    return QPoint(int(x), int(y));
}

void CPlayerOptionsDlg::PlaceFromSettings()
{
    QWidget* owner = parentWidget();
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // the settings hold the signed coordinates as they were written
    move(KeepReachable(static_cast<int32_t>(settings_.PlayerOptionsWinPosX),
                       static_cast<int32_t>(settings_.PlayerOptionsWinPosY), size(), area));
}

} // namespace dialogs
