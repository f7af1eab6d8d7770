#include "passwords/LeftView.h"

#include <QBoxLayout>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

#include "controls/AccountText.h"
#include "controls/EditEx.h"
#include "controls/TreeFinder.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "passwords/AccountForms.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/OmbrivaultDoc.h"
#include "passwords/RootPanes.h"

namespace {

// An account item's slot in its list, and its kind (as an int); other items have neither.
constexpr int kSlotRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

// The label of a kind's category item and the kind's name in the delete question.
struct KindTexts {
    const char* category;
    const char* name;
};

const KindTexts& TextsOf(AccountKind kind) {
    static constexpr KindTexts kTexts[] = {
        {"Web Accounts", "Web"}, {"Email Accounts", "Email"}, {"Other Accounts", "Other"}};
    return kTexts[static_cast<int>(kind)];
}

// The tree widget, with its items reachable from model indexes for the label editor.
class AccountTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    QTreeWidgetItem* ItemAt(const QModelIndex& index) const { return itemFromIndex(index); }
    bool Editing() const { return state() == EditingState; }
};

// Edits labels in place: at most 127 characters; the end of an edit goes to the view, which
// decides what the new label means for the account.
class LabelDelegate : public QStyledItemDelegate {
public:
    LabelDelegate(CLeftView* view, AccountTree* tree)
        : QStyledItemDelegate(tree), view_(view), tree_(tree) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("labelEdit"));
        edit->setMaxLength(CLeftView::kMaxLabelLength);
        edit->setFrame(true);
        return edit;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            view_->EndLabelEdit(tree_->ItemAt(index), edit->text());
        }
    }

private:
    CLeftView* view_;
    AccountTree* tree_;
};

} // namespace

CLeftView::CLeftView(CDocument* document, QWidget* parent) : CPasswordsPane(document, parent) {
    auto* tree = new AccountTree(this);
    tree_ = tree;
    tree_->setObjectName(QStringLiteral("accountTree"));
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setRootIsDecorated(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setIconSize(QSize(16, 16));
    tree_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    tree_->setItemDelegate(new LabelDelegate(this, tree));
    tree_->setContextMenuPolicy(Qt::PreventContextMenu);
    tree_->setMouseTracking(true);
    tree_->viewport()->setMouseTracking(true);
    tree_->viewport()->installEventFilter(this);
    tree_->installEventFilter(this);
    // Every row is one line of one font size: the view need not measure rows to lay them out
    // or to jump to the end. The column is widened as items come, never by measuring them all.
    tree_->setUniformRowHeights(true);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(QHeaderView::Interactive);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    finder_ = MakeFinder();
    layout->addWidget(finder_->Bar());
    layout->addWidget(finder_->Stack(), 1);
    setFocusProxy(tree_);
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnSelectionChanged(current); });
}

std::optional<AccountKind> CLeftView::CategoryOfLabel(const QString& label) {
    for (AccountKind kind : kAccountKinds) {
        if (label.compare(QLatin1String(TextsOf(kind).category), Qt::CaseInsensitive) == 0) {
            return kind;
        }
    }
    return std::nullopt;
}

int CLeftView::SlotOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kSlotRole).toInt() : -1;
}

QTreeWidgetItem* CLeftView::CategoryItem(AccountKind kind) const {
    return categories_[static_cast<int>(kind)];
}

std::optional<AccountKind> CLeftView::AccountKindOf(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return std::nullopt;
    }
    const QVariant kind = item->data(0, kKindRole);
    if (!kind.isValid()) {
        return std::nullopt;
    }
    return static_cast<AccountKind>(kind.toInt());
}

QString CLeftView::RootLabel() const {
    const auto* doc = Doc();
    return doc == nullptr || doc->OwnPath().isEmpty() ? QStringLiteral("Untitled") : doc->OwnPath();
}

void CLeftView::OnInitialUpdate() {
    if (!built_) {
        BuildTree();
    }
}

void CLeftView::OnUpdate(CView* sender) {
    if (root_ != nullptr) {
        root_->setText(0, RootLabel());
        FitColumnTo(root_);
    }
}

void CLeftView::RebuildTree() {
    tree_->clear();
    root_ = nullptr;
    for (QTreeWidgetItem*& category : categories_) {
        category = nullptr;
    }
    styles_.clear();
    bold_.clear();
    BuildTree();
}

