// What sits under an account's password field: the strength meter of the password in the
// field and a "Generate..." button that puts a generated password into it.
#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class CEditEx;
class QBoxLayout;
class QPushButton;
class StrengthMeter;

class PasswordFieldTools : public QWidget {
    Q_OBJECT
public:
    // Follows `field` (a single-line account field) from now on.
    PasswordFieldTools(CEditEx* field, QWidget* parent);

    // Where the account's name and user id come from: a password made of them is easy to
    // guess. Asked each time the password is weighed.
    void SetUserWords(std::function<std::vector<std::string>()> words);

    StrengthMeter* Meter() const { return meter_; }
    QPushButton* GenerateButton() const { return generate_; }
    // Puts the Generate button at the end of `row` (the field's label line, in a form short
    // of height) instead of beside the meter.
    void MoveGenerateButtonTo(QBoxLayout* row);

private:
    void Refresh();

    CEditEx* field_;
    std::function<std::vector<std::string>()> userWords_;
    StrengthMeter* meter_;
    QPushButton* generate_;
};
