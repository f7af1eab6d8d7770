// Files dropped on the right-hand views and forms of a storage window: folders are added
// with their contents, a lone document file opens in a window of its own, anything else is
// added as an item of the type its extension says.
#pragma once

#include <QObject>
#include <QStringList>

class CStorageViewSite;
class QWidget;

// What a drop of `paths` does, in order. Paths longer than 260 characters are skipped.
void HandleStorageDrop(CStorageViewSite& site, const QStringList& paths);
// True for the extensions of the program's own documents (".ovf", ".etx", ".ovs", ".ovd",
// ".ovt", any case).
bool IsDocumentExtension(const QString& path);

// Makes `widget` (and, through it, its children that do not take drops themselves) accept
// dropped files and hand them to `site`.
class StorageDropTarget : public QObject {
    Q_OBJECT
public:
    StorageDropTarget(QWidget* widget, CStorageViewSite* site);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CStorageViewSite* site_;
};
