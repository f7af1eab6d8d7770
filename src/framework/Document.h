// Documents and their views. A document holds the data of one open file (or of a new,
// untitled one); its views show it inside child frames. The document template that created
// a document owns it; the document goes away when its last frame closes.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QWidget>

#include "framework/CmdTarget.h"

class CDocTemplate;
class CMDIChildWnd;
class CView;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    ~CDocument() override;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    const QString& GetTitle() const { return title_; }
    virtual void SetTitle(const QString& title);
    const QString& GetPathName() const { return pathName_; }
    // Also makes the file name the title and, when asked, adds the path to the recent files.
    virtual void SetPathName(const QString& path, bool addToRecentFiles = true);
    bool IsModified() const { return modified_; }
    virtual void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    // The size the status bar's size pane shows while this document's window is active, or -1
    // when the document has none to show (the pane stays empty).
    virtual int64_t StatusSizeBytes() const { return -1; }

    CDocTemplate* GetDocTemplate() const { return template_; }
    const std::vector<CView*>& GetViews() const { return views_; }
    void AddView(CView* view);
    void RemoveView(CView* view);
    void UpdateAllViews(CView* sender);
    // The child frames showing this document's views.
    std::vector<CMDIChildWnd*> GetFrames() const;

    // A new, empty document; false refuses it.
    virtual bool OnNewDocument();
    // Reads `path`; false refuses it (the document has already told the user why).
    virtual bool OnOpenDocument(const QString& path);
    virtual bool OnSaveDocument(const QString& path);
    // Closes every frame of the document and destroys it.
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    // Asks whether the document may close, saving it when the user says so.
    virtual bool SaveModified();
    // Asked when `frame` is about to close; only the last frame asks the document.
    virtual bool CanCloseFrame(CMDIChildWnd* frame);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    friend class CDocTemplate;
    void SetDocTemplate(CDocTemplate* docTemplate) { template_ = docTemplate; }

    QString title_;
    QString pathName_;
    bool modified_ = false;
    CDocTemplate* template_ = nullptr;
    std::vector<CView*> views_;
};

class CView : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    explicit CView(CDocument* document, QWidget* parent = nullptr);
    ~CView() override;

    CDocument* GetDocument() const { return document_; }
    // The child frame the view lives in.
    CMDIChildWnd* GetParentFrame() const;

    // Called once the frame is built, before it shows.
    virtual void OnInitialUpdate() { OnUpdate(nullptr); }
    virtual void OnUpdate(CView* sender) {}
    // What the status bar's caret pane shows while this is the active view of the active
    // window (" Ln 3, Col 7"); empty for a view without a caret.
    virtual QString CaretPaneText() const { return {}; }

private:
    friend class CDocument;
    CDocument* document_;
};
