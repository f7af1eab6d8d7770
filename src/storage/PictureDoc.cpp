#include "storage/PictureDoc.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unordered_map>
#include <utility>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "base/CodePage.h"
#include "base/WholeFile.h"
#include "crypto/StrongFile.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "dialogs/MessageDialogs.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageWorkerHook.h"

// What a save's worker owns: the snapshot it writes and its outcome. The document lets go of
// it (owner set to null) when it stops waiting for the save.
struct StorageSaveJob {
    CPictureDoc* owner = nullptr;
    std::string path;
    std::string password;
    StorageItemTable items;
    StorageTree tree;
    StorageSaveOptions options;
    strong::Key key; // the key of a save with strong protection (options.strongKey)
    std::atomic<bool> cancel{false};
    bool cancelledByUser = false; // user-interface thread only
    uint64_t changesAtStart = 0;
    StorageSaveResult result;
    ~StorageSaveJob() { SecureWipe(password.data(), password.size()); }
};

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
    // The window's workers may be using the file: they stop first.
    CancelSave();
    if (treeView_ != nullptr) {
        treeView_->DetachDocument();
        treeView_ = nullptr;
    }
    items_.Clear();
    totalBytes_ = 0;
    file_.reset();
    heldPath_.clear();
    sealed_.reset();
    damagedReported_.clear();
    loading_ = false;
}

void CPictureDoc::OnCloseDocument() {
    closing_ = true;
    CEncryptedDocument::OnCloseDocument(); // destroys this document
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
        return OpenStrong(path);
    }
    CExistingPasswordDlg prompt;
    if (prompt.DoModal() != IDOK) {
        return false;
    }
    SetPassword(prompt.Password());

    // The file stays open from the check on: the load reads the file that was checked, even
    // when another takes its name meanwhile.
    file_ = std::make_shared<CompoundReader>();
    const CompoundResult opened = OpenStorageFile(NativePath(path), *file_);
    if (opened != CompoundResult::Ok) {
        file_.reset();
        ReportError(QString::fromStdString(StorageOpenErrorText(NativePath(path), opened)));
        return false;
    }
    const StoragePasswordCheck check = CheckStoragePassword(*file_, Password());
    if (check.ok()) {
        heldPath_ = NativePath(path);
        SetModifiedFlag(false);
        return true;
    }
    file_.reset();
    if (check.status == StoragePasswordStatus::NoInfoStream) {
        ReportError(QStringLiteral("Failed to open the file: %1\nThe file is not an encrypted "
                                   "storage.")
                        .arg(FileNamePart(path)));
        return false;
    }
    CFailedDecrypt(FileNamePart(path)).DoModal();
    return false;
}

bool CPictureDoc::OpenStrong(const QString& path) {
    // The file is held and its header checked before the password is asked, so nobody types
    // a password for a file that cannot be opened anyway.
    auto sealed = std::make_shared<StrongStorageFile>();
    const CompoundResult opened = sealed->Open(NativePath(path));
    if (opened == CompoundResult::NotCompoundFile && sealed->HeaderStatus() != strong::Status::Ok) {
        ReportError(QStringLiteral("Cannot open the file %1: %2.")
                        .arg(FileNamePart(path), QString::fromStdString(strong::StatusMessage(
                                                     sealed->HeaderStatus()))));
        return false;
    }
    if (opened != CompoundResult::Ok) {
        ReportError(QString::fromStdString(StorageOpenErrorText(NativePath(path), opened)));
        return false;
    }
    // The password, the key derived on a worker with the window open, empty and busy, and
    // then ReadContents.
    if (!CEncryptedDocument::OnOpenDocument(path)) {
        return false;
    }
    sealed_ = std::move(sealed);
    return true;
}

