#include "shell/vark_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSessionManager>
#include <QShortcut>

#include "dialogs/about_dlg.h"
#include "dialogs/export_dlg.h"
#include "dialogs/load_records_list_dlg.h"
#include "dialogs/params_dlg.h"
#include "dialogs/player_options_dlg.h"
#include "dialogs/records_list.h"
#include "platform/text.h"
#include "platform/thread_locale.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "trillo/trillo.h"

namespace
{

QString Text(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}

// A player notification as the window receives it; texts are copied when posted, since the
// buffers they point to belong to the sender.
class PlayerEvent : public QEvent
{
public:
    PlayerEvent(int c, intptr_t v, QString t)
        : QEvent(QEvent::Type(CVarkDlg::kPlayerMessage)), code(c), value(v), text(std::move(t))
    {
    }
    const int code;
    const intptr_t value;
    const QString text;
};

bool CarriesText(platform::WPARAM code)
{
    return code == 1 || code == vark::flow_code::kName || code == vark::flow_code::kFormat;
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

} // namespace

CVarkDlg::CVarkDlg(CAppSettings& settings, QWidget* parent)
    : SkinnedDialog("IDD_VARK_DIALOG", kDialogId, parent), settings_(settings),
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
    setWindowTitle(QStringLiteral("Sound Manager Varke P"));
    InitControls();
    InitMenu();
    InitSkin(kBitmap, kDescription);
    // the tool tips are the texts under the controls' own numbers
    for (int id : {IDC_CHK_RING, IDC_CHK_ARC, IDC_CHK_DENOISER, IDC_SL_PLAY, IDC_PLAY,
                   IDC_STOP_PLAY, IDC_PLAYER_OPTIONS, IDC_BEGIN, IDC_PAUSE, IDC_END,
                   IDC_LOAD_FROM_DISK, IDC_SL_VOLUME, IDC_EDIT_RING_LENGTH})
        for (QWidget* w : findChildren<QWidget*>())
            if (auto* layer = dynamic_cast<skin::SkinLayer*>(w); layer && layer->ControlId() == id)
                w->setToolTip(Text(uint32_t(id)));
    ShowDisconnectedStatus();
    connect(&statusTimer_, &QTimer::timeout, this, [this] { OnStatusTick(); });
    connect(&playTimer_, &QTimer::timeout, this, [this] { OnPlayTick(); });
    statusTimer_.start(1000);
    playTimer_.start(200);
    // the end of the desktop session ends the program as Exit does
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { OnExit(); });
}

CVarkDlg::~CVarkDlg()
{
    delete optionsDialog_; // it clears optionsDialog_ and writes its place while we still exist
    control_.Drop();
    platform::UnregisterWindowHandle(hwnd_);
}

