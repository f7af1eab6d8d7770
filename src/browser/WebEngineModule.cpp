// The web engine module: CWebPage on Qt WebEngine. Loaded by the program on demand, so that
// the engine's libraries and processes exist only once a browser window has been opened.
#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineFindTextResult>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "browser/WebPage.h"

namespace {

// One profile for every page of the process. Without a storage name it is off the record:
// cookies, cache, local storage and visited links stay in memory.
QWebEngineProfile* SharedProfile() {
    static QPointer<QWebEngineProfile> profile;
    if (profile == nullptr) {
        // Owned by the application, so it goes after every page that uses it.
        profile = new QWebEngineProfile(QCoreApplication::instance());
        profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        profile->setSpellCheckEnabled(false);
    }
    return profile;
}

// Addresses of the engine's own pages (error pages and the like) are not shown.
bool IsInternalAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == QLatin1String("chrome-error") || scheme == QLatin1String("chrome") ||
           scheme == QLatin1String("devtools");
}

class EnginePage;

class EngineView : public QWebEngineView, public CWebPage {
public:
    explicit EngineView(QWidget* parent);
    ~EngineView() override;

    QWidget* Widget() override { return this; }
    void SetEvents(Events events) override { events_ = std::move(events); }

    void Navigate(const QString& address) override { page()->load(QUrl::fromUserInput(address)); }
    void GoBack() override { page()->triggerAction(QWebEnginePage::Back); }
    void GoForward() override { page()->triggerAction(QWebEnginePage::Forward); }
    void Refresh() override { page()->triggerAction(QWebEnginePage::Reload); }
    void Stop() override { page()->triggerAction(QWebEnginePage::Stop); }
    void EditCommand(Edit edit) override;
    void Find(const QString& text, bool backward, bool caseSensitive,
              std::function<void(int current, int count)> done) override;

    QString Address() const override {
        return IsInternalAddress(page()->url()) ? QString() : page()->url().toString();
    }
    QString Title() const override { return page()->title(); }
    bool CanGoBack() const override { return page()->history()->canGoBack(); }
    bool CanGoForward() const override { return page()->history()->canGoForward(); }
    bool IsLoading() const override { return loading_; }

    EnginePage* Page() const { return page_; }
    QWebEnginePage* RequestNewWindow();

private:
    void FollowHistory();
    void SetLoading(bool loading);

    EnginePage* page_;
    Events events_;
    bool back_ = false;
    bool forward_ = false;
    bool loading_ = false;
    QString findText_;
    bool findCaseSensitive_ = false;
};

class EnginePage : public QWebEnginePage {
public:
    explicit EnginePage(EngineView* view) : QWebEnginePage(SharedProfile(), view), view_(view) {}
    void Detach() { view_ = nullptr; }

protected:
    QWebEnginePage* createWindow(WebWindowType) override {
        return view_ != nullptr ? view_->RequestNewWindow() : nullptr;
    }

private:
    EngineView* view_;
};

EngineView::EngineView(QWidget* parent) : QWebEngineView(parent) {
    page_ = new EnginePage(this);
    setPage(page_);
    // Pages get no plugins; what they store stays in the profile's memory.
    page_->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    connect(page_, &QWebEnginePage::urlChanged, this, [this](const QUrl&) {
        if (events_.navigationComplete) {
            events_.navigationComplete(Address());
        }
        FollowHistory();
    });
    connect(page_, &QWebEnginePage::titleChanged, this, [this](const QString& title) {
        if (events_.titleChanged) {
            events_.titleChanged(title);
        }
    });
    connect(page_, &QWebEnginePage::loadStarted, this, [this] {
        SetLoading(true);
        FollowHistory();
    });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool) {
        SetLoading(false);
        FollowHistory();
    });
}

EngineView::~EngineView() {
    // The page outlives this part of the view; it must not call back into it.
    disconnect(page_, nullptr, this, nullptr);
    page_->Detach();
}

void EngineView::FollowHistory() {
    if (page_ == nullptr) {
        return;
    }
    const bool back = CanGoBack();
    const bool forward = CanGoForward();
    if (forward != forward_ && events_.forwardEnabled) {
        forward_ = forward;
        events_.forwardEnabled(forward);
    }
    if (back != back_ && events_.backEnabled) {
        back_ = back;
        events_.backEnabled(back);
    }
}

void EngineView::SetLoading(bool loading) {
    if (loading != loading_) {
        loading_ = loading;
        if (events_.loadingChanged) {
            events_.loadingChanged(loading);
        }
    }
}

void EngineView::Find(const QString& text, bool backward, bool caseSensitive,
                      std::function<void(int current, int count)> done) {
    QWebEnginePage::FindFlags flags;
    if (backward) {
        flags |= QWebEnginePage::FindBackward;
    }
    if (caseSensitive) {
        flags |= QWebEnginePage::FindCaseSensitively;
    }
    // The engine takes a search for the same text as a step to its next match, even when
    // the case is now minded differently: that search starts anew.
    if (caseSensitive != findCaseSensitive_ && text == findText_ && !text.isEmpty()) {
        page_->findText(QString());
    }
    findText_ = text;
    findCaseSensitive_ = caseSensitive;
    // The answer comes later; a view closed meanwhile must not be reached.
    QPointer<EngineView> self(this);
    page_->findText(text, flags, [self, done](const QWebEngineFindTextResult& result) {
        if (self != nullptr && done) {
            done(result.activeMatch(), result.numberOfMatches());
        }
    });
}

QWebEnginePage* EngineView::RequestNewWindow() {
    if (!events_.newWindow) {
        return nullptr;
    }
    auto* target = dynamic_cast<EngineView*>(events_.newWindow());
    return target != nullptr ? target->Page() : nullptr;
}

void EngineView::EditCommand(Edit edit) {
    switch (edit) {
    case Edit::Cut:
        page_->triggerAction(QWebEnginePage::Cut);
        break;
    case Edit::Copy:
        page_->triggerAction(QWebEnginePage::Copy);
        break;
    case Edit::Paste:
        page_->triggerAction(QWebEnginePage::Paste);
        break;
    case Edit::Undo:
        page_->triggerAction(QWebEnginePage::Undo);
        break;
    case Edit::SelectAll:
        page_->triggerAction(QWebEnginePage::SelectAll);
        break;
    }
}

} // namespace

extern "C" Q_DECL_EXPORT CWebPage* ombrivault_create_web_page_v2(QWidget* parent) {
    return new EngineView(parent);
}
