// The folder overview, the creation forms and file drops on the right-hand views.
#include <functional>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ViewTestSite.h"
#include "controls/EditEx.h"
#include "controls/ShadeButton.h"
#include "framework/CommandIds.h"
#include "framework/ModalSeam.h"
#include "framework/TimedFileDialog.h"
#include "storage/AddPictureView.h"
#include "storage/CreateFolderView.h"
#include "storage/CreateNotepad.h"
#include "storage/CreateOtherAcc.h"
#include "storage/CreateWebAcc.h"
#include "storage/PDFView.h"
#include "storage/RightImageView.h"
#include "storage/RightMainView.h"
#include "storage/RightNotepadView.h"
#include "storage/RightViewDrops.h"
#include "storage/RightWebAccView.h"
#include "support/FakeLockHost.h"

namespace {

TEST(StorageOverview, ButtonsShowTheirFormsWithTheLocation) {
    ViewTestSite site;
    CPictureRigthMainView view(&site.document, &site);
    view.SetLocation(QStringLiteral("$:\\Letters\\"));
    EXPECT_EQ(view.LocationLabel()->text(), QStringLiteral("$:\\Letters\\"));
    EXPECT_EQ(view.LocationLabel()->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(view.LocationLabel()->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    struct Expected {
        const char* caption;
        const char* tooltip;
        StorageForm form;
    };
    const Expected expected[] = {
        {"New Folder...", "Create a new folder in a storage...", StorageForm::NewFolder},
        {"Add Image File...", "Add an image from a file on a disk...", StorageForm::AddImage},
        {"New Text Document...", "Create notepad text file...", StorageForm::NewNote},
        {"New Web Account...", "Create Web Account data...", StorageForm::NewWebAccount},
        {"New Other Account...", "Create new Other Account data...", StorageForm::NewOtherAccount},
        {"Add PDF File...", "Add a PDF document from a file on a disk...", StorageForm::AddPdf},
    };
    ASSERT_EQ(view.Buttons().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].caption);
        CShadeButtonST* button = view.Buttons()[i];
        EXPECT_EQ(button->text(), QString::fromLatin1(expected[i].caption));
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(expected[i].tooltip));
        site.shownForm = StorageForm::Overview;
        button->click();
        EXPECT_EQ(site.shownForm, expected[i].form);
        EXPECT_EQ(site.shownLocation, QStringLiteral("$:\\Letters\\"));
    }
}

