#include <QContextMenuEvent>
#include <QMenu>
#include <QTreeWidget>

#include "controls/DirectoryDlg.h"
#include "framework/CommandIds.h"
#include "framework/LockHost.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageViews.h"

QMenu* CPictureLeftView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("storageMenu"));
    auto add = [&](int id, const QString& text, int icon) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        if (icon >= 0) {
            action->setIcon(icons_.At(icon));
        }
        CCmdUI ui(id);
        action->setEnabled(OnUpdateCommand(ui) && ui.enabled);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    };
    add(ID_NEW_FOLDER, QStringLiteral("New &Folder..."), IconFolder);
    menu->addSeparator();
    add(ID_NEW_TEXT, QStringLiteral("New &Text Document..."), IconNote);
    add(ID_NEW_WEB_ACCOUNT, QStringLiteral("New &Web Account..."), IconWebAccount);
    add(ID_NEW_OTHER_ACCOUNT, QStringLiteral("New &Other Account..."), IconOtherAccount);
    menu->addSeparator();
    add(ID_ADD_IMAGE, QStringLiteral("Add &Image file..."), IconImage);
    add(ID_ADD_PDF, QStringLiteral("Add &PDF file..."), IconPdf);
    add(ID_ADD_FILE, QStringLiteral("Add Fi&le..."), IconFile);
    menu->addSeparator();
    add(ID_RENAME, QStringLiteral("&Rename ..."), -1);
    add(ID_DELETE, QStringLiteral("&Delete..."), -1);
    menu->addSeparator();
    add(ID_EXPORT, QStringLiteral("&Export..."), -1);
    menu->addSeparator();
    add(ClipboardHasFiles() ? ID_PASTE_FILES : ID_PASTE_NONE, QStringLiteral("P&aste..."), -1);
    return menu;
}

void CPictureLeftView::ShowContextMenu(const QPoint& globalPos) {
    ResetIdleTimer();
    QMenu* menu = CreateContextMenu(this);
    menu->exec(globalPos);
    delete menu;
}

void CPictureLeftView::ShowContextMenuAtCurrent() {
    QTreeWidgetItem* item = tree_->currentItem();
    const QRect rect = item != nullptr ? tree_->visualItemRect(item) : QRect();
    const QPoint at = rect.isValid() ? rect.bottomLeft() : QPoint(0, 0);
    ShowContextMenu(tree_->viewport()->mapToGlobal(at));
}

bool CPictureLeftView::HandleTreeKey(int key, Qt::KeyboardModifiers modifiers) {
    // Which command each key gives, with the modifiers it needs.
    struct Binding {
        int key;
        Qt::KeyboardModifiers modifiers;
        int command; // 0: the context menu
    };
    static const Binding kBindings[] = {
        {Qt::Key_F2, Qt::NoModifier, ID_RENAME},
        {Qt::Key_Delete, Qt::NoModifier, ID_DELETE},
        {Qt::Key_V, Qt::ControlModifier, ID_PASTE_FILES},
        {Qt::Key_Menu, Qt::NoModifier, 0},
        {Qt::Key_F10, Qt::ShiftModifier, 0},
    };
    const Qt::KeyboardModifiers relevant =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    for (const Binding& b : kBindings) {
        if (b.key == key && b.modifiers == relevant) {
            ResetIdleTimer();
            if (b.command == 0) {
                ShowContextMenuAtCurrent();
            } else {
                OnCommand(b.command);
            }
            return true;
        }
    }
    return false;
}

bool CPictureLeftView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_->viewport() && event->type() == QEvent::ContextMenu) {
        ShowContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return CView::eventFilter(watched, event);
}

bool CPictureLeftView::SelectionChangeable() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    return doc_ != nullptr && doc_->ChangeRefusal().isEmpty() && item != nullptr && item != root_ &&
           RecordOf(item) != nullptr;
}

CStorageRightView* CPictureLeftView::ZoomTarget() const {
    const StorageItem* record = RecordOf(tree_->currentItem());
    CPictureChildFrame* frame = ChildFrame();
    if (record == nullptr || frame == nullptr) {
        return nullptr;
    }
    if (record->Is(StorageItemType::Image)) {
        return frame->StorageView(StorageViewKind::ImageViewer);
    }
    if (record->Is(StorageItemType::Pdf)) {
        return frame->StorageView(StorageViewKind::PdfViewer);
    }
    return nullptr;
}

