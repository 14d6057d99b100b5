// The main window's menu bar on a real X server, clicked and typed at through xdotool: the
// drop-down has the pointer grab there, which the offscreen platform does not model.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <typeindex>

#include "dialogs/about_dlg.h"
#include "dialogs/key_dlg.h"
#include "dialogs/records_list.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "skin/skinned_menu.h"
#include "testsupport/test_env.h"
#include "x11_session.h"

namespace
{

skin::CSkinnedMenu* MenuBarOf(QWidget& window)
{
    for (QWidget* w : window.findChildren<QWidget*>())
        if (auto* bar = dynamic_cast<skin::CSkinnedMenu*>(w)) return bar;
    return nullptr;
}

QPoint TitleCentre(const skin::CSkinnedMenu& bar, int item)
{
    int first = -1, last = -1;
    for (int x = 0; x < bar.width(); ++x)
        if (bar.ItemAt(x) == item)
        {
            if (first < 0) first = x;
            last = x;
        }
    return bar.mapToGlobal(QPoint((first + last) / 2, bar.height() / 2));
}

// Where the X server has the window; nullopt when xdotool cannot tell.
std::optional<QPoint> PlaceOnScreen(QWidget& window)
{
    const std::optional<QString> shell =
        x11::XdoOutput({"getwindowgeometry", "--shell", QString::number(window.winId())});
    if (!shell) return std::nullopt;
    int x = -1, y = -1;
    for (const QString& line : shell->split('\n'))
    {
        if (line.startsWith("X=")) x = line.mid(2).toInt();
        if (line.startsWith("Y=")) y = line.mid(2).toInt();
    }
    return x < 0 || y < 0 ? std::nullopt : std::optional<QPoint>(QPoint(x, y));
}

bool MoveTo(QPoint p)
{
    return x11::Xdo({"mousemove", QString::number(p.x()), QString::number(p.y())});
}

bool Click(QPoint p)
{
    return x11::Xdo({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

// Keys as xdotool names them, separated by spaces.
bool Key(const char* keys)
{
    return x11::Xdo(QStringList{"key"} + QString(keys).split(' '));
}

// What `input` opened as a modal dialog, and whether the bar showed a title lit meanwhile. The
// dialog's own loop runs inside the input's handling, so it is looked at and closed (Escape)
// from a timer.
struct Opened
{
    std::optional<std::type_index> dialog; // its class, seen while it was open
    int litTitle = -2;
};

Opened RunModal(skin::CSkinnedMenu& bar, const std::function<bool()>& input)
{
    Opened seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (!modal || seen.dialog) return;
                         seen.dialog = std::type_index(typeid(*modal));
                         seen.litTitle = bar.Highlighted();
                         QProcess::startDetached(QStringLiteral("xdotool"), {"key", "Escape"});
                     });
    watch.start(50);
    EXPECT_TRUE(input());
    EXPECT_TRUE(QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }, 10000));
    return seen;
}

} // namespace

TEST(MainWindowOnX, MenusOpenOnAClickAndFromTheKeyboard)
{
    REQUIRE_X_SESSION();
    testsupport::ScopedTestEnv env;
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    // the window knows where the window manager put it (the clicks below are aimed by it)
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return PlaceOnScreen(dlg) == dlg.mapToGlobal(QPoint()); }, 10000));
    skin::CSkinnedMenu* bar = MenuBarOf(dlg);
    ASSERT_NE(bar, nullptr);
    const auto openIs = [&](int item) {
        return QTest::qWaitFor([&] { return bar->OpenPopup() && bar->Highlighted() == item; },
                               5000);
    };
    const auto closed = [&] { return QTest::qWaitFor([&] { return !bar->OpenPopup(); }, 5000); };

    // a click on Recording opens it and it stays open; moving onto Service opens that one
    ASSERT_TRUE(Click(TitleCentre(*bar, 1)));
    ASSERT_TRUE(openIs(1));
    QTest::qWait(400); // the release of the opening click must not have closed it
    EXPECT_NE(bar->OpenPopup(), nullptr);
    ASSERT_TRUE(MoveTo(TitleCentre(*bar, 2)));
    EXPECT_TRUE(openIs(2));
    // a click on its own title closes it, and so does a click outside
    ASSERT_TRUE(Click(TitleCentre(*bar, 2)));
    EXPECT_TRUE(closed());
    QTest::qWait(400); // and it does not open again
    EXPECT_EQ(bar->OpenPopup(), nullptr);
    ASSERT_TRUE(Click(TitleCentre(*bar, 1)));
    ASSERT_TRUE(openIs(1));
    QWidget* list = dlg.List()->viewport();
    ASSERT_TRUE(Click(list->mapToGlobal(list->rect().center())));
    EXPECT_TRUE(closed());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->Highlighted() == -1; }, 5000));

    // a click on an item runs it, and its title is not left lit under the dialog it opened
    ASSERT_TRUE(Click(TitleCentre(*bar, 4)));
    ASSERT_TRUE(openIs(4));
    skin::CSkinnedPopupMenu* help = bar->OpenPopup();
    const QPoint about = help->mapToGlobal(QPoint(help->width() / 2, 1 + help->ItemHeight() / 2));
    Opened opened = RunModal(*bar, [&] { return Click(about); });
    EXPECT_EQ(opened.dialog, std::type_index(typeid(dialogs::CAboutDlg)));
    EXPECT_EQ(opened.litTitle, -1);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

    // Alt alone opens File; Right and Left go round the bar; Escape closes
    ASSERT_TRUE(Key("alt"));
    ASSERT_TRUE(openIs(0));
    ASSERT_TRUE(Key("Right"));
    ASSERT_TRUE(openIs(1));
    // a key at a time, as a person presses them: each opens a drop-down of its own
    ASSERT_TRUE(Key("Left"));
    ASSERT_TRUE(openIs(0));
    ASSERT_TRUE(Key("Left"));
    ASSERT_TRUE(openIs(4));
    ASSERT_TRUE(Key("Escape"));
    EXPECT_TRUE(closed());
    // Alt with a title's letter opens it; Up goes round to its last item, Enter runs it
    ASSERT_TRUE(Key("alt+s"));
    ASSERT_TRUE(openIs(2));
    opened = RunModal(*bar, [] { return Key("Up Return"); });
    EXPECT_EQ(opened.dialog, std::type_index(typeid(dialogs::CKeyDlg)));
    dlg.OnExit();
}
