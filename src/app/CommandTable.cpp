#include "app/CommandTable.h"

#include <QMenu>

#include "framework/CommandIds.h"

namespace {
QString Icon(const char* name) {
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
}

QKeySequence Keys(int key) {
    return QKeySequence(key);
}
} // namespace

std::vector<CommandDescriptor> ProgramCommands() {
    using K = QKeySequence;
    const int ctrl = Qt::CTRL;
    const int shift = Qt::SHIFT;
    const int alt = Qt::ALT;
    return {
        {ID_FILE_NEW,
         "&New\tCtrl+N",
         "Create a new document\nNew",
         {Keys(ctrl | Qt::Key_N)},
         Icon("new")},
        {ID_FILE_OPEN,
         "&Open...\tCtrl+O",
         "Open an existing document\nOpen",
         {Keys(ctrl | Qt::Key_O)},
         Icon("open")},
        {ID_FILE_CLOSE, "&Close", "Close the active document\nClose", {}, Icon("close")},
        {ID_FILE_SAVE,
         "&Save\tCtrl+S",
         "Save the active document\nSave",
         {Keys(ctrl | Qt::Key_S)},
         Icon("save")},
        {ID_FILE_SAVE_AS,
         "Save &As...",
         "Save the active document with a new name\nSave As",
         {},
         Icon("save_as")},
        {ID_FILE_PRINT,
         "&Print...\tCtrl+P",
         "Print the active document\nPrint",
         {Keys(ctrl | Qt::Key_P)},
         Icon("print")},
        {ID_FILE_PRINT_PREVIEW,
         "Print Pre&view",
         "Display full pages\nPrint Preview",
         {},
         Icon("print_preview")},
        {ID_FILE_PRINT_DIRECT, "", "Print the active document with the current settings", {}, {}},
        {ID_FILE_PRINT_SETUP,
         "P&rint Setup...",
         "Change the printer and printing options\nPrint Setup",
         {},
         Icon("print_setup")},
        {ID_WEB_BROWSER,
         "Web Browser...",
         "Open a new built-in Web Browser window...\nWeb",
         {},
         Icon("web")},
        {ID_WEB_BACK, "Back", "Go to the previous page...\nBack", {}, Icon("web_back")},
        {ID_WEB_FORWARD, "Forward", "Go to the next web page...\nForward", {}, Icon("web_forward")},
        {ID_WEB_STOP, "Stop", "Stop loading current page...\nStop", {}, Icon("web_stop")},
        {ID_WEB_HOME, "Home", "Navigate to home page...\nHome", {}, Icon("web_home")},
        {ID_WEB_REFRESH,
         "Refresh",
         "Refresh the current page...\nRefresh",
         {},
         Icon("web_refresh")},
        {ID_APP_EXIT,
         "E&xit",
         "Quit the application; prompts to save documents\nExit",
         {},
         Icon("exit")},
        {ID_EDIT_UNDO,
         "&Undo\tCtrl+Z",
         "Undo the last action\nUndo",
         {Keys(ctrl | Qt::Key_Z), Keys(alt | Qt::Key_Backspace)},
         Icon("undo")},
        {ID_EDIT_CUT,
         "Cu&t\tCtrl+X",
         "Cut the selection and put it on the Clipboard\nCut",
         {Keys(ctrl | Qt::Key_X), Keys(shift | Qt::Key_Delete)},
         Icon("cut")},
        {ID_EDIT_COPY,
         "&Copy\tCtrl+C",
         "Copy the selection and put it on the Clipboard\nCopy",
         {Keys(ctrl | Qt::Key_C), Keys(ctrl | Qt::Key_Insert)},
         Icon("copy")},
        {ID_EDIT_PASTE,
         "&Paste\tCtrl+V",
         "Insert Clipboard contents\nPaste",
         {Keys(ctrl | Qt::Key_V), Keys(shift | Qt::Key_Insert)},
         Icon("paste")},
        {ID_EDIT_SELECT_ALL,
         "Select A&ll\tCtrl+A",
         "Select the entire document\nSelect All",
         {Keys(ctrl | Qt::Key_A)},
         Icon("select_all")},
        {ID_EDIT_FIND,
         "&Find...\tCtrl+F",
         "Find the specified text\nFind",
         {Keys(ctrl | Qt::Key_F)},
         Icon("find")},
        {ID_EDIT_REPEAT,
         "F&ind Next\tF3",
         "Find the next occurrence of the text\nFind Next",
         {Keys(Qt::Key_F3)},
         Icon("find_next")},
        {ID_EDIT_REPLACE,
         "R&eplace\tCtrl+H",
         "Replace specific text with different text\nReplace",
         {Keys(ctrl | Qt::Key_H)},
         Icon("replace")},
        // The keys are the tree's own (it handles them while focused), so the entries name them
        // without taking them from the other windows.
        {ID_EDIT_RENAME, "&Rename\tF2", "Rename the selected item\nRename", {}, Icon("rename")},
        {ID_EDIT_DELETE, "&Delete\tDel", "Delete the selected item\nDelete", {}, Icon("delete")},
        {ID_EDIT_CLEAR, "", "Erase the selection\nErase", {Keys(alt | Qt::Key_Delete)}, {}},
        {ID_VIEW_TOOLBAR,
         "&Toolbar",
         "Show or hide the toolbar\nToggle ToolBar",
         {},
         Icon("toolbar")},
        {ID_VIEW_STATUS_BAR,
         "&Status Bar",
         "Show or hide the status bar\nToggle StatusBar",
         {},
         Icon("statusbar")},
        {ID_LOCK_SCREEN,
         "&Lock\tCtrl+L",
         "Lock the screen\nLock",
         {Keys(ctrl | Qt::Key_L)},
         Icon("lock")},
        {ID_WIZARD, "Wizard...", "Show the Welcome dialog\nWizard", {}, Icon("wizard")},
        {ID_SCREEN_LOCK_OPTIONS,
         "Screen Lock Options...",
         "Change the screen lock settings\nScreen Lock Options",
         {},
         Icon("lock_options")},
        {ID_FILE_PROTECTION,
         "Pro&tection...",
         "Switch the active document between strong protection and the compatible "
         "form\nProtection",
         {},
         Icon("password")},
        {ID_SET_FILE_PASSWORD,
         "Set New File Password...",
         "Set a new password for the active file\nSet File Password",
         {},
         Icon("password")},
        {ID_WINDOW_CASCADE,
         "&Cascade",
         "Arrange windows so they overlap\nCascade Windows",
         {},
         Icon("cascade")},
        {ID_WINDOW_TILE_HORZ,
         "&Tile",
         "Arrange windows as non-overlapping tiles\nTile Windows",
         {},
         Icon("tile")},
        {ID_WINDOW_ARRANGE,
         "&Arrange Icons",
         "Arrange icons at the bottom of the window\nArrange Icons",
         {},
         Icon("arrange")},
        {ID_WINDOW_NEW, "", "Lock the screen with the default prompt", {}, {}},
        {ID_WEB_SITE,
         "Ombrivault Storage on the Web...",
         "Visit the Ombrivault Storage web site\nWeb Site",
         {},
         Icon("web_site")},
        {ID_APP_ABOUT,
         "&About Ombrivault Storage...",
         "Display program information, version number and copyright\nAbout",
         {},
         Icon("about")},
        {ID_HELP, "Help", "Display help for the program\nHelp", {Keys(Qt::Key_F1)}, Icon("help")},
        {ID_ZOOM_IN, "Zoom-In", "Zoom in\nZoom-In", {}, Icon("zoom_in")},
        {ID_ZOOM_ACTUAL,
         "Actual Size",
         "Show the image at its actual size\nActual Size",
         {},
         Icon("zoom_actual")},
        {ID_ZOOM_OUT, "Zoom-Out", "Zoom out\nZoom-Out", {}, Icon("zoom_out")},
        {ID_ZOOM_FIT, "Fit", "Fit the image to the window\nFit", {}, Icon("zoom_fit")},
        {ID_OPEN_URL,
         "Go to the URL",
         "Open the address in the web browser\nOpen URL",
         {Keys(ctrl | Qt::Key_G)},
         Icon("web_site")},
        {ID_NEXT_PANE,
         "",
         "Switch to the next window pane\nNext Pane",
         {Keys(Qt::Key_F6), Keys(ctrl | Qt::Key_F6)},
         {}},
        {ID_PREV_PANE,
         "",
         "Switch back to the previous window pane\nPrevious Pane",
         {Keys(shift | Qt::Key_F6), Keys(ctrl | shift | Qt::Key_F6)},
         {}},
        {ID_CANCEL_EDIT_CNTR, "", "Cancel in-place editing", {Keys(Qt::Key_Escape)}, {}},
        {ID_OLE_EDIT_PROPERTIES,
         "",
         "Show the properties of the embedded object",
         {K(alt | Qt::Key_Return), K(alt | Qt::Key_Enter)},
         {}},
    };
}