bool CPictureLeftView::OnCommand(int id) {
    auto showForm = [this](StorageViewKind kind) {
        ResetIdleTimer();
        if (CPictureChildFrame* frame = ChildFrame()) {
            if (CStorageRightView* view = frame->ShowStorageView(kind)) {
                view->SetLocation(GetCurrentFolderPath());
            }
        }
        return true;
    };
    switch (id) {
    case ID_NEW_FOLDER:
        return showForm(StorageViewKind::CreateFolder);
    case ID_NEW_TEXT:
        return showForm(StorageViewKind::CreateNote);
    case ID_NEW_WEB_ACCOUNT:
        return showForm(StorageViewKind::CreateWebAccount);
    case ID_NEW_OTHER_ACCOUNT:
        return showForm(StorageViewKind::CreateOtherAccount);
    case ID_ADD_IMAGE:
        return showForm(StorageViewKind::AddPicture);
    case ID_ADD_PDF:
        return showForm(StorageViewKind::AddPdf);
    case ID_RENAME:
        RenameSelected();
        return true;
    case ID_DELETE:
        DeleteSelected();
        return true;
    case ID_EXPORT:
        ExportSelected();
        return true;
    case ID_PASTE_FILES:
        PasteFiles();
        return true;
    // The Edit menu's entries (the window passes Rename and Delete on from its other views).
    case ID_EDIT_RENAME:
        if (SelectionChangeable()) {
            ResetIdleTimer();
            RenameSelected();
        }
        return true;
    case ID_EDIT_DELETE:
        if (SelectionChangeable()) {
            ResetIdleTimer();
            DeleteSelected();
        }
        return true;
    case ID_EDIT_PASTE:
        ResetIdleTimer();
        PasteFiles();
        return true;
    case ID_ADD_FILE:
        ResetIdleTimer();
        AddFileCommand();
        return true;
    case ID_PICK_DIRECTORY: {
        CDirectoryDlg picker(this);
        picker.DoModal();
        return true;
    }
    case ID_ZOOM_IN:
    case ID_ZOOM_ACTUAL:
    case ID_ZOOM_OUT:
    case ID_ZOOM_FIT:
        if (CStorageRightView* view = ZoomTarget()) {
            view->OnZoomCommand(id);
        }
        return true;
    default:
        return CView::OnCommand(id);
    }
}

bool CPictureLeftView::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_NEW_FOLDER:
    case ID_NEW_TEXT:
    case ID_NEW_WEB_ACCOUNT:
    case ID_NEW_OTHER_ACCOUNT:
    case ID_ADD_IMAGE:
    case ID_ADD_PDF:
    case ID_RENAME:
    case ID_DELETE:
    case ID_EXPORT:
    case ID_PASTE_FILES:
    case ID_ADD_FILE:
    case ID_PICK_DIRECTORY:
        ui.Enable(true);
        return true;
    case ID_EDIT_RENAME:
    case ID_EDIT_DELETE:
        ui.Enable(SelectionChangeable());
        return true;
    case ID_EDIT_PASTE:
        ui.Enable(Document() != nullptr && ClipboardHasFiles());
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        // Items leave the storage through Export only.
        ui.Enable(false);
        return true;
    case ID_ZOOM_IN:
    case ID_ZOOM_ACTUAL:
    case ID_ZOOM_OUT:
    case ID_ZOOM_FIT: {
        // The shown picture's (or PDF's) own state: Fit and Actual Size show pressed as the
        // viewer says.
        CStorageRightView* view = ZoomTarget();
        ui.Enable(view != nullptr);
        if (ui.id == ID_ZOOM_FIT || ui.id == ID_ZOOM_ACTUAL) {
            ui.SetCheck(false);
        }
        if (view != nullptr) {
            view->OnUpdateZoomCommand(ui);
        }
        return true;
    }
    default:
        return CView::OnUpdateCommand(ui);
    }
}
