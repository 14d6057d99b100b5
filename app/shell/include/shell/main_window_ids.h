// The main window's resource numbers: its menu commands and its controls, as the skin, the
// string tables (menu texts and tooltips are keyed by them) and the tests name them.
#pragma once

struct MainWindowIds
{
    // Menu commands.
    enum Command
    {
        ID_EXIT = 32771,
        ID_RECORD_SETTINGS = 32772,
        ID_ABOUT = 32773,
        ID_SELECT_DEVICE = 32774,
        ID_SET_TIME = 32775,
        ID_PLAY = 32776,
        ID_DELETE_ALL = 32777,
        ID_PLAY_FROM_DISK = 32778,
        ID_ENTER_PIN = 32779,
        ID_SAVE_TO_DISK = 32780,
        ID_REFRESH = 32783,
        ID_CHANGE_PIN = 32786,
        ID_LANG_RUSSIAN = 32791,
        ID_LANG_ARABIC = 32795,
        ID_AUTHENTICATE = 32800,
        ID_PUBLIC_KEYS = 32801,
        ID_FROM_OLDEST = 32802,
        ID_FROM_NEWEST = 32803,
        ID_VOLUME_DOWN = 32805,
        ID_VOLUME_UP = 32806,
        ID_PLAY_PAUSE = 32807,
        ID_PLAYER_OPTIONS = 32817,
    };
    // Controls.
    enum Control
    {
        IDC_LIST = 1000,
        IDC_EDIT_CONNECT = 1001,
        IDC_EDIT_FREE = 1002,
        IDC_EDIT_MAX_DUR = 1003,
        IDC_EDIT_USED = 1004,
        IDC_EDIT_TIME = 1006,
        IDC_EDIT_ALL_MEMORY = 1008,
        IDC_CHK_RING = 1039,
        IDC_CHK_ARC = 1041,
        IDC_CHK_DENOISER = 1042,
        IDC_SL_PLAY = 1045,
        IDC_PLAY = 1046,
        IDC_STOP_PLAY = 1047,
        IDC_EDIT_CURRENT_PLAY_POSITION = 1048,
        IDC_EDIT_PLAY_DURATION = 1049,
        IDC_EDIT_SOUND_DATA_SIZE = 1050,
        IDC_EDIT_NAME = 1051,
        IDC_PLAYER_OPTIONS = 1053,
        IDC_EDIT_UIN = 1054,
        IDC_EDIT_TRACK_COUNT = 1058,
        IDC_EDIT_TRACK_SELECTED = 1059,
        IDC_EDIT_FORMAT = 1060,
        IDC_BEGIN = 1061,
        IDC_PAUSE = 1062,
        IDC_END = 1063,
        IDC_LOAD_FROM_DISK = 1064,
        IDC_SL_VOLUME = 1066,
        IDC_MINIMIZE = 1086,
        IDC_STATIC_CONNECT = 1093,
        IDC_STATIC_DISCONNECT = 1094,
        IDC_STATIC_CHARGING = 1096,
        IDC_INDICATOR_CHARGE_LEVEL = 1097,
        IDC_CHARGE_LEVEL = 1098,
        IDC_INDICATOR_MEMORY_STATUS = 1099,
        IDC_MEMORY_STATUS = 1100,
        IDC_STATIC_MENU = 1103,
        IDC_EDIT_RING_LENGTH = 1139,
        IDC_SPIN_RING_LENGTH = 1140,
        IDC_BATTERY_INDICATION = 1176,
    };
};
