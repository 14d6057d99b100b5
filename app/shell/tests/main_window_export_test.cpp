// The main window's Copy to disk, Authenticate and Public keys against the virtual recorder:
// the menu follows the selection, an export from the menu deselects what it copied, the
// recorder unplugged during an export ends in the disconnected state, and the key dialog gets
// the attached recorder's serial.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "dialogs/export_dlg.h"
#include "dialogs/key_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/records_list.h"
#include "dialogs/serial_choice.h"
#include "platform/text.h"
#include "recorder/demo.h"
#include "recorder/faults.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "skin/modal_questions.h"
#include "testsupport/test_env.h"
#include "transfer/signature.h"

namespace
{

// Calls `act` once with the first visible top-level dialog of type D.
template <class D> void WhenShown(QTimer& poll, std::function<void(D&)> act)
{
    QObject::connect(&poll, &QTimer::timeout,
                     [&poll, act]
                     {
                         for (QWidget* w : QApplication::topLevelWidgets())
                             if (auto* d = dynamic_cast<D*>(w); d && d->isVisible())
                             {
                                 poll.stop();
                                 act(*d);
                                 return;
                             }
                     });
    poll.start(20);
}

} // namespace

TEST(MainWindowExport, SaveToDiskFollowsTheSelectionAndUnplugEndsDisconnected)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    recorder::RecorderImage image = recorder::MakeDemoImage();
    image.identity.serial = static_cast<int16_t>(40000); // a serial above 32767
    auto firmware = std::make_shared<recorder::RecorderFirmware>(image);
    recorder::VirtualRecorder plugged(firmware);
    ASSERT_TRUE(plugged.Plug());
    CAppSettings settings(L"");
    const std::string out = env.Path("exported");
    settings.LastExportDirectory = platform::Utf8ToWide(out);
    CVarkDlg dlg(settings);
    dlg.show();
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_AUTHENTICATE));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_PUBLIC_KEYS));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_SAVE_TO_DISK)); // the newest row is selected
    // the window shows the serial as signatures and vark-cli carry it
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_UIN), "-25536");
    dialogs::CRecordsList& list = *dlg.List();
    list.clearSelection();
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_SAVE_TO_DISK));
    for (int row : {1, 2})
        list.topLevelItem(row)->setSelected(true);
    EXPECT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_SAVE_TO_DISK));

    // the key dialog opens with the recorder's serial chosen
    std::string key;
    QTimer keyPoll;
    WhenShown<dialogs::CKeyDlg>(keyPoll,
                                [&](dialogs::CKeyDlg& d)
                                {
                                    d.OnCommand(skin::IDOK);
                                    key = d.KeyField()->text().toStdString();
                                    d.OnCommand(skin::IDCANCEL);
                                });
    dlg.OnCommand(CVarkDlg::ID_PUBLIC_KEYS);
    const std::string attachedKey =
        vark::SerialKeyText(vark::MakeSerialKey(vark::SignatureSerial(image.identity.serial)));
    EXPECT_EQ(key, attachedKey);
    // typed as the PIN dialog shows it, unsigned, it is the same recorder
    WhenShown<dialogs::CKeyDlg>(keyPoll,
                                [&](dialogs::CKeyDlg& d)
                                {
                                    d.Serial().TypedButton()->setChecked(true);
                                    d.Serial().Field()->setText("40000");
                                    d.OnCommand(skin::IDOK);
                                    key = d.KeyField()->text().toStdString();
                                    d.OnCommand(skin::IDCANCEL);
                                });
    dlg.OnCommand(CVarkDlg::ID_PUBLIC_KEYS);
    EXPECT_EQ(key, attachedKey);

    // Copy to disk from the menu: the two rows are copied and deselected
    QTimer exportPoll;
    WhenShown<dialogs::CExportDlg>(exportPoll,
                                   [](dialogs::CExportDlg& d) { d.OnCommand(skin::IDOK); });
    dlg.OnCommand(CVarkDlg::ID_SAVE_TO_DISK);
    EXPECT_TRUE(list.SelectedRows().empty());
    EXPECT_FALSE(dlg.ItemEnabled(CVarkDlg::ID_SAVE_TO_DISK));
    EXPECT_FALSE(std::filesystem::is_empty(out));
    EXPECT_TRUE(dlg.Connected());
    EXPECT_TRUE(answers.AskedQuestions().empty());

    // the recorder goes away during the next one
    recorder::Fault unplug;
    unplug.kind = recorder::Fault::Kind::UnplugAfter;
    unplug.bytes = 20000;
    firmware->AddFault(unplug);
    list.topLevelItem(5)->setSelected(true);
    answers.AnswerMessage(skin::IDOK);
    WhenShown<dialogs::CExportDlg>(exportPoll,
                                   [](dialogs::CExportDlg& d) { d.OnCommand(skin::IDOK); });
    dlg.OnCommand(CVarkDlg::ID_SAVE_TO_DISK);
    ASSERT_EQ(answers.AskedQuestions().size(), 1u);
    EXPECT_EQ(answers.AskedQuestions()[0].text, res::LoadString(res::ids::kCantOpenRecord));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Connected(); }, 10000));
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(dlg.FieldText(CVarkDlg::IDC_EDIT_CONNECT),
              QString::fromStdString(res::LoadString(res::ids::kNoConnection)));
    dlg.OnExit();
}

