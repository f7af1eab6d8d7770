// What the user does in the account tree: selecting an item shows its pane, Enter and clicks
// move the focus there, the context menu and the commands add, delete and rename accounts.
#include "passwords/LeftView.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>

#include "controls/EditEx.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "passwords/AccountForms.h"
#include "passwords/AccountTreeParts.h"
#include "passwords/OmbrivaultChildFrame.h"
#include "passwords/RootPanes.h"

using namespace account_tree;

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
