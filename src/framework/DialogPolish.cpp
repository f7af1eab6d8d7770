#include "framework/DialogPolish.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {

std::function<void()>& EndedHook() {
    static std::function<void()> hook;
    return hook;
}

// Room the window manager takes beside the title: the window icon, the close box, margins.
constexpr int kTitleDecoration = 120;

bool TakesTyping(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) != nullptr ||
           qobject_cast<const QTextEdit*>(w) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(w) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
           qobject_cast<const QComboBox*>(w) != nullptr ||
           qobject_cast<const QAbstractItemView*>(w) != nullptr;
}

QList<QPushButton*> Buttons(const QDialog& dialog) {
    QList<QPushButton*> result;
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
        if (b->window() == &dialog) {
            result << b;
        }
    }
    return result;
}

QPushButton* DefaultButton(const QDialog& dialog) {
    for (QPushButton* b : Buttons(dialog)) {
        if (b->isDefault()) {
            return b;
        }
    }
    return nullptr;
}

// The letter after the "&" of `text` (upper case), or a null character.
QChar MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (text[i + 1] != QLatin1Char('&')) {
                return text[i + 1].toUpper();
            }
            ++i;
        }
    }
    return {};
}

// The widget that gets the focus when the dialog opens.
QWidget* FirstFocus(QDialog& dialog) {
    if (QWidget* f = dialog.focusWidget()) {
        return f;
    }
    QWidget* w = dialog.nextInFocusChain();
    while (w != nullptr && w != &dialog) {
        if (w->window() == &dialog && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            !w->isHidden()) {
            return w;
        }
        w = w->nextInFocusChain();
    }
    return nullptr;
}

class DialogKeys : public QObject {
public:
    explicit DialogKeys(QDialog* dialog) : QObject(dialog), dialog_(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == dialog_ && event->type() == QEvent::Show) {
            FocusDefault();
        } else if (event->type() == QEvent::KeyPress && IsOurs(watched)) {
            return PressMnemonic(static_cast<QKeyEvent*>(event));
        }
        return false;
    }

private:
    bool IsOurs(QObject* watched) const {
        auto* w = qobject_cast<QWidget*>(watched);
        return w != nullptr && w->window() == dialog_;
    }

    void FocusDefault() {
        QPushButton* def = DefaultButton(*dialog_);
        if (def == nullptr) {
            return;
        }
        QWidget* first = FirstFocus(*dialog_);
        const bool plain = first == nullptr || qobject_cast<QLabel*>(first) != nullptr ||
                           qobject_cast<QPushButton*>(first) != nullptr;
        if (plain && def->isEnabled()) {
            def->setFocus(Qt::OtherFocusReason);
        }
    }

    // A letter typed outside an input field presses the button it is the mnemonic of.
    bool PressMnemonic(QKeyEvent* key) {
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->text().size() != 1 ||
            !key->text()[0].isLetterOrNumber() || TakesTyping(dialog_->focusWidget())) {
            return false;
        }
        const QChar letter = key->text()[0].toUpper();
        for (QPushButton* b : Buttons(*dialog_)) {
            if (b->isVisible() && b->isEnabled() && MnemonicOf(b->text()) == letter) {
                b->click();
                return true;
            }
        }
        return false;
    }

    QDialog* dialog_;
};

void AddMnemonics(QDialog& dialog) {
    static const QStringList kWords = {QStringLiteral("Yes"), QStringLiteral("No"),
                                       QStringLiteral("Retry")};
    QString used;
    const QList<QPushButton*> buttons = Buttons(dialog);
    for (QPushButton* b : buttons) {
        const QChar m = MnemonicOf(b->text());
        if (!m.isNull()) {
            used += m;
        }
    }
    for (QPushButton* b : buttons) {
        const QString text = b->text();
        if (kWords.contains(text) && !used.contains(text[0].toUpper())) {
            b->setText(QLatin1Char('&') + text);
            used += text[0].toUpper();
        }
    }
}

} // namespace

int TitleWidth(const QDialog& dialog) {
    QFont font = dialog.font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(dialog.windowTitle()) + kTitleDecoration;
}

void PolishDialog(QDialog& dialog) {
    if (dialog.property("ov_polished").toBool()) {
        return;
    }
    dialog.setProperty("ov_polished", true);

    // The dialog decoration: a title and a close box, never minimise or maximise.
    Qt::WindowFlags flags = dialog.windowFlags();
    flags &= ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint |
               Qt::WindowFullscreenButtonHint | Qt::WindowType_Mask);
    flags |= Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    dialog.setWindowFlags(flags);

    // Yes, No and Retry get their letters wherever the buttons came from: a message box
    // gives them to some of its buttons only.
    AddMnemonics(dialog);
    // A message box sizes itself and chooses its own default button.
    if (qobject_cast<QMessageBox*>(&dialog) == nullptr) {
        if (dialog.layout() == nullptr ||
            dialog.layout()->sizeConstraint() != QLayout::SetFixedSize) {
            dialog.setMinimumWidth(qMax(dialog.minimumWidth(), TitleWidth(dialog)));
        }
        if (DefaultButton(dialog) == nullptr) {
            const QList<QPushButton*> buttons = Buttons(dialog);
            if (!buttons.isEmpty()) {
                buttons.front()->setDefault(true);
            }
        }
    }
    auto* keys = new DialogKeys(&dialog);
    dialog.installEventFilter(keys);
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        child->installEventFilter(keys);
    }
}

void SetDialogEndedHook(std::function<void()> hook) {
    EndedHook() = std::move(hook);
}

void NotifyDialogEnded() {
    if (EndedHook()) {
        EndedHook()();
    }
}
