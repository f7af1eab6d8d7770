#include "browser/SafeBrowserChildFrame.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/CodePage.h"
#include "base/ProductInfo.h"
#include "browser/AddressBar.h"
#include "browser/FindBar.h"
#include "browser/SafeBrowserView.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/MessageBox.h"

namespace {

// The history file holds the program's code page; the windows work in Unicode.
std::string ToCodePage(const QString& text) {
    return CodePage::Program()->FromUtf8(text.toStdString());
}

QString FromCodePage(const std::string& text) {
    return QString::fromStdString(CodePage::Program()->ToUtf8(text));
}

struct NavigationButton {
    int id;
    const char* label;
    const char* prompt;
    const char* icon;
};

constexpr NavigationButton kButtons[] = {
    {ID_WEB_BACK, "Back", "Go to the previous page...", "web_back"},
    {ID_WEB_FORWARD, "Forward", "Go to the next web page...", "web_forward"},
    {ID_WEB_STOP, "Stop", "Stop loading current page...", "web_stop"},
    {ID_WEB_REFRESH, "Refresh", "Refresh the current page...", "web_refresh"},
    {ID_WEB_HOME, "Home", "Navigate to home page...", "web_home"},
};

} // namespace

CSafeBrowserChildFrame::CSafeBrowserChildFrame(std::string historyFile)
    : entryIcon_(QStringLiteral(":/icons/web.svg")), historyFile_(std::move(historyFile)) {
    setObjectName(QStringLiteral("browserframe"));
}

CSafeBrowserChildFrame::~CSafeBrowserChildFrame() = default;

bool CSafeBrowserChildFrame::OnCreateClient(CDocument* document, CDocTemplate* docTemplate) {
    if (docTemplate == nullptr) {
        return false;
    }
    auto* view = qobject_cast<CSafeBrowserView*>(docTemplate->CreateView(document));
    if (view == nullptr || !view->HasPage()) {
        const QString reason = view != nullptr ? view->Error() : QString();
        delete view;
        ShowMessageBox(
            nullptr, QStringLiteral("The web browser could not be started.\n%1").arg(reason),
            QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }

    auto* client = new QWidget;
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // One row: the address bar with its label, then the navigation buttons.
    auto* bar = new QWidget(client);
    bar->setObjectName(QStringLiteral("browserbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 2, 2);
    auto* label = new QLabel(QStringLiteral("Address: "), bar);
    addressBar_ = new CAddressBar(bar);
    addressBar_->SetEntryIcon(entryIcon_);
    label->setBuddy(addressBar_);
    row->addWidget(label);
    row->addWidget(addressBar_, 1);
    CreateToolBar();
    toolBar_->setParent(bar);
    row->addWidget(toolBar_);

    findBar_ = new CFindBar(client);
    column->addWidget(bar);
    column->addWidget(view, 1);
    column->addWidget(findBar_);
    setWidget(client);
    SetActiveView(view);
    connect(findBar_, &CFindBar::FindRequested, this, &CSafeBrowserChildFrame::FindAgain);
    connect(findBar_, &CFindBar::Closed, this, [this] {
        if (CSafeBrowserView* page = BrowserView()) {
            if (page->Page() != nullptr) {
                page->Page()->Find(QString(), false, false, {});
            }
            page->setFocus();
        }
    });

    connect(addressBar_, &CAddressBar::Entered, this,
            &CSafeBrowserChildFrame::NavigateToTypedAddress);
    connect(addressBar_, &CAddressBar::Chosen, this,
            &CSafeBrowserChildFrame::NavigateToHistoryEntry);
    LoadHistory();
    return true;
}

void CSafeBrowserChildFrame::CreateToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("Web"));
    toolBar_->setObjectName(QStringLiteral("browsertoolbar"));
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(30, 20));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    for (const NavigationButton& b : kButtons) {
        auto* action =
            toolBar_->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(b.icon))),
                                QString::fromLatin1(b.label));
        action->setData(b.id);
        action->setStatusTip(QString::fromLatin1(b.prompt));
        action->setToolTip(QString::fromLatin1(b.label));
        const int id = b.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (CSafeBrowserView* view = BrowserView()) {
                view->OnCommand(id);
            }
        });
        if (auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action))) {
            button->setObjectName(QStringLiteral("button%1").arg(id));
            button->setMinimumWidth(50);
            button->setMaximumWidth(150);
        }
        if (id == ID_WEB_BACK) {
            back_ = action;
        } else if (id == ID_WEB_FORWARD) {
            forward_ = action;
        } else if (id == ID_WEB_STOP) {
            stop_ = action;
        }
    }
    // Nothing to go back or forward to, nor to stop, before the first page.
    EnableBack(false);
    EnableForward(false);
    EnableStop(false);
}

