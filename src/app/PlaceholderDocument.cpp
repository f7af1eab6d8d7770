#include "app/PlaceholderDocument.h"

#include <QLabel>
#include <QVBoxLayout>

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
