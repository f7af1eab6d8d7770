#include <algorithm>

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include "framework/FrameHosts.h"
#include "framework/MessageBox.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageTreeParts.h"

// What the load worker reads and hands back: the records and where they sit.
struct StorageLoadJob {
    std::string path;
    std::string password;
    uint64_t fileSize = 0;
    bool opened = false;
    StorageItemTable table;
    StorageTree tree;
    StorageReadResult read;
    ~StorageLoadJob() { std::fill(password.begin(), password.end(), '\0'); }
};

void CPictureLeftView::StartLoad(const std::string& path, uint64_t fileSize) {
    CPictureDoc* doc = Document();
    auto job = std::make_shared<StorageLoadJob>();
    job->path = path;
    job->password = std::string(doc->Password());
    job->fileSize = fileSize;
    loading_ = true;
    CompoundReader* file = &doc->OpenFile();
    // The worker owns the document's file until it reports back: nothing else touches it
    // while loading_ is set.
    loader_ = std::thread([this, job, file] {
        {
            BusyReport report;
            CBusyHost* busy = CBusyHost::Current();
            int shown = -1;
            if (OpenStorageFile(job->path, *file) == CompoundResult::Ok) {
                job->opened = true;
                job->read =
                    ReadStorage(*file, job->password, job->table, job->tree, [&](uint64_t bytes) {
                        if (busy != nullptr) {
                            busy->Busy().StatusSizeBytes =
                                static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX));
                        }
                        const int percent = static_cast<int>(bytes * 100 / job->fileSize);
                        if (percent != shown) {
                            shown = percent;
                            report.Progress(percent);
                        }
                    });
            }
        }
        QMetaObject::invokeMethod(
            this, [this, job] { FinishLoad(job); }, Qt::QueuedConnection);
    });
}

void CPictureLeftView::FinishLoad(const std::shared_ptr<StorageLoadJob>& job) {
    if (loader_.joinable()) {
        loader_.join();
    }
    CPictureDoc* doc = Document();
    if (doc == nullptr || !loading_) {
        return; // the window is closing
    }
    if (job->opened) {
        doc->NoteFileHeld(job->path);
    }
    // Nothing was added while loading (the frame was busy): the table starts as read.
    doc->Items() = std::move(job->table);
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
    loading_ = false;
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
                       QStringLiteral("Ombrivault Storage"), MessageButtons::Ok,
                       MessageIcon::Error);
    }
    emit loadFinished();
}

void CPictureLeftView::WaitForLoad() {
    if (!loading_) {
        return;
    }
    QEventLoop wait;
    connect(this, &CPictureLeftView::loadFinished, &wait, &QEventLoop::quit);
    if (loading_) {
        wait.exec();
    }
}
