#include "storage/RightMainView.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>

#include "controls/ShadeButton.h"
#include "dialogs/PaneLook.h"
#include "framework/LockHost.h"
#include "storage/CreateFormBase.h"
#include "storage/RightViewDrops.h"
#include "storage/StorageViewSite.h"

namespace {
struct OverviewButton {
    const char* objectName;
    const char* caption;
    const char* tooltip;
    QStyle::StandardPixmap icon;
    StorageForm form;
};
const OverviewButton kButtons[] = {
    {"newFolder", "New Folder...", "Create a new folder in a storage...",
     QStyle::SP_FileDialogNewFolder, StorageForm::NewFolder},
    {"addImage", "Add Image File...", "Add an image from a file on a disk...",
     QStyle::SP_DesktopIcon, StorageForm::AddImage},
    {"newNote", "New Text Document...", "Create notepad text file...", QStyle::SP_FileIcon,
     StorageForm::NewNote},
    {"newWebAccount", "New Web Account...", "Create Web Account data...", QStyle::SP_DriveNetIcon,
     StorageForm::NewWebAccount},
    {"newOtherAccount", "New Other Account...", "Create new Other Account data...",
     QStyle::SP_DialogApplyButton, StorageForm::NewOtherAccount},
    {"addPdf", "Add PDF File...", "Add a PDF document from a file on a disk...",
     QStyle::SP_FileDialogDetailedView, StorageForm::AddPdf},
};
} // namespace

CPictureRigthMainView::CPictureRigthMainView(CDocument* document, CStorageViewSite* site,
                                             QWidget* parent)
    : CView(document, parent), site_(site) {
    setObjectName(QStringLiteral("storageOverview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);

    location_ = AddLocationLine(layout, this);
    layout->addSpacing(10);

    auto* grid = new QGridLayout;
    grid->setSpacing(10);
    int slot = 0;
    for (const OverviewButton& b : kButtons) {
        auto* button = new CShadeButtonST(QString::fromLatin1(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.objectName));
        button->setToolTip(QString::fromLatin1(b.tooltip));
        button->setIcon(style()->standardIcon(b.icon));
        button->setIconSize(QSize(32, 32));
        button->setMinimumSize(190, 48);
        grid->addWidget(button, slot / 2, slot % 2);
        ++slot;
        const StorageForm form = b.form;
        connect(button, &QPushButton::clicked, this, [this, form] { Show(form); });
        buttons_.push_back(button);
    }
    layout->addLayout(grid);
    layout->addStretch(1);
    new StorageDropTarget(this, site_);
}

void CPictureRigthMainView::SetLocation(const QString& path) {
    path_ = path;
    location_->setText(path);
}

void CPictureRigthMainView::Show(StorageForm form) {
    ResetIdleTimer();
    if (site_ != nullptr) {
        site_->ShowForm(form, path_);
    }
}
