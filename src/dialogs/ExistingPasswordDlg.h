// "Enter Password": asks for the password of an existing file, or for the screen password.
#pragma once

#include <string_view>

#include "dialogs/PasswordBuffer.h"
#include "framework/LockAwareDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

class CExistingPasswordDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CExistingPasswordDlg(QWidget* parent = nullptr);
    ~CExistingPasswordDlg() override;

    // Whether the dialog closes itself when the screen locks (on by default).
    void SetAutoClose(bool on) { autoClose_ = on; }
    // Asks for the screen password instead of a file password.
    void SetScreenPasswordMode(bool on) { screenMode_ = on; }

    // The typed password in the program's code page, after IDOK.
    std::string_view Password() const { return password_.View(); }
    const char* PasswordCStr() const { return password_.CStr(); }

protected:
    void OnInitDialog() override;

private:
    void OnEditChange(const QString& text);
    void OnOk();

    PasswordBuffer password_;
    bool autoClose_ = true;
    bool screenMode_ = false;
    QLabel* label_;
    QLineEdit* edit_;
    QPushButton* ok_;
};
