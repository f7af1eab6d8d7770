// The right-hand views of a storage window: the order in which the window holds them, and the
// slot each one lives in. A slot hands its view what the tree gives it (the location of the
// current folder, or the item to show) in the terms of that view.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <QString>
#include <QWidget>

struct CCmdUI;
class CDocument;
class CStorageViewSite;
class CView;
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

// The class name of a view, as the window names its slot.
const char* StorageViewName(StorageViewKind kind);

// One slot of the right-hand pane: it holds the view of its kind, filling the slot, and
// passes on what the tree gives. The new-mail-account slot, which nothing shows, holds no
// view and stays an empty pane.
class CStorageRightView : public QWidget {
    Q_OBJECT
public:
    CStorageRightView(StorageViewKind kind, CDocument* document, CStorageViewSite* site,
                      QWidget* parent = nullptr);

    StorageViewKind Kind() const { return kind_; }
    // The view in the slot; null for the empty slot.
    CView* View() const { return view_; }
    template <class V> V* ViewAs() const { return qobject_cast<V*>(view_); }

    // The folder new items go to, as "$:\Letters\2008\" (the folder overview and the forms).
    void SetLocation(const std::string& folderPath);
    const std::string& Location() const { return location_; }

    // The item at a table index to show (viewers and editors), with its tree label and the
    // location of the folder holding it. The view looks the record up by its index whenever
    // it reads or writes it.
    void ShowItem(int32_t index, const QString& label, const std::string& folderPath);
    // The item is going away (deleted, or the window closes): the view lets go of it and
    // shows nothing.
    void ForgetItem();

    // The shown record, through the window; null when none is shown or it was deleted.
    const StorageItem* ShownItem() const;
    int32_t ShownIndex() const { return index_; }
    const QString& ShownLabel() const { return label_; }

    // The zoom commands of the main toolbar, for the image viewer and the PDF viewer; false
    // for other views.
    bool OnZoomCommand(int id);
    bool OnUpdateZoomCommand(CCmdUI& ui);

private:
    StorageViewKind kind_;
    CStorageViewSite* site_;
    CView* view_ = nullptr;
    std::string location_;
    int32_t index_ = -1;
    QString label_;
};

// Makes the slot of `kind` with its view, working on `document` through `site`.
CStorageRightView* CreateStorageView(StorageViewKind kind, CDocument* document,
                                     CStorageViewSite* site, QWidget* parent);
