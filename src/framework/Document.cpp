#include "framework/Document.h"

#include <algorithm>

#include <QFileInfo>

#include "base/ProductInfo.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

CDocument::~CDocument() {
    for (CView* view : views_) {
        view->document_ = nullptr;
    }
}

void CDocument::SetTitle(const QString& title) {
    title_ = title;
    for (CMDIChildWnd* frame : GetFrames()) {
        frame->setWindowTitle(title_);
    }
}

void CDocument::SetPathName(const QString& path, bool addToRecentFiles) {
    pathName_ = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    SetTitle(pathName_.isEmpty() ? title_ : QFileInfo(pathName_).fileName());
    if (addToRecentFiles && !pathName_.isEmpty() && template_ != nullptr &&
        template_->GetDocManager() != nullptr) {
        template_->GetDocManager()->AddToRecentFileList(pathName_);
    }
}

void CDocument::AddView(CView* view) {
    if (view != nullptr && std::find(views_.begin(), views_.end(), view) == views_.end()) {
        views_.push_back(view);
        view->document_ = this;
    }
}

void CDocument::RemoveView(CView* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    if (view != nullptr && view->document_ == this) {
        view->document_ = nullptr;
    }
}

void CDocument::UpdateAllViews(CView* sender) {
    for (CView* view : views_) {
        if (view != sender) {
            view->OnUpdate(sender);
        }
    }
}

std::vector<CMDIChildWnd*> CDocument::GetFrames() const {
    std::vector<CMDIChildWnd*> frames;
    for (CView* view : views_) {
        CMDIChildWnd* frame = view->GetParentFrame();
        if (frame != nullptr && std::find(frames.begin(), frames.end(), frame) == frames.end()) {
            frames.push_back(frame);
        }
    }
    return frames;
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const QString& path) {
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const QString& path) {
    return false;
}

void CDocument::OnCloseDocument() {
    const std::vector<CMDIChildWnd*> frames = GetFrames();
    for (CView* view : views_) {
        view->document_ = nullptr;
    }
    views_.clear();
    for (CMDIChildWnd* frame : frames) {
        frame->CloseFromDocument();
    }
    DeleteContents();
    if (template_ != nullptr) {
        template_->RemoveDocument(this); // destroys this document
    }
}

bool CDocument::SaveModified() {
    // Nothing about the document shows while the screen is locked: the screen password comes
    // first, and refusing it keeps the document open.
    if (!UnlockForDocumentClose()) {
        return false;
    }
    if (!IsModified()) {
        return true;
    }
    const QString name = pathName_.isEmpty() ? title_ : QFileInfo(pathName_).fileName();
    switch (ShowMessageBox(nullptr, QStringLiteral("Save changes to %1?").arg(name),
                           QString::fromLatin1(kAppTitle), MessageButtons::YesNoCancel,
                           MessageIcon::Exclamation)) {
    case MessageResult::Yes:
        return !pathName_.isEmpty() && OnSaveDocument(pathName_);
    case MessageResult::No:
        return true;
    default:
        return false;
    }
}

bool CDocument::CanCloseFrame(CMDIChildWnd* frame) {
    const std::vector<CMDIChildWnd*> frames = GetFrames();
    const bool last = frames.size() <= 1;
    return !last || SaveModified();
}

bool CDocument::OnCommand(int id) {
    if (id == ID_FILE_CLOSE) {
        if (SaveModified()) {
            OnCloseDocument();
        }
        return true;
    }
    return false;
}

bool CDocument::OnUpdateCommand(CCmdUI& ui) {
    return ui.id == ID_FILE_CLOSE;
}

CView::CView(CDocument* document, QWidget* parent) : QWidget(parent), document_(nullptr) {
    if (document != nullptr) {
        document->AddView(this);
    }
}

CView::~CView() {
    if (document_ != nullptr) {
        document_->RemoveView(this);
    }
}

CMDIChildWnd* CView::GetParentFrame() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<CMDIChildWnd*>(w)) {
            return frame;
        }
    }
    return nullptr;
}
