// The storage tree's helper widgets: the tree itself, which takes files and directories
// dropped from the desktop, and the in-place label editor.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeWidget>

class CPictureLeftView;
class QMimeData;

class StorageTreeWidget : public QTreeWidget {
public:
    StorageTreeWidget(CPictureLeftView* view, QWidget* parent);

protected:
    static QStringList LocalPaths(const QMimeData* data);
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CPictureLeftView* view_;
};

// The in-place label editor: 127 characters, and the end of the edit goes to the view.
class LabelEditDelegate : public QStyledItemDelegate {
public:
    explicit LabelEditDelegate(CPictureLeftView* view);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    CPictureLeftView* view_;
};
