// The right-hand views of a storage window: what the tree hands each of them (the location of
// the current folder, or the item to show) and the order in which the window holds them. A
// view that is not built yet is a plain pane with its name.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <QWidget>

struct StorageItem;

// The thirteen views, in the order the window adds them; view N of the window is
// kStorageViewOrder[N - 1].
enum class StorageViewKind {
    FolderOverview,   // the root, folders and file items
    ImageViewer,      // images, with zoom
    CreateFolder,     // new-folder form
    AddPicture,       // add-image form
    CreateNote,       // new-text-document form
    NoteEditor,       // text items
    CreateWebAccount, // new-web-account form
    CreateMailAccount,
    CreateOtherAccount,
    WebAccountEditor,
    OtherAccountEditor,
    AddPdf, // add-PDF form
    PdfViewer,
};
inline constexpr int kStorageViewCount = 13;

// The class name of a view, as the window names its pane.
const char* StorageViewName(StorageViewKind kind);

// What the tree gives a view when it shows it.
class CStorageRightView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // The folder new items go to, as "$:\Letters\2008\" (the folder overview and the forms).
    virtual void SetLocation(const std::string& folderPath) { location_ = folderPath; }
    const std::string& Location() const { return location_; }

    // The item to show (viewers and editors): the record, its table index, its label and the
    // location of the folder holding it. The record stays the document's; the view writes
    // edits straight into it.
    virtual void ShowItem(StorageItem* item, int32_t index, const QString& label,
                          const std::string& folderPath) {
        item_ = item;
        index_ = index;
        location_ = folderPath;
        label_ = label;
    }
    // The item is going away (deleted, or the window closes).
    virtual void ForgetItem() { item_ = nullptr, index_ = -1; }

    StorageItem* ShownItem() const { return item_; }
    int32_t ShownIndex() const { return index_; }
    const QString& ShownLabel() const { return label_; }

    // The zoom commands reach the image viewer through this.
    virtual bool OnZoomCommand(int id) { return false; }

private:
    std::string location_;
    StorageItem* item_ = nullptr;
    int32_t index_ = -1;
    QString label_;
};

// A view that is not built yet: its name on an empty pane.
class CStoragePlaceholderView : public CStorageRightView {
    Q_OBJECT
public:
    CStoragePlaceholderView(StorageViewKind kind, QWidget* parent = nullptr);
    StorageViewKind Kind() const { return kind_; }

private:
    StorageViewKind kind_;
};

// Makes the view of `kind`; the views issue replaces the placeholders here.
CStorageRightView* CreateStorageView(StorageViewKind kind, QWidget* parent);
