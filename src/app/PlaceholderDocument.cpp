#include "app/PlaceholderDocument.h"

#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include "dialogs/MessageDialogs.h"

CPlaceholderView::CPlaceholderView(CDocument* document, const QString& kind)
    : CView(document), kind_(kind) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    label_ = new QLabel(this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setForegroundRole(QPalette::PlaceholderText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    setFocusPolicy(Qt::StrongFocus);
}

void CPlaceholderView::OnUpdate(CView* sender) {
    const CDocument* doc = GetDocument();
    const QString path = doc != nullptr ? doc->GetPathName() : QString();
    label_->setText(path.isEmpty() ? kind_ : kind_ + QLatin1Char('\n') + path);
}

bool CPlaceholderDoc::OnOpenDocument(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        CErrorDlg(QStringLiteral("Cannot open the file %1.").arg(path)).DoModal();
        return false;
    }
    return CDocument::OnOpenDocument(path);
}
