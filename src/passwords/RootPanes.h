// The panes shown for the document root and the three category items: the root pane with
// its three big add buttons, and the add panes (a name field with Add and Cancel).
#pragma once

#include "passwords/Accounts.h"
#include "passwords/EditPane.h"

class CEditEx;
class QPushButton;

// Shown for the document root: "Add Accounts:" and a button per kind, each selecting the
// kind's category item.
class BlankRootView : public CPasswordsPane {
    Q_OBJECT
public:
    BlankRootView(CDocument* document, QWidget* parent);
};

// Shown for a category item: names a new account of the kind and adds it to the tree.
class CAddAccountPane : public CEditPane {
    Q_OBJECT
public:
    struct Texts {
        const char* heading;
        const char* add;
        const char* cancel;
    };
    CAddAccountPane(CDocument* document, QWidget* parent, AccountKind kind, const Texts& texts);

    AccountKind Kind() const { return kind_; }
    CEditEx* NameEdit() const { return name_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    // Enter in the name field adds the account.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnNameChanged();
    void OnAdd();
    void OnCancel();

    AccountKind kind_;
    CEditEx* name_;
    QPushButton* add_;
    QPushButton* cancel_;
};

class WebAccountsRootView : public CAddAccountPane {
    Q_OBJECT
public:
    WebAccountsRootView(CDocument* document, QWidget* parent);
};

class EMailAccountsRootView : public CAddAccountPane {
    Q_OBJECT
public:
    EMailAccountsRootView(CDocument* document, QWidget* parent);
};

class OtherAccountsRootView : public CAddAccountPane {
    Q_OBJECT
public:
    OtherAccountsRootView(CDocument* document, QWidget* parent);
};
