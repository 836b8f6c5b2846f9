#include "CommandTable.h"

#include "CommandIds.h"
#include "KorvoVersion.h"

namespace {

QList<QKeySequence> Keys(std::initializer_list<const char*> names)
{
    QList<QKeySequence> keys;
    for (const char* name : names)
        keys.append(QKeySequence::fromString(QString::fromLatin1(name), QKeySequence::PortableText));
    return keys;
}

QList<CommandInfo> BuildTable()
{
    return {
        // The framework's own commands carry the prompts its users know.
        {ID_FILE_NEW, "&New", Keys({"Ctrl+N"}), "Create a new document\nNew"},
        {ID_FILE_OPEN, "&Open...", Keys({"Ctrl+O"}), "Open an existing document\nOpen"},
        {ID_FILE_CLOSE, "&Close", {}, "Close the active document\nClose"},
        {ID_FILE_SAVE, "&Save", Keys({"Ctrl+S"}), "Save the active document\nSave"},
        {ID_FILE_SAVE_AS, "Save &As...", {}, "Save the active document with a new name\nSave As"},
        {ID_FILE_PAGE_SETUP, "Page Set&up...", {}, "Change the printing options\nPage Setup"},
        {ID_FILE_PRINT, "&Print...", Keys({"Ctrl+P"}), "Print the active document\nPrint"},
        {ID_FILE_PRINT_PREVIEW, "Print Pre&view", {}, "Display full pages\nPrint Preview"},
        {ID_APP_EXIT, "E&xit", {}, "Quit the application; prompts to save documents\nExit"},
        {ID_EDIT_UNDO, "&Undo", Keys({"Ctrl+Z", "Alt+Backspace"}), "Undo the last action\nUndo"},
        {ID_EDIT_REDO, "&Redo", Keys({"Ctrl+Y", "Ctrl+Shift+Z"}), "Redo the previously undone action\nRedo"},
        {ID_EDIT_SELECT_ALL, "Select &All", Keys({"Ctrl+A"}), "Select the entire document\nSelect All"},
        {ID_EDIT_FIND, "&Find Table...", Keys({"Ctrl+F"}),
         "Find a table by its name or by one of its columns' names\nFind Table"},
        {ID_EDIT_CUT, "Cu&t", Keys({"Ctrl+X", "Shift+Del"}), "Cut the selection and put it on the Clipboard\nCut"},
        {ID_EDIT_COPY, "&Copy", Keys({"Ctrl+C", "Ctrl+Ins"}), "Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_PASTE, "&Paste", Keys({"Ctrl+V", "Shift+Ins"}), "Insert Clipboard contents\nPaste"},
        {ID_EDIT_DELETE, "&Delete", Keys({"Del"}), "Delete object(s)\nDelete"},
        {ID_VIEW_TOOLBAR, "&Toolbar", {}, "Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "&Status Bar", {}, "Show or hide the status bar\nToggle StatusBar"},
        {ID_VIEW_ZOOM_IN, "Zoom &In", Keys({"Ctrl++", "Ctrl+="}), "Show the diagram larger\nZoom In"},
        {ID_VIEW_ZOOM_OUT, "Zoom &Out", Keys({"Ctrl+-"}), "Show more of the diagram, smaller\nZoom Out"},
        {ID_VIEW_ZOOM_ACTUAL, "&Actual Size", Keys({"Ctrl+0"}), "Show the diagram at its actual size\nActual Size"},
        {ID_VIEW_ZOOM_FIT, "&Fit Diagram", {}, "Zoom so that every table is in view\nFit Diagram"},
        {ID_VIEW_COLUMN_TYPES, "Show Column &Types", {},
         "Show each column's type, NOT NULL and relation marks after its name\nShow Column Types"},
        {ID_DIAGRAM_OPTIONS, "&Options...", {}, "Edit options for the current diagram\nDiagram Options"},
        {ID_DIAGRAM_FONT, "&Font...", {}, "Change the font used to draw the diagram\nDiagram Font"},
        {ID_DIAGRAM_IMPORT_SQL, "&Import SQL...", {},
         "Import CREATE TABLE SQL statements from a file\nImport SQL Statements"},
        {ID_DIAGRAM_IMPORT_DATABASE, "Import from &Database...", {},
         "Import the tables of a SQLite file or a PostgreSQL or MariaDB/MySQL database\nImport from Database"},
        {ID_DIAGRAM_EXPORT_SQL, "E&xport SQL...", {},
         "Export this diagram as a set of CREATE TABLE SQL statements\nExport Diagram as SQL"},
        {ID_DIAGRAM_EXPORT_IMAGE, "Export &Image...", {},
         "Export the whole diagram as a PNG image, an SVG drawing or a PDF document\nExport Diagram as Image"},
        {ID_DIAGRAM_CHECK, "&Check Diagram", {},
         "List the mistakes that keep this diagram from becoming a database\nCheck Diagram"},
        {ID_DIAGRAM_ARRANGE, "&Arrange Tables", {},
         "Lay out all tables, or only the selected ones, so that none overlap\nArrange Tables"},
        {ID_WINDOW_NEW, "&New Window", {}, "Open another window for the active document\nNew Window"},
        {ID_WINDOW_CASCADE, "&Cascade", {}, "Arrange windows so they overlap\nCascade Windows"},
        {ID_WINDOW_TILE_HORZ, "&Tile", {}, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {ID_WINDOW_ARRANGE, "&Arrange Icons", {}, "Arrange icons at the bottom of the window\nArrange Icons"},
        {ID_APP_ABOUT, "&About Korvo...", {}, "Korvo Version " KORVO_VERSION "\nAbout"},
        {ID_TOOL_POINTER, "Pointer Tool", {}, "Switch to pointer tool\nPointer Tool"},
        {ID_TOOL_TABLE, "Table Tool", {}, "Switch to table tool\nTable Tool"},
        {ID_TOOL_RELATION, "Relation Tool", {}, "Switch to relation tool\nRelation Tool"},
        {ID_HELP_COMING_SOON, "Help", Keys({"F1"}), ""},
        {ID_NEXT_PANE, "Next Pane", Keys({"F6"}), "Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, "Previous Pane", Keys({"Shift+F6"}), "Switch back to the previous window pane\nPrevious Pane"},
    };
}

} // namespace

const QList<CommandInfo>& CommandTable()
{
    static const QList<CommandInfo> table = BuildTable();
    return table;
}

const CommandInfo& FindCommand(int id)
{
    static const CommandInfo none;
    for (const CommandInfo& info : CommandTable())
        if (info.id == id)
            return info;
    return none;
}
