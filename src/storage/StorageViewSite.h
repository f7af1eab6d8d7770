// What the right-hand views and creation forms of a storage window ask of the window they
// live in: the items they show (by table index, so a view never holds a record the tree has
// deleted), the zoom factor all pictures of a document share, the tree's add and delete
// operations, and switching the right-hand pane to another view.
#pragma once

#include <cstdint>
#include <functional>

#include <QString>

#include "storage/StorageLayout.h"

class FCObjImage;
class PCL_Interface_ZoomScale;
struct StorageItem;
class ItemData;

// The right-hand views a view or form may ask to be shown.
enum class StorageForm {
    Overview,
    NewFolder,
    AddImage,
    NewNote,
    NewWebAccount,
    NewOtherAccount,
    AddPdf,
};

class CStorageViewSite {
public:
    virtual ~CStorageViewSite() = default;

    // The item at a table index; null once the tree has deleted it. Views only read it.
    virtual const StorageItem* Item(int32_t index) = 0;
    // The item's data in memory, read from the storage file when it is left there; false
    // when there is none or it cannot be read (the window says once that the item is
    // damaged). The view keeps it only while it shows the item.
    virtual bool LoadItemData(int32_t index, ItemData& out);
    // Changes the item through its document, which marks itself modified; false when the
    // change was refused or the item is gone.
    virtual bool ChangeItem(int32_t index, const std::function<void(StorageItem&)>& change) = 0;
    // The zoom factor of the document's image views.
    virtual PCL_Interface_ZoomScale& Zoom() = 0;
    // The location of the folder selected in the tree (a StorageFolderPath).
    virtual QString CurrentFolderPath() const = 0;
    // Shows `form` in the right-hand pane and gives it `location`.
    virtual void ShowForm(StorageForm form, const QString& location) = 0;

    // The tree's operations. Names and paths are passed on as typed.
    virtual void AddFolder(const QString& name, bool select) = 0;
    virtual void AddItem(const QString& nameOrPath, StorageItemType type, bool select) = 0;
    virtual void AddImageFile(const QString& path, bool select) = 0;
    // The clipboard picture as a new image item named `name`, selected.
    virtual void AddPastedImage(const QString& name) = 0;
    // Stores `picture` as the selected image item's data (as BMP).
    virtual void ReplaceImageData(const FCObjImage& picture) = 0;
    // Deletes the selected item after the tree's confirmation.
    virtual void DeleteSelected() = 0;
    virtual void StartAddDirectory(const QString& path) = 0;
    virtual void AddFileByType(const QString& path, bool select) = 0;
    // Opens a document file in a window of its own (the main window's drop).
    virtual void OpenDocumentFile(const QString& path) = 0;
};
