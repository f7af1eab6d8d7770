// Pictures of the storage views and forms with real content, for looking at them (not run by
// ctest). Usage: storage_views_gallery OUTDIR [PHOTO.jpg]
#include <fstream>
#include <iterator>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QThread>

#include "controls/EditEx.h"
#include "storage/AddPictureView.h"
#include "storage/CreateFolderView.h"
#include "storage/CreateNotepad.h"
#include "storage/CreateOtherAcc.h"
#include "storage/CreateWebAcc.h"
#include "storage/ItemXml.h"
#include "storage/PDFView.h"
#include "storage/RightImageView.h"
#include "storage/RightMainView.h"
#include "storage/RightNotepadView.h"
#include "storage/RightOtherAccView.h"
#include "storage/RightPDFView.h"
#include "storage/RightWebAccView.h"
#include "storage/ViewTestSite.h"
#include "support/ScratchFolders.h"

namespace {

QString g_dir;

void Shot(QWidget& widget, const char* name) {
    widget.resize(640, 480);
    widget.show();
    QApplication::processEvents();
    widget.grab().save(g_dir + QStringLiteral("/storage_") + QString::fromLatin1(name) +
                       QStringLiteral(".png"));
    widget.hide();
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes MultiPagePdf() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        for (int page = 0; page < 4; ++page) {
            if (page > 0) {
                writer.newPage();
            }
            painter.setFont(QFont(QStringLiteral("Serif"), 28, QFont::Bold));
            painter.drawText(QPoint(60, 90),
                             QStringLiteral("Quarterly report, part %1").arg(page + 1));
            painter.setFont(QFont(QStringLiteral("Serif"), 12));
            for (int line = 0; line < 30; ++line) {
                painter.drawText(
                    QPoint(60, 140 + line * 20),
                    QStringLiteral("Line %1 of the text on page %2: figures and notes.")
                        .arg(line + 1)
                        .arg(page + 1));
            }
            painter.fillRect(QRect(360, 700, 160, 60), QColor(40, 90, 160));
        }
    }
    const QByteArray bytes = buffer.data();
    return Bytes(bytes.begin(), bytes.end());
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ombrivault);
    Q_INIT_RESOURCE(passwords);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    ViewTestSite site;
    const QString where = QStringLiteral("$:\\Family\\Holidays 2025\\");

    CPictureRigthMainView overview(&site.document, &site);
    overview.SetLocation(where);
    Shot(overview, "overview");

    if (argc > 2) {
        auto item = MakeItemFromFile(argv[2], ReadAll(argv[2]));
        item->fitToView = 1;
        const int32_t photo = site.Add(std::move(item));
        CPictureRightImageView image(&site.document, &site);
        image.resize(640, 480);
        image.ShowImage(photo);
        Shot(image, "image_fit");
        image.ActualSize();
        image.ZoomIn();
        Shot(image, "image_zoom2");
        image.ZoomOut();
        image.ZoomOut();
        Shot(image, "image_half");
    }
    auto broken = std::make_unique<StorageItem>();
    broken->type = static_cast<int32_t>(StorageItemType::Image);
    broken->imageType = Psd;
    broken->data = Bytes{'8', 'B', 'P', 'S'};
    const int32_t brokenIndex = site.Add(std::move(broken));
    CPictureRightImageView placeholder(&site.document, &site);
    placeholder.ShowImage(brokenIndex);
    Shot(placeholder, "image_placeholder");

    auto note = std::make_unique<StorageItem>();
    note->type = static_cast<int32_t>(StorageItemType::Text);
    std::string text;
    for (int i = 1; i <= 60; ++i) {
        text += "Line " + std::to_string(i) + ": the long note goes on, with columns\t" +
                std::to_string(i * 17) + "\r\n";
    }
    note->text = text;
    const int32_t noteIndex = site.Add(std::move(note));
    CRightNotepadView notepad(&site.document, &site);
    notepad.ShowNote(noteIndex);
    Shot(notepad, "note");

    ItemAccount web;
    web.name = "Bank";
    web.address = "https://bank.example/login";
    web.userId = "jane.doe";
    web.password = "correct horse";
    web.notes = "Security question: first pet\r\nAnswer: Rex";
    auto webItem = std::make_unique<StorageItem>();
    webItem->type = static_cast<int32_t>(StorageItemType::WebAccount);
    webItem->text = WriteItemXml(StorageItemType::WebAccount, web);
    const int32_t webIndex = site.Add(std::move(webItem));
    CRightWebAccView webView(&site.document, &site);
    webView.ShowAccount(webIndex, QStringLiteral("Bank"), where);
    Shot(webView, "web_account");

    ItemAccount other;
    other.userId = "VISA 4000 1234 5678 9010";
    other.password = "4711";
    other.notes = "Valid until 08/29";
    auto otherItem = std::make_unique<StorageItem>();
    otherItem->type = static_cast<int32_t>(StorageItemType::OtherAccount);
    otherItem->text = WriteItemXml(StorageItemType::OtherAccount, other);
    const int32_t otherIndex = site.Add(std::move(otherItem));
    CRightOtherAccView otherView(&site.document, &site);
    otherView.ShowAccount(otherIndex, QStringLiteral("Credit card"), where);
    Shot(otherView, "other_account");

    auto pdf = std::make_unique<StorageItem>();
    pdf->type = static_cast<int32_t>(StorageItemType::Pdf);
    pdf->data = MultiPagePdf();
    const int32_t pdfIndex = site.Add(std::move(pdf));
    CRightPDFView pdfView(&site.document, &site);
    pdfView.resize(640, 480);
    pdfView.ShowPdf(pdfIndex);
    pdfView.show();
    // The pages render on a thread of their own.
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(50);
    }
    Shot(pdfView, "pdf");
    auto junk = std::make_unique<StorageItem>();
    junk->type = static_cast<int32_t>(StorageItemType::Pdf);
    junk->data = Bytes{'n', 'o', 'p', 'e'};
    const int32_t junkIndex = site.Add(std::move(junk));
    pdfView.ShowPdf(junkIndex);
    Shot(pdfView, "pdf_placeholder");

    CCreateFolderView folder(&site.document, &site);
    CCreateNotepad newNote(&site.document, &site);
    CCreateWebAcc newWeb(&site.document, &site);
    CCreateOtherAcc newOther(&site.document, &site);
    CAddPictureView addPicture(&site.document, &site);
    CPDFView addPdf(&site.document, &site);
    const std::pair<CCreateFormBase*, const char*> forms[] = {
        {&folder, "form_folder"},  {&newNote, "form_note"},       {&newWeb, "form_web"},
        {&newOther, "form_other"}, {&addPicture, "form_picture"}, {&addPdf, "form_pdf"},
    };
    for (const auto& [form, name] : forms) {
        form->SetLocation(where);
        form->Edit()->SetText(QStringLiteral("Summer"));
        Shot(*form, name);
    }
    return 0;
}
