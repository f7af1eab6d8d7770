// The class keeps its established name, misspelling included ("Rigth").
// CPictureRigthMainView: the folder overview shown for the root, a folder or a plain file
// item: the current location and six buttons, each showing a creation form for it.
#pragma once

#include <vector>

#include "framework/Document.h"

class CShadeButtonST;
class CStorageViewSite;
class QLabel;
enum class StorageForm;

class CPictureRigthMainView : public CView {
    Q_OBJECT
public:
    CPictureRigthMainView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr);

    // The location the buttons hand to their forms.
    void SetLocation(const QString& path);
    QString Location() const { return path_; }
    QLabel* LocationLabel() const { return location_; }
    // The buttons in order: New Folder, Add Image File, New Text Document, New Web Account,
    // New Other Account, Add PDF File.
    const std::vector<CShadeButtonST*>& Buttons() const { return buttons_; }

private:
    void Show(StorageForm form);

    CStorageViewSite* site_;
    QString path_;
    QLabel* location_;
    std::vector<CShadeButtonST*> buttons_;
};
