// The account forms: the right-hand pane shown for a selected account, with the account's
// name as a heading and a field per record field. Every change of a field is written into the
// account at once and marks the document modified.
#pragma once

#include <vector>

#include "passwords/Accounts.h"
#include "passwords/EditPane.h"

class CEditEx;
class QLabel;
class PasswordFieldTools;
class QPushButton;

class CAccountForm : public CEditPane {
    Q_OBJECT
public:
    // A field of the form in on-screen order.
    struct FormField {
        AccountField field;
        const char* objectName;
    };
    struct FormKind {
        AccountKind kind;
        const char* icon;
        std::vector<FormField> onScreen;
        // The order in which LoadAccount fills the fields.
        std::vector<AccountField> loadOrder;
        // The web and e-mail forms open the focused field's address (Ctrl+G).
        bool opensUrls;
        // The web form's Delete marks the document modified even when declined.
        bool deleteMarksModified;
        // Whether moving the mouse over the form counts as activity.
        bool mouseMoveIsActivity;
    };

    CAccountForm(CDocument* document, QWidget* parent, FormKind form);

    AccountKind Kind() const { return form_.kind; }
    // Shows the account of the slot; a deleted slot leaves the form as it is. Loading never
    // leaves the document modified.
    void LoadAccount(int slot);
    int CurrentSlot() const { return slot_; }

    CEditEx* Field(AccountField field) const;
    // The fields from top to bottom.
    std::vector<CEditEx*> FieldsOnScreen() const;
    QLabel* NameLabel() const { return name_; }
    PasswordFieldTools* PasswordTools() const { return passwordTools_; }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    void OnFieldChanged(AccountField field, CEditEx* edit);
    void OnAddMore();
    void OnDelete();
    void OnSave();
    void OpenUrl();

    FormKind form_;
    int slot_ = 0;
    QLabel* name_;
    std::vector<std::pair<AccountField, CEditEx*>> fields_;
    PasswordFieldTools* passwordTools_ = nullptr;
};

class CWebAccView : public CAccountForm {
    Q_OBJECT
public:
    CWebAccView(CDocument* document, QWidget* parent);
};

class CMailAccView : public CAccountForm {
    Q_OBJECT
public:
    CMailAccView(CDocument* document, QWidget* parent);
};

class COtherAccView : public CAccountForm {
    Q_OBJECT
public:
    COtherAccView(CDocument* document, QWidget* parent);
};
