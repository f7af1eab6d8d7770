// The children of a tree item kept in order by their labels, compared without regard to case,
// as the account tree and the storage tree sort the items of a category or folder. The labels
// are kept beside the items, so finding a place is a binary search that never reads an item,
// and a whole list of children is sorted once and inserted in one step.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QTreeWidgetItem;

class SortedChildren {
public:
    explicit SortedChildren(QTreeWidgetItem* parent = nullptr) : parent_(parent) {}

    // Starts over with `parent`, whose children (if any) are forgotten, not removed.
    void Reset(QTreeWidgetItem* parent);
    QTreeWidgetItem* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(labels_.size()); }

    // Adds one item per label after sorting the labels; equal labels keep the order they are
    // given in, as if each item had been inserted in turn. `make(i)` makes the item (without a
    // parent) for labels[i]; it is called in the sorted order, so the items lie in memory
    // in the order the view walks them.
    void AddSorted(std::vector<QString> labels,
                   const std::function<QTreeWidgetItem*(size_t index)>& make);
    // Inserts one item (without a parent yet) after every sibling whose label does not sort
    // after its own. Returns its index.
    int Insert(QTreeWidgetItem* item);
    // Where an item with `label` would be inserted.
    int InsertionIndex(const QString& label) const;
    // Takes `item` out of the parent (the caller deletes it). False when it is no child.
    bool Remove(QTreeWidgetItem* item);
    // Sets the label of a child. It keeps its place, as a renamed item does in the tree; a
    // later insertion still finds a place next to labels that sort like its own.
    void Relabel(QTreeWidgetItem* item, const QString& label);

    // The order of the labels: true when `a` sorts before `b`.
    static bool Before(const QString& a, const QString& b);

private:
    QTreeWidgetItem* parent_ = nullptr;
    std::vector<QString> labels_; // the children's labels, in the children's order
};
