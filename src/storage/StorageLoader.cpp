// The load of a storage: a worker reads every item of the file the open checked into a table
// of its own; the window swaps the table in and builds the tree in one step at the end.
#include <algorithm>
#include <memory>

#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include "base/ProductInfo.h"
#include "framework/FrameHosts.h"
#include "framework/MessageBox.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageTreeParts.h"
#include "storage/StorageWorkerHook.h"

// What the load worker reads and hands back: the records and where they sit.
struct StorageLoadJob {
    std::string path;
    std::string password;
    uint64_t fileSize = 0;
    // The document's file; the items read refer to it for their data.
    std::shared_ptr<const CompoundReader> file;
    std::atomic<bool> cancel{false};
    StorageItemTable table;
    StorageTree tree;
    StorageReadResult read;
    ~StorageLoadJob() { SecureWipe(password.data(), password.size()); }
};

void CPictureLeftView::StartLoad(const std::string& path, uint64_t fileSize) {
    CPictureDoc* doc = Document();
    auto job = std::make_shared<StorageLoadJob>();
    job->path = path;
    job->password = std::string(doc->Password());
    job->fileSize = std::max<uint64_t>(fileSize, 1);
    job->file = doc->OpenFile();
    doc->BeginLoad();
    loadJob_ = job;
    // Busy from before the worker starts, so the window never looks idle with nothing loaded.
    auto report = std::make_unique<BusyReport>();
    loader_ = std::thread([this, job, report = std::move(report)]() mutable {
        {
            int shown = -1;
            StorageWorkerHook(StorageWorkerPoint::LoadStart);
            job->read = ReadStorage(
                job->file, job->password, job->table, job->tree,
                [&](uint64_t bytes) {
                    StorageWorkerHook(StorageWorkerPoint::LoadItem);
                    const int percent =
                        static_cast<int>(std::min<uint64_t>(bytes * 100 / job->fileSize, 100));
                    if (percent != shown) {
                        shown = percent;
                        report->Progress(percent);
                    }
                },
                &job->cancel);
            report.reset();
        }
        QMetaObject::invokeMethod(
            this, [this, job] { FinishLoad(job); }, Qt::QueuedConnection);
    });
}

void CPictureLeftView::StopLoad() {
    if (loadJob_ != nullptr) {
        loadJob_->cancel = true;
        loadJob_.reset();
    }
    // The worker stops before its next element.
    if (loader_.joinable()) {
        loader_.join();
    }
}

void CPictureLeftView::FinishLoad(const std::shared_ptr<StorageLoadJob>& job) {
    CPictureDoc* doc = Document();
    if (job != loadJob_ || doc == nullptr) {
        return; // the window is closing
    }
    if (loader_.joinable()) {
        loader_.join();
    }
    loadJob_.reset();
    doc->EndLoad(std::move(job->table));
    const StorageItemTable& table = doc->Items();
    byIndex_.assign(static_cast<size_t>(table.NextIndex()), nullptr);

    // Built off the widget, folder by folder, then attached in one step per top-level list.
    const StorageTree sorted = SortedTree(job->tree, table);
    QList<QTreeWidgetItem*> top;
    std::vector<QTreeWidgetItem*> expand;
    for (const StorageTreeEntry& entry : sorted) {
        const StorageItem* record = table.Get(entry.item);
        QTreeWidgetItem* item = MakeTreeItem(entry.item, *record);
        if (entry.parent == kRootParent) {
            top.push_back(item);
        } else {
            byIndex_[static_cast<size_t>(entry.parent)]->addChild(item);
        }
        if (record->IsFolder() && record->expanded == 1) {
            expand.push_back(item);
        }
    }
    tree_->setUpdatesEnabled(false);
    root_->addChildren(top);
    root_->setExpanded(true);
    for (QTreeWidgetItem* item : expand) {
        if (item->childCount() > 0) {
            item->setExpanded(true);
        }
    }
    tree_->setUpdatesEnabled(true);
    unreadFolders_.clear();
    for (const StorageDamage& damage : job->read.damaged) {
        unreadFolders_.push_back(damage.folder);
    }
    if (!job->read.damaged.empty()) {
        // Once, however many levels were cut short: the window shows what was read.
        ShowMessageBox(this,
                       QStringLiteral("Failed to decrypt the file: %1\nParts of the storage "
                                      "could not be read; the window shows the items that were.")
                           .arg(QFileInfo(QFile::decodeName(job->path.c_str())).fileName()),
                       QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Error);
    }
    emit loadFinished();
}
