// The account tree built: the widget, the items made in bulk from the document, and the column
// fitted to the labels as they come.
#include "passwords/LeftView.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "controls/AccountText.h"
#include "passwords/AccountTreeParts.h"
#include "passwords/OmbrivaultDoc.h"
#include "passwords/RootPanes.h"

using namespace account_tree;

namespace {

// An account item's slot in its list, and its kind (as an int); other items have neither.
constexpr int kSlotRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

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
    layout->addWidget(tree_);
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
