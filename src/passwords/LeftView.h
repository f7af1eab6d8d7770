// CLeftView is the passwords window's tree only, after its established name.
// CLeftView: the account tree of a passwords window - the document root, the three category
// items and an item per account - which adds, renames and deletes accounts, draws each item in
// its own font and colour, and switches the right-hand pane to what is selected.
#pragma once

#include <optional>
#include <unordered_map>

#include <QColor>
#include <QFont>
#include <QIcon>

#include "controls/SortedTree.h"
#include "passwords/Accounts.h"
#include "passwords/PasswordsPane.h"

class QMenu;
class TreeFinder;
class QTreeWidget;
class QTreeWidgetItem;

class CLeftView : public CPasswordsPane {
    Q_OBJECT
public:
    // The font and colour of one item. An invalid colour draws in the tree's own colour.
    struct Color_Font {
        QColor color;
        QFont font;
    };
    enum ItemStyle { Underline = 0, Italic = 1, Bold = 2, Plain = 3 };

    static constexpr int kMaxLabelLength = 127;

    CLeftView(CDocument* document, QWidget* parent = nullptr);

    // Builds the tree from the document, once.
    void OnInitialUpdate() override;
    // The document's name may have changed.
    void OnUpdate(CView* sender) override;
    // Builds the tree anew from the document's accounts, which were replaced.
    void RebuildTree();

    // Add an account with the name to its list and the tree, sorted among its siblings, and
    // select it (which shows its form). They return the new item.
    QTreeWidgetItem* AddWebAccount(const QString& name);
    QTreeWidgetItem* AddMailAccount(const QString& name);
    QTreeWidgetItem* AddOtherAccount(const QString& name);
    QTreeWidgetItem* AddAccount(AccountKind kind, const QString& name);
    // Asks, then deletes the selected account; any other selection does nothing.
    void DeleteSelectedAccount();
    // Starts editing the selected account's name in place.
    void RenameSelectedAccount();

    void SelectRoot();
    // Selects the category and puts the focus in its add pane's name field: the user is
    // about to name a new account.
    void SelectCategory(AccountKind kind);

    // 0 underline, 1 italic, 2 bold, 3 plain; an invalid colour keeps the tree's colour.
    void SetItemStyle(QTreeWidgetItem* item, int style, const QColor& colour);
    const Color_Font* ItemStyleOf(QTreeWidgetItem* item) const;

    QTreeWidget* Tree() const { return tree_; }
    // The find field above the tree and the matches shown while it holds text.
    TreeFinder* Finder() const { return finder_; }
    // Ctrl+F: the focus goes to the find field.
    void StartFind();
    QTreeWidgetItem* RootItem() const { return root_; }
    QTreeWidgetItem* CategoryItem(AccountKind kind) const;
    // The kind named by a label, compared without regard to case.
    static std::optional<AccountKind> CategoryOfLabel(const QString& label);
    // The slot an account item stands for.
    static int SlotOf(const QTreeWidgetItem* item);

    // The context menu for the selected item, with its entries enabled as the command
    // routing says (not shown).
    QMenu* CreateContextMenu(QWidget* parent);
    // The end of an in-place edit of `item`'s label with `text`.
    void EndLabelEdit(QTreeWidgetItem* item, const QString& text);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Gives the focus to the name field of the add pane the selected category shows; with
    // `orForm`, to the first field of the form the selected account shows.
    void FocusShownPane(bool orForm);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTree();
    // The find bar over the tree: accounts are found by name, address and user id, and with
    // the box ticked by their notes.
    TreeFinder* MakeFinder();
    // A new account item, styled, with no parent yet.
    QTreeWidgetItem* MakeAccountItem(AccountKind kind, const QString& name, int slot);
    QTreeWidgetItem* InsertAccountItem(AccountKind kind, const QString& name, int slot);
    // Widens the column, when needed, so that the item's label shows whole; the column never
    // measures all its items again.
    void FitColumnTo(const QTreeWidgetItem* item);
    void OnSelectionChanged(QTreeWidgetItem* current);
    void ShowContextMenu(const QPoint& globalPos);
    // The kind of an account item (by its parent's label); none for other items.
    std::optional<AccountKind> AccountKindOf(const QTreeWidgetItem* item) const;
    // The tree's font in the style (see SetItemStyle).
    const QFont& StyleFont(int style);
    void ApplyStyle(QTreeWidgetItem* item);
    void ForgetStyles(QTreeWidgetItem* item);
    QString RootLabel() const;

    QTreeWidget* tree_;
    TreeFinder* finder_;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* categories_[3] = {};
    SortedChildren accounts_[3];
    QIcon accountIcons_[3];
    // Hashed, not ordered: a tree of 100,000 accounts fills them while it loads.
    std::unordered_map<QTreeWidgetItem*, Color_Font> styles_;
    std::unordered_map<QTreeWidgetItem*, bool> bold_;
    std::optional<QFont> styleBase_;
    QFont styleFonts_[Plain + 1];
    bool built_ = false;
};
