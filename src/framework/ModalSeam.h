// Every modal dialog and message box of the program runs through ModalSeam::Run. For a real
// user that is just QDialog::exec(). A test installs the seam and queues scripts: each
// script drives the next dialog that comes up (types into its edits, picks files, clicks
// its buttons) while the dialog runs its real modal loop. A dialog that comes up with no
// script queued never waits: it is refused at once and its title is recorded.
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

class QDialog;

class ModalSeam {
public:
    using Script = std::function<void(QDialog&)>;

    static void Install();
    // Uninstalls and forgets queued scripts and records.
    static void Uninstall();
    static bool Installed();

    static void Push(Script script);
    static int Pending();
    // Titles (and texts, for message boxes) of dialogs that came with no script queued, or
    // whose script left them open.
    static QStringList Unanswered();
    // Titles of every dialog that ran through the seam, in order.
    static QStringList Shown();

    // Runs `dialog` modally and returns its result; `refusal` is the result of a dialog
    // refused by an installed seam with nothing queued.
    static int Run(QDialog& dialog, int refusal);

private:
    static int RunPolished(QDialog& dialog, int refusal);
};

// Installs the seam for the lifetime of the object.
class ScopedModalSeam {
public:
    ScopedModalSeam() { ModalSeam::Install(); }
    ~ScopedModalSeam() { ModalSeam::Uninstall(); }
    ScopedModalSeam(const ScopedModalSeam&) = delete;
    ScopedModalSeam& operator=(const ScopedModalSeam&) = delete;
};

// Building blocks for scripts.
namespace answer {
// Ends the dialog with `result`.
ModalSeam::Script Result(int result);
// Clicks the button whose object name or text (without "&") is `button`. A disabled button
// does not react, as for a user.
ModalSeam::Script Click(const QString& button);
// Types `text` into the line edit named `edit` (replacing what it held), then runs `next`.
ModalSeam::Script Type(const QString& edit, const QString& text, ModalSeam::Script next = {});
// Picks `files` in a file dialog and accepts it.
ModalSeam::Script Files(const QStringList& files);
// Runs the scripts one after the other on the same dialog.
ModalSeam::Script Steps(std::vector<ModalSeam::Script> steps);
} // namespace answer