std::vector<int> ToolbarButtons() {
    return {ID_FILE_NEW,
            ID_FILE_OPEN,
            ID_FILE_SAVE,
            0,
            ID_WIZARD,
            0,
            ID_EDIT_CUT,
            ID_EDIT_COPY,
            ID_EDIT_PASTE,
            0,
            ID_EDIT_FIND,
            0,
            ID_ZOOM_IN,
            ID_ZOOM_ACTUAL,
            ID_ZOOM_OUT,
            ID_ZOOM_FIT,
            0,
            ID_LOCK_SCREEN,
            0,
            ID_WEB_BROWSER};
}

QString WebBrowserMenuText(MenuResource resource) {
    return resource == MenuResource::Document ? QStringLiteral("Browse Web...")
                                              : QStringLiteral("Web Browser...");
}

namespace {
constexpr int kSeparator = 0;
constexpr int kRecentFiles = -1;

QMenu* MakeMenu(const QString& title, const std::vector<int>& items, const CommandActions& actions,
                const QList<QAction*>& recentFiles, QWidget* parent) {
    auto* menu = new QMenu(title, parent);
    for (int id : items) {
        if (id == kSeparator) {
            menu->addSeparator();
        } else if (id == kRecentFiles) {
            menu->addActions(recentFiles);
        } else if (QAction* action = actions.Action(id)) {
            menu->addAction(action);
        }
    }
    return menu;
}
} // namespace

