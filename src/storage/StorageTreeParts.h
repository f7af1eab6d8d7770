// What the pieces of the storage tree share: the item role of a tree item, label and path
// conversions, the view each item type shows in, and the status bar's busy flag and size.
#pragma once

#include <cstdint>
#include <string>

#include <QString>

#include "storage/StorageViews.h"

// The data role of a tree item that holds its table index.
inline constexpr int kStorageIndexRole = Qt::UserRole + 1;

// A stored name in the program's code page as a label, and back.
QString ToLabel(const std::string& name);
std::string FromLabel(const QString& label);
// A path as the file system takes it.
std::string NativePath(const QString& path);

// The right-hand view an item of `type` is shown in.
StorageViewKind ViewForType(int32_t type);

// The frame's busy flag, and the size pane that grows as items are added.
void SetStatusBusy(bool on);
void GrowStatusSize(uint64_t bytes);
