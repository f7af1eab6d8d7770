// A pane with edit fields: the three add panes and the three account forms. It handles the
// shared edit commands (Undo, Cut, Copy, Paste, Erase, Select All) on the field that has the
// keyboard focus.
#pragma once

#include "passwords/PasswordsPane.h"

class CEditEx;

class CEditPane : public CPasswordsPane {
    Q_OBJECT
public:
    using CPasswordsPane::CPasswordsPane;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // The field of this pane that has the keyboard focus, or null.
    CEditEx* FocusedEdit() const;

protected:
    // A field in the pane's colours and fonts.
    CEditEx* MakeField(bool multiLine, int pixelHeight, const QString& name);
};
