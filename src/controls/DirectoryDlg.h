// CDirectoryDlg: a modal dialog in which the user picks a directory from a tree of the
// computer's folders, or types (pastes) its path, Tab completing folder names; a new folder
// can be made in the selected one. It starts in the folder last used for its kind of work
// (see FolderMemory). CDirTreeCtrl is that tree. Folders are read lazily: a folder that may
// have content carries one empty placeholder child until it is expanded, and every expansion
// reads the folder again, so the tree shows what is on disk now. On this platform the top
// level holds the root folder "/" and the user's home folder.
#pragma once

#include <QDir>
#include <QString>
#include <QTreeWidget>

#include "framework/FolderMemory.h"
#include "framework/LockAwareDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

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
    static constexpr const char* kNewFolderName = "New Folder";

    explicit CDirectoryDlg(QWidget* parent = nullptr, FolderKind kind = FolderKind::Export);

    // The directory chosen (after OK), or the folder shown at the start.
    const QString& SelectedPath() const { return selected_; }
    CDirTreeCtrl* Tree() const { return tree_; }
    QLineEdit* PathField() const { return path_; }
    // What the dialog says about the path typed or the folder being made; empty when all is
    // well.
    QString Hint() const;

    // Tab in the path field: completes the last folder name as far as the folders on disk
    // agree, or says that none begins so; false when there is nothing to complete (the path
    // ends in "/" and the folder holds no folders), so Tab moves on.
    bool CompletePath();
    // Selects the folder the path field names; false (and a hint) when there is none.
    bool GoToTypedPath();
    // Starts naming a new folder inside the selected one, in place in the tree; the folder is
    // made when the name is confirmed, nothing when the naming is cancelled.
    void StartNewFolder();

protected:
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSelectionChanged();
    void OnOk();
    // The path field's text as a clean absolute path: "~" is the home folder, a relative path
    // is taken from the selected folder.
    QString TypedPath() const;
    void ShowHint(const QString& text);
    void EndNaming(bool confirmed);
    // Makes `name` in `parent` (opened as a directory, the name created relative to it);
    // an empty string when done, else what went wrong.
    static QString MakeFolder(const QString& parent, const QString& name);

    FolderKind kind_;
    CDirTreeCtrl* tree_ = nullptr;
    QLineEdit* path_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* shown_ = nullptr;
    QPushButton* newFolder_ = nullptr;
    QString selected_;
    // The item of the folder being named, until the name is confirmed or cancelled.
    QTreeWidgetItem* naming_ = nullptr;
};
