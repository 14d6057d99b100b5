#include "dialogs/load_records_list_dlg.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include "dialogs/records_list.h"
#include "form_buttons.h"
#include "res/string_ids.h"
#include "settings/app_settings.h"
#include "transfer/record_list_loader.h"

namespace dialogs
{

namespace
{

// A failure of the worker, carrying its message number.
class FailureEvent : public QEvent
{
public:
    explicit FailureEvent(uint32_t id)
        : QEvent(QEvent::Type(CLoadRecordsListDlg::kFailureMessage)), messageId(id)
    {
    }
    const uint32_t messageId;
};

} // namespace

CLoadRecordsListDlg::CLoadRecordsListDlg(QWidget* parent, vark::CVarkDevice& device, int count,
                                         int listOrder, CRecordsList& list)
    : SkinnedDialog(kName, kDialogId, parent), device_(device), count_(count),
      listOrder_(listOrder), list_(list)
{
    progress_ = Bind(new skin::CSkinnedProgress(&Skin()), "IDC_PROGRESS");
    progress_->setRange(0, 100);
    progress_->setValue(0);
    loaded_ = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_LOADED");
    total_ = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_TOTAL");
    loaded_->setText(QStringLiteral("0"));
    total_->setText(QString::number(count));
    Bind(new skin::CSkinnedButton(&Skin()), "IDCANCEL");
    InitSkin(kBitmap, kDescription);
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
}

CLoadRecordsListDlg::~CLoadRecordsListDlg()
{
    // releases a worker waiting for its record and joins it
    loader_.reset();
}

int CLoadRecordsListDlg::exec()
{
    // The worker is joined before the dialog goes, so `this` outlives every call from it.
    vark::RecordListHandover handover;
    handover.threadStarted = [] { ReapplyThreadLanguage(); };
    handover.recordReady = [this](int)
    { QCoreApplication::postEvent(this, new QEvent(QEvent::Type(kRecordMessage))); };
    handover.failed = [this](uint32_t id)
    {
        failurePending_ = true;
        QCoreApplication::postEvent(this, new FailureEvent(id));
    };
    loader_ =
        std::make_unique<vark::CRecordListLoader>(device_, count_, listOrder_, std::move(handover));
    if (!loader_->Start()) return skin::IDCANCEL;
    timer_.start();
    return SkinnedDialog::exec();
}

bool CLoadRecordsListDlg::event(QEvent* e)
{
    if (e->type() == QEvent::Type(kRecordMessage))
    {
        TakeRecord();
        return true;
    }
    if (e->type() == QEvent::Type(kFailureMessage))
    {
        ShowFailure(static_cast<FailureEvent*>(e)->messageId);
        return true;
    }
    return SkinnedDialog::event(e);
}

void CLoadRecordsListDlg::TakeRecord()
{
    if (ended_ || !loader_ || !loader_->Running()) return;
    int index = -1;
    vark::RecordInfo info;
    if (!loader_->TakeRecord(index, info)) return;
    list_.InsertRecord(vark::CRecordListLoader::RowPosition(listOrder_, rows_), index, info);
    ++rows_;
    progress_->setValue(count_ > 0 ? int(int64_t(rows_) * 100 / count_) : 100);
    loaded_->setText(QString::number(rows_));
}

void CLoadRecordsListDlg::ShowFailure(uint32_t messageId)
{
    if (!ended_) Message(messageId, res::ids::kLoadRecordsList, kStyleError);
    failurePending_ = false;
}

void CLoadRecordsListDlg::OnTimer()
{
    if (loader_ && !loader_->Running() && !failurePending_) Finish(skin::IDOK);
}

void CLoadRecordsListDlg::Cancel()
{
    if (loader_) loader_->Cancel();
}

void CLoadRecordsListDlg::OnCommand(int id)
{
    if (id != skin::IDCANCEL && id != skin::IDC_CANCEL) return;
    if (loader_ && loader_->Running())
        Cancel(); // the timer closes the dialog once the worker has stopped
    else
        Finish(skin::IDCANCEL);
}

void CLoadRecordsListDlg::closeEvent(QCloseEvent* e)
{
    if (ended_) return e->accept();
    e->ignore();
    OnCommand(skin::IDCANCEL);
}

void CLoadRecordsListDlg::Finish(int result)
{
    if (ended_) return;
    ended_ = true;
    timer_.stop();
    if (loader_) loader_->Join();
    done(result);
}

} // namespace dialogs
