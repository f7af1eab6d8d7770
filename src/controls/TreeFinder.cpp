#include "controls/TreeFinder.h"

#include <QAbstractListModel>
#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int kDepthRole = Qt::UserRole + 100;
constexpr int kIndentPixels = 16;

bool IsAscii(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            return false;
        }
    }
    return true;
}

// Draws a result row indented by its depth in the tree, so the flat list reads as the tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.adjust(index.data(kDepthRole).toInt() * kIndentPixels, 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += index.data(kDepthRole).toInt() * kIndentPixels;
        return size;
    }
};

} // namespace

QString FoldForSearch(const QString& text) {
    if (IsAscii(text)) {
        return text.toLower();
    }
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing) {
            folded.append(c);
        }
    }
    return folded.toCaseFolded();
}

void TreeSearchIndex::Clear() {
    entries_.clear();
    lastMatches_.clear();
    lastNeedle_.clear();
    built_ = false;
}

void TreeSearchIndex::Build(QTreeWidget* tree, const TextsOf& textsOf, bool withNotes) {
    Clear();
    withNotes_ = withNotes;
    // Depth first in the tree's order, without recursion: (item, parent entry) pairs to visit.
    std::vector<std::pair<QTreeWidgetItem*, int>> pending;
    QTreeWidgetItem* top = tree->invisibleRootItem();
    for (int i = top->childCount() - 1; i >= 0; --i) {
        pending.emplace_back(top->child(i), -1);
    }
    QString fields;
    QString notes;
    while (!pending.empty()) {
        const auto [item, parent] = pending.back();
        pending.pop_back();
        fields.clear();
        notes.clear();
        const bool searchable = textsOf(item, withNotes, fields, notes);
        const int depth = parent < 0 ? 0 : entries_[static_cast<size_t>(parent)].depth + 1;
        QString text;
        if (searchable) {
            text = FoldForSearch(fields.isEmpty() ? item->text(0)
                                                  : item->text(0) + QLatin1Char('\n') + fields);
        }
        entries_.push_back({item, parent, depth, searchable, std::move(text),
                            notes.isEmpty() ? QString() : FoldForSearch(notes)});
        const int self = static_cast<int>(entries_.size()) - 1;
        for (int i = item->childCount() - 1; i >= 0; --i) {
            pending.emplace_back(item->child(i), self);
        }
    }
    built_ = true;
}

std::vector<int> TreeSearchIndex::Filter(const QString& needle, bool inNotes) {
    // A text that extends the last one can only match among the last matches.
    const bool narrow =
        !lastNeedle_.isEmpty() && inNotes == lastInNotes_ && needle.contains(lastNeedle_);
    std::vector<int> matches;
    auto test = [&](int i) {
        const Entry& e = entries_[static_cast<size_t>(i)];
        if (e.searchable && (e.text.contains(needle) || (inNotes && e.notes.contains(needle)))) {
            matches.push_back(i);
        }
    };
    if (narrow) {
        for (int i : lastMatches_) {
            test(i);
        }
    } else {
        for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
            test(i);
        }
    }
    lastNeedle_ = needle;
    lastInNotes_ = inNotes;
    lastMatches_ = matches;

    // Marks each match and the entries above it; a walk up stops at the first entry already
    // marked, so every entry is marked once however many matches lie below it.
    std::vector<char> shown(entries_.size(), 0);
    for (int i : matches) {
        for (int at = i; at >= 0 && !shown[static_cast<size_t>(at)];
             at = entries_[static_cast<size_t>(at)].parent) {
            shown[static_cast<size_t>(at)] = 1;
        }
    }
    std::vector<int> rows;
    rows.reserve(matches.size() * 2);
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i]) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}

// The rows of the results view: each names an index entry; what it shows is read from the
// tree's item, so fonts, colours and icons are the tree's own.
class TreeFinder::ResultModel : public QAbstractListModel {
public:
    explicit ResultModel(const TreeSearchIndex& index, QObject* parent)
        : QAbstractListModel(parent), index_(index) {}

