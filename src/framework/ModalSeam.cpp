#include "framework/ModalSeam.h"

#include "framework/DialogPolish.h"

#include <deque>

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {
struct SeamState {
    bool installed = false;
    std::deque<ModalSeam::Script> scripts;
    QStringList unanswered;
    QStringList shown;
};

SeamState& State() {
    static SeamState state;
    return state;
}

QString Describe(const QDialog& dialog) {
    QString text = dialog.windowTitle();
    if (const auto* box = qobject_cast<const QMessageBox*>(&dialog)) {
        text += QStringLiteral(": ") + box->text();
    }
    return text;
}

QString WithoutMnemonic(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}
} // namespace

void ModalSeam::Install() {
    State() = SeamState{};
    State().installed = true;
}

void ModalSeam::Uninstall() {
    State() = SeamState{};
}

bool ModalSeam::Installed() {
    return State().installed;
}

void ModalSeam::Push(Script script) {
    State().scripts.push_back(std::move(script));
}

int ModalSeam::Pending() {
    return static_cast<int>(State().scripts.size());
}

QStringList ModalSeam::Unanswered() {
    return State().unanswered;
}

QStringList ModalSeam::Shown() {
    return State().shown;
}

int ModalSeam::Run(QDialog& dialog, int refusal) {
    PolishDialog(dialog);
    const int result = RunPolished(dialog, refusal);
    NotifyDialogEnded();
    return result;
}

int ModalSeam::RunPolished(QDialog& dialog, int refusal) {
    SeamState& state = State();
    if (!state.installed) {
        return dialog.exec();
    }
    state.shown << Describe(dialog);
    if (state.scripts.empty()) {
        state.unanswered << Describe(dialog);
        dialog.setResult(refusal);
        return refusal;
    }
    Script script = std::move(state.scripts.front());
    state.scripts.pop_front();
    QPointer<QDialog> guard(&dialog);
    QTimer::singleShot(0, &dialog, [guard, script, refusal] {
        script(*guard);
        // A script that forgot to end its dialog must not leave the test waiting.
        if (guard && guard->isVisible()) {
            State().unanswered << Describe(*guard) + QStringLiteral(" (left open)");
            guard->done(refusal);
        }
    });
    return dialog.exec();
}

namespace answer {

ModalSeam::Script Result(int result) {
    return [result](QDialog& dialog) { dialog.done(result); };
}

ModalSeam::Script Click(const QString& button) {
    return [button](QDialog& dialog) {
        const auto buttons = dialog.findChildren<QAbstractButton*>();
        for (QAbstractButton* b : buttons) {
            if (b->objectName() == button || WithoutMnemonic(b->text()) == button) {
                b->click();
                return;
            }
        }
    };
}

ModalSeam::Script Type(const QString& edit, const QString& text, ModalSeam::Script next) {
    return [edit, text, next](QDialog& dialog) {
        if (auto* line = dialog.findChild<QLineEdit*>(edit)) {
            line->setFocus();
            line->selectAll();
            // insert() behaves like typing: textEdited and textChanged both follow.
            if (text.isEmpty()) {
                line->del();
            } else {
                line->insert(text);
            }
        }
        if (next) {
            next(dialog);
        }
    };
}

ModalSeam::Script Files(const QStringList& files) {
    return [files](QDialog& dialog) {
        auto* fileDialog = qobject_cast<QFileDialog*>(&dialog);
        if (fileDialog == nullptr) {
            return;
        }
        for (const QString& file : files) {
            fileDialog->selectFile(file);
        }
        QMetaObject::invokeMethod(fileDialog, "accept", Qt::DirectConnection);
    };
}

ModalSeam::Script Steps(std::vector<ModalSeam::Script> steps) {
    return [steps](QDialog& dialog) {
        for (const auto& step : steps) {
            if (!dialog.isVisible()) {
                return;
            }
            step(dialog);
        }
    };
}

} // namespace answer
