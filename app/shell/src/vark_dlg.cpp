#include "shell/vark_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSessionManager>
#include <QShortcut>
#include <QSocketNotifier>

#include "dialogs/export_dlg.h"
#include "dialogs/load_records_list_dlg.h"
#include "dialogs/records_list.h"
#include "plugged_import.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "shell/waveform_strip.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"

CVarkDlg::CVarkDlg(CAppSettings& settings, QWidget* parent)
    : SkinnedDialog(kName, kDialogId, parent), settings_(settings), recorder_(*this)
{
    setWindowTitle(QStringLiteral("Sound Manager Varke P"));
    InitControls();
    menu_ =
        std::make_unique<MainMenu>(*this, *menuBar_, settings_, [this](int id) { OnCommand(id); });
    InitKeys();
    InitCommands();
    InitSkin(kBitmap, kDescription);
    list_->setFocus(); // the keys go to the records first, as ever
    // the tool tips are the texts under the controls' own numbers
    for (int id : {IDC_CHK_RING, IDC_CHK_ARC, IDC_CHK_DENOISER, IDC_SL_PLAY, IDC_PLAY,
                   IDC_STOP_PLAY, IDC_PLAYER_OPTIONS, IDC_BEGIN, IDC_PAUSE, IDC_END,
                   IDC_LOAD_FROM_DISK, IDC_SL_VOLUME, IDC_EDIT_RING_LENGTH})
        for (QWidget* w : findChildren<QWidget*>())
            if (auto* layer = dynamic_cast<skin::SkinLayer*>(w); layer && layer->ControlId() == id)
                skin::SetToolTip(*w, QString::fromStdString(res::LoadString(uint32_t(id))));
    StateChanged();
    connect(&statusTimer_, &QTimer::timeout, this, [this] { OnStatusTick(); });
    statusTimer_.start(1000);
    connect(&importTimer_, &QTimer::timeout, this, [this] { FollowImport(); });
    // the end of the desktop session ends the program as Exit does
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { OnExit(); });
}

CVarkDlg::~CVarkDlg()
{
    panel_.reset(); // its options dialog writes its place while the window still exists
}

// A control bound under its own name, which the skin's sections use.
#define BIND(type, id) Bind(new type(&Skin()), #id)

