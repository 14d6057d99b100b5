#include "dialogs/export_dlg.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "dialog_text.h"
#include "dialogs/drive_serial_dlg.h"
#include "dialogs/passphrase_dlg.h"
#include "dialogs/records_list.h"
#include "form_buttons.h"
#include "platform/text.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "settings/drive_serials.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "transfer/drive_export_worker.h"
#include "transfer/export_worker.h"
#include "transfer/signature.h"

namespace dialogs
{

// The worker's side: each call waits until the UI thread has handled it.
class CExportDlg::Host : public vark::ExportHost
{
public:
    explicit Host(CExportDlg& dlg) : dlg_(dlg) {}

    void StageChanged(uint32_t stageTextId) override
    {
        if (dlg_.stopping_) return;
        dlg_.OnUiThread(
            [this, stageTextId]
            {
                dlg_.stage_->setText(Text(stageTextId));
                dlg_.ShowProgress();
            });
    }
    void DeselectEntry(size_t entry) override
    {
        if (dlg_.stopping_ || entry >= dlg_.selection_.size()) return;
        const int row = dlg_.selection_[entry].row;
        dlg_.OnUiThread(
            [this, row]
            {
                if (QTreeWidgetItem* item = dlg_.list_.topLevelItem(row)) item->setSelected(false);
            });
    }
    bool AskYesNo(uint32_t messageId, const std::vector<std::string>& args) override
    {
        // the main window is closing: every question ends the run
        if (dlg_.stopping_) return messageId == res::ids::kCancelCopying;
        bool yes = false;
        dlg_.OnUiThread(
            [&]
            {
                yes = dlg_.Message(res::FormatWithStrings(messageId, args), kStyleQuestionYesNo) ==
                      skin::IDYES;
            });
        return yes;
    }
    void ShowError(uint32_t messageId) override
    {
        if (dlg_.stopping_) return;
        dlg_.OnUiThread([this, messageId]
                        { dlg_.Message(messageId, res::ids::kCopyToDisk, kStyleError); });
    }
    void ShowErrorText(const std::string& text) override
    {
        if (dlg_.stopping_) return;
        dlg_.OnUiThread([this, &text] { dlg_.Message(text, kStyleError); });
    }

private:
    CExportDlg& dlg_;
};

CExportDlg::CExportDlg(QWidget* parent, CAppSettings& settings, vark::CVarkDevice& device,
                       std::vector<ExportEntry> selection, CRecordsList& list)
    : CExportDlg(parent, settings, &device, std::nullopt, std::move(selection), list)
{
}

CExportDlg::CExportDlg(QWidget* parent, CAppSettings& settings, DriveExportSource drive,
                       std::vector<ExportEntry> selection, CRecordsList& list)
    : CExportDlg(parent, settings, nullptr, std::move(drive), std::move(selection), list)
{
}

CExportDlg::CExportDlg(QWidget* parent, CAppSettings& settings, vark::CVarkDevice* device,
                       std::optional<DriveExportSource> drive, std::vector<ExportEntry> selection,
                       CRecordsList& list)
    : SkinnedDialog(kName, kDialogId, parent), settings_(settings), device_(device),
      drive_(std::move(drive)), selection_(std::move(selection)), list_(list),
      host_(std::make_unique<Host>(*this))
{
    skin::SkinManager* m = &Skin();
    folder_ = Bind(new skin::CSkinnedEdit(m), "IDC_EDIT_DIR");
    browse_ = Bind(new skin::CSkinnedButton(m), "IDC_BUTTON_DIR");
    fixedPause_ = Bind(new skin::CSkinnedRadio(m), "IDC_RADIO_PAUSE0");
    realPause_ = Bind(new skin::CSkinnedRadio(m), "IDC_RADIO_PAUSE1");
    pause_ = Bind(new skin::CSkinnedEdit(m), "IDC_EDIT_PAUSE");
    pauseSpin_ = Bind(new skin::CSkinnedSpin(m), "IDC_SPIN");
    stage_ = Bind(new skin::CSkinnedStatic(m), "IDC_STATIC_PROGRESS_CUR");
    stageBar_ = Bind(new skin::CSkinnedProgress(m), "IDC_PROGRESS_CUR");
    stagePercent_ = Bind(new skin::CSkinnedStatic(m), "IDC_STATIC_PROGRESS_CUR_PERC");
    totalBar_ = Bind(new skin::CSkinnedProgress(m), "IDC_PROGRESS_TOTAL");
    totalPercent_ = Bind(new skin::CSkinnedStatic(m), "IDC_STATIC_PROGRESS_TOTAL_PERC");
    written_ = Bind(new skin::CSkinnedStatic(m), "IDC_STATIC_TOTAL_WRITED");
    total_ = Bind(new skin::CSkinnedStatic(m), "IDC_STATIC_TOTAL_TO_WRITE");
    sign_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_MAKE_SIGN");
    openSign_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_OPEN_SIGN");
    keepSelection_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_KEEP_SEL");
    keepOriginal_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_KEEP_ORIGINAL");
    format_ = Bind(new skin::CSkinnedCombo(m), "IDC_COMBO_FORMAT");
    bwf_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_BWF");
    format_->addItem(Text(res::ids::kFormatWav));
    format_->addItem(Text(res::ids::kFormatFlac));
    BindFormButtons(*this);
    for (auto* b : findChildren<skin::CSkinnedButton*>())
        if (b->ControlId() == skin::IDOK) ok_ = b;
    InitSkin(kBitmap, kDescription);

    for (skin::CSkinnedProgress* bar : {stageBar_, totalBar_})
    {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    pauseSpin_->SetBuddy(pause_);
    pauseSpin_->SetRange(1, 59);
    fixedPause_->setChecked(true);
    folder_->setText(QString::fromStdWString(settings_.LastExportDirectory));
    pauseSpin_->SetPos(int(settings_.PauseLength));
    sign_->setChecked(settings_.DigitalSign != 0);
    openSign_->setChecked(settings_.OpenSignature != 0);
    format_->setCurrentIndex(settings_.ExportFormat == 1 ? 1 : 0);
    bwf_->setChecked(settings_.BroadcastWav != 0);
    // the fixed length means nothing with the real pause, Broadcast WAV nothing to FLAC (its
    // comments always carry the same fields)
    connect(fixedPause_, &QRadioButton::toggled, this, [this] { SetInputsEnabled(true); });
    connect(format_, &QComboBox::currentIndexChanged, this, [this] { SetInputsEnabled(true); });
    SetInputsEnabled(true);
    ShowProgress();
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
}

CExportDlg::~CExportDlg()
{
    timer_.stop();
    if (worker_ && worker_->Running())
    {
        // Only when the dialog goes without having ended; the worker may be waiting for a
        // call on this thread, so the loop runs until it has finished.
        Stop();
        QEventLoop wait;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &wait,
                [&]
                {
                    if (!worker_->Running()) wait.quit();
                });
        poll.start(20);
        wait.exec();
    }
    worker_.reset(); // joins
}

bool CExportDlg::Running() const
{
    return worker_ && worker_->Running();
}

void CExportDlg::OnUiThread(const std::function<void()>& call)
{
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

void CExportDlg::SetInputsEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{folder_, browse_, sign_, openSign_,
                                                      keepSelection_, format_, ok_})
        w->setEnabled(on);
    bwf_->setEnabled(on && !Flac());
    // a drive's files are copied one by one, never joined; only they can be converted
    const bool joins = !drive_;
    fixedPause_->setEnabled(on && joins);
    realPause_->setEnabled(on && joins);
    pause_->setEnabled(on && joins && fixedPause_->isChecked());
    pauseSpin_->setEnabled(on && joins && fixedPause_->isChecked());
    keepOriginal_->setEnabled(on && !joins);
}

