// CDirectoryDlg: a modal dialog in which the user picks a directory from a tree of the
// computer's folders; CDirTreeCtrl is that tree. Folders are read lazily: a folder that may
// have content carries one empty placeholder child until it is expanded, and every expansion
// reads the folder again, so the tree shows what is on disk now. On this platform the top
// level holds the root folder "/" and the user's home folder.
#pragma once

#include <QDir>
#include <QString>
#include <QTreeWidget>

#include "framework/LockAwareDialog.h"

class QLabel;

class CDirTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CDirTreeCtrl(QWidget* parent = nullptr);

    // Rebuilds the tree: without a root the top-level folders, with one that folder and its
    // children. False on failure, with ErrorText() set.
    bool ShowTree(const QString& root = {}, bool showFiles = false);
    // Expands the tree along `path` and selects its last folder; false when the path does not
    // exist or is under none of the top-level items.
    bool SelectPath(const QString& path);
    // The path an item stands for, without a trailing "/" (except the root folder itself).
    QString PathOfItem(const QTreeWidgetItem* item) const;
    const QString& ErrorText() const { return error_; }

    // Whether `item` holds only the placeholder (its folder not read yet).
    static bool HasPlaceholder(const QTreeWidgetItem* item);

private:
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, const QString& text, const QString& path,
                                bool folder);
    QDir::Filters Listed() const;
    bool HasContent(const QString& path) const;
    void FillChildren(QTreeWidgetItem* item);
    void OnExpanded(QTreeWidgetItem* item);
    void OnCollapsed(QTreeWidgetItem* item);

    QString error_;
    bool showFiles_ = false;
    QString root_;
};

class CDirectoryDlg : public CLockAwareDialog {
    Q_OBJECT
public:
    explicit CDirectoryDlg(QWidget* parent = nullptr);

    // The directory chosen (after OK), or the current directory shown at the start.
    const QString& SelectedPath() const { return selected_; }
    CDirTreeCtrl* Tree() const { return tree_; }

protected:
    void OnInitDialog() override;

private:
    void OnSelectionChanged();

    CDirTreeCtrl* tree_ = nullptr;
    QLabel* shown_ = nullptr;
    QString selected_;
};
