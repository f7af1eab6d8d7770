// The program's file open and save dialog: a Qt file dialog (never the desktop's own, so it
// can end itself when the screen locks and be driven by tests) that restarts the idle clock
// when the selection or the folder changes and remembers which command reopens it. It starts
// in the folder last used for its kind of work (see FolderMemory) and remembers the folder of
// the file chosen.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include "framework/FolderMemory.h"
#include "framework/LockAwareDialog.h"

class CTimedFileDialog : public QFileDialog {
    Q_OBJECT
public:
    enum Flag {
        FileMustExist = 0x1,
        PathMustExist = 0x2,
    };

    // `filter` is a list of "display text|patterns|" pairs, patterns separated by ";".
    // `reopenCommand` is re-issued after an unlock when the lock closed the dialog; 0 means
    // the Open command for an open dialog. An open dialog serves opening documents, a save
    // dialog saving them, unless SetFolderKind says otherwise. A `fileName` with a folder
    // starts in that folder.
    CTimedFileDialog(bool openFileDialog, const QString& defaultExtension, const QString& fileName,
                     int flags, const QString& filter, QWidget* owner, int reopenCommand);

    // The kind of work the dialog serves; it starts in that kind's last folder.
    void SetFolderKind(FolderKind kind);
    FolderKind GetFolderKind() const { return folderKind_; }

    // IDOK or IDCANCEL.
    int DoModal();
    // The chosen path after IDOK.
    QString GetPathName() const;
    int ReopenCommand() const { return reopenCommand_; }
    bool LockTick() { return watcher_.Tick(); }
    bool LockTimerRunning() const { return watcher_.IsRunning(); }

    // "Name (*.a;*.b)|*.a;*.b|..." as Qt name filters "Name (*.a *.b)".
    static QStringList ParseFilter(const QString& filter);

protected:
    // An accepted choice remembers its folder for the next dialog of the same kind.
    void done(int result) override;

private:
    bool open_;
    int reopenCommand_;
    FolderKind folderKind_;
    // The file name given has a folder of its own, which wins over the kind's.
    bool nameHasFolder_ = false;
    LockWatcher watcher_;
};
