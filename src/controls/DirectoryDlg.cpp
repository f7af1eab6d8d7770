#include "controls/DirectoryDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/ResultCodes.h"

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

// Plain name order; names that differ only in case keep a fixed order.
bool NameOrder(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

QString ChildPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

CDirTreeCtrl::CDirTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, &CDirTreeCtrl::OnExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CDirTreeCtrl::OnCollapsed);
}

bool CDirTreeCtrl::HasPlaceholder(const QTreeWidgetItem* item) {
    return item != nullptr && item->childCount() == 1 &&
           !item->child(0)->data(0, kPathRole).isValid();
}

QString CDirTreeCtrl::PathOfItem(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return {};
    }
    QString path = item->data(0, kPathRole).toString();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

QDir::Filters CDirTreeCtrl::Listed() const {
    // Hidden folders are listed like any other.
    QDir::Filters filters = QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    return showFiles_ ? filters | QDir::Files : filters;
}

bool CDirTreeCtrl::HasContent(const QString& path) const {
    QDirIterator it(path, Listed());
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.isDir() || (showFiles_ && !info.isHidden())) {
            return true;
        }
    }
    return false;
}

QTreeWidgetItem* CDirTreeCtrl::InsertItem(QTreeWidgetItem* parent, const QString& text,
                                          const QString& path, bool folder) {
    static const QFileIconProvider icons;
    auto* item = new QTreeWidgetItem();
    item->setText(0, text);
    item->setData(0, kPathRole, path);
    item->setIcon(0, folder ? icons.icon(QFileIconProvider::Folder)
                            : icons.icon(QFileIconProvider::File));
    if (folder && HasContent(path)) {
        item->addChild(new QTreeWidgetItem()); // read when expanded
    }
    if (parent != nullptr) {
        parent->addChild(item);
    } else {
        addTopLevelItem(item);
    }
    return item;
}

bool CDirTreeCtrl::ShowTree(const QString& root, bool showFiles) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    clear();
    showFiles_ = showFiles;
    root_ = root;
    error_.clear();
    if (!root.isEmpty()) {
        if (!QFileInfo(root).isDir()) {
            error_ = QStringLiteral("Error Gettting SystemFileInfo!");
            return false;
        }
        QTreeWidgetItem* top = InsertItem(nullptr, root, root, true);
        FillChildren(top);
        return true;
    }
    // The fixed places of this platform: the root folder and the home folder.
    InsertItem(nullptr, QStringLiteral("/"), QStringLiteral("/"), true);
    const QString home = QDir::homePath();
    if (home != QStringLiteral("/") && QFileInfo(home).isDir()) {
        InsertItem(nullptr, home, home, true);
    }
    return true;
}

void CDirTreeCtrl::FillChildren(QTreeWidgetItem* item) {
    const QString path = PathOfItem(item);
    QStringList folders;
    QStringList files;
    QDirIterator it(path, Listed());
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        (info.isDir() ? folders : files).push_back(info.fileName());
    }
    std::sort(folders.begin(), folders.end(), NameOrder);
    std::sort(files.begin(), files.end(), NameOrder);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setUpdatesEnabled(false);
    qDeleteAll(item->takeChildren());
    for (const QString& name : folders) {
        InsertItem(item, name, ChildPath(path, name), true);
    }
    for (const QString& name : files) {
        InsertItem(item, name, ChildPath(path, name), false);
    }
    setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

void CDirTreeCtrl::OnExpanded(QTreeWidgetItem* item) {
    // Every expansion reads the folder again.
    FillChildren(item);
}

void CDirTreeCtrl::OnCollapsed(QTreeWidgetItem* item) {
    qDeleteAll(item->takeChildren());
    item->addChild(new QTreeWidgetItem());
}

bool CDirTreeCtrl::SelectPath(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir()) {
        return false;
    }
    const QString target = QDir::cleanPath(info.absoluteFilePath());
    // The top-level item with the longest path that holds the target.
    QTreeWidgetItem* current = nullptr;
    QString base;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QString top = PathOfItem(topLevelItem(i));
        const bool holds = top == QStringLiteral("/") || target == top ||
                           target.startsWith(top + QLatin1Char('/'));
        if (holds && top.size() > base.size()) {
            current = topLevelItem(i);
            base = top;
        }
    }
    if (current == nullptr) {
        return false;
    }
    const QString rest = base == QStringLiteral("/") ? target.mid(1) : target.mid(base.size() + 1);
    for (const QString& part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (current->isExpanded()) {
            collapseItem(current);
        }
        expandItem(current); // reads the folder again
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < current->childCount() && next == nullptr; ++i) {
            if (current->child(i)->text(0) == part) {
                next = current->child(i);
            }
        }
        if (next == nullptr) {
            break;
        }
        current = next;
    }
    setCurrentItem(current);
    scrollToItem(current);
    return true;
}

CDirectoryDlg::CDirectoryDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("Select Directory "));
    setObjectName(QStringLiteral("CDirectoryDlg"));
    auto* layout = new QVBoxLayout(this);
    tree_ = new CDirTreeCtrl(this);
    tree_->setObjectName(QStringLiteral("tree"));
    layout->addWidget(tree_, 1);
    auto* group = new QGroupBox(QStringLiteral("Currently Selected Directory:"), this);
    auto* groupLayout = new QVBoxLayout(group);
    shown_ = new QLabel(group);
    shown_->setObjectName(QStringLiteral("selected"));
    shown_->setWordWrap(true);
    groupLayout->addWidget(shown_);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, [this] { EndDialog(IDOK); });
    connect(cancel, &QPushButton::clicked, this, [this] { EndDialog(IDCANCEL); });
    layout->addWidget(buttons);
    resize(360, 420);
    connect(tree_, &QTreeWidget::currentItemChanged, this, &CDirectoryDlg::OnSelectionChanged);
    OnInitDialog();
}

void CDirectoryDlg::OnInitDialog() {
    if (tree_->topLevelItemCount() > 0) {
        return; // built already
    }
    tree_->ShowTree();
    const QString current = QDir::currentPath();
    tree_->SelectPath(current);
    selected_ = current;
    shown_->setText(current);
}

void CDirectoryDlg::OnSelectionChanged() {
    if (QTreeWidgetItem* item = tree_->currentItem()) {
        selected_ = tree_->PathOfItem(item);
        shown_->setText(selected_);
    }
}
