// The base of the right-hand panes and the tree of a passwords window: the way a pane reaches
// its document, frame and tree. Moving the mouse over a pane counts as activity for the
// screen lock unless the pane says otherwise.
#pragma once

#include "dialogs/PaneLook.h"
#include "framework/Document.h"

class CLeftView;
class COmbrivaultChildFrame;
class COmbrivaultDoc;

class CPasswordsPane : public CView {
    Q_OBJECT
public:
    CPasswordsPane(CDocument* document, QWidget* parent, bool mouseMoveIsActivity = true);

    COmbrivaultDoc* Doc() const;
    COmbrivaultChildFrame* Frame() const;
    CLeftView* Tree() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool mouseMoveIsActivity_;
};
