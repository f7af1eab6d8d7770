// The storage window as the main frame's menus, toolbar and layout see it: the Edit menu
// acting on the tree's selection, the tree's width kept for the user from one window to the next,
// and the toolbar's Fit button following the window that pressed it.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMdiArea>
#include <QMimeData>
#include <QMouseEvent>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "app/AppSettings.h"
#include "controls/MultiViewSplitter.h"
#include "controls/TextToolBar.h"
#include "framework/CommandActions.h"
#include "framework/CommandIds.h"
#include "storage/StorageViews.h"
#include "storage/StorageWindowFixture.h"
#include "support/StorageSamples.h"

namespace {

class StorageWindowCommandsTest : public StorageWindowFixture {
protected:
    // The Edit menu's entry for `id`, its state as the menu shows it when opened.
    QAction* EditEntry(int id) {
        for (QMenu* menu : Frame().Menus(MenuResource::Document)) {
            if (menu->title() != QStringLiteral("&Edit")) {
                continue;
            }
            emit menu->aboutToShow();
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator() && action->data().toInt() == id) {
                    return action;
                }
            }
        }
        return nullptr;
    }
    static void PutFilesOnClipboard(const QStringList& paths) {
        auto* data = new QMimeData();
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data->setUrls(urls);
        QApplication::clipboard()->setMimeData(data);
    }
    // Drags the handle between the tree and the right view by `dx` pixels, as the user does.
    static void DragDivider(QSplitter* splitter, int dx) {
        QSplitterHandle* handle = splitter->handle(1);
        const QPoint from(handle->width() / 2, handle->height() / 2);
        const QPoint to = from + QPoint(dx, 0);
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, handle->mapToGlobal(at), Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(handle, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
};

// Each Edit menu entry with the tree's selection and the clipboard it is tried on, whether it
// is offered, and what it does to the item "b".
TEST_F(StorageWindowCommandsTest, EditMenuEntriesActOnTheTreesSelection) {
    CPictureDoc* doc = OpenStorage(dir / "edit.ovs");
    ASSERT_NE(doc, nullptr);
    CPictureLeftView* view = View(doc);
    QTreeWidgetItem* b = view->AddFolder(QStringLiteral("b"), false);
    const QString pdf = QString::fromStdString(File("k.pdf", "%PDF"));
    enum Effect { Nothing, RenameBox, DeleteQuestion, Pasted };
    const struct {
        const char* what;
        bool treeActive;
        bool selectItem;
        bool filesOnClipboard;
        int id;
        bool offered;
        Effect effect;
    } cases[] = {
        {"rename an item", true, true, false, ID_EDIT_RENAME, true, RenameBox},
        {"delete an item", true, true, false, ID_EDIT_DELETE, true, DeleteQuestion},
        {"paste files into the folder", true, true, true, ID_EDIT_PASTE, true, Pasted},
        {"paste without files", true, true, false, ID_EDIT_PASTE, false, Nothing},
        {"copy an item", true, true, true, ID_EDIT_COPY, false, Nothing},
        {"rename the root", true, false, false, ID_EDIT_RENAME, false, Nothing},
        {"delete the root", true, false, false, ID_EDIT_DELETE, false, Nothing},
        // A click in the tree hands the focus to the item's view: the entries still act.
        {"rename with the right view active", false, true, false, ID_EDIT_RENAME, true, RenameBox},
        {"delete with the right view active", false, true, false, ID_EDIT_DELETE, true,
         DeleteQuestion},
        {"paste with the right view active", false, true, true, ID_EDIT_PASTE, false, Nothing},
    };
    CPictureChildFrame* frame = FrameOf(doc);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        view->Tree()->setCurrentItem(c.selectItem ? b : view->RootItem());
        CView* shown = frame->StorageView(frame->ShownKind())->ViewAs<CView>();
        ASSERT_NE(shown, nullptr);
        frame->SetActiveView(c.treeActive ? view : shown);
        if (c.filesOnClipboard) {
            PutFilesOnClipboard({pdf});
        } else {
            QApplication::clipboard()->setText(QStringLiteral("just text"));
        }
        QAction* entry = EditEntry(c.id);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->isEnabled(), c.offered);

        QString question;
        if (c.effect == DeleteQuestion) {
            ModalSeam::Push(Message(question, QStringLiteral("No")));
        }
        entry->trigger();
        auto* box = view->Tree()->viewport()->findChild<QLineEdit*>();
        EXPECT_EQ(box != nullptr && box->isVisible(), c.effect == RenameBox);
        if (box != nullptr && box->isVisible()) {
            EXPECT_EQ(box->text(), QStringLiteral("b"));
            QTest::keyClick(box, Qt::Key_Escape);
        }
        if (c.effect == DeleteQuestion) {
            EXPECT_EQ(question, QStringLiteral("Are you sure you want to delete \"b\"?"));
        }
        EXPECT_EQ(Child(b, "k.pdf") != nullptr, c.effect == Pasted);
        if (QTreeWidgetItem* pasted = Child(b, "k.pdf")) {
            view->Tree()->setCurrentItem(pasted);
            ModalSeam::Push(Message(question, QStringLiteral("Yes")));
            view->DeleteSelected();
        }
        EXPECT_EQ(Labels(view->RootItem()), QStringList{"b"}) << "the item is still there";
    }
    // The entries show the tree's keys.
    EXPECT_EQ(EditEntry(ID_EDIT_RENAME)->text(), QStringLiteral("&Rename\tF2"));
    EXPECT_EQ(EditEntry(ID_EDIT_DELETE)->text(), QStringLiteral("&Delete\tDel"));
}

