#include "framework/DocManager.h"

#include "framework/ChildFrame.h"
#include "framework/Document.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"

CDocManager::CDocManager(int recentFileCount) : recent_(recentFileCount) {}

CDocManager::~CDocManager() = default;

CDocTemplate* CDocManager::AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate) {
    docTemplate->manager_ = this;
    templates_.push_back(std::move(docTemplate));
    return templates_.back().get();
}

CDocTemplate* CDocManager::FindTemplate(int resourceId) const {
    for (const auto& t : templates_) {
        if (t->GetResourceId() == resourceId) {
            return t.get();
        }
    }
    return nullptr;
}

void CDocManager::AddChildFrame(CMDIChildWnd* frame) {
    if (host_ != nullptr) {
        host_->AddChildFrame(frame);
    }
}

void CDocManager::ActivateChildFrame(CMDIChildWnd* frame) {
    if (host_ != nullptr) {
        host_->ActivateChildFrame(frame);
    }
}

CDocTemplate* CDocManager::ChooseTemplate(const QString& path, CDocument*& alreadyOpen) const {
    alreadyOpen = nullptr;
    CDocTemplate* best = nullptr;
    CDocTemplate::Confidence bestConfidence = CDocTemplate::noAttempt;
    for (const auto& t : templates_) {
        CDocument* match = nullptr;
        const CDocTemplate::Confidence c = t->MatchDocType(path, match);
        if (c > bestConfidence) {
            bestConfidence = c;
            best = t.get();
            alreadyOpen = match;
            if (c == CDocTemplate::yesAlreadyOpen) {
                break;
            }
        }
    }
    return best;
}

CDocument* CDocManager::OpenDocumentFile(const QString& path) {
    if (path.isEmpty()) {
        return nullptr;
    }
    CDocument* open = nullptr;
    CDocTemplate* chosen = ChooseTemplate(path, open);
    if (open != nullptr) {
        const std::vector<CMDIChildWnd*> frames = open->GetFrames();
        if (!frames.empty()) {
            ActivateChildFrame(frames.front());
        }
        return open;
    }
    return chosen != nullptr ? chosen->OpenDocumentFile(path) : nullptr;
}

std::vector<CDocument*> CDocManager::GetDocuments() const {
    std::vector<CDocument*> docs;
    for (const auto& t : templates_) {
        for (CDocument* d : t->GetDocuments()) {
            docs.push_back(d);
        }
    }
    return docs;
}

bool CDocManager::SaveAllModified() {
    for (CDocument* doc : GetDocuments()) {
        if (!doc->SaveModified()) {
            return false;
        }
    }
    return true;
}

void CDocManager::CloseAllDocuments() {
    for (CDocument* doc : GetDocuments()) {
        doc->OnCloseDocument();
    }
}

void CDocManager::AddToRecentFileList(const QString& path) {
    recent_.Add(path);
    RecentFilesChanged();
}

void CDocManager::RecentFilesChanged() {
    if (recentChanged_) {
        recentChanged_();
    }
}

QString CDocManager::StandardOpenFilter() const {
    QString filter;
    for (const auto& t : templates_) {
        const QString name = t->GetDocString(CDocTemplate::filterName);
        const QString ext = t->GetDocString(CDocTemplate::filterExt);
        if (!name.isEmpty() && !ext.isEmpty()) {
            filter += name + QLatin1Char('|') + QLatin1Char('*') + ext + QLatin1Char('|');
        }
    }
    filter += QStringLiteral("All Files (*.*)|*||");
    return filter;
}

void CDocManager::OnFileOpen() {
    CTimedFileDialog dialog(true, QString(), QString(), CTimedFileDialog::FileMustExist,
                            StandardOpenFilter(), nullptr, 0);
    if (dialog.DoModal() == IDOK) {
        OpenDocumentFile(dialog.GetPathName());
    }
}
