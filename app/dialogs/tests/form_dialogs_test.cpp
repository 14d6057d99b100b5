// The small modal forms driven as a user drives them: keys, pastes and clicks, with their
// messages answered by the scripted responder.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QTest>
#include <QUrl>

#include "dialogs/about_dlg.h"
#include "dialogs/change_pin_dlg.h"
#include "dialogs/device_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/time_dlg.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "skin/modal_questions.h"
#include "testsupport/test_env.h"

namespace
{

using namespace dialogs;
using skin::ScriptedResponder;

void PressOk(QWidget* field)
{
    QTest::keyClick(field, Qt::Key_Return);
}

void ExpectMessage(const ScriptedResponder& r, size_t n, uint32_t textId, uint32_t style)
{
    ASSERT_GT(r.AskedQuestions().size(), n);
    EXPECT_EQ(r.AskedQuestions()[n].text, res::LoadString(textId));
    EXPECT_EQ(r.AskedQuestions()[n].style, style);
}

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

} // namespace

TEST(PinDialog, DigitsOnlyMaskedAndAtMostEight)
{
    testsupport::ScopedTestEnv env;
    ScriptedResponder answers;
    CPINDlg dlg(nullptr, 20416);
    dlg.show();
    EXPECT_EQ(dlg.SerialField()->text(), "20416");
    EXPECT_TRUE(dlg.SerialField()->isReadOnly());
    EXPECT_EQ(dlg.PinField()->echoMode(), QLineEdit::Password);

    QTest::keyClicks(dlg.PinField(), "12a3-4 5");
    EXPECT_EQ(dlg.PinField()->text(), "12345");
    // a paste with anything but digits is refused whole; a huge one is cut, never accepted
    QGuiApplication::clipboard()->setText("99x9");
    dlg.PinField()->paste();
    EXPECT_EQ(dlg.PinField()->text(), "12345");
    dlg.PinField()->clear();
    QGuiApplication::clipboard()->setText(QString(1000, '7'));
    dlg.PinField()->paste();
    EXPECT_LE(dlg.PinField()->text().size(), 16);
    PressOk(dlg.PinField());
    ExpectMessage(answers, 0, res::ids::kPinCodeLength, 0x30);
    EXPECT_TRUE(dlg.isVisible());

    dlg.PinField()->clear();
    QTest::keyClicks(dlg.PinField(), "123456789");
    PressOk(dlg.PinField());
    ExpectMessage(answers, 1, res::ids::kPinCodeLength, 0x30);
    EXPECT_TRUE(dlg.isVisible());

    QTest::keyClick(dlg.PinField(), Qt::Key_Backspace);
    PressOk(dlg.PinField());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), skin::IDOK);
    EXPECT_EQ(dlg.Pin(), L"12345678");
    EXPECT_EQ(answers.AskedQuestions().size(), 2u);

    CPINDlg empty(nullptr, 1);
    empty.show();
    PressOk(empty.PinField());
    EXPECT_EQ(empty.result(), skin::IDOK);
    EXPECT_EQ(empty.Pin(), L"");

    CPINDlg escaped(nullptr, 1);
    escaped.show();
    QTest::keyClicks(escaped.PinField(), "1");
    QTest::keyClick(escaped.PinField(), Qt::Key_Escape);
    EXPECT_EQ(escaped.result(), skin::IDCANCEL);
    EXPECT_EQ(escaped.Pin(), L"");
}

TEST(ChangePinDialog, ChecksInOrderAndAcceptsAnEmptyPin)
{
    testsupport::ScopedTestEnv env;
    ScriptedResponder answers;
    CChangePINDlg dlg(nullptr, L"1234");
    dlg.show();
    auto enter = [&](const char* old, const char* first, const char* second)
    {
        for (auto [field, text] :
             {std::pair{dlg.OldField(), old}, {dlg.NewField(), first}, {dlg.RepeatField(), second}})
        {
            field->clear();
            QTest::keyClicks(field, text);
        }
        PressOk(dlg.RepeatField());
    };
    enter("1111", "1", "2"); // wrong old PIN wins over the mismatch
    ExpectMessage(answers, 0, res::ids::kWrongPinCode, 0x30);
    enter("1234", "1", "2");
    ExpectMessage(answers, 1, res::ids::kPinCodesDiffer, 0x30);
    enter("1234", "123456789", "123456789");
    ExpectMessage(answers, 2, res::ids::kPinCodeLength, 0x30);
    EXPECT_TRUE(dlg.isVisible());
    enter("1234", "", "");
    EXPECT_EQ(dlg.result(), skin::IDOK);
    EXPECT_EQ(dlg.NewPin(), L"");
    EXPECT_EQ(answers.AskedQuestions().size(), 3u);
}