TEST(MainWindowExport, AReplugWhileCopyToDiskIsOpenEndsConnected)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    CAppSettings settings(L"");
    settings.LastExportDirectory = platform::Utf8ToWide(env.Path("exported"));
    recorder::RecorderImage image = recorder::MakeDemoImage();
    auto plugged = std::make_unique<recorder::VirtualRecorder>(
        std::make_shared<recorder::RecorderFirmware>(image));
    ASSERT_TRUE(plugged->Plug());
    CVarkDlg dlg(settings);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 8; }, 30000));

    // Unplugged and plugged again, now locked, while the dialog waits: each event's handling
    // (a quarter second after it) falls inside the dialog.
    ASSERT_TRUE(recorder::PinToAccessCode("1234", &image.settings.accessCode));
    std::shared_ptr<recorder::RecorderFirmware> firmware;
    QTimer exportPoll;
    WhenShown<dialogs::CExportDlg>(exportPoll,
                                   [&](dialogs::CExportDlg& d)
                                   {
                                       plugged->Unplug();
                                       QTest::qWait(1000);
                                       firmware =
                                           std::make_shared<recorder::RecorderFirmware>(image);
                                       plugged =
                                           std::make_unique<recorder::VirtualRecorder>(firmware);
                                       EXPECT_TRUE(plugged->Plug());
                                       QTest::qWait(1000);
                                       d.OnCommand(skin::IDCANCEL);
                                   });
    QTimer pinPoll;
    WhenShown<dialogs::CPINDlg>(pinPoll,
                                [](dialogs::CPINDlg& d)
                                {
                                    d.PinField()->setText("1234");
                                    d.OnCommand(skin::IDOK);
                                });
    dlg.OnCommand(CVarkDlg::ID_SAVE_TO_DISK);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dlg.Connected() && dlg.List()->RowCount() == 8; }, 30000));
    EXPECT_FALSE(pinPoll.isActive()); // the PIN was asked

    // One clock read that fails after the dialog does not disconnect a recorder still there.
    std::string error;
    const auto fault = recorder::ParseFault("fail:Q1,times=1", &error);
    ASSERT_TRUE(fault) << error;
    QTimer secondPoll;
    WhenShown<dialogs::CExportDlg>(secondPoll,
                                   [&](dialogs::CExportDlg& d)
                                   {
                                       firmware->AddFault(*fault);
                                       d.OnCommand(skin::IDCANCEL);
                                   });
    dlg.OnCommand(CVarkDlg::ID_SAVE_TO_DISK);
    EXPECT_TRUE(dlg.Connected());
    EXPECT_EQ(dlg.List()->RowCount(), 8);
    EXPECT_EQ(answers.Unexpected(), 0);
    dlg.OnExit();
}