// Every form: its texts, the action button following the edit box, Enter acting while the
// button is disabled, Cancel showing the overview of the current folder.
TEST(CreateForms, TextsButtonStateEnterAndCancel) {
    ViewTestSite site;
    site.currentPath = QStringLiteral("$:\\Here\\");
    CCreateFolderView folder(&site.document, &site);
    CCreateNotepad note(&site.document, &site);
    CCreateWebAcc web(&site.document, &site);
    CCreateOtherAcc other(&site.document, &site);
    CAddPictureView picture(&site.document, &site);
    CPDFView pdf(&site.document, &site);
    struct Case {
        CCreateFormBase* form;
        const char* title;
        const char* action;
        const char* call; // what an empty Enter asks of the tree
    };
    const Case cases[] = {
        {&folder, "Create New Folder", "Add Folder", "AddFolder:"},
        {&note, "New Text Document", "Create", "AddItem:3:"},
        {&web, "New Web Account", "Add", "AddItem:4:"},
        {&other, "New Other Account", "Add", "AddItem:5:"},
        {&picture, "Add New Image", "Add Image", "AddImageFile:"},
        {&pdf, "Add Adobe PDF Document", "Add PDF", "AddItem:6:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        CCreateFormBase* form = c.form;
        form->show();
        QApplication::setActiveWindow(form);
        form->SetLocation(QStringLiteral("$:\\Here\\"));
        EXPECT_EQ(form->TitleLabel()->text(), QString::fromLatin1(c.title));
        EXPECT_TRUE(form->TitleLabel()->font().bold());
        EXPECT_EQ(form->ActionButton()->text(), QString::fromLatin1(c.action));
        EXPECT_EQ(form->Location(), QStringLiteral("$:\\Here\\"));
        EXPECT_FALSE(form->ActionButton()->isEnabled());

        site.calls.clear();
        QTest::keyClick(form->Edit(), Qt::Key_Return);
        EXPECT_EQ(site.calls, QStringList(QString::fromLatin1(c.call)));

        QTest::keyClicks(form->Edit(), QStringLiteral("x"));
        EXPECT_TRUE(form->ActionButton()->isEnabled());
        QTest::keyClick(form->Edit(), Qt::Key_Backspace);
        EXPECT_FALSE(form->ActionButton()->isEnabled());

        site.calls.clear();
        form->CancelButton()->click();
        EXPECT_EQ(site.calls, QStringList(QStringLiteral("ShowForm:0:$:\\Here\\")));
        form->hide();
    }
}

TEST(CreateForms, FoldersInARowLandInTheSameFolderAndNamesPassUnchanged) {
    ViewTestSite site;
    site.currentFolder = site.AddNamed(StorageItemType::Folder, "Top");
    CCreateFolderView form(&site.document, &site);
    form.show();
    QApplication::setActiveWindow(&form);
    form.SetLocation(QStringLiteral("$:\\Top\\"));
    for (const char* name : {"one", "two", "three"}) {
        QTest::keyClicks(form.Edit(), QString::fromLatin1(name));
        form.ActionButton()->click();
        EXPECT_TRUE(form.Edit()->Text().isEmpty());
        EXPECT_FALSE(form.ActionButton()->isEnabled());
        EXPECT_TRUE(form.Edit()->hasFocus());
    }
    int inTop = 0;
    for (const StorageTreeEntry& entry : site.tree) {
        inTop += entry.parent == site.currentFolder ? 1 : 0;
    }
    EXPECT_EQ(inTop, 3);
    EXPECT_EQ(site.selected, -1);

    CCreateNotepad note(&site.document, &site);
    note.SetLocation(QStringLiteral("$:\\Top\\"));
    note.Edit()->SetText(QStringLiteral("drafts\\Letter"));
    note.Act();
    EXPECT_EQ(site.calls.last(), QStringLiteral("AddItem:3:drafts\\Letter"));
    EXPECT_EQ(site.table.Get(site.selected)->name, "Letter");
}

TEST(CreateForms, PasteImageFollowsTheClipboardAndNamesAnUnnamedImage) {
    ViewTestSite site;
    CAddPictureView form(&site.document, &site);
    EXPECT_TRUE(form.ClipboardTimer().isActive());
    EXPECT_EQ(form.ClipboardTimer().interval(), CAddPictureView::kClipboardCheckMs);
    QApplication::clipboard()->setText(QStringLiteral("no picture"));
    form.UpdatePasteButton();
    EXPECT_FALSE(form.PasteButton()->isEnabled());
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QApplication::clipboard()->setImage(image);
    form.UpdatePasteButton();
    EXPECT_TRUE(form.PasteButton()->isEnabled());

    form.SetLocation(QStringLiteral("$:\\"));
    form.PasteButton()->click();
    ASSERT_NE(site.table.Get(site.selected), nullptr);
    EXPECT_EQ(site.table.Get(site.selected)->name, "Untitled Image");
    form.Edit()->SetText(QStringLiteral("Red"));
    form.PasteImage();
    EXPECT_EQ(site.table.Get(site.selected)->name, "Red");

    QApplication::clipboard()->clear();
    form.UpdatePasteButton();
    EXPECT_FALSE(form.PasteButton()->isEnabled());
}

TEST(CreateForms, AddingAMissingPdfAddsNothing) {
    ViewTestSite site;
    CPDFView form(&site.document, &site);
    form.SetLocation(QStringLiteral("$:\\"));
    form.Edit()->SetText(QStringLiteral("/nonexistent/file.pdf"));
    form.Act();
    EXPECT_TRUE(site.tree.empty());
}

TEST(StorageDrops, WhatEachDropDoes) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QDir().mkpath(folder);
    const QString doc = dir.filePath(QStringLiteral("safe.OVD"));
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    const QString tooLong = QStringLiteral("/") + QString(300, QLatin1Char('x'));
    struct Case {
        const char* name;
        QStringList paths;
        QStringList calls;
    };
    const Case cases[] = {
        {"a lone document opens", {doc}, {"OpenDocumentFile:" + doc}},
        {"a lone file is added and selected", {photo}, {"AddFileByType:" + photo + ":1"}},
        {"several files are added unselected, documents too",
         {doc, photo},
         {"AddFileByType:" + doc + ":0", "AddFileByType:" + photo + ":0"}},
        {"a folder is added with its contents", {folder}, {"StartAddDirectory:" + folder}},
        {"an overlong path is skipped", {tooLong}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewTestSite site;
        HandleStorageDrop(site, c.paths);
        EXPECT_EQ(site.calls, c.calls);
    }

    // A real drop event on a form reaches the same rules.
    ViewTestSite site;
    CCreateFolderView form(&site.document, &site);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(photo)});
    form.show();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_EQ(site.calls, QStringList("AddFileByType:" + photo + ":1"));
}

} // namespace

