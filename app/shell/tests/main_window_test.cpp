// The main window against the virtual recorder over real sockets: connecting with the empty
// PIN and with a PIN, the status, the list with its current row, wrapping, unplug and replug.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "dialogs/pin_dlg.h"
#include "dialogs/records_list.h"
#include "platform/thread_locale.h"
#include "recorder/demo.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "shell/app_settings.h"
#include "skin/modal_questions.h"
#include "testsupport/test_env.h"
#include "vark_dlg.h"

namespace
{

std::unique_ptr<recorder::VirtualRecorder> PlugDemo(const std::string& pin = {})
{
    recorder::RecorderImage image = recorder::MakeDemoImage();
    if (!pin.empty())
    {
        EXPECT_TRUE(recorder::PinToAccessCode(pin, &image.settings.accessCode));
    }
    auto r = std::make_unique<recorder::VirtualRecorder>(
        std::make_shared<recorder::RecorderFirmware>(image));
    EXPECT_TRUE(r->Plug());
    return r;
}

QString Str(uint32_t id)
{
    return QString::fromStdString(res::LoadString(id));
}

} // namespace

TEST(MainWindow, ConnectsListsChoosesTheNewestAndFollowsUnplugAndReplug)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemo();
    CAppSettings settings(L"");
    settings.LoadListOrder = 0;
    CVarkDlg dlg(settings);
    dlg.show();
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(168));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(dlg.Connected());
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(154));
    EXPECT_FALSE(dlg.FieldText(CVarkDlg::IDC_EDIT_UIN).isEmpty());
    EXPECT_TRUE(dlg.FieldText(CVarkDlg::IDC_EDIT_MAX_DUR).contains(':'));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_TRACK_COUNT), "8");
    // oldest first: the last row is current, the newest record either way
    EXPECT_EQ(dlg.SelectedIndex(), 7);
    EXPECT_TRUE(dlg.List()->HasCurrentMarker(7));
    EXPECT_EQ(dlg.List()->Text(0, 0), "1");
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_PLAY));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_REFRESH));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_RECORD_SETTINGS));
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_ENTER_PIN));
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_SELECT_DEVICE));
    dlg.ChooseRow(8); // past the end wraps to the first row
    EXPECT_EQ(dlg.SelectedIndex(), 0);
    EXPECT_FALSE(dlg.List()->HasCurrentMarker(7));
    dlg.ChooseRow(-1);
    EXPECT_EQ(dlg.SelectedIndex(), 7);
    if (const char* dir = std::getenv("VARK_SHOT_DIR"))
        dlg.grab().save(QString::fromLocal8Bit(dir) + "/IDD_VARK_DIALOG-connected.png");

    plugged->Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Connected(); }, 10000));
    EXPECT_EQ(dlg.List()->RowCount(), 0);
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(168));
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_REFRESH));

    plugged = PlugDemo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(answers.AskedQuestions().empty());
    dlg.OnExit();
    EXPECT_EQ(settings.SaveCount(), 1);
}

TEST(MainWindow, AskForThePinWhenTheEmptyOneIsRefused)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    auto plugged = PlugDemo("1234");
    CAppSettings settings(L"");
    CVarkDlg dlg(settings);
    // the PIN dialog opens on the first tick: answer it wrongly, then rightly from the menu
    int asked = 0;
    QTimer pin;
    QObject::connect(&pin, &QTimer::timeout,
                     [&]
                     {
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (auto* d = dynamic_cast<dialogs::CPINDlg*>(w); d && d->isVisible())
                             {
                                 d->PinField()->setText(asked++ == 0 ? "9999" : "1234");
                                 d->OnCommand(skin::IDOK);
                             }
                     });
    pin.start(50);
    answers.AnswerMessage(skin::IDOK); // "Wrong PIN code."
    dlg.show();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return asked == 1 && !answers.AskedQuestions().empty(); }, 30000));
    EXPECT_EQ(answers.AskedQuestions()[0].text, res::LoadString(40001));
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT), Str(173));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_ENTER_PIN));
    dlg.OnCommand(CVarkDlg::ID_ENTER_PIN);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(dlg.Connected());
    EXPECT_EQ(answers.Unexpected(), 0);
    dlg.OnExit();
}
