// The main window's resource numbers: its menu commands and its controls, as the skin, the
// string tables (menu texts and tooltips are keyed by them) and the tests name them.
#pragma once

#include "skin/control_tables.h"

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
        // this edition's own: recorders that appear as a drive
        ID_OPEN_RECORDER_FOLDER = 32830,
        ID_RECORDERS = 32831, // the submenu; its items are the attached recorders
        ID_DELETE = 32832,
        ID_DRIVE_IMPORT = 32833, // what is copied when the shown drive recorder is plugged in
        // the keys of transcription
        ID_PREVIOUS_SPEECH = 32834,
        ID_NEXT_SPEECH = 32835,
        ID_SKIP_BACK = 32836,
        ID_SKIP_FORWARD = 32837,
        ID_COPY_TIME_STAMP = 32838,
        ID_RECORDER_FIRST = 33000, // item n of the Recorders submenu is ID_RECORDER_FIRST + n
    };
    // Controls, from the window's table.
    enum Control
    {
        VARK_VARK_DIALOG_CONTROLS(VARK_CONTROL_NUMBER)
    };
};