void CVarkDlg::InitControls()
{
    list_ = BIND(dialogs::CRecordsList, IDC_LIST);
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this]
            {
                if (!loadDialog_) UpdateSelection();
            });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item)
            {
                ChooseRow(list_->indexOfTopLevelItem(item));
                PlayRecord();
            });
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p)
            { menu_->Recording()->popup(list_->viewport()->mapToGlobal(p)); });
    for (auto* t :
         {BIND(skin::CSkinnedStatic, IDC_EDIT_CONNECT), BIND(skin::CSkinnedStatic, IDC_EDIT_FREE),
          BIND(skin::CSkinnedStatic, IDC_EDIT_MAX_DUR), BIND(skin::CSkinnedStatic, IDC_EDIT_USED),
          BIND(skin::CSkinnedStatic, IDC_EDIT_TIME),
          BIND(skin::CSkinnedStatic, IDC_EDIT_ALL_MEMORY),
          BIND(skin::CSkinnedStatic, IDC_EDIT_CURRENT_PLAY_POSITION),
          BIND(skin::CSkinnedStatic, IDC_EDIT_PLAY_DURATION),
          BIND(skin::CSkinnedStatic, IDC_EDIT_SOUND_DATA_SIZE),
          BIND(skin::CSkinnedStatic, IDC_EDIT_NAME), BIND(skin::CSkinnedStatic, IDC_EDIT_UIN),
          BIND(skin::CSkinnedStatic, IDC_EDIT_TRACK_COUNT),
          BIND(skin::CSkinnedStatic, IDC_EDIT_TRACK_SELECTED),
          BIND(skin::CSkinnedStatic, IDC_EDIT_ACTIVITY),
          BIND(skin::CSkinnedStatic, IDC_EDIT_FORMAT), BIND(skin::CSkinnedStatic, IDC_CHARGE_LEVEL),
          BIND(skin::CSkinnedStatic, IDC_MEMORY_STATUS)})
        texts_[t->ControlId()] = t;
    PlaybackPanel::Controls play{};
    play.loop = BIND(skin::CSkinnedCheck, IDC_CHK_RING);
    play.agc = BIND(skin::CSkinnedCheck, IDC_CHK_ARC);
    play.denoiser = BIND(skin::CSkinnedCheck, IDC_CHK_DENOISER);
    battery_ = BIND(skin::CSkinnedCheck, IDC_BATTERY_INDICATION);
    battery_->setEnabled(false);
    play.position = BIND(skin::CSkinnedSlider, IDC_SL_PLAY);
    play.volume = BIND(skin::CSkinnedSlider, IDC_SL_VOLUME);
    play.waveform = BIND(WaveformStrip, IDC_WAVEFORM);
    for (auto* b :
         {BIND(skin::CSkinnedButton, IDC_PLAY), BIND(skin::CSkinnedButton, IDC_STOP_PLAY),
          BIND(skin::CSkinnedButton, IDC_PLAYER_OPTIONS), BIND(skin::CSkinnedButton, IDC_BEGIN),
          BIND(skin::CSkinnedButton, IDC_PAUSE), BIND(skin::CSkinnedButton, IDC_END),
          BIND(skin::CSkinnedButton, IDC_LOAD_FROM_DISK),
          Bind(new skin::CSkinnedButton(&Skin()), "IDC_CANCEL"),
          BIND(skin::CSkinnedButton, IDC_MINIMIZE)})
    {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus); // a click leaves the focus where it was
    }
    RecorderStatusView::Controls status{};
    status.connected = BIND(skin::CSkinnedImage, IDC_STATIC_CONNECT);
    status.disconnected = BIND(skin::CSkinnedImage, IDC_STATIC_DISCONNECT);
    status.charging = BIND(skin::CSkinnedImage, IDC_STATIC_CHARGING);
    status.chargeLevel = BIND(skin::CSkinnedIndicator, IDC_INDICATOR_CHARGE_LEVEL);
    status.memory = BIND(skin::CSkinnedIndicator, IDC_INDICATOR_MEMORY_STATUS);
    menuBar_ = BIND(skin::CSkinnedMenu, IDC_STATIC_MENU);
    play.loopLength = loopEdit_ = BIND(skin::CSkinnedEdit, IDC_EDIT_RING_LENGTH);
    play.loopSpin = BIND(skin::CSkinnedSpin, IDC_SPIN_RING_LENGTH);
    for (skin::CSkinnedCheck* c : {play.loop, play.agc, play.denoiser})
        c->setFocusPolicy(Qt::TabFocus);
    play.name = texts_[IDC_EDIT_NAME];
    play.at = texts_[IDC_EDIT_CURRENT_PLAY_POSITION];
    play.duration = texts_[IDC_EDIT_PLAY_DURATION];
    play.size = texts_[IDC_EDIT_SOUND_DATA_SIZE];
    play.format = texts_[IDC_EDIT_FORMAT];
    panel_ = std::make_unique<PlaybackPanel>(*this, settings_, play);
    panel_->playCurrentRecord = [this] { PlayRecord(); };
    panel_->stepRecord = [this](int delta) { OnStep(delta); };
    status.connection = texts_[IDC_EDIT_CONNECT];
    status.serial = texts_[IDC_EDIT_UIN];
    status.total = texts_[IDC_EDIT_ALL_MEMORY];
    status.free = texts_[IDC_EDIT_FREE];
    status.used = texts_[IDC_EDIT_USED];
    status.percentFree = texts_[IDC_MEMORY_STATUS];
    status.timeLeft = texts_[IDC_EDIT_MAX_DUR];
    status.charge = texts_[IDC_CHARGE_LEVEL];
    status.clock = texts_[IDC_EDIT_TIME];
    status.battery = battery_;
    status_ = std::make_unique<RecorderStatusView>(status);
}
#undef BIND

