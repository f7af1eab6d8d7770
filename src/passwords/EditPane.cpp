#include "passwords/EditPane.h"

#include <QApplication>

#include "controls/EditEx.h"
#include "framework/CommandIds.h"

CEditEx* CEditPane::FocusedEdit() const {
    auto* edit = qobject_cast<CEditEx*>(QApplication::focusWidget());
    return edit != nullptr && isAncestorOf(edit) ? edit : nullptr;
}

CEditEx* CEditPane::MakeField(bool multiLine, int pixelHeight, const QString& name) {
    auto* edit = new CEditEx(multiLine, this);
    edit->setObjectName(name);
    edit->SetBackgroundColor(kFieldYellow);
    edit->SetTextColor(Qt::black);
    edit->SetFieldFont(pixelHeight, kTimesNewRoman);
    return edit;
}

bool CEditPane::OnCommand(int id) {
    return RunEditCommand(FocusedEdit(), id) || CPasswordsPane::OnCommand(id);
}

bool CEditPane::OnUpdateCommand(CCmdUI& ui) {
    return UpdateEditCommand(FocusedEdit(), ui) || CPasswordsPane::OnUpdateCommand(ui);
}
