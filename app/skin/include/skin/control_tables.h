// Every skinned dialog, once: its identity and its controls. A dialog's identity,
// X(name, number, bitmap, description, descriptionPerLanguage), is its section name, its
// resource number, the numbers of its skin bitmap and skin description, and whether that
// description is kept per language. Its controls are one table a dialog and one line a
// control: the control's name, its number and the skinned class that stands for it, each
// table taking the macro that makes one entry, X(name, number, kind). The dialog table
// (skin/dialog_table.h), the dialogs' own constants and the skin builder's layouts are made
// from here; the dialogs bind their controls by name, and the tests name them too.
#pragma once

// The buttons that close a form: OK, Cancel and the close button of the title band.
#define VARK_FORM_BUTTONS_CONTROLS(X)                                                              \
    X(IDOK, 1, Button)                                                                             \
    X(IDCANCEL, 2, Button)                                                                         \
    X(IDC_CANCEL, 1085, Button)

// The serial number choice of the signature and key dialogs.
#define VARK_SERIAL_CHOICE_CONTROLS(X)                                                             \
    X(IDC_RADIO_DIC0, 1254, Radio)                                                                 \
    X(IDC_RADIO_DIC1, 1255, Radio)                                                                 \
    X(IDC_EDIT_UIN, 1054, Edit)

#define VARK_VARK_DIALOG_IDENTITY(X) X(IDD_VARK_DIALOG, 102, 209, 195, true)
#define VARK_VARK_DIALOG_CONTROLS(X)                                                               \
    X(IDC_LIST, 1000, List)                                                                        \
    X(IDC_EDIT_CONNECT, 1001, Static)                                                              \
    X(IDC_EDIT_FREE, 1002, Static)                                                                 \
    X(IDC_EDIT_MAX_DUR, 1003, Static)                                                              \
    X(IDC_EDIT_USED, 1004, Static)                                                                 \
    X(IDC_EDIT_TIME, 1006, Static)                                                                 \
    X(IDC_EDIT_ALL_MEMORY, 1008, Static)                                                           \
    X(IDC_CHK_RING, 1039, Check)                                                                   \
    X(IDC_CHK_ARC, 1041, Check)                                                                    \
    X(IDC_CHK_DENOISER, 1042, Check)                                                               \
    X(IDC_SL_PLAY, 1045, Slider)                                                                   \
    X(IDC_PLAY, 1046, Button)                                                                      \
    X(IDC_STOP_PLAY, 1047, Button)                                                                 \
    X(IDC_EDIT_CURRENT_PLAY_POSITION, 1048, Static)                                                \
    X(IDC_EDIT_PLAY_DURATION, 1049, Static)                                                        \
    X(IDC_EDIT_SOUND_DATA_SIZE, 1050, Static)                                                      \
    X(IDC_EDIT_NAME, 1051, Static)                                                                 \
    X(IDC_PLAYER_OPTIONS, 1053, Button)                                                            \
    X(IDC_EDIT_UIN, 1054, Static)                                                                  \
    X(IDC_EDIT_TRACK_COUNT, 1058, Static)                                                          \
    X(IDC_EDIT_TRACK_SELECTED, 1059, Static)                                                       \
    X(IDC_EDIT_ACTIVITY, 1297, Static)                                                             \
    X(IDC_WAVEFORM, 1300, Static)                                                                  \
    X(IDC_EDIT_FORMAT, 1060, Static)                                                               \
    X(IDC_BEGIN, 1061, Button)                                                                     \
    X(IDC_PAUSE, 1062, Button)                                                                     \
    X(IDC_END, 1063, Button)                                                                       \
    X(IDC_LOAD_FROM_DISK, 1064, Button)                                                            \
    X(IDC_SL_VOLUME, 1066, Slider)                                                                 \
    X(IDC_CANCEL, 1085, Button)                                                                    \
    X(IDC_MINIMIZE, 1086, Button)                                                                  \
    X(IDC_STATIC_CONNECT, 1093, Image)                                                             \
    X(IDC_STATIC_DISCONNECT, 1094, Image)                                                          \
    X(IDC_STATIC_CHARGING, 1096, Image)                                                            \
    X(IDC_INDICATOR_CHARGE_LEVEL, 1097, Indicator)                                                 \
    X(IDC_CHARGE_LEVEL, 1098, Static)                                                              \
    X(IDC_INDICATOR_MEMORY_STATUS, 1099, Indicator)                                                \
    X(IDC_MEMORY_STATUS, 1100, Static)                                                             \
    X(IDC_STATIC_MENU, 1103, Menu)                                                                 \
    X(IDC_EDIT_RING_LENGTH, 1139, Edit)                                                            \
    X(IDC_SPIN_RING_LENGTH, 1140, Spin)                                                            \
    X(IDC_BATTERY_INDICATION, 1176, Check)