LoadTextStatus CPictureDoc::ReadContents(const std::string& path, std::string_view password,
                                         BlobForm, int* error) {
    const std::shared_ptr<StrongStorageFile> sealed = std::exchange(sealed_, nullptr);
    const strong::Key* key = LoadKey();
    if (sealed == nullptr || key == nullptr) {
        *error = EIO;
        return LoadTextStatus::Unreadable;
    }
    if (const strong::Status s = sealed->UnlockWithKey(*key); s != strong::Status::Ok) {
        *error = strong::ErrorCode(s);
        return LoadTextStatus::DecryptFailed;
    }
    auto file = std::make_shared<CompoundReader>();
    const CompoundResult opened = file->OpenSource(sealed);
    if (opened != CompoundResult::Ok) {
        *error = sealed->SawDamage() ? strong::ErrorCode(strong::Status::Damaged) : 0;
        if (opened != CompoundResult::NotCompoundFile && !sealed->SawDamage()) {
            *error = EIO;
            return LoadTextStatus::Unreadable;
        }
        return LoadTextStatus::DecryptFailed;
    }
    if (!CheckStoragePassword(*file, password).ok()) {
        *error = 0;
        return LoadTextStatus::DecryptFailed;
    }
    file_ = std::move(file);
    heldPath_ = path;
    if (treeView_ != nullptr) {
        treeView_->LoadDocumentFile();
    }
    return LoadTextStatus::Text;
}

// --- The items ------------------------------------------------------------------------------

QString CPictureDoc::ChangeRefusal() const {
    if (closing_) {
        return QStringLiteral("The storage is closing; nothing was changed.");
    }
    if (loading_ || sealed_ != nullptr) {
        return QStringLiteral("The storage is still being read; nothing was changed. Try again "
                              "when its items are shown.");
    }
    return {};
}

bool CPictureDoc::MayChange() {
    const QString refusal = ChangeRefusal();
    if (!refusal.isEmpty()) {
        Notice(refusal);
    }
    return refusal.isEmpty();
}

void CPictureDoc::Notice(const QString& text) const {
    if (CStatusHost* status = CStatusHost::Of(treeView_)) {
        status->SetStatusPaneText(kStatusMessage, text);
    }
}

void CPictureDoc::Changed() {
    ++changes_;
    SetModifiedFlag(true);
}

int32_t CPictureDoc::AddItem(std::unique_ptr<StorageItem> record) {
    if (record == nullptr || !MayChange()) {
        return -1;
    }
    totalBytes_ += static_cast<uint64_t>(std::max<int64_t>(record->size, 0));
    const int32_t index = items_.Add(std::move(record));
    Changed();
    return index;
}

bool CPictureDoc::ChangeItem(int32_t index, const std::function<void(StorageItem&)>& change) {
    if (items_.Get(index) == nullptr || !MayChange()) {
        return false;
    }
    totalBytes_ -= static_cast<uint64_t>(std::max<int64_t>(items_.Get(index)->size, 0));
    items_.Update(index, change);
    totalBytes_ += static_cast<uint64_t>(std::max<int64_t>(items_.Get(index)->size, 0));
    Changed();
    return true;
}

bool CPictureDoc::DeleteItems(const std::vector<int32_t>& indexes) {
    if (!MayChange()) {
        return false;
    }
    for (const int32_t index : indexes) {
        if (const StorageItem* record = items_.Get(index)) {
            totalBytes_ -= static_cast<uint64_t>(std::max<int64_t>(record->size, 0));
        }
        items_.Delete(index);
    }
    Changed();
    return true;
}

void CPictureDoc::EndLoad(StorageItemTable table) {
    // Nothing changed while loading (every change was refused): the table starts as read.
    items_ = std::move(table);
    loading_ = false;
    totalBytes_ = 0;
    for (int32_t i = 0; i < items_.NextIndex(); ++i) {
        if (const StorageItem* record = items_.Get(i)) {
            totalBytes_ += static_cast<uint64_t>(std::max<int64_t>(record->size, 0));
        }
    }
}

// --- Saving ----------------------------------------------------------------------------------