void CVarkDlg::InitControls()
{
    list_ = Bind(new dialogs::CRecordsList(&Skin()), IDC_LIST, "IDC_LIST");
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
            {
                if (menus_.size() > 1) menus_[1]->popup(list_->viewport()->mapToGlobal(p));
            });
    const std::pair<int, const char*> statics[] = {
        {IDC_EDIT_CONNECT, "IDC_EDIT_CONNECT"},
        {IDC_EDIT_FREE, "IDC_EDIT_FREE"},
        {IDC_EDIT_MAX_DUR, "IDC_EDIT_MAX_DUR"},
        {IDC_EDIT_USED, "IDC_EDIT_USED"},
        {IDC_EDIT_TIME, "IDC_EDIT_TIME"},
        {IDC_EDIT_ALL_MEMORY, "IDC_EDIT_ALL_MEMORY"},
        {IDC_EDIT_CURRENT_PLAY_POSITION, "IDC_EDIT_CURRENT_PLAY_POSITION"},
        {IDC_EDIT_PLAY_DURATION, "IDC_EDIT_PLAY_DURATION"},
        {IDC_EDIT_SOUND_DATA_SIZE, "IDC_EDIT_SOUND_DATA_SIZE"},
        {IDC_EDIT_NAME, "IDC_EDIT_NAME"},
        {IDC_EDIT_UIN, "IDC_EDIT_UIN"},
        {IDC_EDIT_TRACK_COUNT, "IDC_EDIT_TRACK_COUNT"},
        {IDC_EDIT_TRACK_SELECTED, "IDC_EDIT_TRACK_SELECTED"},
        {IDC_EDIT_FORMAT, "IDC_EDIT_FORMAT"},
        {IDC_CHARGE_LEVEL, "IDC_CHARGE_LEVEL"},
        {IDC_MEMORY_STATUS, "IDC_MEMORY_STATUS"},
    };
    for (auto [id, name] : statics)
        texts_[id] = Bind(new skin::CSkinnedStatic(&Skin()), id, name);
    ring_ = Bind(new skin::CSkinnedCheck(&Skin()), IDC_CHK_RING, "IDC_CHK_RING");
    agc_ = Bind(new skin::CSkinnedCheck(&Skin()), IDC_CHK_ARC, "IDC_CHK_ARC");
    denoiser_ = Bind(new skin::CSkinnedCheck(&Skin()), IDC_CHK_DENOISER, "IDC_CHK_DENOISER");
    battery_ =
        Bind(new skin::CSkinnedCheck(&Skin()), IDC_BATTERY_INDICATION, "IDC_BATTERY_INDICATION");
    battery_->setEnabled(false);
    position_ = Bind(new skin::CSkinnedSlider(&Skin()), IDC_SL_PLAY, "IDC_SL_PLAY");
    position_->SetRange(0, 0);
    connect(position_, &skin::CSkinnedSlider::notify, this,
            [this](int code, int pos) { OnPositionSlider(code, pos); });
    volume_ = Bind(new skin::CSkinnedSlider(&Skin()), IDC_SL_VOLUME, "IDC_SL_VOLUME");
    volume_->SetRange(0, 100);
    volume_->SetPos(64);
    connect(volume_, &skin::CSkinnedSlider::notify, this,
            [this](int code, int pos)
            {
                if (code == skin::CSkinnedSlider::kEndScroll) SetVolume(pos);
            });
    for (auto [id, name] : {std::pair<int, const char*>{IDC_PLAY, "IDC_PLAY"},
                            {IDC_STOP_PLAY, "IDC_STOP_PLAY"},
                            {IDC_PLAYER_OPTIONS, "IDC_PLAYER_OPTIONS"},
                            {IDC_BEGIN, "IDC_BEGIN"},
                            {IDC_PAUSE, "IDC_PAUSE"},
                            {IDC_END, "IDC_END"},
                            {IDC_LOAD_FROM_DISK, "IDC_LOAD_FROM_DISK"},
                            {skin::IDC_CANCEL, "IDC_CANCEL"},
                            {IDC_MINIMIZE, "IDC_MINIMIZE"}})
    {
        auto* b = Bind(new skin::CSkinnedButton(&Skin()), id, name);
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connectedImage_ =
        Bind(new skin::CSkinnedImage(&Skin()), IDC_STATIC_CONNECT, "IDC_STATIC_CONNECT");
    disconnectedImage_ =
        Bind(new skin::CSkinnedImage(&Skin()), IDC_STATIC_DISCONNECT, "IDC_STATIC_DISCONNECT");
    chargingImage_ =
        Bind(new skin::CSkinnedImage(&Skin()), IDC_STATIC_CHARGING, "IDC_STATIC_CHARGING");
    chargeIndicator_ = Bind(new skin::CSkinnedIndicator(&Skin()), IDC_INDICATOR_CHARGE_LEVEL,
                            "IDC_INDICATOR_CHARGE_LEVEL");
    memoryIndicator_ = Bind(new skin::CSkinnedIndicator(&Skin()), IDC_INDICATOR_MEMORY_STATUS,
                            "IDC_INDICATOR_MEMORY_STATUS");
    menuBar_ = Bind(new skin::CSkinnedMenu(&Skin()), IDC_STATIC_MENU, "IDC_STATIC_MENU");
    loopEdit_ = Bind(new skin::CSkinnedEdit(&Skin()), IDC_EDIT_RING_LENGTH, "IDC_EDIT_RING_LENGTH");
    loopSpin_ = Bind(new skin::CSkinnedSpin(&Skin()), IDC_SPIN_RING_LENGTH, "IDC_SPIN_RING_LENGTH");
    loopSpin_->SetBuddy(loopEdit_);
    loopSpin_->SetRange(3, 30);
    loopSpin_->SetPos(int(std::clamp<uint32_t>(settings_.RingLength, 3, 30)));
    loopLength_ = loopSpin_->Pos();
    connect(loopEdit_, &QLineEdit::editingFinished, this, [this] { ReadLoopLength(); });
    for (skin::CSkinnedCheck* c : {ring_, agc_, denoiser_})
        c->setFocusPolicy(Qt::NoFocus);
}

