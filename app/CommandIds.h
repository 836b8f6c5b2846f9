#pragma once

// Command identifiers of menus, toolbars and accelerators. Each becomes the
// objectName of its QAction, so tests and the command table find it by id.
enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PAGE_SETUP = 57605,
    ID_FILE_PRINT = 57607,
    ID_FILE_PRINT_PREVIEW = 57609,
    ID_FILE_MRU_FILE1 = 57616, // up to 57631; four are used
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_FIND = 57636,
    ID_EDIT_SELECT_ALL = 57642,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_TOOL_POINTER = 32771,
    ID_TOOL_TABLE = 32772,
    ID_EDIT_DELETE = 32773,
    ID_DIAGRAM_OPTIONS = 32774,
    ID_DIAGRAM_FONT = 32775,
    ID_TOOL_RELATION = 32776,
    ID_DIAGRAM_IMPORT_SQL = 32777,
    ID_DIAGRAM_EXPORT_SQL = 32778,
    ID_DIAGRAM_EXPORT_IMAGE = 32785,
    ID_HELP_COMING_SOON = 32784,
    // Import from Database, in the Diagram menu after Import SQL; a gap
    // after the last id keeps clear of other new commands.
    ID_DIAGRAM_IMPORT_DATABASE = 32790,
    // The diagram's check and arrangement (Diagram menu).
    ID_DIAGRAM_CHECK = 32812,
    ID_DIAGRAM_ARRANGE = 32813,
    // Finding one's way in large diagrams: zoom and column types.
    ID_VIEW_ZOOM_IN = 32800,
    ID_VIEW_ZOOM_OUT = 32801,
    ID_VIEW_ZOOM_ACTUAL = 32802,
    ID_VIEW_ZOOM_FIT = 32803,
    ID_VIEW_COLUMN_TYPES = 32804,
    // The window list the Window menu shows below its commands.
    AFX_IDM_FIRST_MDICHILD = 0xFF00,
};

// Resource ids, which name the menus, toolbars and icon they stand for: the
// main window's menu, main toolbar and icon; the menu shown while a document
// is open; the tools toolbar.
enum ResourceId : int {
    IDR_MAINFRAME = 128,
    IDR_ERDTYPE = 129,
    IDR_TOOLS = 130,
};

// Number of entries in the recent-file list.
inline constexpr int kRecentFileCount = 4;
