// Every window of the program as a screen reader and a keyboard user meet it, in the five
// languages: each control Tab reaches has a name, Tab goes through them row by row in reading
// order, and the records list tells its rows and columns.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>

#include "device/vark_device.h"
#include "dialogs/about_dlg.h"
#include "dialogs/change_pin_dlg.h"
#include "dialogs/device_dlg.h"
#include "dialogs/export_dlg.h"
#include "dialogs/key_dlg.h"
#include "dialogs/load_records_list_dlg.h"
#include "dialogs/params_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/player_options_dlg.h"
#include "dialogs/records_list.h"
#include "dialogs/sign_dlg.h"
#include "dialogs/time_dlg.h"
#include "platform/thread_locale.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "skin/focus_order.h"
#include "skin/msgbox_dlg.h"
#include "testsupport/test_env.h"

namespace
{

QString NameOf(QWidget* w)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// What is wrong with one window: controls without a name, and Tab leaving reading order.
std::vector<std::string> Problems(QWidget& window, bool rightToLeft)
{
    std::vector<std::string> problems;
    const std::vector<QWidget*> controls = skin::FocusableControls(window);
    std::vector<QWidget*> chain; // the controls in the order Tab visits them
    QWidget* w = controls.empty() ? nullptr : controls.front();
    for (QWidget* first = w; w && chain.size() <= controls.size();)
    {
        if (std::find(controls.begin(), controls.end(), w) != controls.end()) chain.push_back(w);
        w = w->nextInFocusChain();
        if (w == first) break;
    }
    if (chain.size() != controls.size()) problems.push_back("Tab does not reach every control");
    // Tab goes round: the round starts at the top, where reading starts
    const auto first = std::min_element(
        chain.begin(), chain.end(),
        [&](QWidget* a, QWidget* b)
        {
            const QPoint p = a->mapTo(&window, QPoint());
            const QPoint q = b->mapTo(&window, QPoint());
            return p.y() != q.y() ? p.y() < q.y() : (rightToLeft ? p.x() > q.x() : p.x() < q.x());
        });
    std::rotate(chain.begin(), first, chain.end());
    for (size_t i = 0; i < chain.size(); ++i)
    {
        const QString type = QString::fromLatin1(typeid(*chain[i]).name());
        if (NameOf(chain[i]).trimmed().isEmpty())
            problems.push_back("a control without a name: " + type.toStdString());
        if (i == 0) continue;
        // in reading order: the next one is lower, or on the row and further along it
        const QPoint a = chain[i - 1]->mapTo(&window, chain[i - 1]->rect().center());
        const QPoint b = chain[i]->mapTo(&window, chain[i]->rect().center());
        const bool sameRow = std::abs(b.y() - a.y()) <= std::max(4, chain[i - 1]->height() / 2);
        const bool along = rightToLeft ? b.x() < a.x() : b.x() > a.x();
        if (!(sameRow ? along : b.y() > a.y()))
            problems.push_back("Tab goes back to " + type.toStdString());
    }
    return problems;
}

} // namespace

TEST(Accessibility, EveryControlHasANameAndTabFollowsTheReadingOrderInEveryLanguage)
{
    testsupport::ScopedTestEnv env;
    for (uint32_t lcid : {1049u, 1033u, 1046u, 1045u, 1025u})
    {
        platform::SetThreadLocale(lcid);
        const bool rtl = lcid == 1025u;
        CAppSettings settings(L"");
        vark::CVarkDevice device;
        dialogs::CRecordsList list(nullptr);
        dialogs::CPlayerOptionsDlg* options = nullptr;
        const std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>>
            windows = {
                {"main", [&] { return std::make_unique<CVarkDlg>(settings); }},
                {"about", [] { return std::make_unique<dialogs::CAboutDlg>(nullptr, 0x2C10); }},
                {"PIN", [] { return std::make_unique<dialogs::CPINDlg>(nullptr, 20416); }},
                {"change PIN",
                 [] { return std::make_unique<dialogs::CChangePINDlg>(nullptr, L"1234"); }},
                {"time", [] { return std::make_unique<dialogs::CTimeDlg>(nullptr); }},
                {"device",
                 [&]
                 {
                     return std::make_unique<dialogs::CDeviceDlg>(
                         nullptr, settings,
                         std::vector<platform::waveout::OutputDevice>{{"a", "Card A"},
                                                                      {"b", "Card B"}});
                 }},
                {"parameters",
                 [&] { return std::make_unique<dialogs::CParamsDlg>(nullptr, settings, nullptr); }},
                {"export",
                 [&]
                 {
                     return std::make_unique<dialogs::CExportDlg>(
                         nullptr, settings, device, std::vector<dialogs::ExportEntry>{}, list);
                 }},
                {"loading",
                 [&] {
                     return std::make_unique<dialogs::CLoadRecordsListDlg>(nullptr, device, 3, 0,
                                                                           list);
                 }},
                {"authenticate",
                 [&] { return std::make_unique<dialogs::CSignDlg>(nullptr, settings, 20416); }},
                {"keys", [] { return std::make_unique<dialogs::CKeyDlg>(nullptr, 20416); }},
                {"question", [] { return std::make_unique<skin::CMsgBoxDlg>(nullptr, "?", 0x24); }},
                {"options",
                 [&]
                 {
                     return std::unique_ptr<QWidget>(dialogs::CPlayerOptionsDlg::Open(
                         nullptr, options, settings, {}, [](const dialogs::PlayerOptions&) {}));
                 }},
            };
        for (const auto& [name, make] : windows)
        {
            std::unique_ptr<QWidget> window = make();
            window->show();
            for (const std::string& p : Problems(*window, rtl))
                ADD_FAILURE() << name << " (" << lcid << "): " << p;
            window->hide();
        }
    }
    platform::SetThreadLocale(1033);
}

TEST(Accessibility, TheRecordsListTellsItsRowsAndColumns)
{
    testsupport::ScopedTestEnv env;
    dialogs::CRecordsList list(nullptr);
    for (int i = 0; i < 3; ++i)
    {
        vark::RecordInfo info;
        info.dataSize = 4096 * uint32_t(i + 1);
        list.InsertRecord(i, i, info);
    }
    list.show();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(a, nullptr);
    QAccessibleTableInterface* table = a->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->columnCount(), list.columnCount());
    QAccessibleInterface* cell = table->cellAt(1, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), list.Text(1, 0));
    EXPECT_FALSE(table->columnDescription(3).isEmpty()); // the header names the column
}

TEST(Accessibility, ARingShowsWhereTabMovedAndAClickHidesIt)
{
    testsupport::ScopedTestEnv env;
    CAppSettings settings(L"");
    dialogs::CSignDlg dlg(nullptr, settings, 20416);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const auto ring = [&]() -> QWidget*
    {
        for (QWidget* w : dlg.findChildren<QWidget*>())
            if (w->testAttribute(Qt::WA_TransparentForMouseEvents) && w->isVisible()) return w;
        return nullptr;
    };
    EXPECT_EQ(ring(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    ASSERT_NE(ring(), nullptr);
    EXPECT_TRUE(
        ring()->geometry().contains(QRect(focused->mapTo(&dlg, QPoint()), focused->size())));
    const std::vector<QWidget*> controls = skin::FocusableControls(dlg);
    QWidget* other = controls.front() != focused ? controls.front() : controls.back();
    other->setFocus(Qt::MouseFocusReason); // as a click gives it
    EXPECT_EQ(ring(), nullptr);
}
