#include "dialogs/StrengthMeter.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "crypto/SecretBuffer.h"

namespace {

// Red through green, one colour a step.
const char* const kStepColours[] = {"#c0392b", "#e67e22", "#d4ac0d", "#58a55c", "#1e8449"};

} // namespace

StrengthMeter::StrengthMeter(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("strengthMeter"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("strengthBar"));
    bar_->setRange(0, 5);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    word_ = new QLabel(this);
    word_->setObjectName(QStringLiteral("strengthWord"));
    word_->setMinimumWidth(80);
    feedback_ = new QLabel(this);
    feedback_->setObjectName(QStringLiteral("strengthFeedback"));
    feedback_->setWordWrap(true);
    feedback_->hide();
    note_ = new QLabel(QString::fromLatin1(kCompatibleFormNote), this);
    note_->setObjectName(QStringLiteral("compatibleFormNote"));
    note_->setWordWrap(true);
    note_->hide();

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(bar_, 1);
    row->addWidget(word_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(row);
    layout->addWidget(feedback_);
    layout->addWidget(note_);
    SetPassword(QString());
}

void StrengthMeter::Follow(QLineEdit* edit) {
    connect(edit, &QLineEdit::textChanged, this, &StrengthMeter::SetPassword);
    SetPassword(edit->text());
}

void StrengthMeter::SetUserWords(std::vector<std::string> words) {
    userWords_ = std::move(words);
}

void StrengthMeter::SetPassword(const QString& password) {
    empty_ = password.isEmpty();
    if (empty_) {
        estimate_ = {};
        bar_->setValue(0);
        word_->setText(QString());
        feedback_->clear();
        feedback_->setVisible(reserveHint_);
        return;
    }
    QByteArray utf8 = password.toUtf8();
    const SecretBuffer text(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    utf8.fill('\0'); // the copy Qt made held the password too
    estimate_ = EstimateStrength(text.View(), userWords_);
    const int step = static_cast<int>(estimate_.level);
    bar_->setValue(step + 1);
    bar_->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid palette(mid); border-radius: 3px; } "
                       "QProgressBar::chunk { background: %1; border-radius: 2px; }")
            .arg(QLatin1String(kStepColours[step])));
    word_->setText(QString::fromLatin1(StrengthWord(estimate_.level)));
    feedback_->setText(QString::fromStdString(estimate_.feedback));
    feedback_->setVisible(reserveHint_ || !estimate_.feedback.empty());
}

void StrengthMeter::ReserveHintSpace() {
    reserveHint_ = true;
    feedback_->setMinimumHeight(feedback_->fontMetrics().lineSpacing() * 2 +
                                feedback_->contentsMargins().top() +
                                feedback_->contentsMargins().bottom());
    feedback_->show();
}

void StrengthMeter::ShowCompatibleFormNote(bool show) {
    note_->setVisible(show);
}

QString StrengthMeter::Word() const {
    return word_->text();
}

QString StrengthMeter::Feedback() const {
    return estimate_.feedback.empty() ? QString() : feedback_->text();
}

bool StrengthMeter::CompatibleFormNoteShown() const {
    return !note_->isHidden();
}