#define VARK_ABOUT_BOX_IDENTITY(X) X(IDD_ABOUTBOX, 100, 197, 189, true)
#define VARK_ABOUT_BOX_CONTROLS(X)                                                                 \
    X(IDC_STATIC_BUILD, 1088, Static)                                                              \
    X(IDC_FIRMWARE_VERSION, 1083, Static)                                                          \
    X(IDC_LINK, 1089, ButtonEx)                                                                    \
    X(IDOK, 1, Button)

#define VARK_PIN_DIALOG_IDENTITY(X) X(IDD_PIN_DIALOG, 108, 199, 193, true)
#define VARK_PIN_DIALOG_CONTROLS(X)                                                                \
    X(IDC_EDIT_UIN, 1054, Edit)                                                                    \
    X(IDC_EDIT_PIN, 1055, Edit)                                                                    \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_CHANGE_PIN_DIALOG_IDENTITY(X) X(IDD_CHANGE_PIN_DIALOG, 110, 200, 201, false)
#define VARK_CHANGE_PIN_DIALOG_CONTROLS(X)                                                         \
    X(IDC_EDIT_PIN_OLD, 1056, Edit)                                                                \
    X(IDC_EDIT_PIN_NEW1, 1084, Edit)                                                               \
    X(IDC_EDIT_PIN_NEW2, 1057, Edit)                                                               \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_DEVICE_DIALOG_IDENTITY(X) X(IDD_DEVICE_DIALOG, 106, 203, 202, false)
#define VARK_DEVICE_DIALOG_CONTROLS(X)                                                             \
    X(IDC_CMB_DEVICE, 1051, Combo)                                                                 \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_TIME_DIALOG_IDENTITY(X) X(IDD_TIME_DIALOG, 107, 204, 194, false)
#define VARK_TIME_DIALOG_CONTROLS(X)                                                               \
    X(IDC_DTP_DATE, 1052, Date)                                                                    \
    X(IDC_DTP_TIME, 1053, Time)                                                                    \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_PARAMS_DIALOG_IDENTITY(X) X(IDD_PARAMS_DIALOG, 104, 208, 128, false)
