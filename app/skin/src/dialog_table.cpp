#include "skin/dialog_table.h"

namespace skin
{

namespace
{

using K = ControlKind;

// The buttons that close a form: OK, Cancel and the close button of the title band.
void AddFormButtons(std::vector<ControlSkin>& c)
{
    c.push_back({"IDOK", 1, K::Button});
    c.push_back({"IDCANCEL", 2, K::Button});
    c.push_back({"IDC_CANCEL", 1085, K::Button});
}

std::vector<ControlSkin> WithFormButtons(std::vector<ControlSkin> c)
{
    AddFormButtons(c);
    return c;
}

std::vector<ControlSkin> ParamsControls()
{
    std::vector<ControlSkin> c = {
        {"IDC_CMB_SOURCE_LEFT", 1201, K::Combo},
        {"IDC_CMB_SOURCE_RIGHT", 1202, K::Combo},
        {"IDC_CMB_SAMPLE_RATE", 1203, K::Combo},
        {"IDC_CHK_COMPRESSION", 1204, K::Check},
        {"IDC_OP_FORMAT0", 1205, K::Radio},
        {"IDC_OP_FORMAT1", 1206, K::Radio},
        {"IDC_OP_AGC1", 1207, K::Radio},
        {"IDC_OP_AGC0", 1208, K::Radio},
        {"IDC_SL_INPUT_LEVEL", 1209, K::Slider},
        {"IDC_STATIC_INPUT_LEVEL", 1210, K::Static},
        {"IDC_CHK_ACCU", 1231, K::Check},
        {"IDC_SL_ACCU_LEFT", 1232, K::Slider},
        {"IDC_STATIC_ACCU_LEFT", 1233, K::Static},
        {"IDC_PROGRESS_LEVEL_LEFT", 1234, K::Progress},
        {"IDC_STATIC_LEVEL_ABOVE", 1235, K::Image},
        {"IDC_CHK_RING", 1039, K::Check},
        {"IDC_EDIT_RING_HOUR", 1236, K::Edit},
        {"IDC_SPIN_RING_HOUR", 1237, K::Spin},
        {"IDC_EDIT_RING_MIN", 1238, K::Edit},
        {"IDC_SPIN_RING_MIN", 1239, K::Spin},
        {"IDC_CMB_BUTTON_MODE", 1240, K::Combo},
        {"IDC_CHK_RECORD_BUTTON", 1241, K::Check},
        {"IDC_STATIC_MAX_DUR", 1242, K::Static},
        {"IDC_DEFAULT", 1243, K::Button},
        {"IDC_SAVE", 1244, K::Button},
        {"IDC_LOAD", 1245, K::Button},
    };
    // the five timers: check box, start date, start time, duration
    static const char* const names[4][5] = {
        {"IDC_CHK_TIMER1", "IDC_CHK_TIMER2", "IDC_CHK_TIMER3", "IDC_CHK_TIMER4", "IDC_CHK_TIMER5"},
        {"IDC_DTP_TIMER_DATE1", "IDC_DTP_TIMER_DATE2", "IDC_DTP_TIMER_DATE3", "IDC_DTP_TIMER_DATE4",
         "IDC_DTP_TIMER_DATE5"},
        {"IDC_DTP_TIMER_TIME1", "IDC_DTP_TIMER_TIME2", "IDC_DTP_TIMER_TIME3", "IDC_DTP_TIMER_TIME4",
         "IDC_DTP_TIMER_TIME5"},
        {"IDC_DTP_TIMER_DUR1", "IDC_DTP_TIMER_DUR2", "IDC_DTP_TIMER_DUR3", "IDC_DTP_TIMER_DUR4",
         "IDC_DTP_TIMER_DUR5"}};
    const K kinds[4] = {K::Check, K::Date, K::Time, K::Time};
    for (int part = 0; part < 4; ++part)
        for (int i = 0; i < 5; ++i)
            c.push_back({names[part][i], 1211 + part * 5 + i, kinds[part]});
    AddFormButtons(c);
    return c;
}

} // namespace

const std::vector<DialogSkin>& ProgramDialogs()
{
    static const std::vector<DialogSkin> dialogs = {
        {"IDD_VARK_DIALOG",
         102,
         209,
         195,
         true,
         {
             {"IDC_LIST", 1000, K::List},
             {"IDC_EDIT_CONNECT", 1001, K::Static},
             {"IDC_EDIT_FREE", 1002, K::Static},
             {"IDC_EDIT_MAX_DUR", 1003, K::Static},
             {"IDC_EDIT_USED", 1004, K::Static},
             {"IDC_EDIT_TIME", 1006, K::Static},
             {"IDC_EDIT_ALL_MEMORY", 1008, K::Static},
             {"IDC_CHK_RING", 1039, K::Check},
             {"IDC_CHK_ARC", 1041, K::Check},
             {"IDC_CHK_DENOISER", 1042, K::Check},
             {"IDC_SL_PLAY", 1045, K::Slider},
             {"IDC_PLAY", 1046, K::Button},
             {"IDC_STOP_PLAY", 1047, K::Button},
             {"IDC_EDIT_CURRENT_PLAY_POSITION", 1048, K::Static},
             {"IDC_EDIT_PLAY_DURATION", 1049, K::Static},
             {"IDC_EDIT_SOUND_DATA_SIZE", 1050, K::Static},
             {"IDC_EDIT_NAME", 1051, K::Static},
             {"IDC_PLAYER_OPTIONS", 1053, K::Button},
             {"IDC_EDIT_UIN", 1054, K::Static},
             {"IDC_EDIT_TRACK_COUNT", 1058, K::Static},
             {"IDC_EDIT_TRACK_SELECTED", 1059, K::Static},
             {"IDC_EDIT_FORMAT", 1060, K::Static},
             {"IDC_BEGIN", 1061, K::Button},
             {"IDC_PAUSE", 1062, K::Button},
             {"IDC_END", 1063, K::Button},
             {"IDC_LOAD_FROM_DISK", 1064, K::Button},
             {"IDC_SL_VOLUME", 1066, K::Slider},
             {"IDC_CANCEL", 1085, K::Button},
             {"IDC_MINIMIZE", 1086, K::Button},
             {"IDC_STATIC_CONNECT", 1093, K::Image},
             {"IDC_STATIC_DISCONNECT", 1094, K::Image},
             {"IDC_STATIC_CHARGING", 1096, K::Image},
             {"IDC_INDICATOR_CHARGE_LEVEL", 1097, K::Indicator},
             {"IDC_CHARGE_LEVEL", 1098, K::Static},
             {"IDC_INDICATOR_MEMORY_STATUS", 1099, K::Indicator},
             {"IDC_MEMORY_STATUS", 1100, K::Static},
             {"IDC_STATIC_MENU", 1103, K::Menu},
             {"IDC_EDIT_RING_LENGTH", 1139, K::Edit},
             {"IDC_SPIN_RING_LENGTH", 1140, K::Spin},
             {"IDC_BATTERY_INDICATION", 1176, K::Check},
         }},
        {"IDD_ABOUTBOX",
         100,
         197,
         189,
         true,
         {{"IDC_STATIC_BUILD", 1088, K::Static},
          {"IDC_FIRMWARE_VERSION", 1083, K::Static},
          {"IDC_LINK", 1089, K::ButtonEx},
          {"IDOK", 1, K::Button}}},
        {"IDD_PIN_DIALOG", 108, 199, 193, true,
         WithFormButtons({{"IDC_EDIT_UIN", 1054, K::Edit}, {"IDC_EDIT_PIN", 1055, K::Edit}})},
        {"IDD_CHANGE_PIN_DIALOG", 110, 200, 201, false,
         WithFormButtons({{"IDC_EDIT_PIN_OLD", 1056, K::Edit},
                          {"IDC_EDIT_PIN_NEW1", 1084, K::Edit},
                          {"IDC_EDIT_PIN_NEW2", 1057, K::Edit}})},
        {"IDD_DEVICE_DIALOG", 106, 203, 202, false,
         WithFormButtons({{"IDC_CMB_DEVICE", 1051, K::Combo}})},
        {"IDD_TIME_DIALOG", 107, 204, 194, false,
         WithFormButtons({{"IDC_DTP_DATE", 1052, K::Date}, {"IDC_DTP_TIME", 1053, K::Time}})},
        {"IDD_PARAMS_DIALOG", 104, 208, 128, false, ParamsControls()},
        {"IDD_SIGNTATURE_DIALOG", 225, 229, 218, true,
         WithFormButtons({{"IDC_EDIT_FILE", 1250, K::Edit},
                          {"IDC_BUTTON_FILE", 1251, K::Button},
                          {"IDC_EDIT_SIGN_FILE", 1252, K::Edit},
                          {"IDC_BUTTON_SIGN_FILE", 1253, K::Button},
                          {"IDC_RADIO_DIC0", 1254, K::Radio},
                          {"IDC_RADIO_DIC1", 1255, K::Radio},
                          {"IDC_EDIT_UIN", 1054, K::Edit}})},
        {"IDD_KEY_DIALOG", 226, 230, 219, true,
         WithFormButtons({{"IDC_RADIO_DIC0", 1254, K::Radio},
                          {"IDC_RADIO_DIC1", 1255, K::Radio},
                          {"IDC_EDIT_UIN", 1054, K::Edit},
                          {"IDC_EDIT_KEY", 1256, K::Edit}})},
        {"IDD_LOAD_RECLIST_DLG",
         242,
         241,
         244,
         false,
         {{"IDC_PROGRESS", 1260, K::Progress},
          {"IDC_STATIC_LOADED", 1261, K::Static},
          {"IDC_STATIC_TOTAL", 1262, K::Static},
          {"IDCANCEL", 2, K::Button}}},
        {"IDD_PLAYER_OPTIONS_DIALOG", 245, 247, 250, true,
         WithFormButtons({{"IDC_COMBO_AGC", 1132, K::Combo},
                          {"IDC_COMBO_NC_MODE", 1133, K::Combo},
                          {"IDC_COMBO_NC_DEPTH", 1134, K::Combo},
                          {"IDC_BUTTON_SET_DEFAULT", 1136, K::Button},
                          {"IDC_BUTTON_APPLY", 3, K::Button}})},
        {"IDD_EXPORT_DIALOG", 277, 275, 276, false,
         WithFormButtons({{"IDC_EDIT_DIR", 1270, K::Edit},
                          {"IDC_BUTTON_DIR", 1271, K::Button},
                          {"IDC_RADIO_PAUSE0", 1272, K::Radio},
                          {"IDC_RADIO_PAUSE1", 1273, K::Radio},
                          {"IDC_EDIT_PAUSE", 1274, K::Edit},
                          {"IDC_SPIN", 1275, K::Spin},
                          {"IDC_STATIC_PROGRESS_CUR", 1276, K::Static},
                          {"IDC_PROGRESS_CUR", 1277, K::Progress},
                          {"IDC_STATIC_PROGRESS_CUR_PERC", 1278, K::Static},
                          {"IDC_PROGRESS_TOTAL", 1279, K::Progress},
                          {"IDC_STATIC_PROGRESS_TOTAL_PERC", 1280, K::Static},
                          {"IDC_STATIC_TOTAL_WRITED", 1281, K::Static},
                          {"IDC_STATIC_TOTAL_TO_WRITE", 1282, K::Static},
                          {"IDC_CHK_MAKE_SIGN", 1283, K::Check},
                          {"IDC_CHK_KEEP_SEL", 1284, K::Check}})},
        {"IDD_MSGBOX_DIALOG",
         210,
         248,
         217,
         false,
         {{"IDC_STATIC_TEXT", 1102, K::Static},
          {"IDC_ICON_ERROR", 1098, K::Image},
          {"IDC_ICON_WARNING", 1099, K::Image},
          {"IDC_ICON_ASK", 1101, K::Image},
          {"IDC_ICON_INFO", 1100, K::Image},
          {"IDOK", 1, K::Button},
          {"IDYES", 6, K::Button},
          {"IDNO", 7, K::Button},
          {"IDC_CANCEL", 1085, K::Button}}},
    };
    return dialogs;
}

const DialogSkin* FindDialog(const std::string& name)
{
    for (const DialogSkin& d : ProgramDialogs())
        if (name == d.name) return &d;
    return nullptr;
}

} // namespace skin
