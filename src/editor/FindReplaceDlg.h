// The find and replace dialog of the text view. It stays open beside the text while the user
// works (modeless), asks the view to find or replace through its signals, and ends itself
// like every other dialog of the program when the screen locks, so the searched text never
// shows over the lock.
#pragma once

#include "framework/LockAwareDialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;
    // Towards the end of the text; the replace mode always searches down.
    bool down = true;
};

class CFindReplaceDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    enum class Mode { Find, Replace };

    explicit CFindReplaceDlg(QWidget* parent = nullptr);

    // Shows the dialog (modeless) in `mode`, starting with `findWhat` when it is not empty.
    void Open(Mode mode, const QString& findWhat);

    QString FindWhat() const;
    QString ReplaceWith() const;
    FindOptions Options() const;

signals:
    void FindNext();
    void Replace();
    void ReplaceAll();

private:
    void UpdateButtons();
    void Emit(void (CFindReplaceDlg::*signal)());

    Mode mode_ = Mode::Find;
    QLineEdit* findEdit_;
    QLabel* replaceLabel_;
    QLineEdit* replaceEdit_;
    QCheckBox* wholeWord_;
    QCheckBox* matchCase_;
    QGroupBox* direction_;
    QRadioButton* up_;
    QRadioButton* down_;
    QPushButton* findNext_;
    QPushButton* replace_;
    QPushButton* replaceAll_;
};