void CVarkDlg::InitMenu()
{
    struct Item
    {
        int id;
        bool enabled;
        QKeySequence key;
    };
    const std::vector<std::pair<uint32_t, std::vector<Item>>> layout = {
        {res::ids::kMenuFile, {{ID_EXIT, true, {}}}},
        {res::ids::kMenuRecording,
         {{ID_PLAY, false, {}},
          {ID_PLAY_FROM_DISK, true, {}},
          {ID_SAVE_TO_DISK, false, {}},
          {ID_DELETE_ALL, false, {}},
          {0, false, {}},
          {ID_REFRESH, false, QKeySequence(Qt::Key_F5)},
          {ID_FROM_NEWEST, true, {}},
          {ID_FROM_OLDEST, true, {}}}},
        {res::ids::kMenuService,
         {{ID_RECORD_SETTINGS, false, {}},
          {ID_SET_TIME, false, {}},
          {ID_ENTER_PIN, false, {}},
          {ID_CHANGE_PIN, false, {}},
          {ID_SELECT_DEVICE, false, {}},
          {ID_PLAYER_OPTIONS, true, {}},
          {0, false, {}},
          {ID_AUTHENTICATE, true, {}},
          {ID_PUBLIC_KEYS, true, {}}}},
        {res::ids::kMenuLanguage,
         {{ID_LANG_RUSSIAN, true, {}},
          {ID_LANG_RUSSIAN + 1, true, {}},
          {ID_LANG_RUSSIAN + 2, true, {}},
          {ID_LANG_RUSSIAN + 3, true, {}},
          {ID_LANG_ARABIC, true, {}}}},
        {res::ids::kMenuHelp, {{ID_ABOUT, true, {}}}},
    };
    for (const auto& [title, items] : layout)
    {
        auto* menu = new QMenu(Text(title), this);
        for (const Item& item : items)
        {
            if (!item.id)
            {
                menu->addSeparator();
                continue;
            }
            // the tab in a menu text separates its key name; the language items are named by
            // the texts of the languages
            const uint32_t textId =
                item.id >= ID_LANG_RUSSIAN && item.id <= ID_LANG_ARABIC
                    ? uint32_t(res::ids::kMenuRussian + item.id - ID_LANG_RUSSIAN)
                    : uint32_t(item.id);
            QAction* a = menu->addAction(Text(textId).section('\t', 0, 0));
            a->setEnabled(item.enabled);
            if (!item.key.isEmpty())
            {
                a->setShortcut(item.key);
                a->setShortcutContext(Qt::WindowShortcut);
                addAction(a);
            }
            const int id = item.id;
            connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
            actions_[id] = a;
        }
        menus_.push_back(menu);
    }
    for (int id : {ID_FROM_NEWEST, ID_FROM_OLDEST})
        actions_[id]->setCheckable(true);
    actions_[ID_FROM_NEWEST]->setChecked(settings_.LoadListOrder != 0);
    actions_[ID_FROM_OLDEST]->setChecked(settings_.LoadListOrder == 0);
    // the stored choice is what runs now: the menu follows the chosen thread language
    for (int id = ID_LANG_RUSSIAN; id <= ID_LANG_ARABIC; ++id)
    {
        actions_[id]->setCheckable(true);
        actions_[id]->setChecked(LanguageOfItem(id) == settings_.Language);
    }
    if (platform::PrimaryLanguage(platform::GetThreadLocale()) == kLangArabic)
    {
        // the bar runs right to left: after its blank start, Help first and File last
        std::vector<QMenu*> rtl(menus_.rbegin(), menus_.rend());
        rtl.insert(rtl.begin(), nullptr);
        menuBar_->SetMenu(rtl);
    }
    else
        menuBar_->SetMenu(menus_);
    // the accelerators
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_PLAY_PAUSE},
        {QKeySequence(Qt::Key_F9), ID_VOLUME_DOWN},
        {QKeySequence(Qt::Key_F10), ID_VOLUME_UP},
        {QKeySequence(Qt::CTRL | Qt::Key_B), IDC_BEGIN},
        {QKeySequence(Qt::CTRL | Qt::Key_F), IDC_END},
        {QKeySequence(Qt::CTRL | Qt::Key_S), IDC_STOP_PLAY},
    };
    for (const auto& [key, id] : keys)
    {
        auto* s = new QShortcut(key, this);
        const int command = id;
        connect(s, &QShortcut::activated, this, [this, command] { OnCommand(command); });
    }
}