namespace {

// A Browse dialog the screen lock closes records the form's own browse command, and that
// command brings the dialog back into the same form.
TEST(CreateForms, BrowseClosedByTheLockComesBackThroughItsOwnCommand) {
    ScopedModalSeam seam;
    FakeLockHost host;
    ViewTestSite site;
    CAddPictureView picture(&site.document, &site);
    CPDFView pdf(&site.document, &site);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("chosen.pdf"));
    QFile(file).open(QIODevice::WriteOnly);
    struct Case {
        const char* name;
        CCreateFormBase* form;
        QPushButton* browse;
        int command;
    };
    for (const Case& c : {Case{"image", &picture, picture.BrowseButton(), 1108},
                          Case{"pdf", &pdf, pdf.BrowseButton(), 1157}}) {
        SCOPED_TRACE(c.name);
        host.locked = false;
        host.reopen.clear();
        ModalSeam::Push([&host](QDialog& d) {
            host.Lock();
            static_cast<CTimedFileDialog&>(d).LockTick();
        });
        c.browse->click();
        ASSERT_EQ(host.reopen.count(ReopenFlag::OpenDialog), 1u);
        EXPECT_EQ(host.reopen[ReopenFlag::OpenDialog], c.command);
        EXPECT_TRUE(c.form->Edit()->Text().isEmpty());

        ModalSeam::Push(answer::Files({file}));
        EXPECT_TRUE(c.form->OnCommand(c.command));
        EXPECT_EQ(c.form->Edit()->Text(), file);
    }
    EXPECT_TRUE(ModalSeam::Unanswered().isEmpty());
}

// Commands, edits and clicks of the views and forms count as activity for the screen lock.
TEST(StorageActivity, CommandsEditsAndClicksRestartTheIdleClock) {
    FakeLockHost host;
    ViewTestSite site;
    const int32_t web = site.AddNamed(StorageItemType::WebAccount, "w");
    const int32_t note = site.AddNamed(StorageItemType::Text, "n");
    CRightWebAccView account(&site.document, &site);
    account.ShowAccount(web, QStringLiteral("w"), QStringLiteral("$:\\"));
    CRightNotepadView notepad(&site.document, &site);
    notepad.show();
    QApplication::setActiveWindow(&notepad);
    notepad.ShowNote(note);
    CPictureRightImageView image(&site.document, &site);
    CPictureRigthMainView overview(&site.document, &site);
    CCreateFolderView form(&site.document, &site);
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"zoom command", [&] { image.OnCommand(ID_ZOOM_IN); }},
        {"account field edit",
         [&] { account.FieldEdit(CRightAccountView::Field::Notes)->SetText(QStringLiteral("x")); }},
        {"account button", [&] { account.SaveButton()->click(); }},
        {"note key",
         [&] {
             QTest::keyClick(notepad.Editor(), Qt::Key_A);
             QApplication::processEvents();
         }},
        {"overview button", [&] { overview.Buttons().front()->click(); }},
        {"form edit", [&] { form.Edit()->SetText(QStringLiteral("f")); }},
        {"form action", [&] { form.Act(); }},
        {"form cancel", [&] { form.CancelButton()->click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = host.resets;
        c.act();
        EXPECT_GT(host.resets, before);
    }
}

} // namespace
