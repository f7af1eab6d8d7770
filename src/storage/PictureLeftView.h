// The "Picture" classes are the storage's, after their established names.
// CPictureLeftView: the tree of a storage window - the root, a tree item per folder and item
// of the storage - and every operation on it: the load on a worker thread, adding folders,
// items, files and whole directories (on a worker thread of their own, one directory after
// another), renaming, deleting, exporting, drops and pastes from the desktop, and showing the
// right-hand view that fits the selection. Its parts live in files by job: the view itself
// (PictureLeftView.cpp), the index of tree items and records (StorageTreeIndex.cpp), the load
// (StorageLoader.cpp), directory imports (StorageImporter.cpp), export (StorageTreeExport.cpp)
// and the menu and commands (StorageTreeCommands.cpp).
//
// Threads: widgets belong to the user-interface thread, the items to the document (CPictureDoc),
// which the tree asks for every change. The load and directory workers build records of their
// own and hand them over through queued calls; each stops between two items when asked.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <QColor>
#include <QFont>
#include <QIcon>

#include "framework/Document.h"
#include "framework/FrameHosts.h"
#include "storage/StorageItem.h"
#include "storage/StorageLayout.h"
#include "storage/StorageTreeIcons.h"

class CPictureChildFrame;
class CPictureDoc;
class CStorageRightView;
class FCObjImage;
class QMenu;
class TreeFinder;
class QTreeWidget;
class QTreeWidgetItem;
struct StorageLoadJob;
struct DirectoryBatch;

class CPictureLeftView : public CView {
    Q_OBJECT
public:
    // The positions of the tree's icons; an item's type is its icon.
    enum TreeIcon {
        IconFolder = 0,
        IconImage = 1,
        IconOpenFolder = 2,
        IconNote = 3,
        IconWebAccount = 4,
        IconOtherAccount = 5,
        IconPdf = 6,
        IconFile = 7,
        IconRoot = 8,
    };
    static constexpr int kIconCount = 9;
    // The look of an item once a change or the selection styled it. An invalid colour draws
    // in the tree's own colour.
    struct Color_Font {
        QColor color;
        QFont font;
        bool bold = false;
    };
    enum ItemStyle { Underline = 0, Italic = 1, Bold = 2, Plain = 3 };
    static constexpr QRgb kStyleColour = 0x0000C0; // RGB(0, 0, 192)
    // The edit box takes 127 characters; the label keeps 126 of them.
    static constexpr int kMaxLabelEdit = 127;
    static constexpr int kMaxLabel = 126;

    // Context menu and tree command ids.
    enum Command {
        ID_NEW_FOLDER = 127,
        ID_NEW_TEXT = 128,
        ID_NEW_WEB_ACCOUNT = 129,
        ID_NEW_OTHER_ACCOUNT = 130,
        ID_ADD_IMAGE = 131,
        ID_ADD_PDF = 132,
        ID_RENAME = 133,
        ID_DELETE = 134,
        ID_EXPORT = 135,
        ID_PASTE_FILES = 139,
        ID_ADD_FILE = 140,
        ID_PASTE_NONE = 32846,
        ID_PICK_DIRECTORY = 32847,
    };

    explicit CPictureLeftView(CDocument* document, QWidget* parent = nullptr);
    ~CPictureLeftView() override;

    // Makes the root and, when the document names a non-empty file, starts the load.
    void OnInitialUpdate() override;
    // The root's label follows the document's path.
    void OnUpdate(CView* sender) override;

    // The storage document; null once the document has closed (the window goes a moment
    // later).
    CPictureDoc* Document() const { return doc_; }
    // The document is closing: the workers stop and the view lets go of it.
    void DetachDocument();
    CPictureChildFrame* ChildFrame() const;
    QTreeWidget* Tree() const { return tree_; }
    // The find bar over the tree (Ctrl+F), and a change of what its items are found by that
    // the tree's own signals do not tell (a note's text, an account's fields).
    TreeFinder* Finder() const { return finder_; }
    void StartFind();
    void ItemTextChanged();
    QTreeWidgetItem* RootItem() const { return root_; }