void CLeftView::BuildTree() {
    built_ = true;
    root_ = new QTreeWidgetItem(tree_, QStringList{RootLabel()});
    root_->setIcon(0, PasswordsIcon("root"));
    SetItemStyle(root_, Bold, kRootBlue);
    for (AccountKind kind : kAccountKinds) {
        auto* category =
            new QTreeWidgetItem(root_, QStringList{QString::fromLatin1(TextsOf(kind).category)});
        category->setIcon(0, PasswordsIcon("category"));
        categories_[static_cast<int>(kind)] = category;
    }
    for (AccountKind kind : kAccountKinds) {
        const int k = static_cast<int>(kind);
        accountIcons_[k] = PasswordsIcon(KindWord(kind));
        accounts_[k].Reset(categories_[k]);
    }
    FitColumnTo(root_);
    for (const QTreeWidgetItem* category : categories_) {
        FitColumnTo(category);
    }
    // Each category's accounts are made, sorted once and inserted in one step.
    if (const COmbrivaultDoc* doc = Doc()) {
        size_t accounts = 0;
        for (AccountKind kind : kAccountKinds) {
            accounts += static_cast<size_t>(doc->GetSlotCount(kind));
        }
        styles_.reserve(styles_.size() + accounts);
        bold_.reserve(bold_.size() + accounts);
        for (AccountKind kind : kAccountKinds) {
            std::vector<QString> names;
            std::vector<int> slotOf;
            names.reserve(static_cast<size_t>(doc->GetSlotCount(kind)));
            slotOf.reserve(names.capacity());
            for (int slot = 0; slot < doc->GetSlotCount(kind); ++slot) {
                if (const Account* account = doc->GetAccount(kind, slot)) {
                    names.push_back(AccountText(account->name));
                    slotOf.push_back(slot);
                }
            }
            // Measuring every label would cost more than the rest of the build: the longest
            // one stands for the widest.
            size_t longest = 0;
            for (size_t i = 0; i < names.size(); ++i) {
                longest = names[i].size() > names[longest].size() ? i : longest;
            }
            QTreeWidgetItem* widest = nullptr;
            accounts_[static_cast<int>(kind)].AddSorted(names, [&](size_t i) {
                QTreeWidgetItem* item = MakeAccountItem(kind, names[i], slotOf[i]);
                widest = i == longest ? item : widest;
                return item;
            });
            if (widest != nullptr) {
                FitColumnTo(widest);
            }
        }
    }
    for (QTreeWidgetItem* category : categories_) {
        category->setExpanded(true);
    }
    root_->setExpanded(true);
    tree_->setCurrentItem(root_);
}

QTreeWidgetItem* CLeftView::MakeAccountItem(AccountKind kind, const QString& name, int slot) {
    auto* item = new QTreeWidgetItem(QStringList{name});
    item->setData(0, kSlotRole, slot);
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setIcon(0, accountIcons_[static_cast<int>(kind)]);
    // An account never has children; saying so spares the view asking for them as it lays
    // out every row.
    item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemNeverHasChildren);
    SetItemStyle(item, Italic, kPaneBlue);
    return item;
}

QTreeWidgetItem* CLeftView::InsertAccountItem(AccountKind kind, const QString& name, int slot) {
    QTreeWidgetItem* item = MakeAccountItem(kind, name, slot);
    accounts_[static_cast<int>(kind)].Insert(item);
    CategoryItem(kind)->setExpanded(true);
    FitColumnTo(item);
    return item;
}

void CLeftView::FitColumnTo(const QTreeWidgetItem* item) {
    int depth = 0;
    for (const QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
        ++depth;
    }
    // A label's own width, its icon and the spacing around both, after its indentation
    // (the root's decoration counts as one more level).
    const int margin =
        tree_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree_) + 1;
    const int width = tree_->indentation() * (depth + 1) + tree_->iconSize().width() +
                      QFontMetrics(item->font(0)).horizontalAdvance(item->text(0)) + 4 * margin;
    if (width > tree_->header()->sectionSize(0)) {
        tree_->header()->resizeSection(0, width);
    }
}

QTreeWidgetItem* CLeftView::AddAccount(AccountKind kind, const QString& name) {
    COmbrivaultDoc* doc = Doc();
    if (doc == nullptr || root_ == nullptr) {
        return nullptr;
    }
    const int slot = doc->AddAccount(kind, AccountBytes(name));
    doc->SetModifiedFlag(true);
    QTreeWidgetItem* item = InsertAccountItem(kind, name, slot);
    tree_->setCurrentItem(item);
    return item;
}

QTreeWidgetItem* CLeftView::AddWebAccount(const QString& name) {
    return AddAccount(AccountKind::Web, name);
}

QTreeWidgetItem* CLeftView::AddMailAccount(const QString& name) {
    return AddAccount(AccountKind::Mail, name);
}

QTreeWidgetItem* CLeftView::AddOtherAccount(const QString& name) {
    return AddAccount(AccountKind::Other, name);
}

