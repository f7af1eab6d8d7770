// The "Picture" classes are the storage's, after their established names.
// CPictureDoc: an open encrypted storage (".ovs"): its password and path, the item table, the
// open compound file that keeps the storage locked while the window is open, and the zoom
// shared by its image views. Loading and saving run on worker threads; the tree view
// (CPictureLeftView) shows the items.
//
// Threads: the user-interface thread alone touches the item table, except while a save runs,
// when the save's worker reads it and the user-interface thread waits for it (with the frame
// busy, so nothing changes the table meanwhile).
#pragma once

#include <string>

#include "compound/CompoundFile.h"
#include "documents/EncryptedDocument.h"
#include "image/PclTemplates.h"
#include "storage/StorageItem.h"
#include "storage/StorageSave.h"

class CPictureLeftView;

class CPictureDoc : public CEncryptedDocument, public PCL_Interface_ZoomScale {
public:
    CPictureDoc();
    ~CPictureDoc() override;

    // A missing or empty file opens as an empty storage without a prompt (the first save asks
    // for the password). Otherwise asks the password and checks it against the file; the
    // items are read by the tree view's load, after the window exists.
    bool OnOpenDocument(const QString& path) override;
    // Asks a new password when none is known, then writes the whole storage on a worker
    // thread (the window repaints and shows the progress meanwhile). True once the new file
    // is in place; a failure is shown and leaves the document modified and the old file as
    // it was.
    bool OnSaveDocument(const QString& path) override;
    void DeleteContents() override;

    StorageItemTable& Items() { return items_; }
    const StorageItemTable& Items() const { return items_; }
    CompoundReader& OpenFile() { return file_; }
    // The load opened `path` into OpenFile(); saves to that path rely on its lock.
    void NoteFileHeld(const std::string& path) { heldPath_ = path; }

    CPictureLeftView* TreeView() const { return treeView_; }
    void SetTreeView(CPictureLeftView* view) { treeView_ = view; }

    bool IsSaving() const { return saving_; }
    // What the last failed save said; empty after a success.
    const QString& LastSaveError() const { return lastSaveError_; }

    // The password typed when the file was opened (kept for the load).
    using CEncryptedDocument::Password;

protected:
    DocumentClass Class() const override { return DocumentClass::Storage; }
    // Not yet: the storage window reads and writes its compound file directly.
    bool SupportsStrongProtection() const override { return false; }
    bool SaveAsAsksNewPassword() const override { return true; }

private:
    StorageSaveResult RunSave(const std::string& path, const StorageTree& tree);

    StorageItemTable items_;
    CompoundReader file_;
    std::string heldPath_; // the path file_ was opened at
    CPictureLeftView* treeView_ = nullptr;
    bool saving_ = false;
    QString lastSaveError_;
};
