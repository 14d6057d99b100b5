#include "dialogs/time_dlg.h"

#include <QDateTime>

#include "form_buttons.h"

namespace dialogs
{

CTimeDlg::CTimeDlg(QWidget* parent) : SkinnedDialog(kName, kDialogId, parent)
{
    date_ = Bind(new skin::CSkinnedDateTime(&Skin(), false), "IDC_DTP_DATE");
    time_ = Bind(new skin::CSkinnedDateTime(&Skin(), true), "IDC_DTP_TIME");
    date_->setDateTimeRange(QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
                            QDateTime(QDate(2035, 12, 31), QTime(23, 59, 59, 999)));
    const QDateTime now = QDateTime::currentDateTime();
    date_->setDateTime(now);
    time_->setDateTime(now);
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    date_->setFocus();
}

platform::AutoDate CTimeDlg::Combine(const QDate& date, const QTime& time)
{
    if (!date.isValid() || !time.isValid()) return platform::AutoDate::Invalid();
    return platform::AutoDate::FromParts(date.year(), date.month(), date.day(), time.hour(),
                                         time.minute(), time.second());
}

void CTimeDlg::OnCommand(int id)
{
    if (id == skin::IDOK) result_ = Combine(date_->date(), time_->time());
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