bool CPictureDoc::OnSaveDocument(const QString& path) {
    if (loading_ || sealed_ != nullptr) {
        // A save now would write only what has been read so far.
        Notice(QStringLiteral("The storage is still being read; save it when its items are "
                              "shown."));
        return false;
    }
    if (IsSaving()) {
        Notice(QStringLiteral("The storage is being saved already."));
        return false;
    }
    if (!HasPassword() && !AskNewPassword()) {
        return false;
    }
    if (IsStrong() && SaveKey() == nullptr) {
        // The key for this password comes first (on a worker); the save follows when it is
        // ready, and the window closes after it when that was asked for.
        if (IsDerivingKey()) {
            Notice(QStringLiteral("The key for strong protection is being derived; save again "
                                  "in a moment."));
            return false;
        }
        DeriveNewKey([this, path] { OnSaveDocument(path); }, [this] { closeWhenSaved_ = false; });
        return true;
    }
    SetOwnPath(path);
    auto job = std::make_shared<StorageSaveJob>();
    job->owner = this;
    job->path = NativePath(path);
    job->password = std::string(Password());
    job->items = items_; // the snapshot: one shared pointer per item
    if (treeView_ != nullptr) {
        job->tree = treeView_->TreeForSave(&job->items);
    }
    // While the window holds the file its lock keeps other writers out; the save relies on it.
    job->options.fileHeldByCaller = file_ != nullptr && heldPath_ == job->path;
    job->options.cancel = &job->cancel;
    if (const strong::Key* key = SaveKey()) {
        job->key.CopyFrom(*key);
        job->options.strongKey = &job->key;
    }
    job->changesAtStart = changes_;
    saveJob_ = job;
    // The status bar's Cancel (and Escape in the window) stop the save.
    saveCancel_.Set([this] { CancelSaveByUser(); });
    saver_ = std::thread([job] {
        {
            // The user may go on working meanwhile: the save shows its progress only.
            BusyReport report(BusyReport::ProgressOnly);
            int shown = -1;
            job->result = SaveStorage(
                job->path, job->password, job->items, job->tree,
                [&](const StorageSaveProgress& progress) {
                    StorageWorkerHook(StorageWorkerPoint::SaveItem);
                    const int percent =
                        progress.bytesTotal > 0
                            ? static_cast<int>(progress.bytesWritten * 100 / progress.bytesTotal)
                            : 100;
                    if (percent != shown) {
                        shown = percent;
                        report.Progress(percent);
                    }
                },
                job->options);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [job] {
                if (job->owner != nullptr) {
                    job->owner->FinishSave(job);
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool CPictureDoc::CancelSaveByUser() {
    if (saveJob_ == nullptr) {
        return false;
    }
    // The worker stops before its next item; its end reports (FinishSave) without waiting here.
    saveJob_->cancelledByUser = true;
    saveJob_->cancel = true;
    closeWhenSaved_ = false;
    return true;
}

void CPictureDoc::CancelSave() {
    saveCancel_.Reset();
    if (saveJob_ != nullptr) {
        saveJob_->cancel = true;
        saveJob_->owner = nullptr;
        saveJob_.reset();
    }
    // The save stops before its next item and leaves the old file as it was.
    if (saver_.joinable()) {
        saver_.join();
    }
}

void CPictureDoc::FinishSave(const std::shared_ptr<StorageSaveJob>& job) {
    if (job != saveJob_) {
        return;
    }
    if (saver_.joinable()) {
        saver_.join();
    }
    saveJob_.reset();
    job->owner = nullptr;
    saveCancel_.Reset();
    if (!job->result.ok && job->cancelledByUser) {
        lastSaveError_ = QStringLiteral("The save was cancelled.");
        Notice(QStringLiteral("Saving cancelled: the file on disk was left as it was; the changes "
                              "are still open here."));
        return;
    }
    if (!job->result.ok) {
        closeWhenSaved_ = false;
        lastSaveError_ = QString::fromStdString(job->result.message);
        ReportError(QStringLiteral("The storage could not be saved to %1:\n%2\nThe file on disk "
                                   "was left as it was; the changes are still open here.")
                        .arg(QFile::decodeName(job->path.c_str()), lastSaveError_));
        return;
    }
    lastSaveError_.clear();
    HoldSavedFile(*job);
    // Changes made while the save ran are not in the file.
    SetModifiedFlag(changes_ != job->changesAtStart);
    if (treeView_ != nullptr) {
        treeView_->OnUpdate(nullptr); // the root is named after the file
    }
    if (closeWhenSaved_) {
        closeWhenSaved_ = false;
        OnCommand(ID_FILE_CLOSE); // may destroy this document: nothing follows
    }
}

void CPictureDoc::HoldSavedFile(const StorageSaveJob& job) {
    // The old file stays open (as the backup, under its lock) until nothing refers to it.
    auto saved = std::make_shared<CompoundReader>();
    CompoundResult reopened = CompoundResult::Ok;
    if (job.options.strongKey != nullptr) {
        auto sealed = std::make_shared<StrongStorageFile>();
        reopened = sealed->Open(job.path);
        if (reopened == CompoundResult::Ok &&
            sealed->UnlockWithKey(job.key) != strong::Status::Ok) {
            reopened = CompoundResult::NotCompoundFile;
        }
        if (reopened == CompoundResult::Ok) {
            reopened = saved->OpenSource(sealed);
        }
    } else {
        reopened = saved->Open(job.path);
    }
    if (reopened != CompoundResult::Ok) {
        // Items keep reading the old file; only the lock on the new one is missing.
        file_.reset();
        heldPath_.clear();
        return;
    }
    file_ = saved;
    heldPath_ = job.path;
    // Streams of the new file by the item index they are named after.
    std::unordered_map<int32_t, CompoundEntry> streams;
    std::vector<uint32_t> storages{CompoundReader::kRoot};
    std::vector<CompoundEntry> entries;
    while (!storages.empty()) {
        const uint32_t storage = storages.back();
        storages.pop_back();
        saved->List(storage, entries);
        for (CompoundEntry& entry : entries) {
            if (entry.IsStorage()) {
                storages.push_back(entry.id);
                continue;
            }
            char* end = nullptr;
            const long index = std::strtol(entry.name.c_str(), &end, 10);
            if (end != entry.name.c_str() && *end == '\0' && index >= 0 && index <= INT32_MAX) {
                streams.emplace(static_cast<int32_t>(index), std::move(entry));
            }
        }
    }
    AesKey key = DeriveAesKey(job.password.substr(0, job.password.find('\0')));
    const auto source = std::make_shared<const StorageSource>(saved, key);
    SecureWipe(key.data(), key.size());
    for (int32_t i = 0; i < job.items.NextIndex(); ++i) {
        const StorageItem* written = job.items.Get(i);
        const StorageItem* now = items_.Get(i);
        const auto stream = streams.find(i);
        if (written == nullptr || now == nullptr || stream == streams.end() ||
            !IsBinaryType(written->type) || !now->data.SharesWith(written->data) ||
            written->data.empty()) {
            continue;
        }
        auto stored = std::make_shared<StoredStream>();
        stored->source = source;
        stored->stream = stream->second.id;
        stored->streamLength = stream->second.size;
        stored->dataLength = written->data.size();
        // A stream copied as it was carries its old header; any other, the snapshot's.
        const StoredStream* before = written->data.Stored();
        if (before != nullptr && CopiesAsItIs(*written, *before, source->key)) {
            stored->header = before->header;
        } else {
            stored->header = HeaderOf(*written);
        }
        items_.Update(i, [&](StorageItem& item) { item.data = ItemData(std::move(stored)); });
    }
}

void CPictureDoc::ReportDamagedItem(int32_t index) {
    const StorageItem* item = items_.Get(index);
    if (item == nullptr || !damagedReported_.insert(index).second) {
        return;
    }
    ReportError(QStringLiteral("The item %1 is damaged and cannot be shown.")
                    .arg(QString::fromStdString(CodePage::Program()->ToUtf8(item->name))));
}

bool CPictureDoc::SaveModified() {
    if (IsSaving()) {
        closeWhenSaved_ = true;
        Notice(QStringLiteral("The storage is being saved; its window closes when the save has "
                              "ended."));
        return false;
    }
    if (!UnlockForDocumentClose()) {
        return false;
    }
    if (!IsModified()) {
        return true;
    }
    switch (SaveModifiedDlg(SaveModifiedName()).DoModal()) {
    case IDYES:
        // The window closes when the save has ended well; a failed one keeps it open.
        closeWhenSaved_ = SaveCommand();
        return false;
    case IDNO:
        return true;
    default:
        return false;
    }
}
