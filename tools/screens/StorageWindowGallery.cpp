// Not a test: writes a storage holding a photo, a three-page PDF, a long note and both account
// kinds, opens it in the real program at the window's opening size, goes through the tree by
// mouse and by keyboard and through the overview's forms, and writes a picture of each step
// into the folder given as its argument. Run it under a real (virtual) display.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
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
#include "storage/ItemXml.h"
#include "storage/PictureChildFrame.h"
#include "storage/PictureDoc.h"
#include "storage/PictureLeftView.h"
#include "storage/RightMainView.h"
#include "storage/StorageAdd.h"
#include "storage/StorageSave.h"
#include "support/DocumentDialogs.h"
#include "support/ScratchFolders.h"

namespace {

QString g_dir;
int g_step = 0;

void Snap(const QString& name, QWidget* window) {
    ::SnapScreen(g_dir, QStringLiteral("%1_%2").arg(++g_step, 2, 10, QLatin1Char('0')).arg(name),
                 window);
}

// A photo-like picture: a sky gradient, a sun, hills, and fine detail that shows scaling.
QByteArray Photo(int width, int height) {
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
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

QByteArray Pdf(int pages) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            writer.newPage();
        }
        QFont font = painter.font();
        font.setPointSize(28);
        painter.setFont(font);
        painter.drawText(60, 100, QStringLiteral("Tax return 2008 - page %1").arg(page));
        font.setPointSize(11);
        painter.setFont(font);
        for (int line = 0; line < 40; ++line) {
            painter.drawText(
                60, 150 + line * 16,
                QStringLiteral("Line %1: income, expenses and the sums below them.").arg(line + 1));
        }
    }
    painter.end();
    return bytes;
}

std::unique_ptr<StorageItem> Named(StorageItemType type, const std::string& name,
                                   std::string text = {}) {
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(type);
    item->name = name;
    item->text = std::move(text);
    item->size = static_cast<int64_t>(item->text.size());
    return item;
}

std::unique_ptr<StorageItem> FromBytes(const std::string& name, const QByteArray& bytes) {
    return MakeItemFromFile(name, Bytes(bytes.begin(), bytes.end()));
}

// The storage the pictures show, written by the storage layer.
bool WriteStorage(const std::string& path, const std::string& password) {
    StorageItemTable table;
    StorageTree tree;
    const auto add = [&](std::unique_ptr<StorageItem> item, int32_t parent) {
        const int32_t index = table.Add(std::move(item));
        tree.push_back({index, parent});
        return index;
    };
    auto holiday = Named(StorageItemType::Folder, "Holiday");
    holiday->expanded = 1;
    const int32_t photos = add(std::move(holiday), kRootParent);
    add(FromBytes("harbour.jpg", Photo(3000, 2000)), photos);
    add(FromBytes("beach.jpg", Photo(800, 600)), photos);
    auto papers = Named(StorageItemType::Folder, "Papers");
    papers->expanded = 1;
    const int32_t docs = add(std::move(papers), kRootParent);
    add(FromBytes("tax return 2008.pdf", Pdf(3)), docs);
    std::string note;
    for (int i = 1; i <= 120; ++i) {
        note += "Line " + std::to_string(i) +
                " of the diary: a long note scrolls, and its lines keep their fixed pitch.\r\n";
    }
    add(Named(StorageItemType::Text, "diary.txt", note), docs);
    ItemAccount bank;
    bank.name = "Bank";
    bank.address = "https://bank.example/login";
    bank.userId = "ann.example";
    bank.password = "correct horse";
    bank.notes = "Security question: first pet.\r\nCard ends in 4000.";
    add(Named(StorageItemType::WebAccount, "Bank", WriteItemXml(StorageItemType::WebAccount, bank)),
        kRootParent);
    ItemAccount door;
    door.name = "Front door";
    door.userId = "Keypad by the garage";
    door.password = "4711";
    door.notes = "Change it every spring.";
    add(Named(StorageItemType::OtherAccount, "Front door",
              WriteItemXml(StorageItemType::OtherAccount, door)),
        kRootParent);
    return SaveStorage(path, password, table, tree).ok;
}

QTreeWidgetItem* Find(QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label) {
            return parent->child(i);
        }
    }
    return nullptr;
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
    if (!app.InitInstance({QStringLiteral("/dde")})) {
        return 1;
    }
    CMainFrame* main = app.MainFrame();
    main->move(0, 0);
    main->show();

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
    left->WaitForLoad();
    QTreeWidget* tree = left->Tree();
    QTreeWidgetItem* root = left->RootItem();
    Snap(QStringLiteral("opened"), main);

    // By mouse.
    QTreeWidgetItem* holiday = Find(root, QStringLiteral("Holiday"));
    QTreeWidgetItem* papers = Find(root, QStringLiteral("Papers"));
    Click(tree, holiday);
    Snap(QStringLiteral("folder_overview"), main);
    Click(tree, Find(holiday, QStringLiteral("harbour.jpg")));
    Snap(QStringLiteral("photo_fitted"), main);
    Click(tree, Find(papers, QStringLiteral("tax return 2008.pdf")));
    Snap(QStringLiteral("pdf"), main);
    Click(tree, Find(papers, QStringLiteral("diary.txt")));
    Snap(QStringLiteral("long_note"), main);
    Click(tree, Find(root, QStringLiteral("Bank")));
    Snap(QStringLiteral("web_account"), main);
    Click(tree, Find(root, QStringLiteral("Front door")));
    Snap(QStringLiteral("other_account"), main);

    // By keyboard, from the root down.
    Click(tree, root);
    for (const char* name : {"key_down_1", "key_down_2", "key_down_3"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        Snap(QString::fromLatin1(name), main);
    }

    // Zoomed photo, through the main toolbar's commands.
    Click(tree, Find(holiday, QStringLiteral("harbour.jpg")));
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