    // --- Loading and saving -----------------------------------------------------------------
    bool IsLoading() const { return loadJob_ != nullptr; }
    // The tree in save order (pre-order, siblings as shown). When `expandedInto` is given,
    // its folder records take their expanded state from the tree (a save's snapshot).
    StorageTree TreeForSave(StorageItemTable* expandedInto = nullptr) const;

    // --- The items --------------------------------------------------------------------------
    // The table index of a tree item; -1 for the root and foreign items.
    static int32_t IndexOf(const QTreeWidgetItem* item);
    const StorageItem* RecordOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOfIndex(int32_t index) const;
    bool IsFolderItem(const QTreeWidgetItem* item) const;
    // The folder new items go to: the selection if it is a folder (or the root), else its
    // folder, else the root.
    QTreeWidgetItem* CurrentFolder() const;
    std::string GetCurrentFolderPath() const;
    std::string FolderPathOf(const QTreeWidgetItem* folder) const;

    // --- Adding -----------------------------------------------------------------------------
    // Each inserts at the sorted place in the current folder, marks the document modified and
    // returns the new item (null when nothing was added).
    QTreeWidgetItem* AddFolder(const QString& name, bool select);
    QTreeWidgetItem* AddItem(const QString& nameOrPath, StorageItemType type, bool select);
    QTreeWidgetItem* AddImageFile(const QString& path, bool select);
    QTreeWidgetItem* AddFileByType(const QString& path, bool select);
    // The clipboard's picture as a BMP image item.
    QTreeWidgetItem* AddPastedImage(const QString& name);
    // The selected image item takes `picture` as BMP; false when nothing was replaced.
    bool ReplaceImageData(const FCObjImage& picture);
    // Queues the directory for the directory worker: it becomes a folder of the current
    // folder with everything below it. Directories are added one after another.
    void StartAddDirectory(const QString& path);
    bool IsAddingDirectories() const { return directoriesPending_ > 0; }
    // Stops the directory imports: the running one before its next file (what it read stays),
    // the queued ones at once. Does not wait.
    void CancelImports();
    // The user stops the imports (the status bar's Cancel, Escape): as CancelImports, and the
    // end says how many files were added. False when none runs.
    bool CancelImportsByUser();
    // Dropped or pasted paths: directories to StartAddDirectory, files to AddFileByType.
    void AddDroppedPaths(const QStringList& paths);
    // Paste (139): the file list on the clipboard; false when it holds none.
    bool PasteFiles();
    static bool ClipboardHasFiles();

    // --- Changing ---------------------------------------------------------------------------
    // Starts the in-place edit of the selected item's label (not for the root).
    void RenameSelected();
    // The end of an in-place edit with the edit box's text.
    void EndLabelEdit(QTreeWidgetItem* item, const QString& text);
    // Asks, then deletes the selected item and everything below it.
    void DeleteSelected();
    // Exports the selected item by its type.
    void ExportSelected();
    // The image export filter for an image type, its own format first; empty for others.
    static QString ImageExportFilter(int imageType);
    static QString ImageDefaultExtension(int imageType);

    // --- Look -------------------------------------------------------------------------------
    void SetItemStyle(QTreeWidgetItem* item, int style, const QColor& colour, bool bold = false);
    const Color_Font* ItemStyleOf(const QTreeWidgetItem* item) const;
    // The tree's icon at a fixed position, and the one a file item with `name` gets.
    QIcon TreeIconAt(int position) const { return icons_.At(position); }
    QIcon FileIconFor(const QString& name) { return icons_.FileIconFor(name); }
    // Whether the last file icon came from the desktop's icon theme (false: icon 7).
    bool FileIconFromTheme(const QString& name) { return icons_.FileIconFromTheme(name); }

    // Set while a key pressed in the tree moves the selection: the tree then keeps the focus
    // instead of handing it to the view that shows the item.
    void SetKeyboardSelection(bool on) { keyboardSelection_ = on; }
    bool KeyboardSelection() const { return keyboardSelection_; }

