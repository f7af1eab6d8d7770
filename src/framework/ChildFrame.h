// A document window inside the main frame: a sub-window of its MDI area that shows the
// views of one document and knows which of them is active.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>

#include "framework/CmdTarget.h"

class CDocTemplate;
class CDocument;
class CView;

class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget {
    Q_OBJECT
public:
    explicit CMDIChildWnd(QWidget* parent = nullptr);
    ~CMDIChildWnd() override;

    // Builds the frame's contents for `document`; calls OnCreateClient.
    bool Create(CDocument* document, CDocTemplate* docTemplate);
    // Lets the views initialise themselves; shows the frame when `makeVisible`.
    virtual void InitialUpdateFrame(bool makeVisible);

    CDocument* GetActiveDocument() const { return document_; }
    CView* GetActiveView() const;
    void SetActiveView(CView* view);

    // Closes the frame without asking the document (the document is closing it).
    void CloseFromDocument();

    // The size of the frame's contents at which nothing in it is cut or has to scroll; the
    // frame opens at least this large. The default is the contents' minimum size.
    virtual QSize ContentMinimumSize() const;
    // Grows the frame towards that size as far as the area that holds it leaves room right of
    // and below the frame, and shrinks it into that room. Done when the frame is first shown;
    // the main frame repeats it when its own size was settled after the frame opened.
    void FitContents();

protected:
    // Creates the views inside the frame; the default makes one view of the template's kind
    // and shows it as the frame's widget.
    virtual bool OnCreateClient(CDocument* document, CDocTemplate* docTemplate);
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FollowFocus(QWidget* now);

    CDocument* document_ = nullptr;
    QPointer<CView> activeView_;
    bool closingFromDocument_ = false;
    bool fitted_ = false;
};
