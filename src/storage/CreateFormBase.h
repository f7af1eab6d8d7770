// The creation forms of the storage window's right-hand pane: a title, the folder the new item
// goes to, one edit box for a name or a file path and an action button that is enabled
// exactly while the box is not empty. Enter anywhere in the form acts even while the button
// is disabled, so an empty name can be given. Cancel goes back to the folder overview.
#pragma once

#include "framework/Document.h"

class CEditEx;
class CStorageViewSite;
class QBoxLayout;
class QLabel;
class QPushButton;

class CCreateFormBase : public CView {
    Q_OBJECT
public:
    struct Texts {
        const char* objectName;
        const char* title;
        const char* prompt;
        const char* action;
    };

    // Shows where the item goes, empties the edit box and gives it the focus.
    void SetLocation(const QString& path);
    QString Location() const;

    CEditEx* Edit() const { return edit_; }
    QPushButton* ActionButton() const { return action_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* TitleLabel() const { return title_; }

    // The action button's work, run by the button and by Enter.
    void Act();
    void Cancel();
    // The forms that take a file: an open dialog for an existing file; the chosen path goes
    // into the edit box. When the screen lock closes the dialog, the form's browse command
    // brings it back after the unlock.
    void Browse();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    CCreateFormBase(CDocument* document, CStorageViewSite* site, QWidget* parent,
                    const Texts& texts);
    // What the action does with the edit box's text.
    virtual void Action(const QString& text) = 0;
    // Makes Browse use `filter` and answer to `command`.
    void SetBrowse(int command, const QString& filter);
    // The row under the edit box, for a form's own buttons.
    QBoxLayout* ExtraRow() const { return extra_; }
    CStorageViewSite* Site() const { return site_; }
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnEditChanged();

    CStorageViewSite* site_;
    QLabel* title_;
    QLabel* location_;
    CEditEx* edit_;
    QPushButton* action_;
    QPushButton* cancel_;
    QBoxLayout* extra_;
    int browseCommand_ = 0;
    QString browseFilter_;
};

// The location line the forms and views share, added to `layout`: "Current Folder: " and the
// location in blue Courier New, 12 pixels. Returns the location's label.
QLabel* AddLocationLine(QBoxLayout* layout, QWidget* parent);