void CExportDlg::OnCommand(int id)
{
    switch (id)
    {
    case IDC_BUTTON_DIR:
        if (!worker_ && !starting_) BrowseFolder();
        return;
    case skin::IDOK:
        if (!worker_ && !starting_) Confirm();
        return;
    case skin::IDCANCEL:
    case skin::IDC_CANCEL:
        if (Running())
            worker_->Cancel(); // the worker asks before it stops
        else if (starting_)
            stopping_ = true; // the start that waits for playback to stop does not happen
        else
            Finish(skin::IDCANCEL);
        return;
    default:
        return;
    }
}

void CExportDlg::closeEvent(QCloseEvent* e)
{
    if (ended_) return e->accept();
    e->ignore();
    OnCommand(skin::IDCANCEL);
}

void CExportDlg::BrowseFolder()
{
    const std::optional<std::string> chosen = skin::Questions().BrowseFolder(
        this, res::LoadString(res::ids::kSelectTargetFolder), folder_->text().toStdString());
    if (chosen) folder_->setText(QString::fromStdString(*chosen));
}

void CExportDlg::Confirm()
{
    const int pause = vark::ParsePauseText(pause_->text().toStdWString());
    if (pause == 0) pause_->setText(QStringLiteral("0"));
    const auto mode = fixedPause_->isChecked() ? vark::PauseMode::kFixed : vark::PauseMode::kReal;
    const QString folder = folder_->text();
    if (folder.trimmed().isEmpty())
    {
        Message(res::ids::kEnterTargetFolder, res::ids::kCopyToDisk, kStyleError);
        folder_->setFocus();
        return;
    }
    if (!drive_ && !vark::PauseAccepted(mode, pause))
    {
        Message(res::ids::kPauseOutOfRange, res::ids::kCopyToDisk, kStyleError);
        pause_->setText(QStringLiteral("1"));
        pause_->setFocus();
        return;
    }
    settings_.LastExportDirectory = folder.toStdWString();
    settings_.DigitalSign = sign_->isChecked() ? 1 : 0;
    settings_.OpenSignature = openSign_->isChecked() ? 1 : 0;
    settings_.ExportFormat = Flac() ? 1 : 0;
    settings_.BroadcastWav = bwf_->isChecked() ? 1 : 0;
    const vark::ExportFormat format = Flac() ? vark::ExportFormat::kFlac : vark::ExportFormat::kWav;
    if (!drive_ && vark::PauseAccepted(vark::PauseMode::kFixed, pause))
        settings_.PauseLength = uint32_t(pause);
    // A folder that does not exist yet is made, as the command line's export does.
    const std::filesystem::path target(folder.toStdString());
    std::error_code ec;
    std::filesystem::create_directories(target, ec);
    if (ec || !std::filesystem::is_directory(target, ec))
    {
        SLOG_ERR("Export folder %s cannot be made", target.c_str());
        Message(res::ids::kFolderNotCreated, res::ids::kCopyToDisk, kStyleError, target.c_str());
        folder_->setFocus();
        return;
    }

    std::optional<vark::opensig::KeyPair> openKey;
    if (openSign_->isChecked() && !(openKey = CPassphraseDlg::OwnKey(this))) return;
    if (drive_)
    {
        vark::DriveExportOptions options;
        options.folder = target;
        options.sign = sign_->isChecked();
        options.keepOriginal = keepOriginal_->isChecked();
        options.keepSelection = keepSelection_->isChecked();
        options.format = format;
        options.bwf = bwf_->isChecked();
        options.recorder = drive_->label.empty() ? drive_->identity : drive_->label;
        if (options.sign)
        {
            const std::optional<uint32_t> serial = DriveSerial();
            if (!serial) return;
            options.serial = *serial;
        }
        if (openKey) options.openSigning = vark::OpenSigning{*openKey, drive_->identity};
        worker_ = std::make_unique<vark::CDriveExportWorker>(drive_->records, options, *host_);
    }
    else
    {
        vark::ExportOptions options;
        options.folder = target;
        options.sign = sign_->isChecked();
        options.keepSelection = keepSelection_->isChecked();
        options.pauseMode = mode;
        options.pauseSeconds = pause;
        options.serial = vark::SignatureSerial(device_->SerialNumber());
        options.format = format;
        options.bwf = bwf_->isChecked();
        if (openKey)
            options.openSigning = vark::OpenSigning{*openKey, std::to_string(options.serial)};
        std::vector<uint16_t> records;
        for (const ExportEntry& e : selection_)
            records.push_back(e.record);
        worker_ =
            std::make_unique<vark::CExportWorker>(*device_, std::move(records), options, *host_);
    }
    SetInputsEnabled(false);
    if (stopRecorderPlayback && stopRecorderPlayback())
    {
        // the recorder needs a moment to close the record; the window stays responsive
        starting_ = true;
        QTimer::singleShot(kPlaybackStopMs, this,
                           [this]
                           {
                               starting_ = false;
                               if (stopping_)
                                   Finish(skin::IDCANCEL);
                               else
                                   StartWorker();
                           });
        return;
    }
    StartWorker();
}