void CLeftView::DeleteSelectedAccount() {
    QTreeWidgetItem* item = tree_->currentItem();
    const std::optional<AccountKind> kind = AccountKindOf(item);
    COmbrivaultDoc* doc = Doc();
    if (!kind || doc == nullptr || doc->GetAccount(*kind, SlotOf(item)) == nullptr) {
        return;
    }
    const QString question = QStringLiteral("Are you sure you want to delete \"%1\" %2 Account?")
                                 .arg(item->text(0), QLatin1String(TextsOf(*kind).name));
    if (ShowMessageBox(nullptr, question, QStringLiteral("Ombrivault Storage"),
                       MessageButtons::YesNo, MessageIcon::Question) != MessageResult::Yes) {
        return;
    }
    doc->DeleteAccount(*kind, SlotOf(item));
    ForgetStyles(item);
    accounts_[static_cast<int>(*kind)].Remove(item);
    delete item;
    doc->SetModifiedFlag(true);
}

void CLeftView::RenameSelectedAccount() {
    QTreeWidgetItem* item = tree_->currentItem();
    const std::optional<AccountKind> kind = AccountKindOf(item);
    const COmbrivaultDoc* doc = Doc();
    if (kind && doc != nullptr && doc->GetAccount(*kind, SlotOf(item)) != nullptr) {
        tree_->editItem(item, 0);
    }
}

void CLeftView::EndLabelEdit(QTreeWidgetItem* item, const QString& typed) {
    if (item == nullptr) {
        return;
    }
    const QString text = typed.left(kMaxLabelLength);
    const std::optional<AccountKind> kind = AccountKindOf(item);
    COmbrivaultDoc* doc = Doc();
    Account* account = kind && doc != nullptr ? doc->GetAccount(*kind, SlotOf(item)) : nullptr;
    if (kind && item->parent() == CategoryItem(*kind)) {
        accounts_[static_cast<int>(*kind)].Relabel(item, text);
        FitColumnTo(item);
    } else {
        item->setText(0, text);
    }
    if (account == nullptr) {
        return;
    }
    account->name = AccountBytes(text);
    if (COmbrivaultChildFrame* frame = Frame()) {
        frame->Form(*kind)->LoadAccount(SlotOf(item));
        frame->ShowPane(COmbrivaultChildFrame::FormPane(*kind));
    }
    doc->SetModifiedFlag(true);
}

void CLeftView::SelectRoot() {
    if (root_ != nullptr) {
        tree_->setCurrentItem(root_);
    }
}

void CLeftView::SelectCategory(AccountKind kind) {
    if (QTreeWidgetItem* category = CategoryItem(kind)) {
        tree_->setCurrentItem(category);
        FocusShownPane(false);
    }
}

void CLeftView::OnSelectionChanged(QTreeWidgetItem* current) {
    ResetIdleTimer();
    COmbrivaultChildFrame* frame = Frame();
    if (current == nullptr || frame == nullptr) {
        return;
    }
    // The item's own label is tested first: an account named like a category opens that
    // category's add pane.
    if (const std::optional<AccountKind> kind = CategoryOfLabel(current->text(0))) {
        frame->ShowPane(COmbrivaultChildFrame::AddPane(*kind));
    } else if (const std::optional<AccountKind> parentKind = AccountKindOf(current)) {
        frame->Form(*parentKind)->LoadAccount(SlotOf(current));
        frame->ShowPane(COmbrivaultChildFrame::FormPane(*parentKind));
    } else if (current->parent() == nullptr) {
        frame->ShowPane(COmbrivaultChildFrame::Pane::BlankRoot);
    }
}

void CLeftView::FocusShownPane(bool orForm) {
    QTreeWidgetItem* current = tree_->currentItem();
    COmbrivaultChildFrame* frame = Frame();
    if (current == nullptr || frame == nullptr) {
        return;
    }
    if (const std::optional<AccountKind> kind = CategoryOfLabel(current->text(0))) {
        if (frame->ShownPane() == COmbrivaultChildFrame::AddPane(*kind)) {
            frame->AddPaneView(*kind)->NameEdit()->setFocus(Qt::OtherFocusReason);
        }
    } else if (const std::optional<AccountKind> parentKind = AccountKindOf(current);
               orForm && parentKind &&
               frame->ShownPane() == COmbrivaultChildFrame::FormPane(*parentKind)) {
        const std::vector<CEditEx*> fields = frame->Form(*parentKind)->FieldsOnScreen();
        if (!fields.empty()) {
            fields.front()->setFocus(Qt::OtherFocusReason);
        }
    }
}

void CLeftView::SetItemStyle(QTreeWidgetItem* item, int style, const QColor& colour) {
    if (item == nullptr) {
        return;
    }
    bold_[item] = style == Bold;
    styles_[item] = Color_Font{colour, StyleFont(style)};
    ApplyStyle(item);
}

