// The document, frame and view a kind of document uses until its own classes exist: an
// empty window that names the kind and the file.
#pragma once

#include "framework/ChildFrame.h"
#include "framework/Document.h"

class QLabel;

class CPlaceholderDoc : public CDocument {
public:
    // Accepts an existing file; a missing one is reported and refused.
    bool OnOpenDocument(const QString& path) override;
};

class CPlaceholderChildFrame : public CMDIChildWnd {
    Q_OBJECT
};

class CPlaceholderView : public CView {
    Q_OBJECT
public:
    CPlaceholderView(CDocument* document, const QString& kind);
    void OnUpdate(CView* sender) override;

private:
    QString kind_;
    QLabel* label_;
};
