// Not a test: opens a storage with nested folders and items of every kind in the real program
// and writes pictures of the window, its context menu, a directory being dragged over the tree
// and the directory picker into the folder given as its argument. Run it under a real
// (virtual) display so that the menus can be captured with the window.
#include <QApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include "ScreenShots.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "controls/DirectoryDlg.h"
#include "documents/DocumentKinds.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "framework/ModalSeam.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "support/ScratchFolders.h"

namespace {
QString g_dir;

void SnapScreen(const QString& name, QWidget* window) {
    ::SnapScreen(g_dir, name, window);
}

QString WriteFile(const QDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label) {
            return parent->child(i);
        }
    }
    return nullptr;
}
} // namespace

int main(int argc, char** argv) {
    PictureToolApp tool(argc, argv);
    g_dir = tool.outputDir;
    ScopedModalSeam seam;

    CEditorApp app;
    CMainFrame* main = StartProgram(app);
    if (main == nullptr) {
        return 1;
    }

    // Files to add, made in the scratch folder.
    QDir files(tool.scratch.path());
    files.mkpath(QStringLiteral("in/Holiday photos/day two"));
    files.cd(QStringLiteral("in"));
    QImage picture(160, 120, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(90, 150, 220));
    painter.setBrush(QColor(250, 210, 60));
    painter.drawEllipse(QPoint(120, 30), 18, 18);
    painter.end();
    picture.save(files.filePath(QStringLiteral("beach.png")));
    picture.save(files.filePath(QStringLiteral("Holiday photos/harbour.jpg")));
    picture.save(files.filePath(QStringLiteral("Holiday photos/day two/sunset.bmp")));
    const QString note = WriteFile(files, QStringLiteral("shopping list.txt"), "milk\nbread\n");
    const QString pdf =
        WriteFile(files, QStringLiteral("tax return 2008.pdf"), "%PDF-1.4\n%%EOF\n");
    const QString zip = WriteFile(files, QStringLiteral("backup.zip"), "PK\x03\x04 archive");
    const QString sheet = WriteFile(files, QStringLiteral("budget.ods"), "spreadsheet");

    auto* doc = static_cast<CPictureDoc*>(
        app.DocManager().FindTemplate(IDR_STORAGE_TYPE)->OpenDocumentFile({}));
    auto* frame = static_cast<CPictureChildFrame*>(doc->GetFrames().front());
    frame->showMaximized();
    CPictureLeftView* tree = frame->LeftView();

    tree->AddFolder(QStringLiteral("Letters"), true);
    tree->AddFolder(QStringLiteral("2008"), true);
    tree->AddItem(note, StorageItemType::Text, false);
    tree->AddItem(pdf, StorageItemType::Pdf, false);
    tree->Tree()->setCurrentItem(tree->RootItem());
    tree->AddFolder(QStringLiteral("Accounts"), true);
    tree->AddItem(QStringLiteral("Bank"), StorageItemType::WebAccount, false);
    tree->AddItem(QStringLiteral("Front door"), StorageItemType::OtherAccount, false);
    tree->Tree()->setCurrentItem(tree->RootItem());
    tree->AddImageFile(files.filePath(QStringLiteral("beach.png")), false);
    tree->AddFileByType(zip, false);
    tree->AddFileByType(sheet, false);
    tree->StartAddDirectory(files.filePath(QStringLiteral("Holiday photos")));
    while (tree->IsAddingDirectories()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    tree->Tree()->expandAll();
    tree->Tree()->setCurrentItem(tree->RootItem());
    SnapScreen(QStringLiteral("storage_root"), main);
    QTreeWidgetItem* letters = Find(tree->RootItem(), QStringLiteral("Letters"));
    tree->Tree()->setCurrentItem(
        Find(Find(letters, QStringLiteral("2008")), QStringLiteral("shopping list.txt")));
    SnapScreen(QStringLiteral("storage_note_selected"), main);
    tree->Tree()->setCurrentItem(Find(tree->RootItem(), QStringLiteral("beach.png")));
    SnapScreen(QStringLiteral("storage_image_selected"), main);

    QMenu* menu = tree->CreateContextMenu(main);
    menu->popup(tree->Tree()->viewport()->mapToGlobal(QPoint(60, 60)));
    SnapScreen(QStringLiteral("storage_menu"), main);
    menu->close();
    delete menu;

    // A directory dragged over the tree, before it is dropped.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(files.filePath(QStringLiteral("Holiday photos")))});
    QWidget* viewport = tree->Tree()->viewport();
    QDragEnterEvent enter(QPoint(40, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(QPoint(40, 80), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    SnapScreen(QStringLiteral("storage_drag_over"), main);
    QDragLeaveEvent leave;
    QApplication::sendEvent(viewport, &leave);

    QDir::setCurrent(files.path());
    CDirectoryDlg picker(main);
    picker.show();
    picker.move(main->geometry().center() - QPoint(180, 210));
    SnapScreen(QStringLiteral("directory_picker"), &picker);
    picker.hide();

    doc->SetModifiedFlag(false);
    app.DocManager().CloseAllDocuments();
    return 0;
}