void CVarkDlg::InitKeys()
{
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_PLAY_PAUSE},
        {QKeySequence(Qt::Key_F9), ID_VOLUME_DOWN},
        {QKeySequence(Qt::Key_F10), ID_VOLUME_UP},
        {QKeySequence(Qt::CTRL | Qt::Key_B), IDC_BEGIN},
        {QKeySequence(Qt::CTRL | Qt::Key_F), IDC_END},
        {QKeySequence(Qt::CTRL | Qt::Key_S), IDC_STOP_PLAY},
    };
    for (const auto& [key, id] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this,
                [this, command = id] { OnCommand(command); });
}

void CVarkDlg::InitCommands()
{
    PlaybackPanel& p = *panel_;
    commands_ = {
        {ID_EXIT, [this] { OnExit(); }},
        {skin::IDC_CANCEL, [this] { OnExit(); }},
        {IDC_MINIMIZE, [this] { showMinimized(); }},
        {ID_PLAY, [this] { PlayFirstSelected(); }},
        {ID_PLAY_FROM_DISK, [&p] { p.PlayFromDisk(); }},
        {IDC_LOAD_FROM_DISK, [&p] { p.PlayFromDisk(); }},
        {ID_DELETE_ALL, [this] { OnDeleteAll(); }},
        {ID_DELETE, [this] { OnDeleteRecords(false); }},
        {ID_OPEN_RECORDER_FOLDER, [this] { OnOpenRecorderFolder(); }},
        {ID_RECORDERS, [this] { OnRecordersList(); }},
        {ID_DRIVE_IMPORT, [this] { OnDriveImportSettings(); }},
        {ID_REFRESH,
         [this]
         {
             if (!drive_.root.empty()) return LoadDrive();
             recorder_.Refresh();
         }},
        {ID_FROM_NEWEST, [this] { OnRecordOrder(true); }},
        {ID_FROM_OLDEST, [this] { OnRecordOrder(false); }},
        {ID_SET_TIME, [this] { OnSetTime(); }},
        {ID_RECORD_SETTINGS, [this] { OnRecordSettings(); }},
        {ID_SAVE_TO_DISK, [this] { OnSaveToDisk(); }},
        {ID_AUTHENTICATE, [this] { OnAuthenticate(); }},
        {ID_PUBLIC_KEYS, [this] { OnPublicKeys(); }},
        {ID_ENTER_PIN, [this] { recorder_.EnterPin(); }},
        {ID_CHANGE_PIN, [this] { OnChangePin(); }},
        {ID_PLAYER_OPTIONS, [&p] { p.OpenOptions(); }},
        {IDC_PLAYER_OPTIONS, [&p] { p.OpenOptions(); }},
        {ID_ABOUT, [this] { OnAbout(); }},
        {ID_SELECT_DEVICE, [this] { OnSelectDevice(); }},
        {IDC_PLAY, [&p] { p.OnPlayButton(); }},
        {ID_PLAY_PAUSE, [&p] { p.OnPlayPause(); }},
        {ID_PREVIOUS_SPEECH, [&p] { p.JumpToSpeech(-1); }},
        {ID_NEXT_SPEECH, [&p] { p.JumpToSpeech(1); }},
        {ID_SKIP_BACK, [&p] { p.Skip(-1); }},
        {ID_SKIP_FORWARD, [&p] { p.Skip(1); }},
        {ID_COPY_TIME_STAMP, [&p] { p.CopyTimeStamp(); }},
        {IDC_PAUSE, [&p] { p.OnPause(); }},
        {IDC_STOP_PLAY, [&p] { p.Stop(); }},
        {IDC_BEGIN, [this] { OnStep(-1); }},
        {IDC_END, [this] { OnStep(1); }},
        {ID_VOLUME_DOWN, [&p] { p.VolumeStep(-4); }},
        {ID_VOLUME_UP, [&p] { p.VolumeStep(4); }},
        {IDC_CHK_RING, [&p] { p.OnLoopBox(); }},
        {IDC_CHK_ARC, [&p] { p.OnProcessingBox(true); }},
        {IDC_CHK_DENOISER, [&p] { p.OnProcessingBox(false); }},
        {IDC_BATTERY_INDICATION, [this] { recorder_.SetBatteryIndication(battery_->isChecked()); }},
    };
    for (int id = ID_LANG_RUSSIAN; id <= ID_LANG_ARABIC; ++id)
        commands_[id] = [this, id] { OnLanguage(id); };
}

