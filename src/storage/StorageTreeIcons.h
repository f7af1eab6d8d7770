// The storage tree's icons: nine drawn for this program (one per item type, the root and the
// open folder, at the positions CPictureLeftView::TreeIcon names) and, for file items, the
// desktop theme's icon for the extension.
#pragma once

#include <map>
#include <vector>

#include <QIcon>
#include <QString>

class StorageTreeIcons {
public:
    StorageTreeIcons();

    // The icon at a fixed position; a null icon outside them.
    QIcon At(int position) const;
    // The icon a file item named `name` gets: the theme's for its extension, else the file
    // icon.
    QIcon FileIconFor(const QString& name);
    // Whether the theme has an icon for the extension of `name` (false: the file icon).
    bool FileIconFromTheme(const QString& name);

private:
    std::vector<QIcon> icons_;
    std::map<QString, QIcon> fileIcons_; // by lower-case extension; null: none in the theme
};
