// The "Picture" classes are the storage's, after their established names.
// The window of a storage document: the tree (180 pixels wide) on the left and, on the right,
// one of the thirteen storage views at a time. The window is what its views work through:
// the document's items and zoom, the tree's current folder and operations, and switching
// the right-hand pane.
#pragma once

#include <array>
#include <string>

#include "framework/ChildFrame.h"
#include "image/PclTemplates.h"
#include "storage/StorageViewSite.h"
#include "storage/StorageViews.h"

class CMultiViewSplitter;
class CPictureDoc;
class CPictureLeftView;

class CPictureChildFrame : public CMDIChildWnd, public CStorageViewSite {
    Q_OBJECT
public:
    // The tree's width until the user moves the divider; then the width last given to it,
    // kept under the key in the user's settings.
    static constexpr int kTreeWidth = 180;
    static inline const QString kTreeWidthKey = QStringLiteral("StorageTreeWidth");

    explicit CPictureChildFrame(QWidget* parent = nullptr);
    ~CPictureChildFrame() override;

    CPictureLeftView* LeftView() const { return leftView_; }
    CMultiViewSplitter* Splitter() const { return splitter_; }

    // The view of a kind, and showing it (the view shown before keeps its state).
    CStorageRightView* StorageView(StorageViewKind kind) const;
    CStorageRightView* ShowStorageView(StorageViewKind kind);
    // "Show view N": 1 to 13 in the order of StorageViewKind.
    CStorageRightView* ShowView(int number);
    StorageViewKind ShownKind() const;
    // The folder overview and the forms take a renamed folder's new location.
    void SetShownViewLocation(const std::string& folderPath);
    // The items the viewers show are going away.
    void ForgetShownItems();

    // What the views ask of the window.
    const StorageItem* Item(int32_t index) override;
    bool LoadItemData(int32_t index, ItemData& out) override;
    bool ChangeItem(int32_t index, const std::function<void(StorageItem&)>& change) override;
    PCL_Interface_ZoomScale& Zoom() override;
    QString CurrentFolderPath() const override;
    void ShowForm(StorageForm form, const QString& location) override;
    void AddFolder(const QString& name, bool select) override;
    void AddItem(const QString& nameOrPath, StorageItemType type, bool select) override;
    void AddImageFile(const QString& path, bool select) override;
    void AddPastedImage(const QString& name) override;
    void ReplaceImageData(const FCObjImage& picture) override;
    void DeleteSelected() override;
    void StartAddDirectory(const QString& path) override;
    void AddFileByType(const QString& path, bool select) override;
    // Queued, so the drop that asked for it ends before the password prompt shows.
    void OpenDocumentFile(const QString& path) override;

    // The tree and the largest right-hand view side by side, so no view opens cut.
    QSize ContentMinimumSize() const override;

    // Find (Ctrl+F) goes to the tree's find bar, and Edit > Rename and Delete to the tree's
    // selection, from every view of the window.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    bool OnCreateClient(CDocument* document, CDocTemplate* docTemplate) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The storage while the window shows it; null once it has closed.
    CPictureDoc* Document() const;

    CMultiViewSplitter* splitter_ = nullptr;
    CPictureLeftView* leftView_ = nullptr;
    std::array<int, kStorageViewCount> viewIds_{};
    int treeWidth_ = kTreeWidth; // the width the tree opened with
    // Stands in for the document's zoom once the document has gone.
    PCL_Interface_ZoomScale spareZoom_;
};
