// "Create New Document...": one big button per kind of encrypted document. The result names
// the kind; the main frame's New command turns it into a new untitled document.
#pragma once

#include "framework/LockAwareDialog.h"

class CShadeButtonST;
class QLabel;

class CNewDialog : public CLockAwareDialog {
    Q_OBJECT
public:
    // 0 comes from the close box and from the screen lock, Cancel (2) from Escape.
    enum Result { Closed = 0, Text = 1, Passwords = 3, Storage = 4 };

    explicit CNewDialog(QWidget* parent = nullptr);

protected:
    void OnLockClose() override;
    int LockResult() const override { return Closed; }
    void closeEvent(QCloseEvent* event) override;

private:
    CShadeButtonST* AddChoice(const char* name, const char* text, const char* tooltip,
                              const char* icon, int result);
};

// A big icon button of the chooser or the wizard: text, tooltip, icon, shaded in blue.
CShadeButtonST* MakeChoiceButton(QWidget* parent, const QString& name, const QString& text,
                                 const QString& tooltip, const QString& iconPath);