CSafeBrowserView* CSafeBrowserChildFrame::BrowserView() const {
    return qobject_cast<CSafeBrowserView*>(GetActiveView());
}

void CSafeBrowserChildFrame::InitialUpdateFrame(bool makeVisible) {
    CMDIChildWnd::InitialUpdateFrame(false);
    if (makeVisible) {
        showMaximized();
        if (CSafeBrowserView* view = BrowserView()) {
            view->setFocus();
        }
    }
}

void CSafeBrowserChildFrame::SetAddressText(const QString& address) {
    addressBar_->SetText(HiddenFromAddressBar(address.toStdString()) ? QString() : address);
}

void CSafeBrowserChildFrame::EnableBack(bool enabled) {
    back_->setEnabled(enabled);
}

void CSafeBrowserChildFrame::EnableForward(bool enabled) {
    forward_->setEnabled(enabled);
}

void CSafeBrowserChildFrame::EnableStop(bool enabled) {
    stop_->setEnabled(enabled);
}

void CSafeBrowserChildFrame::ShowFindBar() {
    findBar_->Open();
}

bool CSafeBrowserChildFrame::CanFindAgain() const {
    return !findBar_->Text().isEmpty();
}

void CSafeBrowserChildFrame::FindAgain(bool backward) {
    CSafeBrowserView* view = BrowserView();
    if (view == nullptr || view->Page() == nullptr) {
        return;
    }
    // A search the next one overtook is answered with no matches; only the latest answer
    // is shown.
    const int search = ++findSearches_;
    const QPointer<CSafeBrowserChildFrame> self(this);
    view->Page()->Find(findBar_->Text(), backward, findBar_->CaseSensitive(),
                       [self, search](int current, int count) {
                           if (self != nullptr && search == self->findSearches_) {
                               self->findBar_->ShowResult(current, count);
                           }
                       });
}

void CSafeBrowserChildFrame::LoadHistory() {
    history_.Load(historyFile_);
    const QString typed = addressBar_->Text();
    addressBar_->clear();
    for (const std::string& entry : history_.Entries()) {
        addressBar_->addItem(entryIcon_, FromCodePage(entry));
    }
    addressBar_->setCurrentIndex(-1);
    addressBar_->SetText(typed);
}

void CSafeBrowserChildFrame::SaveHistory() {
    // A history that cannot be written is simply not updated.
    history_.Save(historyFile_);
}

void CSafeBrowserChildFrame::ShowChange(const BrowserHistory::Change& change) {
    // Changing the list must not change what the edit field shows.
    const QString shown = addressBar_->Text();
    const bool blocked = addressBar_->blockSignals(true);
    if (change.removed >= 0) {
        addressBar_->removeItem(static_cast<int>(change.removed));
    }
    addressBar_->insertItem(0, entryIcon_, FromCodePage(history_.Entries().front()));
    addressBar_->setCurrentIndex(-1);
    addressBar_->blockSignals(blocked);
    addressBar_->SetText(shown);
}

void CSafeBrowserChildFrame::AddToHistory(const QString& address) {
    ShowChange(history_.AddChosen(ToCodePage(address)));
    SaveHistory();
}

void CSafeBrowserChildFrame::NavigateToTypedAddress() {
    const QString typed = addressBar_->Text();
    // Enter on an empty field goes nowhere and adds nothing.
    if (typed.trimmed().isEmpty()) {
        return;
    }
    bool schemeAdded = false;
    const std::string form = HistoryForm(ToCodePage(typed), &schemeAdded);
    if (schemeAdded) {
        SetAddressText(FromCodePage(form));
    }
    ShowChange(history_.AddTyped(form));
    SaveHistory();
    if (CSafeBrowserView* view = BrowserView()) {
        view->Navigate(typed);
    }
}

void CSafeBrowserChildFrame::NavigateToHistoryEntry(int index) {
    if (index < 0 || index >= addressBar_->count()) {
        return;
    }
    const QString entry = addressBar_->itemText(index);
    CSafeBrowserView* view = BrowserView();
    if (view != nullptr) {
        view->Navigate(entry);
    }
    SetAddressText(entry);
    if (view != nullptr) {
        view->setFocus();
    }
    AddToHistory(entry);
}
