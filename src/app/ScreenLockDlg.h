// "Screen Lock Settings": when the screen locks, the screen password and the prompt on the
// overlay, with the lock animation running as a preview at the top.
#pragma once

#include <QPointer>

#include "framework/LockAwareDialog.h"

class CEditorApp;
class JMatrixCtrl;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;

class CScreenLockDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    CScreenLockDlg(CEditorApp& app, QWidget* parent = nullptr);
    ~CScreenLockDlg() override;

    static constexpr const char* kMismatchText = "Passwords don't match";
    // What both password edits hold while the stored password is kept. The password itself is
    // never known here (only its hash is stored), so every stored password shows the same.
    static QString StoredPasswordPlaceholder();

    JMatrixCtrl* Preview() const { return preview_; }

protected:
    void OnInitDialog() override;
    void OnLockClose() override;

private:
    void ApplyEnablingRules();
    void OnOk();
    void OnCancel();
    void DestroyPreview();

    CEditorApp& app_;
    QFrame* previewArea_;
    QPointer<JMatrixCtrl> preview_;
    QCheckBox* lockWhenIdle_;
    QComboBox* timeout_;
    QCheckBox* lockAtStartup_;
    QCheckBox* lockWithDesktop_;
    QCheckBox* passwordEnabled_;
    QLabel* passwordLabel_;
    QLineEdit* password_;
    QLabel* confirmLabel_;
    QLineEdit* confirm_;
    QLabel* promptLabel_;
    QLineEdit* prompt_;
};
