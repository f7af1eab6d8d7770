#include <optional>

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

#include "framework/FrameHosts.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageImport.h"
#include "storage/StorageTreeParts.h"
#include "storage/StorageWorkerHook.h"

// Records of one directory import on their way to the tree (see StorageImportEntry).
struct DirectoryBatch {
    int job = 0;
    std::vector<StorageImportEntry> entries;
    bool last = false;
};

void CPictureLeftView::StartAddDirectory(const QString& path) {
    if (Document() == nullptr || !Document()->MayChange()) {
        return;
    }
    const int id = nextJobId_++;
    JobState& state = jobs_[id];
    state.target = IndexOf(CurrentFolder());
    if (directoriesPending_++ == 0) {
        importFiles_ = 0;
        importCancelled_ = false;
        // The status bar's Cancel (and Escape in the window) stop the imports.
        importCancel_.Set([this] { CancelImportsByUser(); });
    }
    {
        std::lock_guard lock(dirMutex_);
        dirJobs_.push_back({id, NativePath(path)});
    }
    bool cancelled = false;
    {
        std::lock_guard lock(dirMutex_);
        cancelled = dirStop_;
    }
    if (cancelled && dirWorker_.joinable()) {
        dirWorker_.join(); // a cancelled worker ends before its next file
    }
    if (!dirWorker_.joinable()) {
        dirStop_ = false;
        dirWorker_ = std::thread([this] { DirectoryWorkerLoop(); });
    }
    dirWake_.notify_one();
}

void CPictureLeftView::CancelImports() {
    std::deque<DirectoryJob> dropped;
    {
        std::lock_guard lock(dirMutex_);
        dirStop_ = true;
        dropped.swap(dirJobs_);
    }
    dirWake_.notify_all();
    // Directories not begun end here; the running one hands over what it has read.
    for (const DirectoryJob& job : dropped) {
        jobs_.erase(job.id);
        --directoriesPending_;
    }
    if (directoriesPending_ == 0 && !dropped.empty()) {
        EndImports();
    }
}

bool CPictureLeftView::CancelImportsByUser() {
    if (!IsAddingDirectories()) {
        return false;
    }
    importCancelled_ = true;
    CancelImports();
    return true;
}

void CPictureLeftView::EndImports() {
    importCancel_.Reset();
    if (CStatusHost* status = CStatusHost::Of(this)) {
        const uint64_t files = importFiles_.load();
        status->SetStatusPaneText(
            kStatusMessage,
            importCancelled_ ? QStringLiteral("Adding folders cancelled: %1 files added").arg(files)
                             : QStringLiteral("Added %1 files").arg(files));
    }
    importCancelled_ = false;
    emit directoriesFinished();
}

void CPictureLeftView::DirectoryWorkerLoop() {
    for (;;) {
        DirectoryJob job;
        {
            std::unique_lock lock(dirMutex_);
            dirWake_.wait(lock, [this] { return dirStop_ || !dirJobs_.empty(); });
            if (dirStop_) {
                return;
            }
            job = std::move(dirJobs_.front());
            dirJobs_.pop_front();
        }
        // The user may go on working meanwhile: the import shows its progress only. The report
        // ends before the last batch goes out, so the import's own last word stays shown.
        std::optional<BusyReport> report(std::in_place, BusyReport::ProgressOnly);
        report->Count(static_cast<int64_t>(importFiles_.load()));
        WalkImportDirectory(
            job.path,
            [&](std::vector<StorageImportEntry>& entries, bool last) {
                if (last) {
                    report.reset();
                }
                auto batch = std::make_shared<DirectoryBatch>();
                batch->job = job.id;
                batch->entries = std::move(entries);
                batch->last = last;
                QMetaObject::invokeMethod(
                    this, [this, batch] { ApplyDirectoryBatch(batch); }, Qt::QueuedConnection);
                std::lock_guard lock(dirMutex_);
                return !dirStop_;
            },
            [this, &report](uint64_t, uint64_t) {
                const uint64_t files = ++importFiles_;
                if (report) {
                    report->Count(static_cast<int64_t>(files));
                }
                StorageWorkerHook(StorageWorkerPoint::ImportFile);
                std::lock_guard lock(dirMutex_);
                return !dirStop_; // a close ends the walk before the next file
            });
    }
}

void CPictureLeftView::ApplyDirectoryBatch(std::shared_ptr<DirectoryBatch> batch) {
    CPictureDoc* doc = Document();
    if (doc == nullptr) {
        return;
    }
    // A save meanwhile writes its snapshot: the new records join the table as they come.
    JobState& state = jobs_[batch->job];
    for (StorageImportEntry& entry : batch->entries) {
        const int32_t index = doc->AddItem(std::move(entry.item));
        const StorageItem* kept = doc->Items().Get(index);
        if (kept == nullptr) {
            continue; // refused: the storage is closing
        }
        const bool folder = kept->IsFolder();
        QTreeWidgetItem* item = MakeTreeItem(index, *kept);
        SetItemStyle(item, kept->Is(StorageItemType::Image) ? Plain : Italic, QColor(kStyleColour));
        if (entry.parent < 0) {
            state.top = item; // joins the tree when the whole directory is in
        } else if (static_cast<size_t>(entry.parent) < state.folders.size()) {
            InsertSorted(state.folders[static_cast<size_t>(entry.parent)], item);
        }
        if (folder && entry.folder >= 0) {
            if (static_cast<size_t>(entry.folder) >= state.folders.size()) {
                state.folders.resize(static_cast<size_t>(entry.folder) + 1, nullptr);
            }
            state.folders[static_cast<size_t>(entry.folder)] = item;
        }
    }
    if (CStatusHost* status = CStatusHost::Of(this)) {
        status->SetStatusPaneText(
            kStatusMessage,
            QStringLiteral("Adding folders: %1 files read").arg(importFiles_.load()));
    }
    if (!batch->last) {
        return;
    }
    QTreeWidgetItem* target = ItemOfIndex(state.target);
    if (target == nullptr) {
        target = root_;
    }
    if (state.top != nullptr) {
        InsertSorted(target, state.top);
        target->setExpanded(true);
        tree_->setCurrentItem(target);
    }
    jobs_.erase(batch->job);
    if (--directoriesPending_ == 0) {
        EndImports();
    }
}

void CPictureLeftView::AddDroppedPaths(const QStringList& paths) {
    // Refused as a whole while the storage loads or closes, with a word in the status bar.
    if (Document() == nullptr || !Document()->MayChange()) {
        return;
    }
    for (const QString& path : paths) {
        if (QFileInfo(path).isDir()) {
            StartAddDirectory(path);
        } else {
            AddFileByType(path, false);
        }
    }
}

bool CPictureLeftView::ClipboardHasFiles() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasUrls()) {
        return false;
    }
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

bool CPictureLeftView::PasteFiles() {
    if (!ClipboardHasFiles()) {
        return false;
    }
    QStringList paths;
    for (const QUrl& url : QApplication::clipboard()->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile());
        }
    }
    QApplication::clipboard()->clear();
    AddDroppedPaths(paths);
    return true;
}
