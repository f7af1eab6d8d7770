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
    edit->SetFieldFont(pixelHeight, kTimesNewRoman);
    return edit;
}

bool CEditPane::OnCommand(int id) {
    CEditEx* edit = FocusedEdit();
    const auto run = [edit](void (CEditEx::*operation)()) {
        if (edit != nullptr) {
            (edit->*operation)();
        }
        return true;
    };
    switch (id) {
    case ID_EDIT_UNDO:
        return run(&CEditEx::Undo);
    case ID_EDIT_CUT:
        return run(&CEditEx::Cut);
    case ID_EDIT_COPY:
        return run(&CEditEx::Copy);
    case ID_EDIT_PASTE:
        return run(&CEditEx::Paste);
    case ID_EDIT_CLEAR:
        return run(&CEditEx::Erase);
    case ID_EDIT_SELECT_ALL:
        return run(&CEditEx::SelectAllText);
    default:
        return CPasswordsPane::OnCommand(id);
    }
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
