// Sorted children of a tree item: the order one-by-one insertion gives (case ignored, equal
// labels in the order they came), the same order from a bulk build, and labels that stay in
// step with the items through removal and renaming.
#include "controls/SortedTree.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

QTreeWidgetItem* Item(const QString& label, int id) {
    auto* item = new QTreeWidgetItem(QStringList{label});
    item->setData(0, Qt::UserRole, id);
    return item;
}

// The children's labels with their ids, "label#id", top to bottom.
QStringList Children(const QTreeWidgetItem* parent) {
    QStringList out;
    for (int i = 0; i < parent->childCount(); ++i) {
        out << parent->child(i)->text(0) + "#" + parent->child(i)->data(0, Qt::UserRole).toString();
    }
    return out;
}

// What the tree did before it kept labels beside the items: a walk to the first sibling
// whose label sorts after the new one.
int LinearIndex(const QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (QString::compare(parent->child(i)->text(0), label, Qt::CaseInsensitive) > 0) {
            return i;
        }
    }
    return parent->childCount();
}

TEST(SortedChildren, InsertsAfterEqualLabelsIgnoringCase) {
    QTreeWidgetItem parent;
    SortedChildren sorted(&parent);
    const char* labels[] = {"beta", "Alpha", "BETA", "alpha", "gamma", "Beta", "", "\xC3\xA4pfel"};
    int id = 0;
    for (const char* label : labels) {
        sorted.Insert(Item(QString::fromUtf8(label), id++));
    }
    EXPECT_EQ(Children(&parent),
              (QStringList{"#6", "Alpha#1", "alpha#3", "beta#0", "BETA#2", "Beta#5", "gamma#4",
                           QString::fromUtf8("\xC3\xA4pfel#7")}));
    EXPECT_EQ(sorted.Count(), 8);
    EXPECT_EQ(sorted.InsertionIndex("ALPHA"), 3);
    EXPECT_EQ(sorted.InsertionIndex("a"), 1);
    EXPECT_EQ(sorted.InsertionIndex("zzz"), 7);
}

TEST(SortedChildren, BulkBuildGivesTheOrderOfOneByOneInsertion) {
    std::mt19937 random(42);
    const QString pool[] = {"mail", "Mail", "MAIL", "bank", "Bank 2", "shop", "a", "A", "zz"};
    for (int round = 0; round < 20; ++round) {
        QTreeWidgetItem one, bulk;
        SortedChildren oneByOne(&one), built(&bulk);
        std::vector<QString> labels;
        for (int id = 0; id < 200; ++id) {
            const QString label = pool[random() % std::size(pool)];
            oneByOne.Insert(Item(label, id));
            labels.push_back(label);
        }
        // Items are made in the order they will stand in.
        QStringList made;
        built.AddSorted(labels, [&](size_t i) {
            made << labels[i];
            return Item(labels[i], static_cast<int>(i));
        });
        ASSERT_TRUE(std::is_sorted(made.begin(), made.end(), SortedChildren::Before)) << round;
        ASSERT_EQ(Children(&one), Children(&bulk)) << round;
        // A bulk add to children already there merges as single inserts would.
        std::vector<QString> more;
        for (int id = 200; id < 210; ++id) {
            const QString label = pool[random() % std::size(pool)];
            oneByOne.Insert(Item(label, id));
            more.push_back(label);
        }
        built.AddSorted(more, [&](size_t i) { return Item(more[i], static_cast<int>(200 + i)); });
        ASSERT_EQ(Children(&one), Children(&bulk)) << round;
    }
}

TEST(SortedChildren, RemovalAndRenamingKeepTheLabelsInStep) {
    QTreeWidget tree;
    auto* parent = new QTreeWidgetItem(&tree, QStringList{"root"});
    SortedChildren sorted(parent);
    std::vector<QTreeWidgetItem*> items;
    std::vector<QString> labels;
    for (int id = 0; id < 6; ++id) {
        labels.push_back(QString(QChar('a' + id))); // a b c d e f
    }
    sorted.AddSorted(labels, [&](size_t i) {
        items.push_back(Item(labels[i], static_cast<int>(i)));
        return items.back();
    });
    // Removing "c" and renaming "b" to "x": the renamed item stays where it was.
    ASSERT_TRUE(sorted.Remove(items[2]));
    delete items[2];
    sorted.Relabel(items[1], "x");
    EXPECT_EQ(Children(parent), (QStringList{"a#0", "x#1", "d#3", "e#4", "f#5"}));
    QTreeWidgetItem stranger;
    EXPECT_FALSE(sorted.Remove(&stranger));
    // New items find their places as the old walk over the items would have.
    for (const char* label : {"c", "b", "e", "zz", "0"}) {
        const int expected = LinearIndex(parent, label);
        EXPECT_EQ(sorted.Insert(Item(label, 9)), expected) << label;
    }
    EXPECT_EQ(sorted.Count(), parent->childCount());
}

} // namespace
