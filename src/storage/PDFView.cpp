#include "storage/PDFView.h"

#include <QBoxLayout>
#include <QPushButton>

#include "controls/EditEx.h"
#include "dialogs/PaneLook.h"
#include "framework/LockHost.h"
#include "storage/StorageViewSite.h"

const QString CPDFView::kFilter = QStringLiteral("Adobe Portable Document Format (*.PDF)|*.pdf|");

CPDFView::CPDFView(CDocument* document, CStorageViewSite* site, QWidget* parent)
    : CCreateFormBase(document, site, parent,
                      {"pdfView", "Add Adobe PDF Document", "Enter PDF File Name: ", "Add PDF"}) {
    browse_ = MakeShadedButton(QStringLiteral("Browse"), QIcon(), this, QStringLiteral("browse"));
    ExtraRow()->addWidget(browse_);
    ExtraRow()->addStretch(1);
    connect(browse_, &QPushButton::clicked, this, &CPDFView::Browse);
    SetBrowse(kBrowseCommand, kFilter);
}

void CPDFView::Action(const QString& text) {
    if (Site() != nullptr) {
        Site()->AddItem(text, StorageItemType::Pdf, true);
    }
}
