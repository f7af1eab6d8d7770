#include "storage/RightViewDrops.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "framework/LockHost.h"
#include "storage/StorageViewSite.h"

namespace {
constexpr int kMaxDroppedPath = 260;
}

bool IsDocumentExtension(const QString& path) {
    static const char* const kExtensions[] = {".ovf", ".etx", ".ovs", ".ovd", ".ovt"};
    for (const char* extension : kExtensions) {
        if (path.endsWith(QLatin1String(extension), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

void HandleStorageDrop(CStorageViewSite& site, const QStringList& paths) {
    const bool single = paths.size() == 1;
    for (const QString& path : paths) {
        if (path.isEmpty() || path.size() > kMaxDroppedPath) {
            continue;
        }
        if (QFileInfo(path).isDir()) {
            site.StartAddDirectory(path);
        } else if (IsDocumentExtension(path)) {
            if (single) {
                site.OpenDocumentFile(path);
            } else {
                site.AddFileByType(path, false);
            }
        } else {
            site.AddFileByType(path, single);
        }
    }
}

StorageDropTarget::StorageDropTarget(QWidget* widget, CStorageViewSite* site)
    : QObject(widget), site_(site) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

namespace {
QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}
} // namespace

bool StorageDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!LocalPaths(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        return false;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = LocalPaths(drop->mimeData());
        if (paths.isEmpty()) {
            return false;
        }
        drop->acceptProposedAction();
        ResetIdleTimer();
        if (site_ != nullptr) {
            HandleStorageDrop(*site_, paths);
        }
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