void CVarkDlg::EnableItem(int command, bool on)
{
    if (auto it = actions_.find(command); it != actions_.end()) it->second->setEnabled(on);
}

bool CVarkDlg::ItemEnabled(int command) const
{
    auto it = actions_.find(command);
    return it != actions_.end() && it->second->isEnabled();
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

void CVarkDlg::OnCommand(int id)
{
    if ((busy_ || exitWaiting_) && id != ID_EXIT && id != skin::IDC_CANCEL) return;
    switch (id)
    {
    case ID_EXIT:
    case skin::IDC_CANCEL:
        return OnExit();
    case IDC_MINIMIZE:
        return showMinimized();
    case ID_PLAY:
        return PlayFirstSelected();
    case ID_PLAY_FROM_DISK:
    case IDC_LOAD_FROM_DISK:
        return PlayFromDisk();
    case ID_DELETE_ALL:
        return OnDeleteAll();
    case ID_REFRESH:
        return OnRefresh();
    case ID_FROM_NEWEST:
    case ID_FROM_OLDEST:
        settings_.LoadListOrder = id == ID_FROM_NEWEST ? 1 : 0;
        actions_[ID_FROM_NEWEST]->setChecked(settings_.LoadListOrder != 0);
        actions_[ID_FROM_OLDEST]->setChecked(settings_.LoadListOrder == 0);
        return OnRefresh();
    case ID_SET_TIME:
        return OnSetTime();
    case ID_RECORD_SETTINGS:
    {
        if (!connected_) return;
        dialogs::CParamsDlg params(this, &device_, lastFree_);
        params.stopRecorderPlayback = [this] { return StopRecorderPlayback(); };
        if (params.exec() == skin::IDOK) RefreshStatus(); // the time left depends on the parameters
        return;
    }
    case ID_SAVE_TO_DISK:
        return OnSaveToDisk();
    case ID_AUTHENTICATE:
        return OnAuthenticate();
    case ID_PUBLIC_KEYS:
        return OnPublicKeys();
    case ID_ENTER_PIN:
        return OnEnterPin();
    case ID_CHANGE_PIN:
        return OnChangePin();
    case ID_PLAYER_OPTIONS:
    case IDC_PLAYER_OPTIONS:
        return OnPlayerOptions();
    case ID_LANG_RUSSIAN:
    case ID_LANG_RUSSIAN + 1:
    case ID_LANG_RUSSIAN + 2:
    case ID_LANG_RUSSIAN + 3:
    case ID_LANG_ARABIC:
        return OnLanguage(id);
    case ID_ABOUT:
    {
        dialogs::CAboutDlg about(this, device_.FirmwareVersion());
        about.exec();
        return;
    }
    case IDC_PLAY:
        return OnPlayButton();
    case ID_PLAY_PAUSE:
        return OnPlayPause();
    case IDC_PAUSE:
        if (control_.IsPlaying()) control_.TogglePause();
        return;
    case IDC_STOP_PLAY:
        return control_.Stop();
    case IDC_BEGIN:
    case IDC_END:
        if (list_->RowCount() == 0) return;
        ChooseRow(selected_ + (id == IDC_END ? 1 : -1));
        return PlayRecord();
    case ID_VOLUME_DOWN:
    case ID_VOLUME_UP:
        volume_->SetPos(volume_->Pos() + (id == ID_VOLUME_UP ? 4 : -4));
        return SetVolume(volume_->Pos());
    case IDC_CHK_RING:
        return OnLoopChanged();
    case IDC_CHK_ARC:
    case IDC_CHK_DENOISER:
        return OnProcessingBox(id);
    case IDC_BATTERY_INDICATION:
        // only firmware that has the flag; failures are not reported
        if (device_.FirmwareVersion() > vark::kFirmwareBatteryIndication &&
            device_.SetBatteryIndication(battery_->isChecked()))
            device_.Commit();
        return;
    default:
        return;
    }
}

uint32_t CVarkDlg::LanguageOfItem(int command)
{
    static constexpr uint32_t kLanguages[] = {kLangRussian, kLangEnglish, kLangPortuguese,
                                              kLangPolish, kLangArabic};
    const int i = command - ID_LANG_RUSSIAN;
    return i >= 0 && i < 5 ? kLanguages[i] : 0;
}

void CVarkDlg::OnLanguage(int command)
{
    constexpr uint32_t kQuestion = 0x24;
    const uint32_t language = LanguageOfItem(command);
    // the check marks stay on the language that runs until the choice is made
    for (int id = ID_LANG_RUSSIAN; id <= ID_LANG_ARABIC; ++id)
        actions_[id]->setChecked(LanguageOfItem(id) == settings_.Language);
    if (language == settings_.Language ||
        Message(res::ids::kChangeLanguageQuestion, res::ids::kMessageTitle, kQuestion) !=
            skin::IDYES)
        return;
    settings_.Language = language;
    for (int id = ID_LANG_RUSSIAN; id <= ID_LANG_ARABIC; ++id)
        actions_[id]->setChecked(id == command);
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
            ReadLoopLength();
        return;
    }
    if (e->key() == Qt::Key_Escape) return;
    SkinnedDialog::keyPressEvent(e);
}

