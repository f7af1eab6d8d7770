// Not a test: writes a storage holding a photo, a three-page PDF, a long note and both account
// kinds, opens it in the real program at the window's opening size, goes through the tree by
// mouse and by keyboard and through the overview's forms, and writes a picture of each step
// into the folder given as its argument. Run it under a real (virtual) display.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTreeWidget>

#include "ScreenShots.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "controls/ShadeButton.h"
#include "framework/CommandIds.h"
#include "framework/DocManager.h"
#include "framework/ModalSeam.h"
#include "storage/CreateFormBase.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/RightMainView.h"
#include "support/DocumentDialogs.h"
#include "support/ScratchFolders.h"
#include "support/StorageSamples.h"

namespace {

QString g_dir;
int g_step = 0;

void Snap(const QString& name, QWidget* window) {
    ::SnapScreen(g_dir, QStringLiteral("%1_%2").arg(++g_step, 2, 10, QLatin1Char('0')).arg(name),
                 window);
}

// A photo-like picture: a sky gradient, a sun, hills, and fine detail that shows scaling.
QImage Photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(1, QColor(200, 220, 240));
    p.fillRect(image.rect(), sky);
    p.setBrush(QColor(250, 210, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(width * 3 / 4, height / 4), height / 10, height / 10);
    p.setBrush(QColor(60, 130, 60));
    p.drawEllipse(QPoint(width / 4, height), width / 2, height / 3);
    p.setBrush(QColor(40, 100, 50));
    p.drawEllipse(QPoint(width * 3 / 4, height), width / 2, height / 4);
    p.setPen(QColor(255, 255, 255));
    for (int x = 0; x < width; x += 40) {
        p.drawLine(x, height / 2, x + 20, height / 2 + 10);
    }
    p.end();
    return image;
}

// The storage the pictures show, written by the storage layer.
bool WriteStorage(const std::string& path, const std::string& password) {
    SampleStorage made;
    const int32_t photos = made.AddFolder("Holiday");
    made.AddFile("harbour.jpg", JpegBytes(Photo(3000, 2000)), photos);
    made.AddFile("beach.jpg", JpegBytes(Photo(800, 600)), photos);
    const int32_t papers = made.AddFolder("Papers");
    made.AddFile("tax return 2008.pdf", PdfBytes(3, QStringLiteral("Tax return 2008 - page"), 40),
                 papers);
    std::string note;
    for (int i = 1; i <= 120; ++i) {
        note += "Line " + std::to_string(i) +
                " of the diary: a long note scrolls, and its lines keep their fixed pitch.\r\n";
    }
    made.AddText(StorageItemType::Text, "diary.txt", note, papers);
    ItemAccount bank;
    bank.name = "Bank";
    bank.address = "https://bank.example/login";
    bank.userId = "ann.example";
    bank.password = "correct horse";
    bank.notes = "Security question: first pet.\r\nCard ends in 4000.";
    made.AddAccount(StorageItemType::WebAccount, bank);
    ItemAccount door;
    door.name = "Front door";
    door.userId = "Keypad by the garage";
    door.password = "4711";
    door.notes = "Change it every spring.";
    made.AddAccount(StorageItemType::OtherAccount, door);
    return made.Save(path, password);
}

void Click(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

} // namespace

int main(int argc, char** argv) {
    PictureToolApp tool(argc, argv);
    g_dir = tool.outputDir;
    ScopedModalSeam seam;

    CEditorApp app;
    CMainFrame* main = StartProgram(app, /*openingSize=*/true);
    if (main == nullptr) {
        return 1;
    }

    const std::string path =
        QDir(tool.scratch.path()).filePath(QStringLiteral("home.ovs")).toStdString();
    if (!WriteStorage(path, "pw")) {
        return 1;
    }
    ModalSeam::Push(EnterPassword(QStringLiteral("pw")));
    auto* doc = dynamic_cast<CPictureDoc*>(app.OpenDocumentFile(QString::fromStdString(path)));
    if (doc == nullptr) {
        return 1;
    }
    auto* frame = static_cast<CPictureChildFrame*>(doc->GetFrames().front());
    CPictureLeftView* left = frame->LeftView();
    while (left->IsLoading()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QTreeWidget* tree = left->Tree();
    QTreeWidgetItem* root = left->RootItem();
    Snap(QStringLiteral("opened"), main);

    // By mouse.
    QTreeWidgetItem* holiday = TreeChild(root, QStringLiteral("Holiday"));
    QTreeWidgetItem* papers = TreeChild(root, QStringLiteral("Papers"));
    Click(tree, holiday);
    Snap(QStringLiteral("folder_overview"), main);
    Click(tree, TreeChild(holiday, QStringLiteral("harbour.jpg")));
    Snap(QStringLiteral("photo_fitted"), main);
    Click(tree, TreeChild(papers, QStringLiteral("tax return 2008.pdf")));
    Snap(QStringLiteral("pdf"), main);
    Click(tree, TreeChild(papers, QStringLiteral("diary.txt")));
    Snap(QStringLiteral("long_note"), main);
    Click(tree, TreeChild(root, QStringLiteral("Bank")));
    Snap(QStringLiteral("web_account"), main);
    Click(tree, TreeChild(root, QStringLiteral("Front door")));
    Snap(QStringLiteral("other_account"), main);

    // By keyboard, from the root down.
    Click(tree, root);
    for (const char* name : {"key_down_1", "key_down_2", "key_down_3"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        Snap(QString::fromLatin1(name), main);
    }

    // Zoomed photo, through the main toolbar's commands.
    Click(tree, TreeChild(holiday, QStringLiteral("harbour.jpg")));
    main->ExecuteCommand(ID_ZOOM_ACTUAL);
    Snap(QStringLiteral("photo_actual_size"), main);
    main->ExecuteCommand(ID_ZOOM_OUT);
    main->ExecuteCommand(ID_ZOOM_OUT);
    Snap(QStringLiteral("photo_third"), main);

    // The overview's forms.
    Click(tree, holiday);
    const char* forms[] = {"form_folder", "form_image", "form_note",
                           "form_web",    "form_other", "form_pdf"};
    for (size_t i = 0; i < std::size(forms); ++i) {
        auto* overview =
            frame->StorageView(StorageViewKind::FolderOverview)->ViewAs<CPictureRigthMainView>();
        QTest::mouseClick(overview->Buttons()[i], Qt::LeftButton);
        Snap(QString::fromLatin1(forms[i]), main);
        auto* form = frame->StorageView(frame->ShownKind())->ViewAs<CCreateFormBase>();
        if (form != nullptr) {
            QTest::mouseClick(form->CancelButton(), Qt::LeftButton);
        }
    }

    doc->SetModifiedFlag(false);
    app.DocManager().CloseAllDocuments();
    return 0;
}
