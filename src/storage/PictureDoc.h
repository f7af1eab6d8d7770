// The "Picture" classes are the storage's, after their established names.
// CPictureDoc: an open encrypted storage (".ovs"): its password and path, the item table, the
// open compound file that keeps the storage locked while the window is open, and the zoom
// shared by its image views. The tree view (CPictureLeftView) shows the items.
//
// The document is the one owner of the item table: every change of an item (add, import,
// paste, drop, rename, delete, new picture, note or account text) goes through its operations,
// which are refused while the storage loads or closes (the status bar says why) and mark the
// document modified. Views and the tree only read records.
//
// Threads: the table belongs to the user-interface thread. The load builds a table of its own
// on a worker and the window swaps it in at the end; a save writes a snapshot of the table
// (records and bytes are shared, nothing is copied) on a worker while the user goes on working;
// changes made meanwhile leave the document modified when the save ends. Nothing waits for a
// worker in a nested event loop: closing cancels the workers, and the close question's "Yes"
// closes the window when its save has ended.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "compound/CompoundFile.h"
#include "documents/EncryptedDocument.h"
#include "framework/FrameHosts.h"
#include "image/PclTemplates.h"
#include "storage/StorageItem.h"
#include "storage/StorageSave.h"
#include "storage/StrongStorage.h"

class CPictureLeftView;
struct StorageSaveJob;

class CPictureDoc : public CEncryptedDocument, public PCL_Interface_ZoomScale {
public:
    CPictureDoc();
    ~CPictureDoc() override;

    // A missing or empty file opens as an empty storage without a prompt (the first save asks
    // for the password). Otherwise asks the password and checks it against the file, which
    // stays open: the tree view's load reads the very file that was checked.
    bool OnOpenDocument(const QString& path) override;
    // Asks a new password when none is known, then starts writing a snapshot of the storage
    // on a worker thread and returns true; false when no save could start (the storage is
    // loading, another save runs, no password). The end of the save reports a failure, and
    // SaveEnded() tells its outcome.
    bool OnSaveDocument(const QString& path) override;
    // The close question. While a save runs, or after "Yes" started one, the window stays
    // open and closes when the save has ended well.
    bool SaveModified() override;
    void DeleteContents() override;
    // From here on no item changes: the workers are being stopped.
    void OnCloseDocument() override;

    // --- The items --------------------------------------------------------------------------
    const StorageItemTable& Items() const { return items_; }
    // The bytes the items hold, for the status bar's size pane.
    uint64_t TotalBytes() const { return totalBytes_; }
    int64_t StatusSizeBytes() const override { return static_cast<int64_t>(totalBytes_); }
    // Why the items cannot change now, or empty when they can.
    QString ChangeRefusal() const;
    // Whether the items may change now; when not, the status bar says why.
    bool MayChange();
    // Each operation checks MayChange() and marks the document modified. AddItem returns the
    // new index (-1 when refused); ChangeItem changes a copy of the record (false when refused
    // or the item is gone); DeleteItems lets go of the records.
    int32_t AddItem(std::unique_ptr<StorageItem> record);
    bool ChangeItem(int32_t index, const std::function<void(StorageItem&)>& change);
    bool DeleteItems(const std::vector<int32_t>& indexes);

    // --- Loading ----------------------------------------------------------------------------
    // The file checked by the open, held for the load and, afterwards, for the window's lock
    // and for the data of the items, which stays in it until something needs it. Null when
    // the storage has no file yet.
    std::shared_ptr<const CompoundReader> OpenFile() const { return file_; }
    bool IsLoading() const { return loading_; }
    // The tree view's load began, and ended with `table` (swapped in as read).
    void BeginLoad() { loading_ = true; }
    void EndLoad(StorageItemTable table);

    // --- Damaged data ------------------------------------------------------------------------
    // Tells, once per item, that its data could not be read ("The item NAME is damaged and
    // cannot be shown."); later reads of the same item stay quiet.
    void ReportDamagedItem(int32_t index);

    // --- Saving -----------------------------------------------------------------------------
    bool IsSaving() const { return saveJob_ != nullptr; }
    // What the last failed save said; empty after a success.
    const QString& LastSaveError() const { return lastSaveError_; }
    // The user stops the running save (the status bar's Cancel, Escape): it ends before its
    // next item, the file on disk stays as it was and the status bar says so. Does not wait;
    // false when no save runs.
    bool CancelSaveByUser();

    CPictureLeftView* TreeView() const { return treeView_; }
    void SetTreeView(CPictureLeftView* view) { treeView_ = view; }

    // The password typed when the file was opened (kept for the load).
    using CEncryptedDocument::Password;

protected:
    DocumentClass Class() const override { return DocumentClass::Storage; }
    bool SaveAsAsksNewPassword() const override { return true; }
    // A storage is no single encrypted blob: its file is read by the storage layer whatever
    // the form says, so every name the window was given opens.
    std::optional<BlobForm> OpenFormOf(const QString&) const override { return BlobForm::Current; }
    // A file with strong protection, once its key is derived: its compound file is opened
    // through the envelope and checked against the password, and the tree view reads it.
    LoadTextStatus ReadContents(const std::string& path, std::string_view password, BlobForm form,
                                int* error) override;

private:
    // Opens a file with strong protection: takes its lock, checks its header, asks the
    // password and derives the key on a worker; ReadContents follows.
    bool OpenStrong(const QString& path);
    // Shows `text` in the status bar of the window.
    void Notice(const QString& text) const;
    void Changed();
    friend struct StorageSaveJob;
    void FinishSave(const std::shared_ptr<StorageSaveJob>& job);
    // Ends a running save (its old file stays) and waits for its thread.
    void CancelSave();
    // Takes back the way to stop the save handed to the frame.
    // After a save: the file just written becomes the document's, and every item whose data
    // the save wrote from the snapshot refers to its stream there.
    void HoldSavedFile(const StorageSaveJob& job);

    StorageItemTable items_;
    // Items and snapshots that refer to the file share it: the document lets go of it, and
    // it closes once no item refers to it either.
    std::shared_ptr<CompoundReader> file_;
    std::string heldPath_; // the path file_ was opened at
    // A file with strong protection between the open (which takes its lock and checks its
    // header) and the derived key; the storage is being read while it is set.
    std::shared_ptr<StrongStorageFile> sealed_;
    CPictureLeftView* treeView_ = nullptr;
    bool loading_ = false;
    bool closing_ = false;
    uint64_t changes_ = 0;
    uint64_t totalBytes_ = 0; // counts changes, so a save knows whether any came in meanwhile
    std::shared_ptr<StorageSaveJob> saveJob_;
    std::thread saver_;
    CancelRegistration saveCancel_; // the status bar's Cancel while a save runs
    bool closeWhenSaved_ = false;
    QString lastSaveError_;
    std::unordered_set<int32_t> damagedReported_;
};
