// A storage window stand-in for the view tests: a real item table and tree, the document's
// zoom factor, and the tree operations done on them the way the tree does them (selection,
// current folder), with every call recorded. Saving writes a real storage file.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include "controls/AccountText.h"
#include "framework/Document.h"
#include "framework/FrameHosts.h"
#include "image/ObjImage.h"
#include "image/PclTemplates.h"
#include "storage/StorageAdd.h"
#include "storage/StorageFile.h"
#include "storage/StorageItem.h"
#include "storage/StorageSave.h"
#include "storage/StorageViewSite.h"
#include "storage/ViewPicture.h"

// A top-level window standing in for the main frame's status bar.
class StatusWindow : public QWidget, public CStatusHost {
public:
    QString panes[6];
    void SetStatusPaneText(int pane, const QString& text) override {
        if (pane >= 0 && pane < 6) {
            panes[pane] = text;
        }
    }
    QString StatusPaneText(int pane) const override {
        return pane >= 0 && pane < 6 ? panes[pane] : QString();
    }
};

class ViewTestSite : public CStorageViewSite {
public:
    StorageItemTable table;
    StorageTree tree;
    PCL_Interface_ZoomScale zoom;
    CDocument document;
    int32_t selected = -1;
    int32_t currentFolder = kRootParent;
    QString currentPath = QStringLiteral("$:\\");
    QStringList calls;
    // The form the site was last asked to show, and its location.
    StorageForm shownForm = StorageForm::Overview;
    QString shownLocation;

    int32_t Add(std::unique_ptr<StorageItem> item, int32_t parent = kRootParent) {
        const int32_t index = table.Add(std::move(item));
        tree.push_back({index, parent});
        return index;
    }
    int32_t AddNamed(StorageItemType type, const std::string& name, int32_t parent = kRootParent) {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(type);
        item->name = name;
        return Add(std::move(item), parent);
    }

    const StorageItem* Item(int32_t index) override { return table.Get(index); }
    bool ChangeItem(int32_t index, const std::function<void(StorageItem&)>& change) override {
        const bool changed = table.Update(index, change);
        if (changed) {
            document.SetModifiedFlag(true);
        }
        return changed;
    }
    PCL_Interface_ZoomScale& Zoom() override { return zoom; }
    QString CurrentFolderPath() const override { return currentPath; }
    void ShowForm(StorageForm form, const QString& location) override {
        shownForm = form;
        shownLocation = location;
        calls << QStringLiteral("ShowForm:%1:%2").arg(static_cast<int>(form)).arg(location);
    }
    void AddFolder(const QString& name, bool select) override {
        const int32_t index = AddNamed(StorageItemType::Folder, AccountBytes(name), currentFolder);
        if (select) {
            selected = index;
        }
        calls << QStringLiteral("AddFolder:") + name;
    }
    void AddItem(const QString& nameOrPath, StorageItemType type, bool select) override {
        calls << QStringLiteral("AddItem:%1:%2").arg(static_cast<int>(type)).arg(nameOrPath);
        std::unique_ptr<StorageItem> item;
        if (type == StorageItemType::Pdf) {
            item = FromFile(nameOrPath);
            if (item == nullptr) {
                return;
            }
        } else {
            item = std::make_unique<StorageItem>();
            item->type = static_cast<int32_t>(type);
            // A name keeps only its file-name part.
            const QString name =
                nameOrPath.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
            item->name = AccountBytes(name);
        }
        const int32_t index = Add(std::move(item), currentFolder);
        if (select) {
            selected = index;
        }
    }
    void AddImageFile(const QString& path, bool select) override {
        calls << QStringLiteral("AddImageFile:") + path;
        if (auto item = FromFile(path)) {
            const int32_t index = Add(std::move(item), currentFolder);
            if (select) {
                selected = index;
            }
        }
    }
    void AddPastedImage(const QString& name) override {
        calls << QStringLiteral("AddPastedImage:") + name;
        FCObjImage picture;
        if (!PictureFromImage(QApplication::clipboard()->image(), picture)) {
            return;
        }
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(StorageItemType::Image);
        item->imageType = Bmp;
        item->fitToView = 1;
        item->name = AccountBytes(name);
        std::vector<uint8_t> bmp;
        picture.SaveBmpToMemory(bmp);
        item->size = static_cast<int64_t>(bmp.size());
        item->data = std::move(bmp);
        selected = Add(std::move(item), currentFolder);
    }
    void ReplaceImageData(const FCObjImage& picture) override {
        calls << QStringLiteral("ReplaceImageData");
        std::vector<uint8_t> bmp;
        if (table.Get(selected) == nullptr || !picture.SaveBmpToMemory(bmp)) {
            return;
        }
        ChangeItem(selected, [&](StorageItem& item) {
            item.size = static_cast<int64_t>(bmp.size());
            item.data = std::move(bmp);
            item.imageType = Bmp;
        });
    }
    void DeleteSelected() override {
        calls << QStringLiteral("DeleteSelected");
        table.Delete(selected);
        selected = -1;
    }
    void StartAddDirectory(const QString& path) override {
        calls << QStringLiteral("StartAddDirectory:") + path;
    }
    void AddFileByType(const QString& path, bool select) override {
        calls << QStringLiteral("AddFileByType:%1:%2").arg(path).arg(select);
    }
    void OpenDocumentFile(const QString& path) override {
        calls << QStringLiteral("OpenDocumentFile:") + path;
    }

    // The storage written to `path` as the document's save writes it.
    bool Save(const std::string& path, const std::string& password) const {
        return SaveStorage(path, password, table, tree).ok;
    }

private:
    static std::unique_ptr<StorageItem> FromFile(const QString& path) {
        std::ifstream in(path.toStdString(), std::ios::binary);
        if (path.isEmpty() || !in) {
            return nullptr;
        }
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.empty()) {
            return nullptr;
        }
        return MakeItemFromFile(path.toStdString(), std::move(bytes));
    }
};

// An image item holding `picture` encoded as `type` (BMP or PNG through the image layer).
inline std::unique_ptr<StorageItem> ImageItem(const FCObjImage& picture, const std::string& name,
                                              bool fit, const std::filesystem::path& scratch,
                                              const char* extension = ".bmp") {
    const std::filesystem::path file = scratch / (name + extension);
    if (!picture.SaveImage(file.string())) {
        return nullptr;
    }
    std::ifstream in(file, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto item = MakeItemFromFile(file.string(), std::move(bytes));
    item->name = name;
    item->fitToView = fit ? 1 : 0;
    return item;
}
