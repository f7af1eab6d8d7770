#include "controls/DirectoryDlg.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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

// The longest start that all of `names` share.
QString CommonStart(const QStringList& names) {
    QString common = names.value(0);
    for (const QString& name : names) {
        qsizetype n = 0;
        while (n < common.size() && n < name.size() && common[n] == name[n]) {
            ++n;
        }
        common.truncate(n);
    }
    return common;
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

CDirectoryDlg::CDirectoryDlg(QWidget* parent, FolderKind kind)
    : CLockAwareDialog(parent), kind_(kind) {
    setWindowTitle(QStringLiteral("Select Directory "));
    setObjectName(QStringLiteral("CDirectoryDlg"));
    auto* layout = new QVBoxLayout(this);

    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel(QStringLiteral("&Folder:"), this);
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("path"));
    path_->setToolTip(QStringLiteral("Type or paste a folder; Tab completes its names"));
    pathLabel->setBuddy(path_);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(path_, 1);
    layout->addLayout(pathRow);
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("hint"));
    hint_->setWordWrap(true);
    hint_->hide();
    layout->addWidget(hint_);

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
    newFolder_ = buttons->addButton(QStringLiteral("&New Folder"), QDialogButtonBox::ActionRole);
    newFolder_->setObjectName(QStringLiteral("newFolder"));
    newFolder_->setAutoDefault(false);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(newFolder_, &QPushButton::clicked, this, &CDirectoryDlg::StartNewFolder);
    connect(ok, &QPushButton::clicked, this, &CDirectoryDlg::OnOk);
    connect(cancel, &QPushButton::clicked, this, [this] { EndDialog(IDCANCEL); });
    layout->addWidget(buttons);
    resize(420, 480);

    connect(tree_, &QTreeWidget::currentItemChanged, this, &CDirectoryDlg::OnSelectionChanged);
    // The delegate says how the naming of a new folder ended: confirmed or cancelled.
    connect(tree_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                EndNaming(hint != QAbstractItemDelegate::RevertModelCache);
            });
    connect(path_, &QLineEdit::textEdited, this, [this] { ShowHint(QString()); });
    path_->installEventFilter(this);
    OnInitDialog();
}

void CDirectoryDlg::OnInitDialog() {
    if (tree_->topLevelItemCount() > 0) {
        return; // built already
    }
    tree_->ShowTree();
    const QString start = FolderMemory::StartFolder(kind_);
    tree_->SelectPath(start);
    selected_ = start;
    shown_->setText(start);
    path_->setText(start);
}

void CDirectoryDlg::OnSelectionChanged() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item == naming_) {
        return;
    }
    selected_ = tree_->PathOfItem(item);
    shown_->setText(selected_);
    path_->setText(selected_);
    ShowHint(QString());
}

QString CDirectoryDlg::Hint() const {
    return hint_->isHidden() ? QString() : hint_->text();
}

void CDirectoryDlg::ShowHint(const QString& text) {
    hint_->setText(text);
    hint_->setVisible(!text.isEmpty());
}

QString CDirectoryDlg::TypedPath() const {
    QString text = path_->text().trimmed();
    if (text == QStringLiteral("~") || text.startsWith(QStringLiteral("~/"))) {
        text = QDir::homePath() + text.mid(1);
    }
    if (text.isEmpty()) {
        return {};
    }
    return QDir::cleanPath(
        QDir(selected_.isEmpty() ? QDir::homePath() : selected_).absoluteFilePath(text));
}

bool CDirectoryDlg::CompletePath() {
    QString text = path_->text();
    if (text == QStringLiteral("~") || text.startsWith(QStringLiteral("~/"))) {
        text = QDir::homePath() + text.mid(1);
    }
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return false;
    }
    const QString parent = text.left(slash + 1);
    const QString start = text.mid(slash + 1);
    QDir::Filters filters = QDir::Dirs | QDir::NoDotAndDotDot;
    // Hidden folders are offered once their name is begun, as a shell offers them.
    if (start.startsWith(QLatin1Char('.'))) {
        filters |= QDir::Hidden;
    }
    QStringList names;
    for (const QString& name : QDir(parent).entryList(filters, QDir::Name)) {
        if (name.startsWith(start)) {
            names << name;
        }
    }
    if (names.isEmpty() && start.isEmpty()) {
        return false; // a whole path: Tab moves on
    }
    if (names.isEmpty()) {
        ShowHint(QStringLiteral("No folder in %1 begins with \"%2\".").arg(parent, start));
        return true;
    }
    const QString completed =
        parent + (names.size() == 1 ? names.front() + QLatin1Char('/') : CommonStart(names));
    if (completed != path_->text()) {
        path_->setText(completed);
        ShowHint(QString());
    }
    if (names.size() > 1) {
        ShowHint(QStringLiteral("Choices: %1").arg(names.join(QStringLiteral(", "))));
    } else {
        GoToTypedPath();
    }
    return true;
}

