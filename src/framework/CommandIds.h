// The numeric command ids of the program. Menus, toolbar buttons, accelerators and the
// commands that windows send each other all travel as one of these.
#pragma once

enum CommandId : int {
    ID_NONE = 0,

    // Commands of the program's own windows.
    ID_CANCEL_EDIT_CNTR = 32768,
    ID_WEB_SITE = 32772,
    ID_ADD_WEB_ACCOUNT = 32774,
    ID_ADD_MAIL_ACCOUNT = 32775,
    ID_OPEN_URL = 32777,
    ID_ADD_OTHER_ACCOUNT = 32787,
    ID_DELETE_ACCOUNT = 32788,
    ID_SCREEN_LOCK_OPTIONS = 32790,
    ID_SET_FILE_PASSWORD = 32791,
    ID_LOCK_SCREEN = 32792,
    ID_WIZARD = 32795,
    ID_RENAME_ACCOUNT = 32796,
    ID_WEB_BROWSER = 32801,
    ID_WEB_BACK = 32802,
    ID_WEB_FORWARD = 32803,
    ID_WEB_HOME = 32804,
    ID_WEB_REFRESH = 32805,
    ID_WEB_STOP = 32806,
    ID_ZOOM_IN = 32814,
    ID_ZOOM_ACTUAL = 32815,
    ID_ZOOM_OUT = 32816,
    ID_ZOOM_FIT = 32817,
    ID_BEGIN_BUSY = 32822,
    ID_END_BUSY = 32823,
    ID_STEP_BUSY = 32824,
    ID_FILE_PROTECTION = 32860,
    // The Edit menu's entries for the selected item of a tree (the storage tree's F2 and Del).
    ID_EDIT_RENAME = 32861,
    ID_EDIT_DELETE = 32862,

    // Framework commands.
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_DIRECT = 57608,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616,
    ID_FILE_MRU_FILE2 = 57617,
    ID_FILE_MRU_FILE3 = 57618,
    ID_FILE_MRU_FILE4 = 57619,
    ID_EDIT_CLEAR = 57632,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_FIND = 57636,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_REPEAT = 57640,
    ID_EDIT_REPLACE = 57641,
    ID_EDIT_SELECT_ALL = 57642,
    ID_EDIT_UNDO = 57643,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP = 57670,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_OLE_EDIT_PROPERTIES = 57860,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

inline constexpr int kRecentFileCount = 4;

// The busy protocol's commands pass even while input is swallowed.
inline constexpr bool IsBusyCommand(int id) {
    return id == ID_BEGIN_BUSY || id == ID_END_BUSY || id == ID_STEP_BUSY;
}
