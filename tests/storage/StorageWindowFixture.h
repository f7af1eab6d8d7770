// The real program around the storage window tests: opening storages through the document
// manager with the dialogs answered, reading saved files back with the storage layer alone,
// and a scratch folder.
#pragma once

#include <map>
#include <string>

#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "documents/DocumentKinds.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageSave.h"
#include "support/DocumentDialogs.h"
#include "support/GuiFixture.h"
#include "support/StorageSamples.h"
#include "support/TestFiles.h"

// What a storage file holds, read with the storage layer alone: "folder/name" -> "type:size"
// ("type" only for folders); "<unreadable>" when it does not open. The bytes are read past
// the lock of a window that holds the file.
inline std::map<std::string, std::string> StorageContents(const std::string& path,
                                                          const std::string& password) {
    CompoundReader reader;
    StorageItemTable table;
    StorageTree tree;
    const std::string bytes = ReadFileBytes(path);
    std::vector<uint8_t> file(bytes.begin(), bytes.end());
    if (strong::HasMagic(file.data(), file.size())) {
        // Strong protection: the whole envelope opened at once, apart from the window's reader.
        strong::Key key;
        std::vector<uint8_t> plain;
        if (strong::Open(file.data(), file.size(), password, key, plain) != strong::Status::Ok) {
            return {{"<unreadable>", ""}};
        }
        file = std::move(plain);
    }
    if (reader.OpenBytes(std::move(file)) != CompoundResult::Ok ||
        !CheckStoragePassword(reader, password).ok()) {
        return {{"<unreadable>", ""}};
    }
    ReadStorage(reader, password, table, tree);
    std::map<int32_t, std::string> paths;
    std::map<std::string, std::string> out;
    for (const StorageTreeEntry& e : tree) {
        const StorageItem& item = *table.Get(e.item);
        const std::string path = (e.parent == kRootParent ? "" : paths[e.parent] + "/") + item.name;
        paths[e.item] = path;
        out[path] = std::to_string(item.type) +
                    (item.IsFolder() ? "" : ":" + std::to_string(item.StoredDataLength()));
    }
    return out;
}

// The window never waits for its workers; tests do, running events until the worker's report
// has arrived.
inline void WaitForStorageLoad(const CPictureLeftView* view) {
    while (view != nullptr && view->IsLoading()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
inline void WaitForStorageImports(const CPictureLeftView* view) {
    while (view->IsAddingDirectories()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
// True when the save that ran (if any) wrote the file.
inline bool WaitForStorageSave(const CPictureDoc* doc) {
    while (doc->IsSaving()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return doc->LastSaveError().isEmpty();
}
// Save, and wait for its end: true when the file was written.
inline bool SaveAndWait(CPictureDoc* doc) {
    return doc->SaveCommand() && WaitForStorageSave(doc);
}

class StorageWindowFixture : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ASSERT_TRUE(Start({QStringLiteral("/dde")}));
        Frame().resize(900, 600);
        Frame().show();
    }

    CDocTemplate* StorageTemplate() { return app->DocManager().FindTemplate(IDR_STORAGE_TYPE); }

    CPictureDoc* NewStorage() {
        auto* doc = dynamic_cast<CPictureDoc*>(StorageTemplate()->OpenDocumentFile({}));
        return doc;
    }
    // Opens `path`, typing `password` when asked (no prompt for a missing or empty file), and
    // waits for the load.
    CPictureDoc* OpenStorage(const std::string& path, const QString& password = {}) {
        if (!password.isEmpty()) {
            ModalSeam::Push(EnterPassword(password));
        }
        auto* doc = dynamic_cast<CPictureDoc*>(app->OpenDocumentFile(QString::fromStdString(path)));
        if (doc != nullptr) {
            WaitForStorageLoad(View(doc));
        }
        return doc;
    }
    static CPictureChildFrame* FrameOf(const CDocument* doc) {
        return doc == nullptr || doc->GetFrames().empty()
                   ? nullptr
                   : qobject_cast<CPictureChildFrame*>(doc->GetFrames().front());
    }
    static CPictureLeftView* View(const CDocument* doc) {
        CPictureChildFrame* frame = FrameOf(doc);
        return frame != nullptr ? frame->LeftView() : nullptr;
    }
    bool IsOpen(const CDocument* doc) const {
        const auto docs = app->DocManager().GetDocuments();
        return std::find(docs.begin(), docs.end(), doc) != docs.end();
    }
    // Labels of an item's children, in tree order.
    static QStringList Labels(const QTreeWidgetItem* item) {
        QStringList out;
        for (int i = 0; i < item->childCount(); ++i) {
            out << item->child(i)->text(0);
        }
        return out;
    }
    static QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& label) {
        return TreeChild(item, label);
    }
    // Runs the command-line tool with `password` on standard input; returns its standard
    // output.
    static QString RunCli(const QString& password, const QStringList& args,
                          int* exitCode = nullptr) {
        QProcess process;
        process.start(QStringLiteral(OV_BINARY_DIR "/bin/ombrivault-cli"),
                      QStringList{QStringLiteral("--password-stdin")} + args);
        process.write(password.toUtf8() + "\n");
        process.closeWriteChannel();
        process.waitForFinished(60000);
        if (exitCode != nullptr) {
            *exitCode = process.exitCode();
        }
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    std::string File(const std::string& name, const std::string& bytes) {
        WriteFileBytes(dir / name, bytes);
        return dir / name;
    }

    ScratchDir dir;
};