TEST_F(StorageWindowCommandsTest, TreeWidthSetInOneWindowIsTheWidthOfTheNext) {
    CPictureDoc* first = OpenStorage(dir / "first.ovs");
    ASSERT_NE(first, nullptr);
    CMultiViewSplitter* splitter = FrameOf(first)->Splitter();
    EXPECT_EQ(splitter->sizes().value(0), CPictureChildFrame::kTreeWidth) << "a fresh profile";

    DragDivider(splitter, 70);
    const int moved = splitter->sizes().value(0);
    EXPECT_GT(moved, CPictureChildFrame::kTreeWidth + 30);
    EXPECT_EQ(AppSettings::LayoutSize(CPictureChildFrame::kTreeWidthKey), moved)
        << "kept in the user's settings";

    CPictureDoc* second = OpenStorage(dir / "second.ovs");
    ASSERT_NE(second, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(FrameOf(second)->Splitter()->sizes().value(0), moved);
    // The first window keeps the width it was given; closing it changes nothing.
    first->OnCloseDocument();
    CPictureDoc* third = OpenStorage(dir / "third.ovs");
    QApplication::processEvents();
    EXPECT_EQ(FrameOf(third)->Splitter()->sizes().value(0), moved);
}

// The Fit button shows the state of the active storage window's picture: it comes up when the
// window closes or another kind of window becomes the active one, and goes down again when
// the storage window does.
TEST_F(StorageWindowCommandsTest, FitButtonFollowsTheActiveWindowAndLeavesWithIt) {
    CPictureDoc* doc = OpenStorage(dir / "fit.ovs");
    ASSERT_NE(doc, nullptr);
    CPictureLeftView* view = View(doc);
    const QByteArray jpeg = JpegBytes(QImage(64, 48, QImage::Format_RGB32));
    view->AddImageFile(QString::fromStdString(File("p.jpg", jpeg.toStdString())), true);
    FrameOf(doc)->SetActiveView(view);
    Frame().ExecuteCommand(ID_ZOOM_FIT);
    Frame().UpdateCommandStates();
    QToolButton* fit = Frame().ToolBar()->Button(ID_ZOOM_FIT);
    ASSERT_NE(fit, nullptr);
    ASSERT_TRUE(fit->isChecked()) << "pressed while the picture fits";

    // Another kind of window (a new text document) becomes the active one, and back.
    CDocTemplate* text = app->DocManager().FindTemplate(IDR_TEXT_TYPE);
    ASSERT_NE(text, nullptr);
    CDocument* other = text->OpenDocumentFile({});
    ASSERT_NE(other, nullptr);
    QApplication::processEvents();
    Frame().UpdateCommandStates();
    EXPECT_FALSE(fit->isChecked()) << "a text window has no picture to fit";
    Frame().ActivateChildFrame(FrameOf(doc));
    QApplication::processEvents();
    Frame().UpdateCommandStates();
    EXPECT_TRUE(fit->isChecked());

    other->OnCloseDocument();
    Frame().ActivateChildFrame(FrameOf(doc));
    doc->OnCloseDocument();
    QApplication::processEvents();
    EXPECT_FALSE(fit->isChecked()) << "the window that pressed it has closed";
    EXPECT_FALSE(fit->isEnabled());
}

} // namespace