    void SetRows(std::vector<int> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    int RowOf(const QTreeWidgetItem* item) const {
        for (size_t r = 0; r < rows_.size(); ++r) {
            if (index_.Item(rows_[r]) == item) {
                return static_cast<int>(r);
            }
        }
        return -1;
    }
    QTreeWidgetItem* Item(int row) const {
        return row >= 0 && row < static_cast<int>(rows_.size())
                   ? index_.Item(rows_[static_cast<size_t>(row)])
                   : nullptr;
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) {
            return {};
        }
        const int entry = rows_[static_cast<size_t>(index.row())];
        if (role == kDepthRole) {
            return index_.Depth(entry);
        }
        return index_.Item(entry)->data(0, role);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    const TreeSearchIndex& index_;
    std::vector<int> rows_;
};

TreeFinder::TreeFinder(QTreeWidget* tree, TreeSearchIndex::TextsOf textsOf,
                       const QString& notesLabel, QWidget* parent)
    : QObject(parent), tree_(tree), textsOf_(std::move(textsOf)) {
    bar_ = new QWidget(parent);
    bar_->setObjectName(QStringLiteral("findBar"));
    field_ = new QLineEdit(bar_);
    field_->setObjectName(QStringLiteral("findField"));
    field_->setPlaceholderText(QStringLiteral("Find (Ctrl+F)"));
    field_->setClearButtonEnabled(true);
    notes_ = new QCheckBox(notesLabel, bar_);
    notes_->setObjectName(QStringLiteral("findNotes"));
    auto* barLayout = new QVBoxLayout(bar_);
    barLayout->setContentsMargins(2, 2, 2, 2);
    barLayout->setSpacing(2);
    barLayout->addWidget(field_);
    barLayout->addWidget(notes_);

    stack_ = new QStackedWidget(parent);
    stack_->setObjectName(QStringLiteral("findStack"));
    results_ = new QTreeView(stack_);
    results_->setObjectName(QStringLiteral("findResults"));
    results_->setHeaderHidden(true);
    results_->setRootIsDecorated(false);
    results_->setItemsExpandable(false);
    results_->setUniformRowHeights(true);
    results_->setSelectionMode(QAbstractItemView::SingleSelection);
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setIconSize(tree_->iconSize());
    results_->setFont(tree_->font());
    results_->setItemDelegate(new IndentDelegate(results_));
    model_ = new ResultModel(index_, this);
    results_->setModel(model_);
    results_->header()->setStretchLastSection(true);
    stack_->addWidget(tree_);
    stack_->addWidget(results_);
    stack_->setCurrentWidget(tree_);

    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(0);
    connect(refresh_, &QTimer::timeout, this, &TreeFinder::Apply);

    connect(field_, &QLineEdit::textChanged, this, &TreeFinder::Apply);
    connect(notes_, &QCheckBox::toggled, this, &TreeFinder::Apply);
    // A pick is a selection: the view makes its first row current without selecting it when
    // it takes the focus from the tree it replaces, and that is no pick.
    connect(results_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TreeFinder::OnResultPicked);
    field_->installEventFilter(this);
    results_->installEventFilter(this);

    // Rows that go away must leave the results before their items are deleted.
    QAbstractItemModel* source = tree_->model();
    auto dropResults = [this] {
        index_.Clear();
        if (model_->rowCount({}) > 0) {
            model_->SetRows({});
        }
        if (Active()) {
            refresh_->start();
        }
    };
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, dropResults);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, dropResults);
    connect(source, &QAbstractItemModel::rowsInserted, this, &TreeFinder::OnTreeChanged);
    connect(source, &QAbstractItemModel::dataChanged, this, &TreeFinder::OnTreeChanged);
}

TreeFinder::~TreeFinder() = default;

QWidget* TreeFinder::Stack() const {
    return stack_;
}

bool TreeFinder::Active() const {
    return !field_->text().isEmpty();
}

int TreeFinder::ResultCount() const {
    return Active() ? model_->rowCount({}) : 0;
}

QTreeWidgetItem* TreeFinder::ResultItem(int row) const {
    return model_->Item(row);
}

void TreeFinder::Focus() {
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void TreeFinder::ClearAndReturn() {
    field_->clear();
    tree_->setFocus(Qt::OtherFocusReason);
}

void TreeFinder::Invalidate() {
    // The rows shown name entries of the index: it is folded again on the next Apply(), not
    // emptied under them.
    stale_ = true;
}

void TreeFinder::OnTreeChanged() {
    // Changes come one item at a time while a tree is built: only note them then. Once a
    // search ran, the matches shown follow a renamed or added item.
    if (index_.Built()) {
        stale_ = true;
        if (Active()) {
            refresh_->start();
        }
    }
}

void TreeFinder::Apply() {
    refresh_->stop();
    const QString needle = FoldForSearch(field_->text());
    if (needle.isEmpty()) {
        model_->SetRows({});
        if (stack_->currentWidget() != tree_) {
            stack_->setCurrentWidget(tree_);
            // The tree is as it was, but for a match picked meanwhile: that one is selected
            // and its folders open to show it.
            if (picked_ != nullptr && picked_ == tree_->currentItem()) {
                tree_->scrollToItem(picked_);
            }
        }
        picked_ = nullptr;
        return;
    }
    const bool inNotes = notes_->isChecked();
    if (!index_.Built() || stale_ || (inNotes && !index_.HasNotes())) {
        // The rows shown name entries of the old index.
        model_->SetRows({});
        index_.Build(tree_, textsOf_, inNotes);
        stale_ = false;
    }
    model_->SetRows(index_.Filter(needle, inNotes));
    if (stack_->currentWidget() != results_) {
        stack_->setCurrentWidget(results_);
    }
    // The tree's selection stays selected among the results when it is one of them.
    if (const int row = model_->RowOf(tree_->currentItem()); row >= 0) {
        syncing_ = true;
        results_->setCurrentIndex(model_->index(row));
        syncing_ = false;
    }
}

void TreeFinder::OnResultPicked() {
    if (syncing_) {
        return;
    }
    const QModelIndexList selected = results_->selectionModel()->selectedIndexes();
    QTreeWidgetItem* item = selected.isEmpty() ? nullptr : model_->Item(selected.first().row());
    if (item != nullptr) {
        picked_ = item;
        tree_->setCurrentItem(item);
    }
}

bool TreeFinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == field_) {
        if (key->key() == Qt::Key_Escape) {
            ClearAndReturn();
            return true;
        }
        if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Return ||
             key->key() == Qt::Key_Enter) &&
            Active() && model_->rowCount({}) > 0) {
            results_->setFocus(Qt::OtherFocusReason);
            if (!results_->selectionModel()->hasSelection()) {
                // The first match is picked, not the folders above it.
                const int first =
                    index_.Matches().empty() ? 0 : model_->RowOf(index_.Item(index_.Matches()[0]));
                results_->setCurrentIndex(model_->index(std::max(first, 0)));
            }
            return true;
        }
    } else if (watched == results_ && key->key() == Qt::Key_Escape) {
        ClearAndReturn();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
