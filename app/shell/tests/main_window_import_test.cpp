// The window's import on plug against the demo drive: asked once, the records copied by
// themselves, the dialog of the File menu turning on deletion after a verified copy, and a
// record added while the drive was out copied on the next plug.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "dialogs/drive_import_dlg.h"
#include "dialogs/records_list.h"
#include "recorder/drive_demo.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "skin/modal_questions.h"
#include "testsupport/test_env.h"
#include "transfer/drive_import_worker.h"

namespace
{

QString Outcome(int copied, int skipped, int deleted)
{
    vark::ImportCounts c;
    c.copied = copied;
    c.skipped = skipped;
    c.deleted = deleted;
    return QString::fromStdString(vark::ImportOutcomeText(c));
}

size_t FilesIn(const std::string& folder)
{
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
        n += e.is_regular_file() && e.path().filename() != "SHA256SUMS";
    return n;
}

} // namespace

TEST(MainWindowImport, APluggedDriveIsAskedOnceCopiedDeletedWhenChosenAndCopiedAgainOnReplug)
{
    testsupport::ScopedTestEnv env;
    skin::ScriptedResponder answers;
    std::string error;
    ASSERT_TRUE(recorder::MakeDrive(env.Path("staged"), true, &error, nullptr)) << error;
    const std::string root = env.Path("drives/VOICE_PEN");
    const std::string folder = env.Path("Recordings/VOICE_PEN");
    std::filesystem::rename(env.Path("staged"), root);

    CAppSettings settings(L"");
    settings.Language = 9;
    CVarkDlg dlg(settings);
    answers.AnswerMessage(skin::IDYES);
    dlg.show();
    const auto activity = [&] { return dlg.FieldText(CVarkDlg::IDC_EDIT_ACTIVITY); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return activity() == Outcome(7, 0, 0); }, 30000))
        << activity().toStdString();
    ASSERT_EQ(answers.AskedQuestions().size(), 1u);
    EXPECT_NE(answers.AskedQuestions()[0].text.find(folder), std::string::npos);
    EXPECT_EQ(FilesIn(folder), 7u);
    EXPECT_EQ(dlg.List()->RowCount(), 7); // nothing deleted

    // the File menu's dialog: deletion after a verified copy; OK runs the import at once
    ASSERT_TRUE(dlg.ItemEnabled(CVarkDlg::ID_DRIVE_IMPORT));
    QTimer confirm;
    QObject::connect(&confirm, &QTimer::timeout,
                     [&]
                     {
                         auto* d = dynamic_cast<dialogs::CDriveImportDlg*>(
                             QApplication::activeModalWidget());
                         if (!d) return;
                         EXPECT_TRUE(d->Copy()->isChecked());
                         EXPECT_EQ(d->Folder()->text().toStdString(), folder);
                         d->Delete()->setChecked(true);
                         d->OnCommand(skin::IDOK);
                     });
    confirm.start(50);
    dlg.OnCommand(CVarkDlg::ID_DRIVE_IMPORT);
    confirm.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return activity() == Outcome(0, 7, 7); }, 30000))
        << activity().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.List()->RowCount() == 0; }, 30000));
    EXPECT_EQ(FilesIn(folder), 7u);

    // pulled; a record made meanwhile is copied when it comes back, without a question
    std::filesystem::rename(root, env.Path("out"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.DriveShown().empty(); }, 30000));
    testsupport::WriteFile(env.Path("out/RECORDER/FOLDER_A/260401_0900.WAV"),
                           testsupport::ReadFile(folder + "/2026_03_14 09_26_53.wav") + "x");
    std::filesystem::rename(env.Path("out"), root);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activity() == Outcome(1, 0, 1); }, 30000))
        << activity().toStdString();
    EXPECT_EQ(FilesIn(folder), 8u);
    EXPECT_EQ(answers.AskedQuestions().size(), 1u);
    dlg.OnExit();
    EXPECT_EQ(answers.Unexpected(), 0);
}
