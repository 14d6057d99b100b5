#include "shell/main_menu.h"

#include <QAction>
#include <QMenu>

#include "platform/thread_locale.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "skin/skinned_more.h"

MainMenu::MainMenu(QWidget& window, skin::CSkinnedMenu& bar, const CAppSettings& settings,
                   std::function<void(int)> trigger)
{
    const std::vector<std::pair<uint32_t, std::vector<int>>> layout = {
        {res::ids::kMenuFile, {ID_OPEN_RECORDER_FOLDER, ID_RECORDERS, ID_DRIVE_IMPORT, 0, ID_EXIT}},
        {res::ids::kMenuRecording,
         {ID_PLAY, ID_PLAY_FROM_DISK, ID_SAVE_TO_DISK, ID_DELETE, ID_DELETE_ALL, 0,
          ID_PREVIOUS_SPEECH, ID_NEXT_SPEECH, ID_SKIP_BACK, ID_SKIP_FORWARD, ID_COPY_TIME_STAMP, 0,
          ID_REFRESH, ID_FROM_NEWEST, ID_FROM_OLDEST}},
        {res::ids::kMenuService,
         {ID_RECORD_SETTINGS, ID_SET_TIME, ID_ENTER_PIN, ID_CHANGE_PIN, ID_SELECT_DEVICE,
          ID_PLAYER_OPTIONS, 0, ID_AUTHENTICATE, ID_PUBLIC_KEYS}},
        {res::ids::kMenuLanguage,
         {ID_LANG_RUSSIAN, ID_LANG_RUSSIAN + 1, ID_LANG_RUSSIAN + 2, ID_LANG_RUSSIAN + 3,
          ID_LANG_ARABIC}},
        {res::ids::kMenuHelp, {ID_ABOUT}},
    };
    for (const auto& [title, items] : layout)
    {
        auto* menu = new QMenu(QString::fromStdString(res::LoadString(title)), &window);
        for (const int id : items)
        {
            if (!id)
            {
                menu->addSeparator();
                continue;
            }
            // the tab in a menu text separates its key name; the language items are named by
            // the texts of the languages
            const uint32_t textId = LanguageOfItem(id)
                                        ? uint32_t(res::ids::kMenuRussian + id - ID_LANG_RUSSIAN)
                                        : uint32_t(id);
            QAction* a = menu->addAction(
                QString::fromStdString(res::LoadString(textId)).section('\t', 0, 0));
            QObject::connect(a, &QAction::triggered, &window, [trigger, id] { trigger(id); });
            actions_[id] = a;
        }
        menus_.push_back(menu);
    }
    for (int id : {ID_PLAY, ID_SAVE_TO_DISK, ID_DELETE, ID_DELETE_ALL, ID_REFRESH, ID_DRIVE_IMPORT,
                   ID_RECORD_SETTINGS, ID_SET_TIME, ID_ENTER_PIN, ID_CHANGE_PIN})
        actions_[id]->setEnabled(false);
    // the menu names these keys beside their items
    const std::pair<int, QKeySequence> keys[] = {
        {ID_REFRESH, QKeySequence(Qt::Key_F5)},
        {ID_PREVIOUS_SPEECH, QKeySequence(Qt::CTRL | Qt::Key_Left)},
        {ID_NEXT_SPEECH, QKeySequence(Qt::CTRL | Qt::Key_Right)},
        {ID_SKIP_BACK, QKeySequence(Qt::ALT | Qt::Key_Left)},
        {ID_SKIP_FORWARD, QKeySequence(Qt::ALT | Qt::Key_Right)},
        {ID_COPY_TIME_STAMP, QKeySequence(Qt::CTRL | Qt::Key_T)},
    };
    for (const auto& [id, key] : keys)
    {
        QAction* a = actions_[id];
        a->setShortcut(key);
        // the popup draws what follows the tab at the item's end
        a->setText(a->text() + '\t' + key.toString(QKeySequence::NativeText));
        a->setShortcutContext(Qt::WindowShortcut);
        window.addAction(a);
    }
    for (int id : {ID_FROM_NEWEST, ID_FROM_OLDEST})
        actions_[id]->setCheckable(true);
    for (int id = ID_LANG_RUSSIAN; id <= ID_LANG_ARABIC; ++id)
        actions_[id]->setCheckable(true);
    CheckOrder(settings.LoadListOrder != 0);
    CheckLanguage(settings.Language);
    if (platform::PrimaryLanguage(platform::GetThreadLocale()) == kLangArabic)
    {
        // the bar runs right to left: after its blank start, Help first and File last
        std::vector<QMenu*> rtl(menus_.rbegin(), menus_.rend());
        rtl.insert(rtl.begin(), nullptr);
        bar.SetMenu(rtl, true);
    }
    else
        bar.SetMenu(menus_);
}

void MainMenu::Enable(int command, bool on)
{
    if (auto it = actions_.find(command); it != actions_.end()) it->second->setEnabled(on);
}

void MainMenu::Follow(const vark::RecorderControl::Capabilities& can)
{
    Enable(ID_REFRESH, can.refresh);
    Enable(ID_RECORD_SETTINGS, can.parameters);
    Enable(ID_SET_TIME, can.clock);
    Enable(ID_CHANGE_PIN, can.changePin);
    Enable(ID_ENTER_PIN, can.enterPin);
}

bool MainMenu::Enabled(int command) const
{
    auto it = actions_.find(command);
    return it != actions_.end() && it->second->isEnabled();
}

void MainMenu::CheckOrder(bool newestFirst)
{
    actions_[ID_FROM_NEWEST]->setChecked(newestFirst);
    actions_[ID_FROM_OLDEST]->setChecked(!newestFirst);
}

void MainMenu::CheckLanguage(uint32_t language)
{
    for (int id = ID_LANG_RUSSIAN; id <= ID_LANG_ARABIC; ++id)
        actions_[id]->setChecked(LanguageOfItem(id) == language);
}

uint32_t MainMenu::LanguageOfItem(int command)
{
    static constexpr uint32_t kLanguages[] = {kLangRussian, kLangEnglish, kLangPortuguese,
                                              kLangPolish, kLangArabic};
    const int i = command - ID_LANG_RUSSIAN;
    return i >= 0 && i < 5 ? kLanguages[i] : 0;
}
