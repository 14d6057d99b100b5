// The main window's menu: the system's five menus and their items (a command's number is also
// the number of its text), the bar's order (right to left in Arabic), F5 on Refresh, and the
// check marks of the list order and of the language that runs. Items that need a recorder,
// its records or a selection start disabled; the window enables them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "shell/main_window_ids.h"
#include "skin/skinned_fwd.h"
#include "transfer/recorder_control.h"

class CAppSettings;
class QAction;
class QMenu;
class QWidget;

class MainMenu : public MainWindowIds
{
public:
    // The menus belong to `window`; `trigger` runs a command by its number. The marks start
    // on the stored list order and language (the one that runs: the menu follows it).
    MainMenu(QWidget& window, skin::CSkinnedMenu& bar, const CAppSettings& settings,
             std::function<void(int)> trigger);

    void Enable(int command, bool on);
    // The items of what the recorder can do.
    void Follow(const vark::RecorderControl::Capabilities& can);
    bool Enabled(int command) const;
    // The list order's two items.
    void CheckOrder(bool newestFirst);
    // The language items: the mark on `language` (one of the kLang values).
    void CheckLanguage(uint32_t language);
    // The Recording menu, which is also the list's context menu.
    QMenu* Recording() const { return menus_[1]; }

    // The language of a language item, 0 for other commands.
    static uint32_t LanguageOfItem(int command);

private:
    std::map<int, QAction*> actions_;
    std::vector<QMenu*> menus_;
};
