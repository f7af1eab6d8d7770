#include "browser/SafeBrowserView.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QVBoxLayout>

#include "browser/AddressBar.h"
#include "browser/FindBar.h"
#include "browser/SafeBrowserChildFrame.h"
#include "browser/SafeBrowserDoc.h"
#include "browser/WebEngineLoader.h"
#include "framework/CommandIds.h"
#include "framework/DocTemplate.h"
#include "framework/LockHost.h"

namespace {
// Set while a browser window is made for a page that asked for a new window.
bool g_openingForPage = false;
} // namespace

CSafeBrowserView::CSafeBrowserView(CDocument* document, std::function<QString()> homePage)
    : CView(document), homePage_(std::move(homePage)) {
    setObjectName(QStringLiteral("browserview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    openedForPage_ = g_openingForPage;
    page_.reset(WebEngineLoader::CreatePage(this, &error_));
    if (page_ == nullptr) {
        return;
    }
    QWidget* widget = page_->Widget();
    layout->addWidget(widget);
    setFocusProxy(widget);
    WatchActivity(widget);

    CWebPage::Events events;
    events.navigationComplete = [this](const QString& address) {
        if (CSafeBrowserChildFrame* frame = Frame()) {
            frame->SetAddressText(address);
        }
    };
    events.titleChanged = [this](const QString& title) {
        if (CSafeBrowserDoc* doc = Document()) {
            doc->FollowPage(title, page_->Address());
        }
    };
    events.backEnabled = [this](bool enabled) {
        if (CSafeBrowserChildFrame* frame = Frame()) {
            frame->EnableBack(enabled);
        }
    };
    events.forwardEnabled = [this](bool enabled) {
        if (CSafeBrowserChildFrame* frame = Frame()) {
            frame->EnableForward(enabled);
        }
    };
    events.loadingChanged = [this](bool loading) {
        if (CSafeBrowserChildFrame* frame = Frame()) {
            frame->EnableStop(loading);
        }
    };
    events.newWindow = [this] { return OpenNewWindow(); };
    page_->SetEvents(std::move(events));
}

CSafeBrowserView::~CSafeBrowserView() {
    if (page_ != nullptr) {
        page_->SetEvents({});
    }
}

CSafeBrowserChildFrame* CSafeBrowserView::Frame() const {
    return qobject_cast<CSafeBrowserChildFrame*>(GetParentFrame());
}

CSafeBrowserDoc* CSafeBrowserView::Document() const {
    return dynamic_cast<CSafeBrowserDoc*>(GetDocument());
}

QString CSafeBrowserView::HomePage() const {
    const QString home = homePage_ ? homePage_().trimmed() : QString();
    return home.isEmpty() ? QStringLiteral("about:blank") : home;
}

void CSafeBrowserView::Navigate(const QString& address) {
    if (page_ != nullptr) {
        page_->Navigate(address);
    }
}

void CSafeBrowserView::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (!openedForPage_) {
        Navigate(HomePage());
    }
}

CWebPage* CSafeBrowserView::OpenNewWindow() {
    CDocTemplate* docTemplate =
        GetDocument() != nullptr ? GetDocument()->GetDocTemplate() : nullptr;
    if (docTemplate == nullptr) {
        return nullptr;
    }
    g_openingForPage = true;
    CDocument* doc = docTemplate->OpenDocumentFile(QString(), true);
    g_openingForPage = false;
    auto* view = doc != nullptr && !doc->GetViews().empty()
                     ? qobject_cast<CSafeBrowserView*>(doc->GetViews().front())
                     : nullptr;
    return view != nullptr ? view->Page() : nullptr;
}

bool CSafeBrowserView::OnCommand(int id) {
    if (page_ == nullptr) {
        return false;
    }
    switch (id) {
    case ID_WEB_BACK:
        page_->GoBack();
        return true;
    case ID_WEB_FORWARD:
        page_->GoForward();
        return true;
    case ID_WEB_HOME:
        Navigate(HomePage());
        return true;
    case ID_WEB_REFRESH:
        page_->Refresh();
        return true;
    case ID_WEB_STOP:
        page_->Stop();
        return true;
    case ID_EDIT_FIND:
        if (CSafeBrowserChildFrame* frame = Frame()) {
            frame->ShowFindBar();
        }
        return true;
    case ID_EDIT_REPEAT:
        if (CSafeBrowserChildFrame* frame = Frame()) {
            frame->FindAgain(false);
        }
        return true;
    default:
        return EditCommand(id);
    }
}

QLineEdit* CSafeBrowserView::FocusedField() const {
    CSafeBrowserChildFrame* frame = Frame();
    if (frame == nullptr) {
        return nullptr;
    }
    if (frame->AddressBar()->EditHasFocus()) {
        return frame->AddressBar()->lineEdit();
    }
    QLineEdit* find = frame->FindBar()->Edit();
    return find->hasFocus() ? find : nullptr;
}

bool CSafeBrowserView::EditCommand(int id) {
    QLineEdit* edit = FocusedField();
    CWebPage::Edit pageEdit;
    switch (id) {
    case ID_EDIT_PASTE:
        pageEdit = CWebPage::Edit::Paste;
        if (edit != nullptr) {
            edit->paste();
        }
        break;
    case ID_EDIT_COPY:
        pageEdit = CWebPage::Edit::Copy;
        if (edit != nullptr) {
            edit->copy();
        }
        break;
    case ID_EDIT_CUT:
        pageEdit = CWebPage::Edit::Cut;
        if (edit != nullptr) {
            edit->cut();
        }
        break;
    case ID_EDIT_UNDO:
        pageEdit = CWebPage::Edit::Undo;
        if (edit != nullptr) {
            edit->undo();
        }
        break;
    case ID_EDIT_SELECT_ALL:
        pageEdit = CWebPage::Edit::SelectAll;
        if (edit != nullptr) {
            // Selects from the end back to the start, so the start of the text shows.
            edit->setCursorPosition(edit->text().size());
            edit->cursorBackward(true, edit->text().size());
        }
        break;
    default:
        return false;
    }
    if (edit == nullptr) {
        page_->EditCommand(pageEdit);
    }
    return true;
}

bool CSafeBrowserView::OnUpdateCommand(CCmdUI& ui) {
    if (page_ == nullptr) {
        return false;
    }
    const bool anyFocus = QApplication::focusWidget() != nullptr;
    switch (ui.id) {
    case ID_WEB_BACK:
        ui.Enable(page_->CanGoBack());
        return true;
    case ID_WEB_FORWARD:
        ui.Enable(page_->CanGoForward());
        return true;
    case ID_WEB_HOME:
    case ID_WEB_REFRESH:
        return true;
    case ID_WEB_STOP:
        ui.Enable(page_->IsLoading());
        return true;
    case ID_EDIT_FIND:
        return true;
    case ID_EDIT_REPEAT:
        ui.Enable(Frame() != nullptr && Frame()->CanFindAgain());
        return true;
    case ID_EDIT_PASTE: {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        ui.Enable(anyFocus && data != nullptr && data->hasText());
        return true;
    }
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
    case ID_EDIT_UNDO:
    case ID_EDIT_SELECT_ALL:
        ui.Enable(anyFocus);
        return true;
    default:
        return false;
    }
}

void CSafeBrowserView::WatchActivity(QObject* object) {
    object->installEventFilter(this);
    for (QObject* child : object->children()) {
        if (child->isWidgetType()) {
            WatchActivity(child);
        }
    }
}

bool CSafeBrowserView::eventFilter(QObject* watched, QEvent* event) {
    // Filters on the page's own widgets run after the program's input filters, so input the
    // screen lock swallows never counts.
    switch (event->type()) {
    case QEvent::ChildAdded: {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child != nullptr && child->isWidgetType()) {
            WatchActivity(child);
        }
        break;
    }
    case QEvent::KeyPress: {
        ResetIdleTimer();
        const auto* key = static_cast<QKeyEvent*>(event);
        // The page takes every key before the window's shortcuts see it; Ctrl+F4 still closes
        // the window, as in every other document window. The window goes once this event is
        // done with.
        if (key->key() == Qt::Key_F4 && key->modifiers() == Qt::ControlModifier) {
            if (QPointer<CSafeBrowserChildFrame> frame = Frame()) {
                QMetaObject::invokeMethod(
                    frame,
                    [frame] {
                        if (frame != nullptr) {
                            frame->close();
                        }
                    },
                    Qt::QueuedConnection);
                return true;
            }
        }
        break;
    }
    case QEvent::Wheel:
    case QEvent::MouseMove:
        ResetIdleTimer();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton) {
            ResetIdleTimer();
        }
        break;
    }
    default:
        break;
    }
    return CView::eventFilter(watched, event);
}
