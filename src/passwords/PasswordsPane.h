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

    // Find (Ctrl+F) puts the focus in the tree's find field, whichever pane has it now.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool mouseMoveIsActivity_;
};
