// The account editors of the storage window: a web or other account item's fields in edit
// boxes, its tree label as the name, and the folder it sits in. Every change of a field
// rewrites the item's XML text at once and marks the document modified. A copied password is
// a secret on the clipboard, cleared as the passwords window clears its own.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/Document.h"
#include "storage/StorageLayout.h"

class CEditEx;
class CStorageViewSite;
class PasswordFieldTools;
class QLabel;
class QPushButton;
struct ItemAccount;

class CRightAccountView : public CView {
    Q_OBJECT
public:
    // The fields of an account item, in their order on screen.
    enum class Field { Address, UserId, Password, Notes };

    // Shows the account item at a table index, labelled `label`, in the folder `path`; the
    // label wins over the name stored in the item. Showing never marks the document modified.
    void ShowAccount(int32_t index, const QString& label, const QString& path);
    // Lets go of the shown account (the tree deleted it): the fields empty.
    void Forget();
    int32_t ItemIndex() const { return index_; }

    CEditEx* FieldEdit(Field field) const;
    QLabel* NameLabel() const { return name_; }
    QLabel* LocationLabel() const { return location_; }
    QPushButton* AddMoreButton() const { return addMore_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* SaveButton() const { return save_; }
    PasswordFieldTools* PasswordTools() const { return passwordTools_; }

    // What Open URL hands to the desktop: the focused field's first line (at most 255
    // characters), trimmed; empty without a focused field.
    QString UrlTarget() const;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    CRightAccountView(CDocument* document, CStorageViewSite* site, QWidget* parent,
                      StorageItemType type);

private:
    void OnFieldChanged();
    void OnAddMore();
    void OnDelete();
    void OnSave();
    void OpenUrl();
    CEditEx* FocusedField() const;

    CStorageViewSite* site_;
    StorageItemType type_;
    int32_t index_ = -1;
    bool loading_ = false;
    QLabel* location_;
    QLabel* name_;
    std::vector<std::pair<Field, CEditEx*>> fields_;
    QPushButton* addMore_;
    QPushButton* delete_;
    QPushButton* save_;
    PasswordFieldTools* passwordTools_ = nullptr;
};
