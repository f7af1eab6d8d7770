// Find in a tree: folding for matching, the rows a filter shows (matches and the folders
// leading to them, in the tree's order), narrowing as the text grows, and a tree left as it
// was by a search.
#include "controls/TreeFinder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

TEST(FoldForSearch, IgnoresCaseAndAccents) {
    const std::pair<const char*, const char*> cases[] = {
        {"Müller", "muller"},
        {"MÜLLER", "muller"},
        {"Ångström", "angstrom"},
        {"ÉCOLE Noël", "ecole noel"},
        {"\xef\xac\x81le", "file"}, // the ligature fi
        {"Plain ASCII", "plain ascii"},
        {"Ça", "ca"},
        {"", ""},
    };
    for (const auto& [text, folded] : cases) {
        EXPECT_EQ(FoldForSearch(QString::fromUtf8(text)), QString::fromUtf8(folded)) << text;
    }
}

// A tree of folders and items; an item's extra text is in its tool tip, its notes in its
// status tip, and items labelled "[...]" are structure only.
class TreeFinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.setColumnCount(1);
        auto* docs = Add(nullptr, "[Documents]");
        auto* letters = Add(docs, "Letters");
        Add(letters, "Müller 2008");
        Add(letters, "Bank", "account 42", "note about taxes");
        Add(docs, "Recipes");
        auto* photos = Add(nullptr, "[Photos]");
        Add(photos, "Holiday", "", "Mueller family");
        tree.expandAll();
        finder =
            std::make_unique<TreeFinder>(&tree, TextsOf, QStringLiteral("Search notes"), &host);
    }
    QTreeWidgetItem* Add(QTreeWidgetItem* parent, const char* label, const char* fields = "",
                         const char* notes = "") {
        auto* item = new QTreeWidgetItem(QStringList{QString::fromUtf8(label)});
        item->setToolTip(0, QString::fromUtf8(fields));
        item->setStatusTip(0, QString::fromUtf8(notes));
        if (parent != nullptr) {
            parent->addChild(item);
        } else {
            tree.addTopLevelItem(item);
        }
        return item;
    }
    static bool TextsOf(QTreeWidgetItem* item, bool withNotes, QString& fields, QString& notes) {
        fields = item->toolTip(0);
        if (withNotes) {
            notes = item->statusTip(0);
        }
        return !item->text(0).startsWith(QLatin1Char('['));
    }
    QStringList Shown() const {
        QStringList labels;
        for (int row = 0; row < finder->ResultCount(); ++row) {
            labels << finder->ResultItem(row)->text(0);
        }
        return labels;
    }
    QTreeWidgetItem* Find(const char* label) const {
        return tree.findItems(QString::fromUtf8(label), Qt::MatchExactly | Qt::MatchRecursive)
            .value(0);
    }

    QWidget host;
    QTreeWidget tree{&host};
    std::unique_ptr<TreeFinder> finder;
};

TEST_F(TreeFinderTest, ShowsMatchesAndTheFoldersLeadingToThemInTreeOrder) {
    struct Case {
        const char* text;
        bool notes;
        QStringList shown;
    };
    const Case cases[] = {
        {"muller", false, {"[Documents]", "Letters", "Müller 2008"}},
        {"MÜLL", false, {"[Documents]", "Letters", "Müller 2008"}},
        {"e", false, {"[Documents]", "Letters", "Müller 2008", "Recipes"}},
        {"o", false, {"[Documents]", "Letters", "Bank", "[Photos]", "Holiday"}},
        {"letters", false, {"[Documents]", "Letters"}},
        {"account 42", false, {"[Documents]", "Letters", "Bank"}},
        {"taxes", false, {}},
        {"taxes", true, {"[Documents]", "Letters", "Bank"}},
        {"mueller", true, {"[Photos]", "Holiday"}},
        {"documents", false, {}}, // structure is never a match itself
        {"zzz", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        finder->NotesBox()->setChecked(c.notes);
        finder->Field()->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_TRUE(finder->Active());
    }
}

TEST_F(TreeFinderTest, NarrowingAndWideningAgreeWithAFreshSearch) {
    // Each step's rows must equal those of the same text searched in a fresh index.
    const char* steps[] = {"b", "ba", "ban", "bank", "ban", "a", "ac", "r", "re", "rec", "e"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        finder->Field()->setText(QString::fromLatin1(step));
        TreeSearchIndex fresh;
        fresh.Build(&tree, TextsOf, false);
        QStringList direct;
        for (int entry : fresh.Filter(QString::fromLatin1(step), false)) {
            direct << fresh.Item(entry)->text(0);
        }
        EXPECT_EQ(Shown(), direct);
    }
}

TEST_F(TreeFinderTest, ClearingBringsBackTheTreeAsItWas) {
    Find("Letters")->setExpanded(false);
    tree.setCurrentItem(Find("Recipes"));
    auto* stack = static_cast<QStackedWidget*>(finder->Stack());

    finder->Field()->setText(QStringLiteral("bank"));
    EXPECT_EQ(stack->currentWidget(), finder->Results());
    EXPECT_FALSE(Find("Letters")->isExpanded()) << "the filter never touches the tree";
    EXPECT_EQ(tree.currentItem(), Find("Recipes"));

    finder->ClearAndReturn();
    EXPECT_EQ(stack->currentWidget(), &tree);
    EXPECT_EQ(finder->ResultCount(), 0);
    EXPECT_FALSE(Find("Letters")->isExpanded());
    EXPECT_EQ(tree.currentItem(), Find("Recipes"));
}

TEST_F(TreeFinderTest, PickingAMatchSelectsItInTheTreeAndKeepsItAfterClearing) {
    Find("Letters")->setExpanded(false);
    tree.setCurrentItem(Find("Recipes"));
    finder->Field()->setText(QStringLiteral("bank"));
    ASSERT_EQ(Shown(), (QStringList{"[Documents]", "Letters", "Bank"}));
    finder->Results()->setCurrentIndex(finder->Results()->model()->index(2, 0));
    EXPECT_EQ(tree.currentItem(), Find("Bank"));

    finder->ClearAndReturn();
    EXPECT_EQ(tree.currentItem(), Find("Bank"));
    EXPECT_TRUE(Find("Letters")->isExpanded()) << "opened to show the picked item";
    EXPECT_TRUE(Find("[Photos]")->isExpanded());
}

TEST_F(TreeFinderTest, ItemsRemovedOrRenamedWhileShownLeaveTheResults) {
    finder->Field()->setText(QStringLiteral("o"));
    ASSERT_TRUE(Shown().contains("Holiday"));
    delete Find("Holiday");
    finder->Apply();
    EXPECT_FALSE(Shown().contains("Holiday"));
    EXPECT_FALSE(Shown().contains("[Photos]"));

    Find("Recipes")->setText(0, QStringLiteral("Cocoa"));
    finder->Apply();
    EXPECT_TRUE(Shown().contains("Cocoa")) << "found by its new name";
    Find("Cocoa")->setText(0, QStringLiteral("Recipes"));
    finder->Apply();
    EXPECT_FALSE(Shown().contains("Recipes")) << "no longer found by its old name";
}

} // namespace
