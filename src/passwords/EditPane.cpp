#include "passwords/EditPane.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "framework/CommandIds.h"
#include "passwords/EditEx.h"

CEditEx* CEditPane::FocusedEdit() const {
    auto* edit = qobject_cast<CEditEx*>(QApplication::focusWidget());
    return edit != nullptr && isAncestorOf(edit) ? edit : nullptr;
}

CEditEx* CEditPane::MakeField(bool multiLine, int pixelHeight, const QString& name) {
    auto* edit = new CEditEx(multiLine, this);
    edit->setObjectName(name);
    edit->SetBackgroundColor(kFieldYellow);
    edit->SetTextColor(Qt::black);
    edit->SetFontSpec(pixelHeight, kTimesNewRoman);
    return edit;
}

bool CEditPane::OnCommand(int id) {
    CEditEx* edit = FocusedEdit();
    switch (id) {
    case ID_EDIT_UNDO:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_PASTE:
    case ID_EDIT_CLEAR:
    case ID_EDIT_SELECT_ALL:
        break;
    default:
        return CPasswordsPane::OnCommand(id);
    }
    if (edit == nullptr) {
        return true;
    }
    switch (id) {
    case ID_EDIT_UNDO:
        edit->Undo();
        break;
    case ID_EDIT_CUT:
        edit->Cut();
        break;
    case ID_EDIT_COPY:
        edit->Copy();
        break;
    case ID_EDIT_PASTE:
        edit->Paste();
        break;
    case ID_EDIT_CLEAR:
        edit->Erase();
        break;
    case ID_EDIT_SELECT_ALL:
        edit->SelectAllText();
        break;
    default:
        break;
    }
    return true;
}

bool CEditPane::OnUpdateCommand(CCmdUI& ui) {
    const CEditEx* edit = FocusedEdit();
    switch (ui.id) {
    case ID_EDIT_UNDO:
    case ID_EDIT_CLEAR:
    case ID_EDIT_SELECT_ALL:
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        ui.Enable(edit != nullptr && edit->HasSelection());
        return true;
    case ID_EDIT_PASTE: {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        ui.Enable(edit != nullptr && !edit->isReadOnly() && data != nullptr && data->hasText());
        return true;
    }
    default:
        return CPasswordsPane::OnUpdateCommand(ui);
    }
}
