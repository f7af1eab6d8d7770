// COmbrivaultChildFrame is the passwords window only, after its established name.
// The window of a passwords document: the account tree on the left and, on the right, one
// of seven panes chosen by what the tree has selected.
#pragma once

#include <array>

#include "framework/ChildFrame.h"
#include "passwords/Accounts.h"

class CAccountForm;
class CAddAccountPane;
class CLeftView;
class CMultiViewSplitter;

class COmbrivaultChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    // The right-hand panes, in the order they are added to the splitter.
    enum class Pane { BlankRoot, WebRoot, MailRoot, OtherRoot, WebForm, MailForm, OtherForm };
    static constexpr int kPaneCount = 7;
    static constexpr int kTreeWidth = 180;

    explicit COmbrivaultChildFrame(QWidget* parent = nullptr);
    ~COmbrivaultChildFrame() override;

    static Pane AddPane(AccountKind kind);
    static Pane FormPane(AccountKind kind);

    CLeftView* LeftView() const { return leftView_; }
    CMultiViewSplitter* Splitter() const { return splitter_; }
    QSize ContentMinimumSize() const override;
    // The view of a pane, and showing it (the pane's current view is hidden, keeping its state).
    CView* GetPane(Pane pane) const;
    void ShowPane(Pane pane);
    Pane ShownPane() const;

    CAddAccountPane* AddPaneView(AccountKind kind) const;
    CAccountForm* Form(AccountKind kind) const;

protected:
    bool OnCreateClient(CDocument* document, CDocTemplate* docTemplate) override;

private:
    CMultiViewSplitter* splitter_ = nullptr;
    CLeftView* leftView_ = nullptr;
    std::array<int, kPaneCount> viewIds_{};
};
