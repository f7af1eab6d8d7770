// The strength meter under a new-password field: a bar of five steps, the word for the step
// ("very weak" ... "very strong") and the estimator's hint for a weak password. For a document
// password it can add, once, the sentence on what the compatible file forms do with a weak
// password.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "crypto/PasswordStrength.h"

class QLabel;
class QProgressBar;
class QLineEdit;

class StrengthMeter : public QWidget {
    Q_OBJECT
public:
    explicit StrengthMeter(QWidget* parent = nullptr);

    // Follows the text of `edit` from now on (and shows its strength now).
    void Follow(QLineEdit* edit);
    // Shows the strength of `password`; an empty one empties the meter.
    void SetPassword(const QString& password);
    // Words of the password's owner (an account's name, its user id) counted as guessable.
    void SetUserWords(std::vector<std::string> words);
    // Shows or hides the sentence on the compatible file forms (a document password in one of
    // those forms).
    void ShowCompatibleFormNote(bool show);
    // Keeps room for two lines of hint while there is none, for a dialog whose size is set
    // once it is shown: a hint that comes with typing is then not cut off.
    void ReserveHintSpace();

    const StrengthEstimate& Estimate() const { return estimate_; }
    QString Word() const;
    QString Feedback() const;
    bool CompatibleFormNoteShown() const;

    static constexpr const char* kCompatibleFormNote =
        "Files in the compatible forms derive their key quickly and without salt, so a weak "
        "password there is found by trying guesses; choose a strong one, or strong protection.";

private:
    QProgressBar* bar_;
    QLabel* word_;
    QLabel* feedback_;
    QLabel* note_;
    std::vector<std::string> userWords_;
    StrengthEstimate estimate_;
    bool reserveHint_ = false;
    bool empty_ = true;
};
