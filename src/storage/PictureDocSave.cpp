// The storage document's saves: a snapshot of the items written by a worker while the user
// goes on, its end reported back to the document, and the file just written held afterwards.
#include "storage/PictureDoc.h"

#include <climits>
#include <cstdlib>
#include <unordered_map>

#include <QCoreApplication>
#include <QFile>

#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageTreeParts.h"
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
    const CompoundResult reopened = job.options.strongKey != nullptr
                                        ? OpenStrongStorageFile(job.path, job.key, *saved)
                                        : saved->Open(job.path);
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
