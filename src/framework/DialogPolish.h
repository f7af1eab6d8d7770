// What every modal dialog of the program gets before it shows, whoever built it: the dialog
// decoration (a close box, no minimise or maximise), a width that shows its whole title, a
// default button that holds the focus unless the dialog opens on an input field, mnemonics
// on its Yes / No / Retry buttons, and a plain letter key that presses the button whose
// mnemonic it is. When a dialog ends, the window that owns it is told, so it can drop the
// hover state the dialog left behind.
#pragma once

#include <functional>

class QDialog;

// Called by ModalSeam::Run for each dialog before it runs.
void PolishDialog(QDialog& dialog);
// The width a dialog needs so that the window manager shows its title whole.
int TitleWidth(const QDialog& dialog);

// Called after every modal dialog ends; the main frame installs it (null to remove).
void SetDialogEndedHook(std::function<void()> hook);
void NotifyDialogEnded();
