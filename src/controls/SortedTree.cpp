#include "controls/SortedTree.h"

#include <QTreeWidgetItem>

#include <algorithm>
#include <numeric>

bool SortedChildren::Before(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

void SortedChildren::Reset(QTreeWidgetItem* parent) {
    parent_ = parent;
    labels_.clear();
}

void SortedChildren::AddSorted(std::vector<QString> labels,
                               const std::function<QTreeWidgetItem*(size_t index)>& make) {
    std::vector<size_t> order(labels.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&labels](size_t a, size_t b) { return Before(labels[a], labels[b]); });
    if (labels_.empty()) {
        QList<QTreeWidgetItem*> sorted;
        sorted.reserve(static_cast<qsizetype>(order.size()));
        labels_.reserve(order.size());
        for (size_t i : order) {
            sorted.push_back(make(i));
            labels_.push_back(std::move(labels[i]));
        }
        parent_->addChildren(sorted);
        return;
    }
    // Among children already there, each new item goes after the equal labels present, which
    // is where one-by-one insertion would have put it.
    for (size_t i : order) {
        QTreeWidgetItem* item = make(i);
        const int at = InsertionIndex(labels[i]);
        parent_->insertChild(at, item);
        labels_.insert(labels_.begin() + at, std::move(labels[i]));
    }
}

int SortedChildren::InsertionIndex(const QString& label) const {
    const auto at = std::upper_bound(labels_.begin(), labels_.end(), label, Before);
    return static_cast<int>(at - labels_.begin());
}

int SortedChildren::Insert(QTreeWidgetItem* item) {
    QString label = item->text(0);
    const int at = InsertionIndex(label);
    parent_->insertChild(at, item);
    labels_.insert(labels_.begin() + at, std::move(label));
    return at;
}

bool SortedChildren::Remove(QTreeWidgetItem* item) {
    const int at = parent_->indexOfChild(item);
    if (at < 0) {
        return false;
    }
    parent_->takeChild(at);
    labels_.erase(labels_.begin() + at);
    return true;
}

void SortedChildren::Relabel(QTreeWidgetItem* item, const QString& label) {
    item->setText(0, label);
    const int at = parent_->indexOfChild(item);
    if (at >= 0) {
        labels_[static_cast<size_t>(at)] = label;
    }
}
