#include "passwords/OmbrivaultChildFrame.h"

#include "controls/MultiViewSplitter.h"
#include "passwords/AccountForms.h"
#include "passwords/LeftView.h"
#include "passwords/RootPanes.h"

COmbrivaultChildFrame::COmbrivaultChildFrame(QWidget* parent) : CMDIChildWnd(parent) {}

COmbrivaultChildFrame::~COmbrivaultChildFrame() = default;

COmbrivaultChildFrame::Pane COmbrivaultChildFrame::AddPane(AccountKind kind) {
    return static_cast<Pane>(static_cast<int>(Pane::WebRoot) + static_cast<int>(kind));
}

COmbrivaultChildFrame::Pane COmbrivaultChildFrame::FormPane(AccountKind kind) {
    return static_cast<Pane>(static_cast<int>(Pane::WebForm) + static_cast<int>(kind));
}

bool COmbrivaultChildFrame::OnCreateClient(CDocument* document, CDocTemplate* docTemplate) {
    splitter_ = new CMultiViewSplitter(1, 2, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    leftView_ = new CLeftView(document);
    leftView_->resize(10, 10);
    splitter_->SetPaneWidget(0, 0, leftView_);

    using Factory = CView* (*)(CDocument*, QWidget*);
    const Factory factories[kPaneCount] = {
        [](CDocument* d, QWidget* p) -> CView* { return new BlankRootView(d, p); },
        [](CDocument* d, QWidget* p) -> CView* { return new WebAccountsRootView(d, p); },
        [](CDocument* d, QWidget* p) -> CView* { return new EMailAccountsRootView(d, p); },
        [](CDocument* d, QWidget* p) -> CView* { return new OtherAccountsRootView(d, p); },
        [](CDocument* d, QWidget* p) -> CView* { return new CWebAccView(d, p); },
        [](CDocument* d, QWidget* p) -> CView* { return new CMailAccView(d, p); },
        [](CDocument* d, QWidget* p) -> CView* { return new COtherAccView(d, p); },
    };
    for (int i = 0; i < kPaneCount; ++i) {
        viewIds_[i] = splitter_->AddView(
            0, 1, [&, i](QWidget* pane) -> QWidget* { return factories[i](document, pane); });
        if (viewIds_[i] < 0) {
            return false;
        }
    }
    ShowPane(Pane::BlankRoot);
    setWidget(splitter_);
    splitter_->SetColumnWidth(0, kTreeWidth, 0);
    SetActiveView(leftView_);
    return true;
}

QSize COmbrivaultChildFrame::ContentMinimumSize() const {
    return splitter_ != nullptr ? splitter_->ContentSize() : CMDIChildWnd::ContentMinimumSize();
}

CView* COmbrivaultChildFrame::GetPane(Pane pane) const {
    return splitter_ != nullptr
               ? static_cast<CView*>(splitter_->GetView(viewIds_[static_cast<int>(pane)]))
               : nullptr;
}

void COmbrivaultChildFrame::ShowPane(Pane pane) {
    if (splitter_ != nullptr) {
        splitter_->ShowView(viewIds_[static_cast<int>(pane)]);
    }
}

COmbrivaultChildFrame::Pane COmbrivaultChildFrame::ShownPane() const {
    const int shown = splitter_ != nullptr ? splitter_->ShownViewId(0, 1) : -1;
    for (int i = 0; i < kPaneCount; ++i) {
        if (viewIds_[i] == shown) {
            return static_cast<Pane>(i);
        }
    }
    return Pane::BlankRoot;
}

CAddAccountPane* COmbrivaultChildFrame::AddPaneView(AccountKind kind) const {
    return static_cast<CAddAccountPane*>(GetPane(AddPane(kind)));
}

CAccountForm* COmbrivaultChildFrame::Form(AccountKind kind) const {
    return static_cast<CAccountForm*>(GetPane(FormPane(kind)));
}
