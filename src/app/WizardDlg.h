// "Welcome": offers to create a new document, to open one or to visit the product web site,
// and holds the switch that shows it at start-up (stored whenever the wizard goes away).
#pragma once

#include <functional>

#include "framework/LockAwareDialog.h"

class QCheckBox;

class CWizardDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    // Receives the commands the wizard sends (New, Open): the main window's.
    using CommandReceiver = std::function<void(int id)>;

    explicit CWizardDlg(QWidget* parent = nullptr);
    // Stores the start-up switch, however the wizard was closed.
    ~CWizardDlg() override;

    void SetReceiver(CommandReceiver receiver) { receiver_ = std::move(receiver); }

protected:
    void OnLockClose() override;
    int LockResult() const override { return 0; }

private:
    // Ends the wizard, then sends `command` to the receiver.
    void EndAndSend(int command);
    void StoreShowAtStartup() const;

    CommandReceiver receiver_;
    QCheckBox* showAtStartup_;
};
