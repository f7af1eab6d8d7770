#include "storage/StorageViews.h"

#include <QLabel>
#include <QVBoxLayout>

const char* StorageViewName(StorageViewKind kind) {
    static constexpr std::array<const char*, kStorageViewCount> kNames = {
        "CPictureRigthMainView", "CPictureRightImageView", "CCreateFolderView",  "CAddPictureView",
        "CCreateNotepad",        "CRightNotepadView",      "CCreateWebAcc",      "CCreateMailAcc",
        "CCreateOtherAcc",       "CRightWebAccView",       "CRightOtherAccView", "CPDFView",
        "CRightPDFView",
    };
    const auto i = static_cast<size_t>(kind);
    return i < kNames.size() ? kNames[i] : "";
}

CStoragePlaceholderView::CStoragePlaceholderView(StorageViewKind kind, QWidget* parent)
    : CStorageRightView(parent), kind_(kind) {
    setObjectName(QLatin1String(StorageViewName(kind)));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QLatin1String(StorageViewName(kind)), this);
    label->setObjectName(QStringLiteral("name"));
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    layout->addWidget(label);
}

CStorageRightView* CreateStorageView(StorageViewKind kind, QWidget* parent) {
    return new CStoragePlaceholderView(kind, parent);
}