bool CVarkDlg::event(QEvent* e)
{
    if (e->type() == QEvent::Type(kPlayerMessage))
    {
        auto* p = static_cast<PlayerEvent*>(e);
        OnPlayerMessage(p->code, p->value, p->text);
        return true;
    }
    return SkinnedDialog::event(e);
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
    if (playerActive_)
    {
        // let the stop's notifications arrive, then try again
        if (exitWaiting_) return;
        exitWaiting_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        setEnabled(false);
        control_.Drop();
        QTimer::singleShot(1500, this,
                           [this]
                           {
                               QApplication::restoreOverrideCursor();
                               setEnabled(!busy_);
                               exitWaiting_ = false;
                               QMetaObject::invokeMethod(
                                   this, [this] { OnExit(); }, Qt::QueuedConnection);
                               playerActive_ = false;
                           });
        return;
    }
    exited_ = true;
    statusTimer_.stop();
    playTimer_.stop();
    control_.Drop();
    TRIL_Clear();
    ReadLoopLength(); // the arrows change the field without leaving it
    settings_.RingLength = uint32_t(loopLength_);
    if (settings_.Save())
        SLOG("Settings saved");
    else
        SLOG_ERR("Settings not saved: %ls", settings_.LastErrorText().c_str());
    if (exportDialog_) exportDialog_->Stop();
    if (loadDialog_) loadDialog_->Cancel();
    watcherNotifier_.reset();
    watcher_.reset();
    CloseWhatIsOpen();
    done(skin::IDOK);
}

void CVarkDlg::CloseWhatIsOpen()
{
    // A question or dialog left open (the program is ended by a signal or the session) would
    // keep its own loop, and with it the program, running: close them innermost first. The
    // loading and export dialogs close themselves once their workers have stopped.
    delete optionsDialog_;
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
