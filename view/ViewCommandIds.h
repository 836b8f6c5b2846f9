#pragma once

// Command ids of the view's two context menus, "Table" and "Relation" (menu
// resource 136). Each becomes the objectName of its QAction.
enum ViewCommandId : int {
    IDR_CONTEXT_MENUS = 136,
    ID_TABLE_DELETE = 32780,
    ID_TABLE_PROPERTIES = 32781,
    ID_RELATION_DELETE = 32782,
    ID_RELATION_PROPERTIES = 32783,
};
