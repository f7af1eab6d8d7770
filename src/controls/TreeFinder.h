// Find in a tree: a filter field (with a "search notes" box) above a QTreeWidget that shows,
// while something is typed, only the items that match and the folders that lead to them, in
// the tree's own order. The tree itself is never touched by the filter: the matches show in a
// second, flat view in the tree's place, so clearing the field brings back the tree with its
// expanded folders and scroll position as they were. Picking a match selects its item in the
// tree, as a click on it would.
//
// Matching ignores case and accents. The searchable text of every item is folded once into an
// index when a search starts (or after the tree changed); each keystroke then scans the index
// (only the previous matches when the new text extends the old) and hands the view a list of
// rows in one step.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLineEdit;
class QStackedWidget;
class QTimer;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// Lower case, compatibility decomposition (NFKD) with the combining marks dropped: "Müller",
// "MULLER" and "muller" fold alike, and so do the ligature "ﬁ" and "fi".
QString FoldForSearch(const QString& text);

// The folded texts of a tree's items, in the tree's order, and the filter over them.
class TreeSearchIndex {
public:
    // The text an item is found by beyond its label (`fields`) and the text searched only
    // with the notes box ticked (`notes`). False for an item that is only structure (a
    // category): it shows when something under it matches, and is never a match itself.
    using TextsOf =
        std::function<bool(QTreeWidgetItem* item, bool withNotes, QString& fields, QString& notes)>;

    // Walks every item of `tree` once.
    void Build(QTreeWidget* tree, const TextsOf& textsOf, bool withNotes);
    bool Built() const { return built_; }
    bool HasNotes() const { return withNotes_; }
    void Clear();

    // The entries to show for `needle` (already folded, not empty): each match and every
    // entry above it, in the tree's order.
    std::vector<int> Filter(const QString& needle, bool inNotes);

    // The entries that matched the last Filter() themselves, in the tree's order.
    const std::vector<int>& Matches() const { return lastMatches_; }
    size_t Size() const { return entries_.size(); }
    QTreeWidgetItem* Item(int entry) const { return entries_[static_cast<size_t>(entry)].item; }
    int Depth(int entry) const { return entries_[static_cast<size_t>(entry)].depth; }

private:
    struct Entry {
        QTreeWidgetItem* item;
        int parent;
        int depth;
        bool searchable;
        QString text;  // label and fields, folded, one per line
        QString notes; // folded
    };
    std::vector<Entry> entries_;
    bool built_ = false;
    bool withNotes_ = false;
    // The last search, to narrow the next one that extends it.
    QString lastNeedle_;
    bool lastInNotes_ = false;
    std::vector<int> lastMatches_;
};

class TreeFinder : public QObject {
    Q_OBJECT
public:
    // Puts the find bar and the tree (moved into a stack with the results view) into `host`'s
    // place for the tree: the caller adds Bar() and Stack() to its layout.
    TreeFinder(QTreeWidget* tree, TreeSearchIndex::TextsOf textsOf, const QString& notesLabel,
               QWidget* parent);
    ~TreeFinder() override;

    QWidget* Bar() const { return bar_; }
    QWidget* Stack() const;
    QLineEdit* Field() const { return field_; }
    QCheckBox* NotesBox() const { return notes_; }
    QTreeView* Results() const { return results_; }

    // Ctrl+F: the focus goes to the field, its text selected.
    void Focus();
    // Escape: the field empties and the focus goes back to the tree.
    void ClearAndReturn();
    bool Active() const;
    // The rows shown (0 while inactive) and the tree item of each.
    int ResultCount() const;
    QTreeWidgetItem* ResultItem(int row) const;
    // Applies the field's text now (typing applies it at once too).
    void Apply();
    // The tree's items changed in a way the tree's own signals do not tell (an account's
    // address was edited): the next keystroke folds the texts again. The matches shown stay
    // until then, so a match being edited does not vanish under the caret.
    void Invalidate();

    const TreeSearchIndex& Index() const { return index_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ResultModel;
    void OnTreeChanged();
    void OnResultPicked();

    QTreeWidget* tree_;
    TreeSearchIndex::TextsOf textsOf_;
    TreeSearchIndex index_;
    QWidget* bar_;
    QLineEdit* field_;
    QCheckBox* notes_;
    QStackedWidget* stack_;
    QTreeView* results_;
    ResultModel* model_;
    QTimer* refresh_;
    QTreeWidgetItem* picked_ = nullptr;
    bool syncing_ = false;
    // The tree changed since the index was built.
    bool stale_ = false;
};
