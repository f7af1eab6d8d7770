// "Set File Password": a new password typed twice, for a new file or a password change.
#pragma once

#include <string_view>

#include "dialogs/PasswordBuffer.h"
#include "framework/LockAwareDialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

class CPasswordDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CPasswordDlg(QWidget* parent = nullptr);
    ~CPasswordDlg() override;

    // The password the document knows now (program code page); may be empty.
    void SetCurrentPassword(std::string_view password) { password_.SetBytes(password); }
    // Change mode captions the button "Set" instead of "Save".
    void SetChangeMode(bool on) { changeMode_ = on; }
    // Offers the check box "Strong protection (opens only in this program)", ticked as
    // `checked` says; hidden unless offered.
    void OfferStrongProtection(bool checked);
    // Whether the box was ticked when the dialog closed (false when it was not offered).
    bool StrongProtection() const { return strong_; }

    static constexpr const char* kStrongText = "Strong protection (opens only in this program)";

    // The new password after IDOK.
    std::string_view Password() const { return password_.View(); }
    const char* PasswordCStr() const { return password_.CStr(); }

    static constexpr const char* kMismatchText =
        "The passwords you typed do not match. Type the password in both text boxes.";
    static constexpr const char* kMismatchCaption = "Set Password";

protected:
    void OnInitDialog() override;

private:
    void OnPasswordChange(const QString& text);
    void OnConfirmChange(const QString& text);
    void OnSave();

    PasswordBuffer password_;
    bool changeMode_ = false;
    bool clearingConfirm_ = false;
    bool strong_ = false;
    QCheckBox* strongBox_;
    QLineEdit* edit_;
    QLineEdit* confirm_;
    QPushButton* save_;
};
