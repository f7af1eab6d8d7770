#include "framework/ChildFrame.h"

#include <QApplication>
#include <QCloseEvent>

#include "framework/DocTemplate.h"
#include "framework/Document.h"

CMDIChildWnd::CMDIChildWnd(QWidget* parent) : QMdiSubWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { FollowFocus(now); });
}

CMDIChildWnd::~CMDIChildWnd() = default;

bool CMDIChildWnd::Create(CDocument* document, CDocTemplate* docTemplate) {
    document_ = document;
    if (!OnCreateClient(document, docTemplate)) {
        return false;
    }
    if (docTemplate != nullptr && !docTemplate->GetIcon().isNull()) {
        setWindowIcon(docTemplate->GetIcon());
    }
    if (document_ != nullptr) {
        setWindowTitle(document_->GetTitle());
    }
    return true;
}

bool CMDIChildWnd::OnCreateClient(CDocument* document, CDocTemplate* docTemplate) {
    if (docTemplate == nullptr) {
        return false;
    }
    CView* view = docTemplate->CreateView(document);
    if (view == nullptr) {
        return false;
    }
    setWidget(view);
    SetActiveView(view);
    return true;
}

void CMDIChildWnd::InitialUpdateFrame(bool makeVisible) {
    if (document_ != nullptr) {
        setWindowTitle(document_->GetTitle());
        for (CView* view : document_->GetViews()) {
            if (view->GetParentFrame() == this) {
                view->OnInitialUpdate();
            }
        }
    }
    if (makeVisible) {
        show();
        if (CView* view = GetActiveView()) {
            view->setFocus();
        }
    }
}

CView* CMDIChildWnd::GetActiveView() const {
    return activeView_.data();
}

void CMDIChildWnd::SetActiveView(CView* view) {
    activeView_ = view;
}

void CMDIChildWnd::FollowFocus(QWidget* now) {
    for (QWidget* w = now; w != nullptr && w != this; w = w->parentWidget()) {
        if (auto* view = qobject_cast<CView*>(w)) {
            if (view->GetParentFrame() == this) {
                activeView_ = view;
            }
            return;
        }
    }
}

void CMDIChildWnd::CloseFromDocument() {
    closingFromDocument_ = true;
    document_ = nullptr;
    close();
}

void CMDIChildWnd::closeEvent(QCloseEvent* event) {
    if (!closingFromDocument_ && document_ != nullptr) {
        if (!document_->CanCloseFrame(this)) {
            event->ignore();
            return;
        }
        CDocument* document = document_;
        if (document->GetFrames().size() <= 1) {
            // Closes this frame (through CloseFromDocument) and destroys the document.
            document->OnCloseDocument();
        } else {
            for (CView* view : std::vector<CView*>(document->GetViews())) {
                if (view->GetParentFrame() == this) {
                    document->RemoveView(view);
                }
            }
            document_ = nullptr;
        }
    }
    QMdiSubWindow::closeEvent(event);
}

void CMDIChildWnd::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        FitContents();
    }
}

void CMDIChildWnd::FitContents() {
    // The contents' sizes are exact only once they are polished, as they are when first shown;
    // the size the frame was given before may fall short and make a pane scroll.
    const QWidget* area = parentWidget();
    if (widget() == nullptr || area == nullptr || isMaximized() || isMinimized()) {
        return;
    }
    QSize room = (area->size() - QSize(x(), y())).expandedTo(QSize(0, 0));
    if (room.width() < minimumSizeHint().width() || room.height() < minimumSizeHint().height()) {
        move(0, 0);
        room = area->size();
    }
    const QSize decoration = size() - widget()->size();
    const QSize fitted = size().expandedTo(ContentMinimumSize() + decoration).boundedTo(room);
    if (fitted != size()) {
        resize(fitted);
    }
}

QSize CMDIChildWnd::ContentMinimumSize() const {
    return widget() != nullptr ? widget()->minimumSizeHint() : QSize();
}