TEST(TimeDialog, StartsNowWithinTheClockRangeAndCombinesDateWithTime)
{
    testsupport::ScopedTestEnv env;
    const QDate before = QDate::currentDate();
    CTimeDlg dlg(nullptr);
    const QDate after = QDate::currentDate();
    dlg.show();
    EXPECT_TRUE(dlg.DateField()->date() == before || dlg.DateField()->date() == after);
    EXPECT_LE(std::abs(dlg.TimeField()->time().secsTo(QTime::currentTime())), 5);
    EXPECT_EQ(dlg.DateField()->minimumDate(), QDate(2000, 1, 1));
    EXPECT_EQ(dlg.DateField()->maximumDate(), QDate(2035, 12, 31));
    dlg.DateField()->setDate(QDate(1999, 5, 5));
    EXPECT_EQ(dlg.DateField()->date(), QDate(2000, 1, 1));

    dlg.DateField()->setDate(QDate(2035, 12, 31));
    dlg.TimeField()->setTime(QTime(23, 59, 58, 750));
    PressOk(dlg.DateField());
    ASSERT_EQ(dlg.result(), skin::IDOK);
    platform::DateParts p;
    ASSERT_TRUE(dlg.Result().GetParts(p));
    EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second),
              std::make_tuple(2035, 12, 31, 23, 59, 58)); // milliseconds dropped, not rounded

    EXPECT_FALSE(CTimeDlg::Combine(QDate(), QTime(1, 2, 3)).IsValid());
    EXPECT_FALSE(CTimeDlg::Combine(QDate(2020, 1, 1), QTime()).IsValid());
}

TEST(DeviceDialog, SelectsTheStoredDeviceAndStoresTheChoice)
{
    testsupport::ScopedTestEnv env;
    ScriptedResponder answers;
    CAppSettings settings(L"");
    settings.OutDeviceName = L"hw:1,0";
    // two outputs of one card share its description; the list tells them apart by name
    CDeviceDlg dlg(nullptr, settings,
                   {{"default", "Default output"}, {"hw:1,0", "Card B"}, {"plughw:1,0", "Card B"}});
    dlg.show();
    EXPECT_EQ(dlg.DeviceList()->currentText(), "Card B (hw:1,0)");
    EXPECT_EQ(dlg.DeviceList()->itemText(0), "Default output");
    dlg.DeviceList()->setCurrentIndex(-1);
    PressOk(dlg.DeviceList());
    ExpectMessage(answers, 0, res::ids::kSelectPlaybackDevice, 0x00);
    EXPECT_TRUE(dlg.isVisible());
    dlg.DeviceList()->setCurrentIndex(2);
    PressOk(dlg.DeviceList());
    EXPECT_EQ(dlg.result(), skin::IDOK);
    EXPECT_EQ(settings.OutDeviceName, L"plughw:1,0"); // the name, not the description

    // an unknown stored name selects the first device; the stand-in's own list comes by
    // default (the tests run on its silent back end)
    settings.OutDeviceName = L"gone";
    CDeviceDlg real(nullptr, settings);
    ASSERT_GT(real.DeviceList()->count(), 0);
    EXPECT_EQ(real.DeviceList()->currentIndex(), 0);
    EXPECT_EQ(real.DeviceList()->itemText(real.DeviceList()->count() - 1), "Null output");
}

TEST(AboutBox, BuildFirmwareAndTheLinkToTheGuide)
{
    testsupport::ScopedTestEnv env;
    CAboutDlg dlg(nullptr, 0x2C10);
    dlg.show();
    EXPECT_EQ(dlg.Build()->text(), "1.01.176");
    EXPECT_EQ(dlg.Firmware()->text(), "44.16");
    EXPECT_EQ(CAboutDlg::FirmwareText(0x0105), "01.05");
    EXPECT_EQ(CAboutDlg::FirmwareText(0), "");

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "Open");
    const QPoint inside = dlg.Link()->rect().center();
    QTest::mouseMove(dlg.Link(), inside);
    EXPECT_EQ(dlg.Link()->cursor().shape(), Qt::PointingHandCursor);
    QTest::mousePress(dlg.Link(), Qt::LeftButton, {}, inside);
    QTest::mouseRelease(dlg.Link(), Qt::LeftButton, {}, inside);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_TRUE(catcher.opened[0].isLocalFile());
    EXPECT_TRUE(QFileInfo::exists(catcher.opened[0].toLocalFile()));
    EXPECT_TRUE(dlg.isVisible()); // the link does not close the box
}

#include "form_dialogs_test.moc"
