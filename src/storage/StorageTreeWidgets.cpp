#include "storage/StorageTreeWidgets.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "storage/PictureLeftView.h"

StorageTreeWidget::StorageTreeWidget(CPictureLeftView* view, QWidget* parent)
    : QTreeWidget(parent), view_(view) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

QStringList StorageTreeWidget::LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile());
        }
    }
    return paths;
}

void StorageTreeWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalPaths(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void StorageTreeWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalPaths(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void StorageTreeWidget::keyPressEvent(QKeyEvent* event) {
    // A selection the keyboard moves keeps the focus here, so the arrow keys go on walking the
    // tree; a click hands it to the view that shows the item.
    const bool outer = view_->KeyboardSelection();
    view_->SetKeyboardSelection(true);
    QTreeWidget::keyPressEvent(event);
    view_->SetKeyboardSelection(outer);
}

void StorageTreeWidget::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    view_->AddDroppedPaths(paths);
}

LabelEditDelegate::LabelEditDelegate(CPictureLeftView* view)
    : QStyledItemDelegate(view), view_(view) {}

QWidget* LabelEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("labelEdit"));
    edit->setMaxLength(CPictureLeftView::kMaxLabelEdit);
    return edit;
}

void LabelEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                     const QModelIndex&) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit != nullptr) {
        view_->EndLabelEdit(view_->Tree()->currentItem(), edit->text());
    }
}
