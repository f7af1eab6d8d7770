// The window of a storage document: the tree (180 pixels wide) on the left and, on the right,
// one of the thirteen storage views at a time.
#pragma once

#include <array>
#include <string>

#include "framework/ChildFrame.h"
#include "storage/StorageViews.h"

class CMultiViewSplitter;
class CPictureLeftView;

class CPictureChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    static constexpr int kTreeWidth = 180;

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

protected:
    bool OnCreateClient(CDocument* document, CDocTemplate* docTemplate) override;

private:
    CMultiViewSplitter* splitter_ = nullptr;
    CPictureLeftView* leftView_ = nullptr;
    std::array<int, kStorageViewCount> viewIds_{};
};
