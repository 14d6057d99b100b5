// The recording parameters dialog against the virtual recorder over a real socket, driven
// with keys and clicks; its questions are answered by the scripted responder.
#include "dialogs/params_dlg.h"

#include "device/vark_device.h"
#include "device/vark_settings.h"
#include "platform/text.h"
#include "platform/thread_locale.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "shell/app_settings.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace vark;
using skin::ScriptedResponder;

namespace {

constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;
constexpr uint32_t kTimerStart = 852199200; // 2027-01-02 10:00:00 in recorder time

// A control of the dialog by its identifier.
template <class T> T* Control(QWidget* dlg, int id)
{
    for (T* w : dlg->findChildren<T*>())
        if (auto* layer = dynamic_cast<skin::SkinLayer*>(w); layer && layer->ControlId() == id)
            return w;
    ADD_FAILURE() << "no control " << id;
    return nullptr;
}

[[maybe_unused]] void Click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
}

// Command numbers of the parameter writes (everything WriteParameters sends).
[[maybe_unused]] bool WroteSomething(const std::vector<recorder::RequestLogEntry>& log)
{
    for (const auto& e : log)
        if (e.direction == 'W' && e.command != 29) return true;
    return false;
}

class ParamsDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform::SetThreadLocale(1033);
        recorder::RecorderImage image;
        image.identity.memoryTotal = 64ull * 1024 * 1024;
        image.settings.stereo = 1;
        image.settings.rate16k = 1;
        image.settings.sourceLeft = recorder::kSourceExtLeft;
        image.settings.sourceRight = recorder::kSourceLineRight;
        image.settings.agc = 0;
        image.settings.levelLeft = image.settings.levelRight = 8; // level 9
        image.settings.accuThreshold = 37;
        image.settings.loopSeconds = 2 * 3600 + 15 * 60;
        image.settings.buttonMode = 2;
        image.settings.timers[1] = {kTimerStart, 5400}; // 2027-01-02 10:00 for 1:30
        firmware_ = std::make_shared<recorder::RecorderFirmware>(image);
        plugged_ = std::make_unique<recorder::VirtualRecorder>(firmware_);
        ASSERT_TRUE(plugged_->Plug());
        ASSERT_TRUE(device_.Open(plugged_->DevicePath()));
        ASSERT_TRUE(device_.PresentAccessCode(L""));
        device_.ReadParameters();
        settings_ = std::make_unique<CAppSettings>(platform::Utf8ToWide(env_.Path("Varke.ini")));
        g_appSettings = settings_.get();
    }
    void TearDown() override
    {
        g_appSettings = nullptr;
        platform::SetThreadLocale(1033);
    }

    std::unique_ptr<CParamsDlg> Open(uint32_t freeKilobytes = 16000)
    {
        auto dlg = std::make_unique<CParamsDlg>(nullptr, &device_, freeKilobytes);
        dlg->show();
        firmware_->ClearRequestLog();
        return dlg;
    }

    std::string Asked(size_t i) const
    {
        return i < answers_.AskedQuestions().size() ? answers_.AskedQuestions()[i].text : "";
    }

    testsupport::ScopedTestEnv env_;
    ScriptedResponder answers_;
    std::shared_ptr<recorder::RecorderFirmware> firmware_;
    std::unique_ptr<recorder::VirtualRecorder> plugged_;
    CVarkDevice device_;
    std::unique_ptr<CAppSettings> settings_;
};

// Every control sits inside the dialog where its skin puts it, in every language; the
// pictures go to $VARK_SHOTS_DIR when it is set.
TEST_F(ParamsDlgTest, RendersInEveryLanguage)
{
    const char* shots = std::getenv("VARK_SHOTS_DIR");
    for (platform::Lcid lcid : res::Languages())
    {
        platform::SetThreadLocale(lcid);
        auto dlg = Open();
        EXPECT_EQ(dlg->size(), QSize(864, 528));
        for (QWidget* w : dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        {
            if (w->isVisible() && dynamic_cast<skin::SkinLayer*>(w))
            {
                EXPECT_TRUE(dlg->rect().contains(w->geometry())) << lcid;
            }
        }
        if (shots)
        {
            QDir().mkpath(shots);
            dlg->grab().save(QString("%1/params-%2.png")
                                 .arg(shots)
                                 .arg(res::LanguageFileName(lcid)));
        }
    }
}

} // namespace