#define VARK_PARAMS_DIALOG_CONTROLS(X)                                                             \
    X(IDC_CMB_SOURCE_LEFT, 1201, Combo)                                                            \
    X(IDC_CMB_SOURCE_RIGHT, 1202, Combo)                                                           \
    X(IDC_CMB_SAMPLE_RATE, 1203, Combo)                                                            \
    X(IDC_CHK_COMPRESSION, 1204, Check)                                                            \
    X(IDC_OP_FORMAT0, 1205, Radio)                                                                 \
    X(IDC_OP_FORMAT1, 1206, Radio)                                                                 \
    X(IDC_OP_AGC1, 1207, Radio)                                                                    \
    X(IDC_OP_AGC0, 1208, Radio)                                                                    \
    X(IDC_SL_INPUT_LEVEL, 1209, Slider)                                                            \
    X(IDC_STATIC_INPUT_LEVEL, 1210, Static)                                                        \
    X(IDC_CHK_ACCU, 1231, Check)                                                                   \
    X(IDC_SL_ACCU_LEFT, 1232, Slider)                                                              \
    X(IDC_STATIC_ACCU_LEFT, 1233, Static)                                                          \
    X(IDC_PROGRESS_LEVEL_LEFT, 1234, Progress)                                                     \
    X(IDC_STATIC_LEVEL_ABOVE, 1235, Image)                                                         \
    X(IDC_CHK_RING, 1039, Check)                                                                   \
    X(IDC_EDIT_RING_HOUR, 1236, Edit)                                                              \
    X(IDC_SPIN_RING_HOUR, 1237, Spin)                                                              \
    X(IDC_EDIT_RING_MIN, 1238, Edit)                                                               \
    X(IDC_SPIN_RING_MIN, 1239, Spin)                                                               \
    X(IDC_CMB_BUTTON_MODE, 1240, Combo)                                                            \
    X(IDC_CHK_RECORD_BUTTON, 1241, Check)                                                          \
    X(IDC_STATIC_MAX_DUR, 1242, Static)                                                            \
    X(IDC_DEFAULT, 1243, Button)                                                                   \
    X(IDC_SAVE, 1244, Button)                                                                      \
    X(IDC_LOAD, 1245, Button)                                                                      \
    X(IDC_CHK_TIMER1, 1211, Check)                                                                 \
    X(IDC_CHK_TIMER2, 1212, Check)                                                                 \
    X(IDC_CHK_TIMER3, 1213, Check)                                                                 \
    X(IDC_CHK_TIMER4, 1214, Check)                                                                 \
    X(IDC_CHK_TIMER5, 1215, Check)                                                                 \
    X(IDC_DTP_TIMER_DATE1, 1216, Date)                                                             \
    X(IDC_DTP_TIMER_DATE2, 1217, Date)                                                             \
    X(IDC_DTP_TIMER_DATE3, 1218, Date)                                                             \
    X(IDC_DTP_TIMER_DATE4, 1219, Date)                                                             \
    X(IDC_DTP_TIMER_DATE5, 1220, Date)                                                             \
    X(IDC_DTP_TIMER_TIME1, 1221, Time)                                                             \
    X(IDC_DTP_TIMER_TIME2, 1222, Time)                                                             \
    X(IDC_DTP_TIMER_TIME3, 1223, Time)                                                             \
    X(IDC_DTP_TIMER_TIME4, 1224, Time)                                                             \
    X(IDC_DTP_TIMER_TIME5, 1225, Time)                                                             \
    X(IDC_DTP_TIMER_DUR1, 1226, Time)                                                              \
    X(IDC_DTP_TIMER_DUR2, 1227, Time)                                                              \
    X(IDC_DTP_TIMER_DUR3, 1228, Time)                                                              \
    X(IDC_DTP_TIMER_DUR4, 1229, Time)                                                              \
    X(IDC_DTP_TIMER_DUR5, 1230, Time)                                                              \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_SIGNATURE_DIALOG_IDENTITY(X) X(IDD_SIGNTATURE_DIALOG, 225, 229, 218, true)
#define VARK_SIGNATURE_DIALOG_CONTROLS(X)                                                          \
    X(IDC_EDIT_FILE, 1250, Edit)                                                                   \
    X(IDC_BUTTON_FILE, 1251, Button)                                                               \
    X(IDC_EDIT_SIGN_FILE, 1252, Edit)                                                              \
    X(IDC_BUTTON_SIGN_FILE, 1253, Button)                                                          \
    VARK_SERIAL_CHOICE_CONTROLS(X)                                                                 \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_KEY_DIALOG_IDENTITY(X) X(IDD_KEY_DIALOG, 226, 230, 219, true)
#define VARK_KEY_DIALOG_CONTROLS(X)                                                                \
    VARK_SERIAL_CHOICE_CONTROLS(X)                                                                 \
    X(IDC_EDIT_KEY, 1256, Edit)                                                                    \
    X(IDC_EDIT_SIGNING_KEY, 1257, Edit)                                                            \
    X(IDC_BUTTON_EXPORT_KEY, 1258, Button)                                                         \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_LOAD_RECORDS_LIST_DIALOG_IDENTITY(X) X(IDD_LOAD_RECLIST_DLG, 242, 241, 244, false)
#define VARK_LOAD_RECORDS_LIST_DIALOG_CONTROLS(X)                                                  \
    X(IDC_PROGRESS, 1260, Progress)                                                                \
    X(IDC_STATIC_LOADED, 1261, Static)                                                             \
    X(IDC_STATIC_TOTAL, 1262, Static)                                                              \
    X(IDCANCEL, 2, Button)

