// CTimeDlg: a date and a time of day for the recorder's clock, both starting at the
// computer's local now. The date runs from 2000-01-01 to 2035-12-31, what the recorder's
// clock holds. The result is the date combined with the time of day in whole seconds; a
// field without a valid value makes it invalid, and the caller refuses it.
#pragma once

#include <QDate>
#include <QTime>

#include "platform/autodate.h"
#include "skin/base_dlg.h"
#include "skin/skinned_more.h"

namespace dialogs
{

class CTimeDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_TIME_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_TIME_DIALOG_CONTROLS);

    explicit CTimeDlg(QWidget* parent);
    // The chosen date and time (valid after OK).
    platform::AutoDate Result() const { return result_; }
    void OnCommand(int id) override;

    skin::CSkinnedDateTime* DateField() const { return date_; }
    skin::CSkinnedDateTime* TimeField() const { return time_; }

    // The date's year, month and day with the time's hour, minute and second; invalid when
    // either part is.
    static platform::AutoDate Combine(const QDate& date, const QTime& time);

private:
    skin::CSkinnedDateTime *date_, *time_;
    platform::AutoDate result_ = platform::AutoDate::Invalid();
};

} // namespace dialogs
