#include "storage/AddPictureView.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

#include "controls/EditEx.h"
#include "dialogs/PaneLook.h"
#include "framework/LockHost.h"
#include "storage/StorageViewSite.h"

const QString CAddPictureView::kFilter =
    QStringLiteral("Image Files (*.jpg;*.bmp;*.jpeg;*.pcx;*.tif;*.png;*.tga;*.psd;*.gif;*.ico)|"
                   "*.jpg;*.bmp;*.jpeg;*.pcx;*.tif;*.png;*.tga;*.psd;*.gif;*.ico|"
                   "Joint Photographic Experts Group (*.JPG;*.JPEG)|*.jpg;*.jpeg|"
                   "Bitmap Files (*.BMP)|*.bmp|"
                   "PC Paintbrush Exchange (*.PCX)|*.pcx|"
                   "Tagged Image File Format (*.TIF;*.TIFF)|*.tif;*.tiff|"
                   "Portable Network Graphics (*.PNG)|*.png|"
                   "TGA File Format (*.TGA)|*.tga|"
                   "Photoshop Format (*.PSD)|*.psd|"
                   "Graphics Interchange Format (*.GIF)|*.gif|"
                   "Icon Image File Format (*.ICO)|*.ico|");

CAddPictureView::CAddPictureView(CDocument* document, CStorageViewSite* site, QWidget* parent)
    : CCreateFormBase(document, site, parent,
                      {"addPictureView", "Add New Image", "Enter Image File Name: ", "Add Image"}) {
    browse_ = MakeShadedButton(QStringLiteral("Browse"), QIcon(), this, QStringLiteral("browse"));
    paste_ = MakeShadedButton(QStringLiteral("Paste Image*"), QIcon(), this,
                              QStringLiteral("pasteImage"));
    ExtraRow()->addWidget(browse_);
    ExtraRow()->addWidget(paste_);
    ExtraRow()->addStretch(1);
    auto* note = new QLabel(
        QStringLiteral("* NOTE: You may paste an image into a storage from a Clipboard. You may "
                       "enter a name for the image now, or you may name it later..."),
        this);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    static_cast<QBoxLayout*>(layout())->insertWidget(layout()->count() - 1, note);
    connect(browse_, &QPushButton::clicked, this, &CAddPictureView::Browse);
    connect(paste_, &QPushButton::clicked, this, &CAddPictureView::PasteImage);
    connect(&timer_, &QTimer::timeout, this, &CAddPictureView::UpdatePasteButton);
    timer_.start(kClipboardCheckMs);
    UpdatePasteButton();
    SetBrowse(kBrowseCommand, kFilter);
}

void CAddPictureView::UpdatePasteButton() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    paste_->setEnabled(data != nullptr && data->hasImage());
}

void CAddPictureView::PasteImage() {
    ResetIdleTimer();
    const QString text = Edit()->Text();
    if (Site() != nullptr) {
        Site()->AddPastedImage(text.isEmpty() ? QStringLiteral("Untitled Image") : text);
    }
}

void CAddPictureView::Action(const QString& text) {
    if (Site() != nullptr) {
        Site()->AddImageFile(text, true);
    }
}
