#include "browser/AddressBar.h"

#include <QCompleter>
#include <QLineEdit>
#include <QTimer>

CAddressBar::CAddressBar(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("addressbar"));
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(20);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    // Suggestions from the history while typing: any entry that holds the typed text.
    auto* completer = new QCompleter(model(), this);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    setCompleter(completer);

    connect(lineEdit(), &QLineEdit::returnPressed, this, &CAddressBar::Entered);
    // The combo box also reports an index when the typed text happens to equal an entry
    // (on Enter or when the focus leaves); only a pick from the open list is a choice.
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (fromList_) {
            fromList_ = false;
            emit Chosen(index);
        } else {
            // No entry is current: the field shows typed or reported text, not an entry.
            const QString text = Text();
            const bool blocked = blockSignals(true);
            setCurrentIndex(-1);
            blockSignals(blocked);
            SetText(text);
        }
    });
}

void CAddressBar::SetEntryIcon(const QIcon& icon) {
    // The field always shows the entries' image, whatever it holds.
    lineEdit()->addAction(icon, QLineEdit::LeadingPosition);
}

QString CAddressBar::Text() const {
    return lineEdit()->text();
}

void CAddressBar::SetText(const QString& text) {
    lineEdit()->setText(text);
    lineEdit()->setCursorPosition(0);
}

bool CAddressBar::EditHasFocus() const {
    return lineEdit()->hasFocus();
}

void CAddressBar::showPopup() {
    fromList_ = true;
    QComboBox::showPopup();
}

void CAddressBar::hidePopup() {
    QComboBox::hidePopup();
    // A pick is reported right after the list closes, within the same event.
    QTimer::singleShot(0, this, [this] { fromList_ = false; });
}