const QFont& CLeftView::StyleFont(int style) {
    // One font per style, shared by every item that has it, made again when the tree's font
    // changes.
    const QFont base = tree_->font();
    if (!styleBase_ || !styleBase_->isCopyOf(base)) {
        styleBase_ = base;
        for (int s = Underline; s <= Plain; ++s) {
            QFont font = base;
            font.setUnderline(s == Underline);
            font.setItalic(s == Italic);
            font.setBold(false);
            styleFonts_[s] = font;
        }
    }
    return styleFonts_[style >= Underline && style <= Bold ? style : Plain];
}

const CLeftView::Color_Font* CLeftView::ItemStyleOf(QTreeWidgetItem* item) const {
    const auto found = styles_.find(item);
    return found != styles_.end() ? &found->second : nullptr;
}

void CLeftView::ApplyStyle(QTreeWidgetItem* item) {
    const Color_Font& entry = styles_.at(item);
    QFont font = entry.font.family().isEmpty() ? tree_->font() : entry.font;
    font.setBold(bold_[item]);
    item->setFont(0, font);
    if (entry.color.isValid()) {
        item->setForeground(0, entry.color);
    } else {
        item->setData(0, Qt::ForegroundRole, QVariant());
    }
}

void CLeftView::ForgetStyles(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
        ForgetStyles(item->child(i));
    }
    styles_.erase(item);
    bold_.erase(item);
}

QMenu* CLeftView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("treeContextMenu"));
    const CommandRoute route({this, GetDocument(), GetParentFrame()});
    const auto add = [&](const char* text, int id, const char* icon) {
        QAction* action = menu->addAction(PasswordsIcon(icon), QString::fromLatin1(text));
        CCmdUI ui(id);
        action->setEnabled(id != ID_NONE && route.Update(ui) && ui.enabled);
        action->setData(id);
    };
    add("Add new Web Account", ID_ADD_WEB_ACCOUNT, "web");
    add("Add new Email Account", ID_ADD_MAIL_ACCOUNT, "mail");
    add("Add new Other Account", ID_ADD_OTHER_ACCOUNT, "other");
    menu->addSeparator();
    if (const QTreeWidgetItem* selected = tree_->currentItem()) {
        // The root and the categories are no accounts: their entries lead nowhere.
        const bool structural = selected->parent() == nullptr || selected->parent() == root_;
        add("Delete Selected Account...", structural ? ID_NONE : ID_DELETE_ACCOUNT, "delete");
        menu->addSeparator();
        add("Rename Selected Account", structural ? ID_NONE : ID_RENAME_ACCOUNT, "rename");
    }
    return menu;
}

void CLeftView::ShowContextMenu(const QPoint& globalPos) {
    QMenu* menu = CreateContextMenu(window());
    ResetIdleTimer();
    QAction* chosen = menu->exec(globalPos);
    const int id = chosen != nullptr ? chosen->data().toInt() : ID_NONE;
    delete menu;
    if (id != ID_NONE) {
        OnCommand(id);
    }
}

bool CLeftView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress) {
        // The arrow keys move through the tree and leave the focus there; Enter goes into the
        // pane the selection shows.
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The Enter that ends renaming an item comes here too.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            !static_cast<AccountTree*>(tree_)->Editing()) {
            FocusShownPane(true);
            return true;
        }
    } else if (watched == tree_->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            ResetIdleTimer();
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            // A click on a category is the start of adding an account: what the user types
            // next is its name.
            QTimer::singleShot(0, this, [this] { FocusShownPane(false); });
        } else if (event->type() == QEvent::MouseButtonPress &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            // The menu acts on the selected item; a right click does not change the selection.
            ShowContextMenu(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        }
    }
    return CPasswordsPane::eventFilter(watched, event);
}

bool CLeftView::OnCommand(int id) {
    switch (id) {
    case ID_ADD_WEB_ACCOUNT:
        SelectCategory(AccountKind::Web);
        return true;
    case ID_ADD_MAIL_ACCOUNT:
        SelectCategory(AccountKind::Mail);
        return true;
    case ID_ADD_OTHER_ACCOUNT:
        SelectCategory(AccountKind::Other);
        return true;
    case ID_DELETE_ACCOUNT:
        DeleteSelectedAccount();
        return true;
    case ID_RENAME_ACCOUNT:
        RenameSelectedAccount();
        return true;
    default:
        return CPasswordsPane::OnCommand(id);
    }
}

bool CLeftView::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_ADD_WEB_ACCOUNT:
    case ID_ADD_MAIL_ACCOUNT:
    case ID_ADD_OTHER_ACCOUNT:
    case ID_DELETE_ACCOUNT:
    case ID_RENAME_ACCOUNT:
        return true;
    default:
        return CPasswordsPane::OnUpdateCommand(ui);
    }
}