    // The context menu for the selection (not shown).
    QMenu* CreateContextMenu(QWidget* parent);
    // Shows it at the current item (the Menu key and Shift+F10).
    void ShowContextMenuAtCurrent();
    // The tree's own keys: F2 renames, Delete deletes, Ctrl+V pastes files, the Menu key and
    // Shift+F10 open the context menu. True when the key was one of them.
    bool HandleTreeKey(int key, Qt::KeyboardModifiers modifiers);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Reads the file the document holds open into the tree (on a worker), when it holds one.
    void LoadDocumentFile();

signals:
    void loadFinished();
    void directoriesFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class StorageTreeWidget;
    friend class LabelEditDelegate;

    TreeFinder* MakeFinder();
    void StartLoad(const std::string& path, uint64_t fileSize);
    // Cancels the load and waits for its worker, which stops before its next item.
    void StopLoad();
    void FinishLoad(const std::shared_ptr<StorageLoadJob>& job);
    QTreeWidgetItem* MakeTreeItem(int32_t index, const StorageItem& item);
    // Inserts `item` among `parent`'s children at its sorted place.
    void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item);
    QTreeWidgetItem* InsertRecord(QTreeWidgetItem* parent, std::unique_ptr<StorageItem> record,
                                  bool select, int style);
    void OnSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void ShowContextMenu(const QPoint& globalPos);
    // An item other than the root is selected and the storage may change now.
    bool SelectionChangeable() const;
    // The viewer the zoom commands go to: the image or PDF viewer of the selected item.
    CStorageRightView* ZoomTarget() const;
    void ExportFolder(QTreeWidgetItem* item);
    // Asks for a file of any type and adds it (the "Add file" command).
    void AddFileCommand();
    // The paths ("$:\A\B\") of the folders at or below `folder` that were read only in part.
    QStringList UnreadFoldersIn(QTreeWidgetItem* folder) const;

    // Ends the load and the directory imports; what they had not handed over is dropped.
    void StopWorkers();
    // Directory imports.
    void DirectoryWorkerLoop();
    void ApplyDirectoryBatch(std::shared_ptr<DirectoryBatch> batch);
    // The last import ended (or was cancelled): the status bar says so.
    void EndImports();

    QTreeWidget* tree_ = nullptr;
    TreeFinder* finder_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* lastSelected_ = nullptr;
    QTreeWidgetItem* lastFolder_ = nullptr;
    StorageTreeIcons icons_;
    std::unordered_map<const QTreeWidgetItem*, Color_Font> itemColours_;
    // Tree item of each table index (null once deleted); grows with the table.
    std::vector<QTreeWidgetItem*> byIndex_;
    bool initialised_ = false;
    bool keyboardSelection_ = false;
    CPictureDoc* doc_ = nullptr;

    std::shared_ptr<StorageLoadJob> loadJob_; // the running load
    std::thread loader_;
    // The folders (table indexes, kRootParent for the top level) whose level did not decrypt
    // when the storage was read: an export of them cannot hold what was not read.
    std::vector<int32_t> unreadFolders_;

    // The directory worker: jobs in, batches of records out.
    struct DirectoryJob {
        int id = 0;
        std::string path;
    };
    std::thread dirWorker_;
    std::mutex dirMutex_;
    std::condition_variable dirWake_;
    std::deque<DirectoryJob> dirJobs_;
    bool dirStop_ = false;
    int nextJobId_ = 1;
    int directoriesPending_ = 0;
    // Per job (user-interface thread): the folder it goes into and its tree items so far.
    struct JobState {
        int32_t target = -1;                   // table index of the target folder, -1 for the root
        std::vector<QTreeWidgetItem*> folders; // by the worker's folder number
        QTreeWidgetItem* top = nullptr;
    };
    std::map<int, JobState> jobs_;
    // Files the imports have read, shown in the status bar as batches arrive.
    std::atomic<uint64_t> importFiles_{0};
    // The user stopped the imports; the status bar's Cancel while they run.
    bool importCancelled_ = false;
    CancelRegistration importCancel_;
};
