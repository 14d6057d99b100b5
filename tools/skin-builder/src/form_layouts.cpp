// The layout tables of the generated dialogs, on the 8-pixel grid: 24 pixels of margin, form
// buttons of 88 x 28 in a footer band, fields 24 pixels high with their labels above or
// beside them. Rectangles are wide enough for the longest translation; the skin tests check
// that every text fits in every language.
#include "form_skin.h"
#include "res/string_ids.h"
#include "skin/control_tables.h"

namespace builder
{

namespace
{

using F = FormControl;
using namespace flag;
using namespace res::ids;

F Lbl(QRect r, uint32_t t, int flags = 0, int arg = 0)
{
    F c{F::Label, "", r, t, flags};
    c.arg = arg;
    return c;
}
F Literal(QRect r, const char* text, int flags = 0)
{
    F c{F::Label, "", r, 0, flags};
    c.sample = text;
    return c;
}
F Mark(QRect r, Icon i)
{
    F c{F::Label, "", r};
    c.icon = i;
    return c;
}
F Head(QRect r, uint32_t t)
{
    return {F::Heading, "", r, t};
}
F Pnl(QRect r)
{
    return {F::Panel, "", r};
}
F WellAt(QRect r)
{
    return {F::Well, "", r};
}
F Stat(const char* n, QRect r, int flags = 0, const char* sample = nullptr)
{
    F c{F::Static, n, r, 0, flags};
    c.sample = sample;
    return c;
}
F Edt(const char* n, QRect r, const char* sample = nullptr, int flags = 0)
{
    F c{F::Edit, n, r, 0, flags};
    c.sample = sample;
    return c;
}
F Cmb(const char* n, QRect r, const char* sample)
{
    F c{F::Combo, n, r};
    c.sample = sample;
    return c;
}
F Btn(const char* n, QRect r, uint32_t t, bool primary = false)
{
    return {F::Button, n, r, t, primary ? kPrimary : 0};
}
F IBtn(const char* n, QRect r, Icon i, bool primary = false)
{
    F c{F::IconButton, n, r, 0, primary ? kPrimary : 0};
    c.icon = i;
    return c;
}
F Choice(F::Kind k, const std::string& n, QRect r, uint32_t t, int arg = 0)
{
    F c{k, n, r, t};
    c.arg = arg;
    return c;
}
F Tgl(const char* n, QRect r, uint32_t t, Icon i)
{
    F c{F::Toggle, n, r, t};
    c.icon = i;
    return c;
}
F Ctl(F::Kind k, const std::string& n, QRect r, const char* sample = nullptr)
{
    F c{k, n, r};
    c.sample = sample;
    return c;
}
F Img(const char* n, QRect r, Icon i)
{
    F c{F::Image, n, r};
    c.icon = i;
    return c;
}
// a text of the table as the preview sample, with `tail` after it
F Sampled(F c, uint32_t text, const char* tail = nullptr)
{
    c.sampleText = text;
    c.sample = tail;
    return c;
}
F Hidden(F c)
{
    c.flags |= kNoPreview;
    return c;
}
F Close(int width)
{
    return {F::Close, "IDC_CANCEL", QRect(width - 24, 4, 16, 16)};
}
// OK and Cancel at the end of the footer
F Ok(int width, int y, uint32_t t = kOkButton)
{
    return Btn("IDOK", QRect(width - 24 - 88 - 8 - 88, y, 88, 28), t, true);
}
F Cancel(int width, int y)
{
    return Btn("IDCANCEL", QRect(width - 24 - 88, y, 88, 28), kCancelButton);
}

std::vector<F> MainControls()
{
    constexpr int W = 960;
    std::vector<F> c = {
        {F::Minimize, "IDC_MINIMIZE", QRect(W - 44, 4, 16, 16)},
        Close(W),
        Ctl(F::Menu, "IDC_STATIC_MENU", QRect(4, 26, 600, 24)),
        // the recorder
        Pnl(QRect(16, 56, 320, 136)),
        Head(QRect(28, 64, 296, 20), kRecorderLabel),
        Img("IDC_STATIC_CONNECT", QRect(28, 94, 16, 16), Icon::Connected),
        Hidden(Img("IDC_STATIC_DISCONNECT", QRect(28, 94, 16, 16), Icon::Disconnected)),
        Sampled(Stat("IDC_EDIT_CONNECT", QRect(52, 92, 272, 20)), kConnected),
        Lbl(QRect(28, 126, 120, 16), kSerialNumberLabel),
        Stat("IDC_EDIT_UIN", QRect(160, 126, 164, 16), kFigure | kEnd, "20416"),
        Lbl(QRect(28, 160, 120, 16), kRecorderClockLabel),
        Stat("IDC_EDIT_TIME", QRect(160, 160, 164, 16), kFigure | kEnd, "2026.12.08 22:45:10"),
        // the battery
        Pnl(QRect(344, 56, 240, 136)),
        Head(QRect(356, 64, 188, 20), kBatteryLabel),
        Img("IDC_STATIC_CHARGING", QRect(556, 66, 16, 16), Icon::Charging),
        Ctl(F::Indicator, "IDC_INDICATOR_CHARGE_LEVEL", QRect(356, 98, 160, 12), "78"),
        Stat("IDC_CHARGE_LEVEL", QRect(520, 94, 52, 20), kFigure | kEnd, "78%"),
        Choice(F::Check, "IDC_BATTERY_INDICATION", QRect(356, 158, 216, 20),
               kBatteryIndicationLabel),
        // the memory
        Pnl(QRect(592, 56, 352, 136)),
        Head(QRect(604, 64, 328, 20), kMemoryLabel),
        Ctl(F::Indicator, "IDC_INDICATOR_MEMORY_STATUS", QRect(604, 98, 256, 12), "64"),
        Stat("IDC_MEMORY_STATUS", QRect(868, 94, 64, 20), kFigure | kEnd, "64%"),
        Lbl(QRect(604, 116, 104, 16), kTotalKbLabel),
        Lbl(QRect(716, 116, 104, 16), kUsedKbLabel),
        Lbl(QRect(828, 116, 104, 16), kFreeKbLabel),
        Stat("IDC_EDIT_ALL_MEMORY", QRect(604, 132, 104, 16), kFigure, "1,048,576"),
        Stat("IDC_EDIT_USED", QRect(716, 132, 104, 16), kFigure, "377,487"),
        Stat("IDC_EDIT_FREE", QRect(828, 132, 104, 16), kFigure, "671,089"),
        Lbl(QRect(604, 160, 216, 16), kRecordingTimeLeftLabel),
        Stat("IDC_EDIT_MAX_DUR", QRect(828, 160, 104, 16), kFigure | kEnd, "23:18:04"),
        // the records
        Lbl(QRect(16, 202, 100, 16), kRecordsLabel),
        Stat("IDC_EDIT_TRACK_COUNT", QRect(120, 202, 56, 16), kFigure, "42"),
        Lbl(QRect(184, 202, 100, 16), kSelectedLabel),
        Stat("IDC_EDIT_TRACK_SELECTED", QRect(288, 202, 56, 16), kFigure, "3"),
        Sampled(Stat("IDC_EDIT_ACTIVITY", QRect(352, 202, 592, 16), kSecondary | kEnd),
                kImportingNewRecords, " 42%"),
        Ctl(F::List, "IDC_LIST", QRect(16, 224, 928, 176)),
        // the player: the waveform strip over the position slider, as wide
        Pnl(QRect(16, 408, 928, 176)),
        Stat("IDC_EDIT_NAME", QRect(28, 418, 480, 20), 0, "2026_05_01 10_20_30"),
        Stat("IDC_EDIT_FORMAT", QRect(516, 418, 300, 20), kSecondary | kEnd,
             "16000 Hz, mono, mu-law"),
        Stat("IDC_EDIT_SOUND_DATA_SIZE", QRect(824, 418, 108, 20), kFigure | kSecondary | kEnd,
             "1,234"),
        WellAt(QRect(96, 446, 616, 40)),
        Stat("IDC_WAVEFORM", QRect(97, 447, 614, 38), kSecondary | kAccent),
        Stat("IDC_EDIT_CURRENT_PLAY_POSITION", QRect(28, 494, 64, 20), kFigure, "0:01:23"),
        Ctl(F::Slider, "IDC_SL_PLAY", QRect(96, 494, 616, 20), "11"),
        Stat("IDC_EDIT_PLAY_DURATION", QRect(716, 494, 64, 20), kFigure | kEnd, "0:12:45"),
        Mark(QRect(796, 496, 16, 16), Icon::Speaker),
        Ctl(F::Slider, "IDC_SL_VOLUME", QRect(816, 494, 116, 20), "64"),
        IBtn("IDC_BEGIN", QRect(28, 528, 40, 32), Icon::Previous),
        IBtn("IDC_PLAY", QRect(72, 528, 48, 32), Icon::Play, true),
        IBtn("IDC_PAUSE", QRect(124, 528, 40, 32), Icon::Pause),
        IBtn("IDC_STOP_PLAY", QRect(168, 528, 40, 32), Icon::Stop),
        IBtn("IDC_END", QRect(212, 528, 40, 32), Icon::Next),
        IBtn("IDC_LOAD_FROM_DISK", QRect(264, 528, 40, 32), Icon::OpenFile),
        Tgl("IDC_CHK_RING", QRect(400, 528, 96, 32), kLoopLabel, Icon::Loop),
        Edt("IDC_EDIT_RING_LENGTH", QRect(500, 532, 36, 24), "10", kFigure),
        Ctl(F::Spin, "IDC_SPIN_RING_LENGTH", QRect(538, 532, 16, 23)),
        Lbl(QRect(558, 532, 18, 24), kSecondsLabel, kLeft),
        Tgl("IDC_CHK_ARC", QRect(584, 528, 136, 32), kAutoLevelLabel, Icon::Gain),
        Tgl("IDC_CHK_DENOISER", QRect(724, 528, 164, 32), kDenoiseLabel, Icon::Denoise),
        IBtn("IDC_PLAYER_OPTIONS", QRect(896, 528, 36, 32), Icon::Options),
    };
    return c;
}

std::vector<F> ParamsControls()
{
    constexpr int W = 864;
    std::vector<F> c = {
        Close(W),
        // sources and format
        Head(QRect(24, 36, 352, 20), kSignalSourcesLabel),
        Lbl(QRect(24, 64, 168, 24), kLeftChannelLabel),
        Sampled(Cmb("IDC_CMB_SOURCE_LEFT", QRect(200, 64, 176, 24), nullptr), kInternalMic),
        Lbl(QRect(24, 96, 168, 24), kRightChannelLabel),
        Sampled(Cmb("IDC_CMB_SOURCE_RIGHT", QRect(200, 96, 176, 24), nullptr), kNone),
        Lbl(QRect(24, 128, 168, 24), kSampleRateLabel),
        Sampled(Cmb("IDC_CMB_SAMPLE_RATE", QRect(200, 128, 176, 24), nullptr), kRate16k),
        Choice(F::Radio, "IDC_OP_FORMAT0", QRect(200, 160, 80, 20), kMonoLabel),
        Choice(F::Radio, "IDC_OP_FORMAT1", QRect(288, 160, 88, 20), kStereoLabel),
        Choice(F::Check, "IDC_CHK_COMPRESSION", QRect(200, 186, 176, 20), kColumnCompression),
        // gain
        Head(QRect(24, 220, 352, 20), kGainControlLabel),
        Choice(F::Radio, "IDC_OP_AGC1", QRect(24, 246, 168, 20), kAutomaticLabel),
        Choice(F::Radio, "IDC_OP_AGC0", QRect(200, 246, 168, 20), kManualLabel),
        Lbl(QRect(24, 274, 280, 16), kInputLevelLabel),
        Ctl(F::Slider, "IDC_SL_INPUT_LEVEL", QRect(24, 294, 280, 20), "80"),
        Stat("IDC_STATIC_INPUT_LEVEL", QRect(312, 294, 56, 20), kFigure | kEnd, "36"),
        // voice activation
        Choice(F::Check, "IDC_CHK_ACCU", QRect(24, 332, 352, 20), kVoiceActivationLabel),
        Lbl(QRect(24, 358, 280, 16), kThresholdLabel),
        Ctl(F::Slider, "IDC_SL_ACCU_LEFT", QRect(24, 378, 280, 20), "50"),
        Stat("IDC_STATIC_ACCU_LEFT", QRect(312, 378, 56, 20), kFigure | kEnd, "30"),
        Ctl(F::Progress, "IDC_PROGRESS_LEVEL_LEFT", QRect(34, 410, 260, 8), "62"),
        Img("IDC_STATIC_LEVEL_ABOVE", QRect(320, 406, 16, 16), Icon::Voice),
        // timers
        Lbl(QRect(528, 36, 112, 16), kDateLabel),
        Lbl(QRect(648, 36, 88, 16), kTimeLabel),
        Lbl(QRect(744, 36, 96, 16), kDurationLabel),
    };
    for (int i = 0; i < 5; ++i)
    {
        int y = 60 + i * 32;
        std::string n = std::to_string(i + 1);
        c.push_back(
            Choice(F::Check, "IDC_CHK_TIMER" + n, QRect(392, y + 2, 128, 20), kTimerLabel, i + 1));
        c.push_back(Ctl(F::Date, "IDC_DTP_TIMER_DATE" + n, QRect(528, y, 112, 24), "08.12.2026"));
        c.push_back(Ctl(F::Time, "IDC_DTP_TIMER_TIME" + n, QRect(648, y, 88, 24), "10:00"));
        c.push_back(Ctl(F::Time, "IDC_DTP_TIMER_DUR" + n, QRect(744, y, 96, 24), "01:00"));
    }
    std::vector<F> rest = {
        // loop recording and the buttons of the recorder
        Choice(F::Check, "IDC_CHK_RING", QRect(392, 232, 448, 20), kLoopRecordingLabel),
        Edt("IDC_EDIT_RING_HOUR", QRect(424, 258, 44, 24), "1", kFigure),
        Ctl(F::Spin, "IDC_SPIN_RING_HOUR", QRect(470, 258, 16, 23)),
        // room for the longer hour units ("godz.") before the minutes
        Lbl(QRect(492, 258, 48, 24), kHoursLabel, kLeft),
        Edt("IDC_EDIT_RING_MIN", QRect(552, 258, 44, 24), "0", kFigure),
        Ctl(F::Spin, "IDC_SPIN_RING_MIN", QRect(598, 258, 16, 23)),
        Lbl(QRect(620, 258, 48, 24), kMinutesLabel, kLeft),
        Head(QRect(392, 300, 448, 20), kButtonFunctionLabel),
        Sampled(Cmb("IDC_CMB_BUTTON_MODE", QRect(392, 328, 240, 24), nullptr), kButtonForErase),
        Choice(F::Check, "IDC_CHK_RECORD_BUTTON", QRect(392, 364, 448, 20), kRecordButtonLabel),
        // the time the recorder can hold
        WellAt(QRect(24, 436, 816, 28)),
        Sampled(Stat("IDC_STATIC_MAX_DUR", QRect(36, 440, 792, 20), kSecondary), kMaxRecordTime,
                "34:08:15"),
        Btn("IDC_DEFAULT", QRect(24, 488, 112, 28), kDefaultsLabel),
        Btn("IDC_SAVE", QRect(144, 488, 112, 28), kSaveLabel),
        Btn("IDC_LOAD", QRect(264, 488, 112, 28), kLoadLabel),
        Ok(W, 488),
        Cancel(W, 488),
    };
    c.insert(c.end(), rest.begin(), rest.end());
    return c;
}

} // namespace

// A dialog's name and skin resources come from its identity in skin/control_tables.h.
#define VARK_FORM_IDENTITY(name, id, bmp, desc, perLanguage) #name, bmp, desc, perLanguage

const std::vector<FormDialog>& FormDialogs()
{
    static const std::vector<FormDialog> dialogs = {
        {VARK_VARK_DIALOG_IDENTITY(VARK_FORM_IDENTITY), QSize(960, 600), kProductName, 0,
         MainControls()},
        {VARK_ABOUT_BOX_IDENTITY(VARK_FORM_IDENTITY),
         QSize(400, 240),
         kAboutLabel,
         188,
         {Mark(QRect(24, 44, 40, 40), Icon::AppMark),
          Lbl(QRect(80, 44, 296, 24), kProductName, kLarge | kPrimary),
          Lbl(QRect(80, 76, 256, 16), kVersionLabel),
          Stat("IDC_STATIC_BUILD", QRect(80, 92, 256, 16), kFigure, "1.01.176"),
          Lbl(QRect(80, 116, 256, 16), kRecorderFirmwareLabel),
          Stat("IDC_FIRMWARE_VERSION", QRect(80, 132, 256, 16), kFigure, "44.16"),
          F{F::Link, "IDC_LINK", QRect(80, 160, 256, 16), kOpenUserGuideLabel},
          Btn("IDOK", QRect(288, 200, 88, 28), kOkButton, true)}},
        {VARK_PIN_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 184),
         kEnterPinCodeLabel,
         136,
         {Lbl(QRect(24, 40, 312, 16), kSerialNumberLabel),
          Edt("IDC_EDIT_UIN", QRect(24, 58, 312, 24), "20416"),
          Lbl(QRect(24, 92, 312, 16), kPinCodeLabel),
          Edt("IDC_EDIT_PIN", QRect(24, 110, 312, 24), "••••"), Ok(360, 148), Cancel(360, 148),
          Close(360)}},
        {VARK_CHANGE_PIN_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 236),
         kChangePinCodeLabel,
         188,
         {Lbl(QRect(24, 40, 312, 16), kCurrentPinCodeLabel),
          Edt("IDC_EDIT_PIN_OLD", QRect(24, 58, 312, 24)),
          Lbl(QRect(24, 92, 312, 16), kNewPinCodeLabel),
          Edt("IDC_EDIT_PIN_NEW1", QRect(24, 110, 312, 24)),
          Lbl(QRect(24, 144, 312, 16), kRepeatNewPinCodeLabel),
          Edt("IDC_EDIT_PIN_NEW2", QRect(24, 162, 312, 24)), Ok(360, 200), Cancel(360, 200),
          Close(360)}},
        {VARK_DEVICE_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 132),
         kPlaybackDeviceLabel,
         84,
         {Lbl(QRect(24, 40, 312, 16), kSoundOutputDeviceLabel),
          Cmb("IDC_CMB_DEVICE", QRect(24, 58, 312, 24), "Built-in Audio Analog Stereo"),
          Ok(360, 96), Cancel(360, 96), Close(360)}},
        {VARK_TIME_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 132),
         kRecorderClockLabel,
         84,
         {Lbl(QRect(24, 40, 152, 16), kDateLabel),
          Ctl(F::Date, "IDC_DTP_DATE", QRect(24, 58, 152, 24), "08.12.2026"),
          Lbl(QRect(184, 40, 152, 16), kTimeLabel),
          Ctl(F::Time, "IDC_DTP_TIME", QRect(184, 58, 152, 24), "22:45:10"), Ok(360, 96),
          Cancel(360, 96), Close(360)}},
        {VARK_PARAMS_DIALOG_IDENTITY(VARK_FORM_IDENTITY), QSize(864, 528),
         kRecordingParametersLabel, 476, ParamsControls()},
        {VARK_SIGNATURE_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(440, 284),
         kFileAuthenticationLabel,
         232,
         {Lbl(QRect(24, 36, 392, 16), kSoundFileLabel),
          Edt("IDC_EDIT_FILE", QRect(24, 54, 352, 24), "~/Records/2026_05_01 10_20_30.wav"),
          IBtn("IDC_BUTTON_FILE", QRect(384, 54, 32, 24), Icon::Folder),
          Lbl(QRect(24, 88, 392, 16), kSignatureFileLabel),
          Edt("IDC_EDIT_SIGN_FILE", QRect(24, 106, 352, 24),
              "~/Records/2026_05_01 10_20_30.wav.dsg"),
          IBtn("IDC_BUTTON_SIGN_FILE", QRect(384, 106, 32, 24), Icon::Folder),
          Head(QRect(24, 142, 392, 20), kSerialNumberLabel),
          Choice(F::Radio, "IDC_RADIO_DIC1", QRect(24, 168, 392, 20), kAttachedRecorderLabel),
          Choice(F::Radio, "IDC_RADIO_DIC0", QRect(24, 194, 216, 20), kEnterSerialNumberLabel),
          Edt("IDC_EDIT_UIN", QRect(248, 192, 168, 24), "20416", kFigure), Ok(440, 244),
          Cancel(440, 244), Close(440)}},
        {VARK_KEY_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(560, 340),
         kSerialKeyLabel,
         288,
         {Head(QRect(24, 36, 512, 20), kSerialNumberLabel),
          Choice(F::Radio, "IDC_RADIO_DIC1", QRect(24, 62, 512, 20), kAttachedRecorderLabel),
          Choice(F::Radio, "IDC_RADIO_DIC0", QRect(24, 88, 200, 20), kEnterSerialNumberLabel),
          Edt("IDC_EDIT_UIN", QRect(232, 86, 144, 24), "20416", kFigure),
          Head(QRect(24, 124, 512, 20), kSerialKeyLabel),
          Edt("IDC_EDIT_KEY", QRect(24, 150, 352, 24),
              "1a2b3c4d 5e6f7081 92a3b4c5 d6e7f809 1a2b3c4d", kFigure),
          Head(QRect(24, 186, 512, 20), kSigningKeyHeading),
          Edt("IDC_EDIT_SIGNING_KEY", QRect(24, 212, 512, 24),
              "RWQaNY++d7tulxn3uHTKJ0q4SDcRPMj8Cj8ARgOe947SqAJvbqXQbPpx"),
          Btn("IDC_BUTTON_EXPORT_KEY", QRect(448, 244, 88, 24), kExportKeyButton),
          Btn("IDOK", QRect(280, 300, 120, 28), kShowKeyLabel, true), Cancel(560, 300),
          Close(560)}},
        {VARK_LOAD_RECORDS_LIST_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 132),
         kLoadRecordsList,
         84,
         {Lbl(QRect(24, 40, 160, 16), kRecordsLabel),
          Stat("IDC_STATIC_LOADED", QRect(192, 40, 64, 16), kFigure | kEnd, "128"),
          Literal(QRect(256, 40, 16, 16), "/", kCenter),
          Stat("IDC_STATIC_TOTAL", QRect(272, 40, 64, 16), kFigure, "342"),
          Ctl(F::Progress, "IDC_PROGRESS", QRect(24, 64, 312, 8), "37"), Cancel(360, 96)}},
        {VARK_PLAYER_OPTIONS_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(400, 592),
         kPlayerOptions,
         540,
         {Head(QRect(24, 36, 352, 20), kAutomaticGainControl),
          Lbl(QRect(24, 64, 176, 24), kLevelLabel),
          Cmb("IDC_COMBO_AGC", QRect(208, 64, 168, 24), "30"),
          Head(QRect(24, 100, 352, 20), kNoiseReduction),
          Lbl(QRect(24, 128, 176, 24), kModeLabel),
          Sampled(Cmb("IDC_COMBO_NC_MODE", QRect(208, 128, 168, 24), nullptr), kMicrophone),
          Lbl(QRect(24, 160, 176, 24), kDepthLabel),
          Cmb("IDC_COMBO_NC_DEPTH", QRect(208, 160, 168, 24), "20000"),
          Head(QRect(24, 200, 352, 20), kTranscriptionHead),
          Lbl(QRect(24, 228, 176, 24), kSkipStepLabel),
          Cmb("IDC_COMBO_SKIP_STEP", QRect(208, 228, 72, 24), "5"),
          Lbl(QRect(288, 228, 24, 24), kSecondsLabel, kLeft),
          Lbl(QRect(24, 260, 176, 24), kResumeRewindLabel),
          Cmb("IDC_COMBO_RESUME_REWIND", QRect(208, 260, 72, 24), "0"),
          Lbl(QRect(288, 260, 24, 24), kSecondsLabel, kLeft),
          Lbl(QRect(24, 292, 176, 24), kTimeStampLabel),
          Sampled(Cmb("IDC_COMBO_TIME_STAMP", QRect(208, 292, 168, 24), nullptr), kStampPosition),
          Head(QRect(24, 332, 352, 20), kFootPedalHead),
          Stat("IDC_STATIC_PEDAL", QRect(24, 360, 352, 16), 0, "VEC  VEC USB Footpedal"),
          Choice(F::Check, "IDC_CHK_PEDAL_LEFT", QRect(24, 384, 112, 20), kPedalLeft),
          Choice(F::Check, "IDC_CHK_PEDAL_MIDDLE", QRect(144, 384, 112, 20), kPedalMiddle),
          Choice(F::Check, "IDC_CHK_PEDAL_RIGHT", QRect(264, 384, 112, 20), kPedalRight),
          Lbl(QRect(24, 416, 176, 24), kMiddlePedalLabel),
          Sampled(Cmb("IDC_COMBO_PEDAL_MODE", QRect(208, 416, 168, 24), nullptr),
                  kPressToPlayPause),
          Lbl(QRect(24, 448, 176, 24), kWindSpeedLabel),
          Cmb("IDC_COMBO_PEDAL_SPEED", QRect(208, 448, 72, 24), "4\u00d7"),
          Btn("IDC_BUTTON_SET_DEFAULT", QRect(208, 492, 168, 28), kDefaultsLabel),
          Btn("IDOK", QRect(96, 552, 88, 28), kOkButton, true),
          Btn("IDCANCEL", QRect(192, 552, 88, 28), kCancelButton),
          Btn("IDC_BUTTON_APPLY", QRect(288, 552, 88, 28), kApplyLabel),
          Close(400)}},
        {VARK_EXPORT_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(440, 472),
         kCopyToDisk,
         420,
         {Lbl(QRect(24, 36, 392, 16), kTargetFolderLabel),
          Edt("IDC_EDIT_DIR", QRect(24, 54, 352, 24), "~/Records/Export"),
          IBtn("IDC_BUTTON_DIR", QRect(384, 54, 32, 24), Icon::Folder),
          Head(QRect(24, 90, 392, 20), kPauseBetweenFragmentsLabel),
          Choice(F::Radio, "IDC_RADIO_PAUSE0", QRect(24, 116, 200, 20), kFixedPauseLabel),
          Edt("IDC_EDIT_PAUSE", QRect(232, 114, 48, 24), "2", kFigure),
          Ctl(F::Spin, "IDC_SPIN", QRect(282, 114, 16, 23)),
          Lbl(QRect(304, 114, 24, 24), kSecondsLabel, kLeft),
          Choice(F::Radio, "IDC_RADIO_PAUSE1", QRect(24, 142, 200, 20), kRealPauseLabel),
          Choice(F::Check, "IDC_CHK_MAKE_SIGN", QRect(24, 172, 392, 20),
                 kCreateSignatureFilesLabel),
          Choice(F::Check, "IDC_CHK_OPEN_SIGN", QRect(24, 196, 392, 20),
                 kCreateOpenSignaturesLabel),
          Choice(F::Check, "IDC_CHK_KEEP_SEL", QRect(24, 220, 392, 20), kKeepSelectionLabel),
          Choice(F::Check, "IDC_CHK_KEEP_ORIGINAL", QRect(24, 244, 392, 20), kKeepOriginalLabel),
          Lbl(QRect(24, 268, 160, 24), kFileFormatLabel),
          Sampled(Cmb("IDC_COMBO_FORMAT", QRect(192, 268, 224, 24), nullptr), kFormatFlac),
          Choice(F::Check, "IDC_CHK_BWF", QRect(24, 300, 392, 20), kBroadcastWavLabel),
          WellAt(QRect(16, 332, 408, 80)),
          Sampled(Stat("IDC_STATIC_PROGRESS_CUR", QRect(28, 340, 328, 16), kSecondary),
                  kWritingRecordFile),
          Stat("IDC_STATIC_PROGRESS_CUR_PERC", QRect(364, 340, 36, 16), kFigure | kEnd, "42"),
          Literal(QRect(400, 340, 14, 16), "%", kFigure),
          Ctl(F::Progress, "IDC_PROGRESS_CUR", QRect(28, 360, 384, 8), "42"),
          Lbl(QRect(28, 376, 108, 16), kTotalKbLabel),
          Stat("IDC_STATIC_TOTAL_WRITED", QRect(148, 376, 84, 16), kFigure | kEnd, "12,345"),
          Literal(QRect(232, 376, 16, 16), "/", kCenter),
          Stat("IDC_STATIC_TOTAL_TO_WRITE", QRect(248, 376, 88, 16), kFigure, "45,678"),
          Stat("IDC_STATIC_PROGRESS_TOTAL_PERC", QRect(364, 376, 36, 16), kFigure | kEnd, "27"),
          Literal(QRect(400, 376, 14, 16), "%", kFigure),
          Ctl(F::Progress, "IDC_PROGRESS_TOTAL", QRect(28, 396, 384, 8), "27"),
          Ok(440, 432),
          Cancel(440, 432),
          Close(440)}},
        {VARK_DRIVE_SERIAL_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 208),
         kDriveSerialTitle,
         160,
         {Stat("IDC_STATIC_RECORDER", QRect(24, 40, 312, 16), 0, "VOICE_PEN"),
          Lbl(QRect(24, 64, 312, 48), kDriveSerialQuestion, kWrap),
          Edt("IDC_EDIT_UIN", QRect(24, 120, 312, 24), "20416"), Ok(360, 172), Cancel(360, 172),
          Close(360)}},
        {VARK_PASSPHRASE_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(360, 264),
         kSigningKeyTitle,
         216,
         {Sampled(Stat("IDC_STATIC_PROMPT", QRect(24, 40, 312, 64), kWrap), kNewSigningKeyPrompt),
          Sampled(Stat("IDC_STATIC_PASS", QRect(24, 112, 312, 16), kSecondary), kPassphraseLabel),
          Edt("IDC_EDIT_PASS", QRect(24, 130, 312, 24), "\u2022\u2022\u2022\u2022"),
          Sampled(Stat("IDC_STATIC_AGAIN", QRect(24, 164, 312, 16), kSecondary),
                  kPassphraseAgainLabel),
          Edt("IDC_EDIT_PASS2", QRect(24, 182, 312, 24), "\u2022\u2022\u2022\u2022"), Ok(360, 228),
          Cancel(360, 228), Close(360)}},
        {VARK_DRIVE_IMPORT_DIALOG_IDENTITY(VARK_FORM_IDENTITY),
         QSize(440, 248),
         kDriveImportTitle,
         200,
         {Stat("IDC_STATIC_RECORDER", QRect(24, 40, 392, 16), 0, "VOICE_PEN"),
          Choice(F::Check, "IDC_CHK_IMPORT", QRect(24, 68, 392, 20), kImportOnPlugLabel),
          Lbl(QRect(24, 98, 392, 16), kTargetFolderLabel),
          Edt("IDC_EDIT_DIR", QRect(24, 116, 352, 24), "~/Recordings/VOICE_PEN"),
          IBtn("IDC_BUTTON_DIR", QRect(384, 116, 32, 24), Icon::Folder),
          Choice(F::Check, "IDC_CHK_DELETE_VERIFIED", QRect(24, 152, 392, 20),
                 kDeleteVerifiedLabel),
          Ok(440, 212), Cancel(440, 212), Close(440)}},
    };
    return dialogs;
}

#undef VARK_FORM_IDENTITY

} // namespace builder
