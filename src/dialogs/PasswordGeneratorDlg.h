// "Generate Password": makes a new password of chosen length and kinds of character, or a
// passphrase of words, shows it with its entropy in bits, and copies it or hands it to the
// field it was opened from.
#pragma once

#include "crypto/PasswordGenerator.h"
#include "dialogs/PasswordBuffer.h"
#include "framework/LockAwareDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class CPasswordGeneratorDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CPasswordGeneratorDlg(QWidget* parent = nullptr);
    ~CPasswordGeneratorDlg() override;

    // The password shown; after IDOK ("Use") the one to put in the field.
    QString Password() const;
    // The entropy of what the rules shown make, in bits.
    double EntropyBits() const { return bits_; }
    // Makes a new password by the rules shown.
    void Regenerate();

    // Opens the dialog beside a new-password field and, when the user picks "Use", returns
    // the password (empty when cancelled).
    static QString Pick(QWidget* parent);

private:
    void OnRulesChanged();
    void OnCopy();

    QRadioButton* characters_;
    QRadioButton* passphrase_;
    QSpinBox* length_;
    QCheckBox* lower_;
    QCheckBox* upper_;
    QCheckBox* digits_;
    QCheckBox* symbols_;
    QCheckBox* lookAlikes_;
    QSpinBox* words_;
    QLineEdit* separator_;
    QLineEdit* result_;
    QLabel* entropy_;
    QPushButton* use_;
    QPushButton* copy_;
    double bits_ = 0;
};
