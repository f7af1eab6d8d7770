// The document manager: the registered templates in registration order, the rule that picks
// a template for a file, the recent-file list, and the standard open command.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "framework/DocTemplate.h"
#include "framework/RecentFileList.h"

class CDocument;
class CMDIChildWnd;
class QWidget;

// Where the document windows live: the main frame implements this.
class CFrameHost {
public:
    virtual ~CFrameHost() = default;
    virtual void AddChildFrame(CMDIChildWnd* frame) = 0;
    virtual void ActivateChildFrame(CMDIChildWnd* frame) = 0;
};

class CDocManager {
public:
    explicit CDocManager(int recentFileCount);
    ~CDocManager();
    CDocManager(const CDocManager&) = delete;
    CDocManager& operator=(const CDocManager&) = delete;

    CDocTemplate* AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate);
    const std::vector<std::unique_ptr<CDocTemplate>>& GetTemplates() const { return templates_; }
    CDocTemplate* FindTemplate(int resourceId) const;

    void SetFrameHost(CFrameHost* host) { host_ = host; }
    void AddChildFrame(CMDIChildWnd* frame);
    void ActivateChildFrame(CMDIChildWnd* frame);

    // The template that opens `path` by the type rule: an open document of that path is
    // reported in `alreadyOpen`; otherwise the first template whose extension matches
    // (without regard to case), else the first that accepts foreign files.
    CDocTemplate* ChooseTemplate(const QString& path, CDocument*& alreadyOpen) const;
    // Opens `path` with the chosen template, or activates the document that has it open.
    CDocument* OpenDocumentFile(const QString& path);

    std::vector<CDocument*> GetDocuments() const;
    // Asks every document whether it may close; false as soon as one refuses.
    bool SaveAllModified();
    void CloseAllDocuments();

    CRecentFileList& RecentFiles() { return recent_; }
    void AddToRecentFileList(const QString& path);
    // Called whenever the recent-file list changed (the application stores it).
    void SetRecentFilesChanged(std::function<void()> callback) {
        recentChanged_ = std::move(callback);
    }
    void RecentFilesChanged();

    // The standard open filter: every template's filter, then all files.
    QString StandardOpenFilter() const;
    // The standard open command: a file dialog with the standard filter, then the type rule.
    void OnFileOpen();

private:
    std::vector<std::unique_ptr<CDocTemplate>> templates_;
    CFrameHost* host_ = nullptr;
    CRecentFileList recent_;
    std::function<void()> recentChanged_;
};