bool CExportDlg::Flac() const
{
    return format_->currentIndex() == 1;
}

std::optional<uint32_t> CExportDlg::DriveSerial()
{
    if (const auto remembered = RememberedDriveSerial(drive_->identity)) return remembered;
    CDriveSerialDlg ask(this, drive_->label);
    if (ask.exec() != skin::IDOK) return std::nullopt;
    if (!RememberDriveSerial(drive_->identity, ask.Serial()))
        SLOG_ERR("The serial of drive %s was not remembered", drive_->identity.c_str());
    return ask.Serial();
}

void CExportDlg::StartWorker()
{
    if (!worker_->Start(ReapplyThreadLanguage))
    {
        SLOG_ERR("The export thread did not start");
        worker_.reset();
        SetInputsEnabled(true);
        return;
    }
    timer_.start();
}

void CExportDlg::ShowProgress()
{
    const vark::ExportProgress p = worker_ ? worker_->Progress() : vark::ExportProgress{};
    stageBar_->setValue(std::clamp(p.stagePercent, 0, 100));
    totalBar_->setValue(std::clamp(p.totalPercent, 0, 100));
    stagePercent_->setText(QString::number(p.stagePercent));
    totalPercent_->setText(QString::number(p.totalPercent));
    written_->setText(QString::fromStdString(vark::GroupThousands(p.written >> 10)));
    total_->setText(QString::fromStdString(vark::GroupThousands(p.grandTotal >> 10)));
}

void CExportDlg::OnTimer()
{
    ShowProgress();
    if (worker_ && !worker_->Running() && ++endTicks_ >= kEndTicks) Finish(skin::IDOK);
}

void CExportDlg::Stop()
{
    stopping_ = true;
    if (Running())
        worker_->Cancel();
    else if (!starting_)
        Finish(skin::IDCANCEL);
}

void CExportDlg::Finish(int result)
{
    if (ended_) return;
    ended_ = true;
    timer_.stop();
    if (worker_) worker_->Join();
    done(result);
}

} // namespace dialogs