void CVarkDlg::OnCommand(int id)
{
    // while erasing or waiting for the player at Exit, only Exit goes through
    if ((recorder_.IsErasing() || exitWaiting_) && id != ID_EXIT && id != skin::IDC_CANCEL) return;
    if (auto it = commands_.find(id); it != commands_.end()) it->second();
}

void CVarkDlg::SetText(int id, const QString& text)
{
    if (auto it = texts_.find(id); it != texts_.end()) it->second->setText(text);
}

QString CVarkDlg::FieldText(int id) const
{
    if (id == IDC_EDIT_RING_LENGTH) return loopEdit_->text();
    auto it = texts_.find(id);
    return it != texts_.end() ? it->second->text() : QString();
}

void CVarkDlg::OnLanguage(int command)
{
    constexpr uint32_t kQuestion = 0x24;
    const uint32_t language = MainMenu::LanguageOfItem(command);
    // the check marks stay on the language that runs until the choice is made
    menu_->CheckLanguage(settings_.Language);
    if (language == settings_.Language ||
        Message(res::ids::kChangeLanguageQuestion, res::ids::kMessageTitle, kQuestion) !=
            skin::IDYES)
        return;
    settings_.Language = language;
    menu_->CheckLanguage(language);
    if (Message(res::ids::kLanguageChanged, res::ids::kMessageTitle, kQuestion) == skin::IDYES)
        OnExit();
}

void CVarkDlg::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
    {
        if (!loopEdit_->hasFocus())
            OnCommand(ID_PLAY);
        else
            panel_->ReadLoopLength();
        return;
    }
    if (e->key() == Qt::Key_Escape) return;
    SkinnedDialog::keyPressEvent(e);
}

void CVarkDlg::showEvent(QShowEvent* e)
{
    SkinnedDialog::showEvent(e);
    // the recorder is looked for as soon as the window shows, from the loop: a PIN may be asked
    QTimer::singleShot(0, this,
                       [this]
                       {
                           recorder_.Start();
                           StartDrives();
                       });
}

void CVarkDlg::closeEvent(QCloseEvent* e)
{
    if (exited_) return e->accept();
    e->ignore();
    OnExit();
}

void CVarkDlg::OnExit()
{
    if (exited_) return;
    if (panel_->Active())
    {
        // let the stop's notifications arrive, then try again
        if (exitWaiting_) return;
        exitWaiting_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        setEnabled(false);
        panel_->Drop();
        QTimer::singleShot(1500, this,
                           [this]
                           {
                               QApplication::restoreOverrideCursor();
                               setEnabled(!recorder_.IsErasing());
                               exitWaiting_ = false;
                               QMetaObject::invokeMethod(
                                   this, [this] { OnExit(); }, Qt::QueuedConnection);
                               panel_->ClearActive();
                           });
        return;
    }
    exited_ = true;
    statusTimer_.stop();
    panel_->End();
    panel_->ReadLoopLength(); // the arrows change the field without leaving it
    settings_.RingLength = uint32_t(panel_->LoopLength());
    if (settings_.Save())
        SLOG("Settings saved");
    else
        SLOG_ERR("Settings not saved: %ls", settings_.LastErrorText().c_str());
    if (exportDialog_) exportDialog_->Stop();
    if (loadDialog_) loadDialog_->Cancel();
    recorder_.End();
    import_.reset(); // a copy cut short is finished by the next import
    importTimer_.stop();
    if (drives_) drives_->Stop();
    watch_.reset();
    CloseWhatIsOpen();
    done(skin::IDOK);
}

void CVarkDlg::CloseWhatIsOpen()
{
    // A question or dialog left open (the program is ended by a signal or the session) would
    // keep its own loop, and with it the program, running: close them innermost first. The
    // loading and export dialogs close themselves once their workers have stopped.
    panel_->CloseOptions();
    for (int guard = 0; guard < 16; ++guard)
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == this || modal == loadDialog_ ||
            modal == static_cast<QWidget*>(exportDialog_))
            break;
        modal->close();
        if (QApplication::activeModalWidget() == modal) modal->hide();
    }
}
