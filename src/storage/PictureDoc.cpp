#include "storage/PictureDoc.h"

#include <thread>

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include "base/WholeFile.h"
#include "crypto/StrongFile.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "dialogs/MessageDialogs.h"
#include "framework/FrameHosts.h"
#include "framework/ResultCodes.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"

namespace {

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

CPictureDoc::CPictureDoc() {
    SetScale(1);
}

CPictureDoc::~CPictureDoc() {
    DeleteContents();
}

void CPictureDoc::DeleteContents() {
    // The window's workers may be using the table and the file: they stop first.
    if (treeView_ != nullptr) {
        treeView_->DetachDocument();
        treeView_ = nullptr;
    }
    items_.Clear();
    file_.Close();
    heldPath_.clear();
}

bool CPictureDoc::OnOpenDocument(const QString& path) {
    DeleteContents();
    SetOwnPath(path);
    uint64_t size = 0;
    if (!GetFileSizeByName(NativePath(path), size) || size == 0) {
        // Nothing to read: an empty storage whose password the first save asks for.
        SetModifiedFlag(false);
        return true;
    }
    if (strong::FileHasMagic(NativePath(path))) {
        ReportError(QStringLiteral("Cannot open the file %1: it has strong protection, which "
                                   "the storage window cannot open yet. \"ombrivault-cli "
                                   "weaken\" writes a copy without it.")
                        .arg(FileNamePart(path)));
        return false;
    }
    CExistingPasswordDlg prompt;
    if (prompt.DoModal() != IDOK) {
        return false;
    }
    SetPassword(prompt.Password());

    const StoragePasswordCheck check = CheckStoragePassword(NativePath(path), Password());
    switch (check.status) {
    case StoragePasswordStatus::Ok:
        SetModifiedFlag(false);
        return true;
    case StoragePasswordStatus::OpenFailed:
        ReportError(
            QString::fromStdString(StorageOpenErrorText(NativePath(path), check.openResult)));
        return false;
    case StoragePasswordStatus::NoInfoStream:
        ReportError(QStringLiteral("Failed to open the file: %1\nThe file is not an encrypted "
                                   "storage.")
                        .arg(FileNamePart(path)));
        return false;
    case StoragePasswordStatus::DecryptFailed:
    case StoragePasswordStatus::WrongName:
        break;
    }
    CFailedDecrypt(FileNamePart(path)).DoModal();
    return false;
}

bool CPictureDoc::OnSaveDocument(const QString& path) {
    if (!HasPassword() && !AskNewPassword()) {
        return false;
    }
    SetOwnPath(path);
    StorageTree tree;
    if (treeView_ != nullptr) {
        // The items the load is still reading belong in the file too.
        treeView_->WaitForLoad();
        tree = treeView_->TreeForSave();
    }
    const StorageSaveResult saved = RunSave(NativePath(path), tree);
    if (!saved.ok) {
        lastSaveError_ = QString::fromStdString(saved.message);
        ReportError(QStringLiteral("The storage could not be saved to %1:\n%2\nThe file on disk "
                                   "was left as it was; the changes are still open here.")
                        .arg(path, QString::fromStdString(saved.message)));
        return false;
    }
    lastSaveError_.clear();
    SetModifiedFlag(false);
    if (treeView_ != nullptr) {
        treeView_->OnUpdate(nullptr); // the root is named after the file
    }
    return true;
}

StorageSaveResult CPictureDoc::RunSave(const std::string& path, const StorageTree& tree) {
    StorageSaveOptions options;
    // While the window holds the file its lock keeps other writers out; the save relies on it.
    options.fileHeldByCaller = file_.IsOpen() && heldPath_ == path;

    saving_ = true;
    StorageSaveResult result;
    QEventLoop wait;
    const std::string_view password = Password();
    const auto total = static_cast<int64_t>(tree.size());
    // The worker reads the table and the tree while this thread only repaints and shows the
    // progress; the frame is busy, so no command changes the table meanwhile.
    std::thread worker([&] {
        BusyReport report;
        CBusyHost* busy = CBusyHost::Current();
        int shown = -1;
        result = SaveStorage(
            path, password, items_, tree,
            [&](const StorageSaveProgress& progress) {
                if (busy != nullptr) {
                    busy->Busy().StatusSizeBytes =
                        static_cast<int32_t>(std::min<uint64_t>(progress.bytesWritten, INT32_MAX));
                }
                const int percent =
                    total > 0 ? static_cast<int>(progress.itemsWritten * 100 / total) : 100;
                if (percent != shown) {
                    shown = percent;
                    report.Progress(percent);
                }
            },
            options);
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec();
    worker.join();
    saving_ = false;

    if (result.ok) {
        // The new file takes the old one's place: hold it as the window's file from now on.
        file_.Close();
        heldPath_.clear();
        if (file_.Open(path) == CompoundResult::Ok) {
            heldPath_ = path;
        }
    }
    if (treeView_ != nullptr) {
        treeView_->OnSaveEnded();
    }
    return result;
}
