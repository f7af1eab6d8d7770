#include "passwords/PasswordsPane.h"

#include <QMouseEvent>

#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "passwords/LeftView.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"

CPasswordsPane::CPasswordsPane(CDocument* document, QWidget* parent, bool mouseMoveIsActivity)
    : CView(document, parent), mouseMoveIsActivity_(mouseMoveIsActivity) {
    setMouseTracking(mouseMoveIsActivity);
    setAutoFillBackground(true);
}

COmbrivaultDoc* CPasswordsPane::Doc() const {
    return static_cast<COmbrivaultDoc*>(GetDocument());
}

COmbrivaultChildFrame* CPasswordsPane::Frame() const {
    return qobject_cast<COmbrivaultChildFrame*>(GetParentFrame());
}

CLeftView* CPasswordsPane::Tree() const {
    const COmbrivaultChildFrame* frame = Frame();
    return frame != nullptr ? frame->LeftView() : nullptr;
}

bool CPasswordsPane::OnCommand(int id) {
    if (id == ID_EDIT_FIND && Tree() != nullptr) {
        Tree()->StartFind();
        return true;
    }
    return CView::OnCommand(id);
}

bool CPasswordsPane::OnUpdateCommand(CCmdUI& ui) {
    if (ui.id == ID_EDIT_FIND && Tree() != nullptr) {
        return true;
    }
    return CView::OnUpdateCommand(ui);
}

void CPasswordsPane::mouseMoveEvent(QMouseEvent* event) {
    if (mouseMoveIsActivity_) {
        ResetIdleTimer();
    }
    CView::mouseMoveEvent(event);
}