QMenu* BuildWebMenu(const CommandActions& actions, QWidget* parent) {
    return MakeMenu(QStringLiteral("We&b"),
                    {ID_WEB_BACK, ID_WEB_FORWARD, ID_WEB_STOP, ID_WEB_HOME, ID_WEB_REFRESH},
                    actions, {}, parent);
}

QList<QMenu*> BuildMenus(MenuResource resource, const CommandActions& actions,
                         const QList<QAction*>& recentFiles, QWidget* parent) {
    const auto menu = [&](const char* title, const std::vector<int>& items) {
        return MakeMenu(QString::fromLatin1(title), items, actions, recentFiles, parent);
    };
    if (resource == MenuResource::NoDocument) {
        return {
            menu("&File", {ID_FILE_NEW, ID_FILE_OPEN, kSeparator, ID_FILE_PRINT_SETUP, kSeparator,
                           kRecentFiles, kSeparator, ID_WEB_BROWSER, kSeparator, ID_APP_EXIT}),
            menu("&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, kSeparator, ID_LOCK_SCREEN,
                           kSeparator, ID_WIZARD}),
            menu("&Settings", {ID_SCREEN_LOCK_OPTIONS}),
            menu("&Help", {ID_WEB_SITE, kSeparator, ID_APP_ABOUT}),
        };
    }
    return {
        menu("&File", {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS,
                       ID_FILE_PROTECTION, kSeparator, ID_WEB_BROWSER, kSeparator, ID_FILE_PRINT,
                       ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP, kSeparator, kRecentFiles,
                       kSeparator, ID_APP_EXIT}),
        menu("&Edit", {ID_EDIT_UNDO, kSeparator, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,
                       ID_EDIT_SELECT_ALL, kSeparator, ID_EDIT_RENAME, ID_EDIT_DELETE, kSeparator,
                       ID_EDIT_FIND, ID_EDIT_REPEAT, ID_EDIT_REPLACE}),
        menu("&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, kSeparator, ID_LOCK_SCREEN, kSeparator,
                       ID_WIZARD}),
        menu("&Settings", {ID_SCREEN_LOCK_OPTIONS, kSeparator, ID_SET_FILE_PASSWORD}),
        menu("&Window", {ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}),
        menu("&Help", {ID_WEB_SITE, ID_APP_ABOUT}),
    };
}
