// Storages with real content for the window tests and the picture tools: items of every kind
// (pictures encoded by Qt, PDF documents written by Qt's own PDF writer, notes and accounts)
// put together in a table and tree and written by the storage layer, and finding a labelled
// item in the window's tree.
#pragma once

#include <memory>
#include <string>

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTreeWidgetItem>

#include "storage/ItemXml.h"
#include "storage/StorageAdd.h"
#include "storage/StorageItem.h"
#include "storage/StorageLayout.h"
#include "storage/StorageSave.h"

// `image` as JPEG file bytes.
inline QByteArray JpegBytes(const QImage& image, int quality = 90) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

// A PDF document of `pages` pages, each with a heading naming its number over `lines` lines
// of text.
inline QByteArray PdfBytes(int pages, const QString& heading = QStringLiteral("Page"),
                           int lines = 0) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    QFont font = painter.font();
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            writer.newPage();
        }
        font.setPointSize(28);
        painter.setFont(font);
        painter.drawText(60, 100, QStringLiteral("%1 %2").arg(heading).arg(page));
        font.setPointSize(11);
        painter.setFont(font);
        for (int line = 1; line <= lines; ++line) {
            painter.drawText(
                60, 134 + line * 16,
                QStringLiteral("Line %1: income, expenses and the sums below them.").arg(line));
        }
    }
    painter.end();
    return bytes;
}

// A storage under construction: items added to a table and tree as a load would give them.
class SampleStorage {
public:
    int32_t Add(std::unique_ptr<StorageItem> item, int32_t parent = kRootParent) {
        const int32_t index = table_.Add(std::move(item));
        tree_.push_back({index, parent});
        return index;
    }
    int32_t AddFolder(const std::string& name, int32_t parent = kRootParent, bool open = true) {
        auto folder = Item(StorageItemType::Folder, name);
        folder->expanded = open ? 1 : 0;
        return Add(std::move(folder), parent);
    }
    // A note, or an account of the type with `account`'s fields.
    int32_t AddText(StorageItemType type, const std::string& name, std::string text,
                    int32_t parent = kRootParent) {
        return Add(Item(type, name, std::move(text)), parent);
    }
    int32_t AddAccount(StorageItemType type, const ItemAccount& account,
                       int32_t parent = kRootParent) {
        return AddText(type, account.name, WriteItemXml(type, account), parent);
    }
    // An item made from a file of that name and bytes, typed by its extension.
    int32_t AddFile(const std::string& name, const QByteArray& bytes,
                    int32_t parent = kRootParent) {
        return Add(MakeItemFromFile(name, Bytes(bytes.begin(), bytes.end())), parent);
    }
    bool Save(const std::string& path, const std::string& password) const {
        return SaveStorage(path, password, table_, tree_).ok;
    }

    static std::unique_ptr<StorageItem> Item(StorageItemType type, const std::string& name,
                                             std::string text = {}) {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(type);
        item->name = name;
        item->text = std::move(text);
        item->size = static_cast<int64_t>(item->text.size());
        return item;
    }

private:
    StorageItemTable table_;
    StorageTree tree_;
};

// The child of `parent` labelled `label`, or null.
inline QTreeWidgetItem* TreeChild(QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label) {
            return parent->child(i);
        }
    }
    return nullptr;
}