#define VARK_PLAYER_OPTIONS_DIALOG_IDENTITY(X) X(IDD_PLAYER_OPTIONS_DIALOG, 245, 247, 250, true)
#define VARK_PLAYER_OPTIONS_DIALOG_CONTROLS(X)                                                     \
    X(IDC_COMBO_AGC, 1132, Combo)                                                                  \
    X(IDC_COMBO_NC_MODE, 1133, Combo)                                                              \
    X(IDC_COMBO_NC_DEPTH, 1134, Combo)                                                             \
    X(IDC_COMBO_SKIP_STEP, 1301, Combo)                                                            \
    X(IDC_COMBO_RESUME_REWIND, 1302, Combo)                                                        \
    X(IDC_COMBO_TIME_STAMP, 1303, Combo)                                                           \
    X(IDC_STATIC_PEDAL, 1304, Static)                                                              \
    X(IDC_CHK_PEDAL_LEFT, 1305, Check)                                                             \
    X(IDC_CHK_PEDAL_MIDDLE, 1306, Check)                                                           \
    X(IDC_CHK_PEDAL_RIGHT, 1307, Check)                                                            \
    X(IDC_COMBO_PEDAL_MODE, 1308, Combo)                                                           \
    X(IDC_COMBO_PEDAL_SPEED, 1309, Combo)                                                          \
    X(IDC_BUTTON_SET_DEFAULT, 1136, Button)                                                        \
    X(IDC_BUTTON_APPLY, 3, Button)                                                                 \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_EXPORT_DIALOG_IDENTITY(X) X(IDD_EXPORT_DIALOG, 277, 275, 276, false)
#define VARK_EXPORT_DIALOG_CONTROLS(X)                                                             \
    X(IDC_EDIT_DIR, 1270, Edit)                                                                    \
    X(IDC_BUTTON_DIR, 1271, Button)                                                                \
    X(IDC_RADIO_PAUSE0, 1272, Radio)                                                               \
    X(IDC_RADIO_PAUSE1, 1273, Radio)                                                               \
    X(IDC_EDIT_PAUSE, 1274, Edit)                                                                  \
    X(IDC_SPIN, 1275, Spin)                                                                        \
    X(IDC_STATIC_PROGRESS_CUR, 1276, Static)                                                       \
    X(IDC_PROGRESS_CUR, 1277, Progress)                                                            \
    X(IDC_STATIC_PROGRESS_CUR_PERC, 1278, Static)                                                  \
    X(IDC_PROGRESS_TOTAL, 1279, Progress)                                                          \
    X(IDC_STATIC_PROGRESS_TOTAL_PERC, 1280, Static)                                                \
    X(IDC_STATIC_TOTAL_WRITED, 1281, Static)                                                       \
    X(IDC_STATIC_TOTAL_TO_WRITE, 1282, Static)                                                     \
    X(IDC_CHK_MAKE_SIGN, 1283, Check)                                                              \
    X(IDC_CHK_KEEP_SEL, 1284, Check)                                                               \
    X(IDC_CHK_KEEP_ORIGINAL, 1285, Check)                                                          \
    X(IDC_CHK_OPEN_SIGN, 1286, Check)                                                              \
    X(IDC_COMBO_FORMAT, 1287, Combo)                                                               \
    X(IDC_CHK_BWF, 1288, Check)                                                                    \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_DRIVE_SERIAL_DIALOG_IDENTITY(X) X(IDD_DRIVE_SERIAL_DIALOG, 280, 278, 279, false)
#define VARK_DRIVE_SERIAL_DIALOG_CONTROLS(X)                                                       \
    X(IDC_STATIC_RECORDER, 1290, Static)                                                           \
    X(IDC_EDIT_UIN, 1054, Edit)                                                                    \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_PASSPHRASE_DIALOG_IDENTITY(X) X(IDD_PASSPHRASE_DIALOG, 283, 281, 282, false)
#define VARK_PASSPHRASE_DIALOG_CONTROLS(X)                                                         \
    X(IDC_STATIC_PROMPT, 1292, Static)                                                             \
    X(IDC_STATIC_PASS, 1293, Static)                                                               \
    X(IDC_EDIT_PASS, 1294, Edit)                                                                   \
    X(IDC_STATIC_AGAIN, 1295, Static)                                                              \
    X(IDC_EDIT_PASS2, 1296, Edit)                                                                  \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_DRIVE_IMPORT_DIALOG_IDENTITY(X) X(IDD_DRIVE_IMPORT_DIALOG, 286, 284, 285, false)
#define VARK_DRIVE_IMPORT_DIALOG_CONTROLS(X)                                                       \
    X(IDC_STATIC_RECORDER, 1290, Static)                                                           \
    X(IDC_CHK_IMPORT, 1298, Check)                                                                 \
    X(IDC_EDIT_DIR, 1270, Edit)                                                                    \
    X(IDC_BUTTON_DIR, 1271, Button)                                                                \
    X(IDC_CHK_DELETE_VERIFIED, 1299, Check)                                                        \
    VARK_FORM_BUTTONS_CONTROLS(X)