bool CDirectoryDlg::GoToTypedPath() {
    const QString path = TypedPath();
    if (path.isEmpty() || !QFileInfo(path).isDir()) {
        ShowHint(
            QStringLiteral("There is no folder %1.").arg(path.isEmpty() ? path_->text() : path));
        return false;
    }
    const QString typed = path_->text();
    if (!tree_->SelectPath(path) || tree_->PathOfItem(tree_->currentItem()) != path) {
        // A folder outside the tree's places (or not listed) is still a folder.
        selected_ = path;
        shown_->setText(path);
    }
    // The field keeps what the user typed (a trailing "/" to go on from).
    path_->setText(typed);
    ShowHint(QString());
    return true;
}

void CDirectoryDlg::OnOk() {
    if (TypedPath() != selected_ && !GoToTypedPath()) {
        return; // the hint says what is wrong
    }
    FolderMemory::Remember(kind_, selected_);
    EndDialog(IDOK);
}

bool CDirectoryDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == path_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            // A Tab that completes nothing moves on to the next control.
            return CompletePath();
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            TypedPath() != selected_) {
            // Enter goes to the folder typed; once there, it is OK.
            GoToTypedPath();
            return true;
        }
    }
    return CLockAwareDialog::eventFilter(watched, event);
}

void CDirectoryDlg::StartNewFolder() {
    QTreeWidgetItem* parent = tree_->currentItem();
    if (parent == nullptr || naming_ != nullptr) {
        return;
    }
    tree_->expandItem(parent); // reads the folder as it is now
    naming_ = new QTreeWidgetItem();
    naming_->setText(0, QString::fromLatin1(kNewFolderName));
    naming_->setFlags(naming_->flags() | Qt::ItemIsEditable);
    parent->insertChild(0, naming_);
    tree_->scrollToItem(naming_);
    tree_->editItem(naming_, 0);
}

void CDirectoryDlg::EndNaming(bool confirmed) {
    QTreeWidgetItem* item = naming_;
    if (item == nullptr) {
        return;
    }
    naming_ = nullptr;
    QTreeWidgetItem* parent = item->parent();
    const QString name = item->text(0);
    delete item;
    if (!confirmed || parent == nullptr) {
        return;
    }
    const QString folder = tree_->PathOfItem(parent);
    const QString failure = MakeFolder(folder, name);
    if (!failure.isEmpty()) {
        ShowHint(failure);
        return;
    }
    // The new folder shows and is selected: the export goes into it.
    tree_->SelectPath(ChildPath(folder, name));
}

QString CDirectoryDlg::MakeFolder(const QString& parent, const QString& name) {
    if (name.trimmed().isEmpty() || name.contains(QLatin1Char('/')) ||
        name == QStringLiteral(".") || name == QStringLiteral("..")) {
        return QStringLiteral("\"%1\" cannot be the name of a folder.").arg(name);
    }
    // The folder is made relative to its parent, opened once; a link of that name is never
    // followed (mkdirat refuses any existing name).
    const int dir =
        ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int error = dir < 0 ? errno : 0;
    if (dir >= 0) {
        // New folders are the user's alone: what is exported into them is no longer encrypted.
        if (::mkdirat(dir, QFile::encodeName(name).constData(), 0700) != 0) {
            error = errno;
        }
        ::close(dir);
    }
    if (error == 0) {
        return {};
    }
    if (error == EEXIST) {
        return QStringLiteral("A folder or file named \"%1\" is already in %2.").arg(name, parent);
    }
    return QStringLiteral("The folder \"%1\" could not be made in %2: %3")
        .arg(name, parent, QString::fromLocal8Bit(std::strerror(error)));
}
