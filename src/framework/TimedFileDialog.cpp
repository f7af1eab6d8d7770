#include "framework/TimedFileDialog.h"

#include <QFileInfo>

#include "framework/LockHost.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"

QStringList CTimedFileDialog::ParseFilter(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString display = parts[i];
        if (display.isEmpty()) {
            break;
        }
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the trailing parentheses and separates them by blanks.
        const qsizetype open = display.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && display.endsWith(QLatin1Char(')'))) {
            display = display.left(open).trimmed();
        }
        result << QStringLiteral("%1 (%2)").arg(display, patterns.simplified());
    }
    return result;
}

CTimedFileDialog::CTimedFileDialog(bool openFileDialog, const QString& defaultExtension,
                                   const QString& fileName, int flags, const QString& filter,
                                   QWidget* owner, int reopenCommand)
    : QFileDialog(DialogOwner(owner)), open_(openFileDialog), reopenCommand_(reopenCommand),
      folderKind_(openFileDialog ? FolderKind::Open : FolderKind::SaveAs), watcher_(this, [this] {
          if (CLockHost* host = CLockHost::Current()) {
              host->SetReopenFlag(open_ ? ReopenFlag::OpenDialog : ReopenFlag::SaveDialog,
                                  reopenCommand_);
          }
          return static_cast<int>(QDialog::Rejected);
      }) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    // The documents ask their own replace question.
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setWindowTitle(openFileDialog ? tr("Open") : tr("Save As"));
    setAcceptMode(openFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(openFileDialog && (flags & FileMustExist) ? QFileDialog::ExistingFile
                                                          : QFileDialog::AnyFile);
    if (!defaultExtension.isEmpty()) {
        QString suffix = defaultExtension;
        if (suffix.startsWith(QLatin1Char('.'))) {
            suffix.remove(0, 1);
        }
        setDefaultSuffix(suffix);
    }
    const QStringList filters = ParseFilter(filter);
    if (!filters.isEmpty()) {
        setNameFilters(filters);
    }
    nameHasFolder_ = fileName.contains(QLatin1Char('/'));
    SetFolderKind(folderKind_);
    if (!fileName.isEmpty()) {
        selectFile(fileName);
    }
    connect(this, &QFileDialog::currentChanged, this, [] { ResetIdleTimer(); });
    connect(this, &QFileDialog::directoryEntered, this, [] { ResetIdleTimer(); });
}

void CTimedFileDialog::SetFolderKind(FolderKind kind) {
    folderKind_ = kind;
    if (!nameHasFolder_) {
        // Keeps the name already given: only the folder changes.
        const QStringList chosen = selectedFiles();
        const QString name = chosen.isEmpty() ? QString() : QFileInfo(chosen.front()).fileName();
        setDirectory(FolderMemory::StartFolder(kind));
        if (!name.isEmpty() && acceptMode() == QFileDialog::AcceptSave) {
            selectFile(name);
        }
    }
}

void CTimedFileDialog::done(int result) {
    if (result == QDialog::Accepted) {
        FolderMemory::RememberFileFolder(folderKind_, GetPathName());
    }
    QFileDialog::done(result);
}

int CTimedFileDialog::DoModal() {
    setModal(true);
    const int result = ModalSeam::Run(*this, QDialog::Rejected);
    return result == QDialog::Accepted && !selectedFiles().isEmpty() ? IDOK : IDCANCEL;
}

QString CTimedFileDialog::GetPathName() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}