#define VARK_MSGBOX_DIALOG_IDENTITY(X) X(IDD_MSGBOX_DIALOG, 210, 248, 217, false)
#define VARK_MSGBOX_DIALOG_CONTROLS(X)                                                             \
    X(IDC_STATIC_TEXT, 1102, Static)                                                               \
    X(IDC_ICON_ERROR, 1098, Image)                                                                 \
    X(IDC_ICON_WARNING, 1099, Image)                                                               \
    X(IDC_ICON_ASK, 1101, Image)                                                                   \
    X(IDC_ICON_INFO, 1100, Image)                                                                  \
    X(IDOK, 1, Button)                                                                             \
    X(IDYES, 6, Button)                                                                            \
    X(IDNO, 7, Button)                                                                             \
    X(IDC_CANCEL, 1085, Button)

// Every skinned dialog, the message box last, as X(identity, controls).
#define VARK_PROGRAM_DIALOGS(X)                                                                    \
    X(VARK_VARK_DIALOG_IDENTITY, VARK_VARK_DIALOG_CONTROLS)                                        \
    X(VARK_ABOUT_BOX_IDENTITY, VARK_ABOUT_BOX_CONTROLS)                                            \
    X(VARK_PIN_DIALOG_IDENTITY, VARK_PIN_DIALOG_CONTROLS)                                          \
    X(VARK_CHANGE_PIN_DIALOG_IDENTITY, VARK_CHANGE_PIN_DIALOG_CONTROLS)                            \
    X(VARK_DEVICE_DIALOG_IDENTITY, VARK_DEVICE_DIALOG_CONTROLS)                                    \
    X(VARK_TIME_DIALOG_IDENTITY, VARK_TIME_DIALOG_CONTROLS)                                        \
    X(VARK_PARAMS_DIALOG_IDENTITY, VARK_PARAMS_DIALOG_CONTROLS)                                    \
    X(VARK_SIGNATURE_DIALOG_IDENTITY, VARK_SIGNATURE_DIALOG_CONTROLS)                              \
    X(VARK_KEY_DIALOG_IDENTITY, VARK_KEY_DIALOG_CONTROLS)                                          \
    X(VARK_LOAD_RECORDS_LIST_DIALOG_IDENTITY, VARK_LOAD_RECORDS_LIST_DIALOG_CONTROLS)              \
    X(VARK_PLAYER_OPTIONS_DIALOG_IDENTITY, VARK_PLAYER_OPTIONS_DIALOG_CONTROLS)                    \
    X(VARK_EXPORT_DIALOG_IDENTITY, VARK_EXPORT_DIALOG_CONTROLS)                                    \
    X(VARK_DRIVE_SERIAL_DIALOG_IDENTITY, VARK_DRIVE_SERIAL_DIALOG_CONTROLS)                        \
    X(VARK_PASSPHRASE_DIALOG_IDENTITY, VARK_PASSPHRASE_DIALOG_CONTROLS)                            \
    X(VARK_DRIVE_IMPORT_DIALOG_IDENTITY, VARK_DRIVE_IMPORT_DIALOG_CONTROLS)                        \
    X(VARK_MSGBOX_DIALOG_IDENTITY, VARK_MSGBOX_DIALOG_CONTROLS)

// A dialog's identity as constants of its class: kName, kDialogId, kBitmap, kDescription.
//   VARK_DIALOG_IDENTITY(VARK_DEVICE_DIALOG_IDENTITY);
#define VARK_DIALOG_CONSTANTS(name, id, bitmap, description, perLanguage)                          \
    static constexpr const char* kName = #name;                                                    \
    static constexpr int kDialogId = id, kBitmap = bitmap, kDescription = description
#define VARK_DIALOG_IDENTITY(identity) identity(VARK_DIALOG_CONSTANTS)

// A dialog's own numbers of its controls, as the enumerators of `Control`:
//   VARK_CONTROL_ENUM(VARK_DEVICE_DIALOG_CONTROLS);
#define VARK_CONTROL_NUMBER(name, id, kind) name = id,
#define VARK_CONTROL_ENUM(table)                                                                   \
    enum Control : int                                                                             \
    {                                                                                              \
        table(VARK_CONTROL_NUMBER)                                                                 \
    }
