// A document template describes one kind of document: its resource id, the seven fields of
// its document string, and how to make its document, child frame and view. It owns the open
// documents of its kind.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QIcon>
#include <QString>
#include <QStringList>

class CDocManager;
class CDocument;
class CMDIChildWnd;
class CView;

class CDocTemplate {
public:
    enum DocStringIndex {
        windowTitle = 0,
        docName = 1,
        fileNewName = 2,
        filterName = 3,
        filterExt = 4,
        regFileTypeId = 5,
        regFileTypeName = 6,
    };

    enum Confidence {
        noAttempt,
        maybeAttemptForeign,
        maybeAttemptNative,
        yesAttemptForeign,
        yesAttemptNative,
        yesAlreadyOpen,
    };

    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*(CDocument*)>;

    CDocTemplate(int resourceId, const QString& docString, DocumentFactory makeDocument,
                 FrameFactory makeFrame, ViewFactory makeView);
    ~CDocTemplate();
    CDocTemplate(const CDocTemplate&) = delete;
    CDocTemplate& operator=(const CDocTemplate&) = delete;

    int GetResourceId() const { return resourceId_; }
    // The field of the document string, empty when it has none.
    QString GetDocString(DocStringIndex index) const;
    // The menu shown while one of its documents is active; 0 for the main frame's own.
    int GetMenuId() const { return menuId_; }
    void SetMenuId(int menuId) { menuId_ = menuId; }
    // The menu used while an embedded object is edited in place; 0 for none.
    int GetContainerInPlaceMenuId() const { return inPlaceMenuId_; }
    void SetContainerInPlaceMenuId(int menuId) { inPlaceMenuId_ = menuId; }

    // The icon of the kind, shown on its windows.
    const QIcon& GetIcon() const { return icon_; }
    void SetIcon(const QIcon& icon) { icon_ = icon; }

    // How well the template fits `path`; `match` receives an open document of that path.
    Confidence MatchDocType(const QString& path, CDocument*& match) const;

    // Opens `path`, or makes a new untitled document when it is empty. Null when the
    // document refused.
    CDocument* OpenDocumentFile(const QString& path, bool makeVisible = true);

    CView* CreateView(CDocument* document) const;
    std::vector<CDocument*> GetDocuments() const;
    // Destroys `document`.
    void RemoveDocument(CDocument* document);

    CDocManager* GetDocManager() const { return manager_; }

private:
    friend class CDocManager;

    int resourceId_;
    QStringList fields_;
    DocumentFactory makeDocument_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    int menuId_ = 0;
    int inPlaceMenuId_ = 0;
    int untitledCount_ = 0;
    QIcon icon_;
    CDocManager* manager_ = nullptr;
    std::vector<std::unique_ptr<CDocument>> documents_;
};

// Paths are compared as the file system names them: absolute, cleaned, links resolved.
QString CanonicalDocumentPath(const QString& path);
