#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageImport.h"
#include "storage/StorageTreeParts.h"

// Records of one directory import on their way to the tree (see StorageImportEntry).
struct DirectoryBatch {
    int job = 0;
    std::vector<StorageImportEntry> entries;
    bool last = false;
};

void CPictureLeftView::OnSaveEnded() {
    std::vector<std::shared_ptr<DirectoryBatch>> held;
    held.swap(heldBatches_);
    for (auto& batch : held) {
        ApplyDirectoryBatch(std::move(batch));
    }
}

void CPictureLeftView::StartAddDirectory(const QString& path) {
    if (Document() == nullptr) {
        return;
    }
    const int id = nextJobId_++;
    JobState& state = jobs_[id];
    state.target = IndexOf(CurrentFolder());
    if (directoriesPending_++ == 0) {
        SetStatusBusy(true);
    }
    {
        std::lock_guard lock(dirMutex_);
        dirJobs_.push_back({id, NativePath(path)});
    }
    if (!dirWorker_.joinable()) {
        dirStop_ = false;
        dirWorker_ = std::thread([this] { DirectoryWorkerLoop(); });
    }
    dirWake_.notify_one();
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
        WalkImportDirectory(job.path, [&](std::vector<StorageImportEntry>& entries, bool last) {
            auto batch = std::make_shared<DirectoryBatch>();
            batch->job = job.id;
            batch->entries = std::move(entries);
            batch->last = last;
            QMetaObject::invokeMethod(
                this, [this, batch] { ApplyDirectoryBatch(batch); }, Qt::QueuedConnection);
            std::lock_guard lock(dirMutex_);
            return !dirStop_;
        });
    }
}

void CPictureLeftView::ApplyDirectoryBatch(std::shared_ptr<DirectoryBatch> batch) {
    CPictureDoc* doc = Document();
    if (doc == nullptr) {
        return;
    }
    if (doc->IsSaving()) {
        heldBatches_.push_back(std::move(batch)); // the save is reading the table
        return;
    }
    JobState& state = jobs_[batch->job];
    for (StorageImportEntry& entry : batch->entries) {
        StorageItem* kept = entry.item.get();
        const bool folder = kept->IsFolder();
        const int32_t index = doc->Items().Add(std::move(entry.item));
        QTreeWidgetItem* item = MakeTreeItem(index, *kept);
        GrowStatusSize(static_cast<uint64_t>(folder ? 0 : kept->size));
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
        doc->SetModifiedFlag(true);
    }
    jobs_.erase(batch->job);
    if (--directoriesPending_ == 0) {
        SetStatusBusy(false);
        emit directoriesFinished();
    }
}

void CPictureLeftView::WaitForDirectories() {
    while (directoriesPending_ > 0) {
        QEventLoop wait;
        connect(this, &CPictureLeftView::directoriesFinished, &wait, &QEventLoop::quit);
        if (directoriesPending_ > 0) {
            wait.exec();
        }
    }
}

void CPictureLeftView::AddDroppedPaths(const QStringList& paths) {
    if (Document() == nullptr || Document()->IsSaving()) {
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
