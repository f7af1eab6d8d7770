// The view of a browser window: the web page, shown by the engine module. It runs the
// navigation and edit commands, passes the page's events to its frame and document, and
// counts the user's input in the page as activity for the screen lock.
#pragma once

#include <functional>
#include <memory>

#include "browser/WebPage.h"
#include "framework/Document.h"

class CSafeBrowserChildFrame;
class CSafeBrowserDoc;
class QLineEdit;

class CSafeBrowserView : public CView {
    Q_OBJECT
public:
    // `homePage` gives the configured home page at every use.
    CSafeBrowserView(CDocument* document, std::function<QString()> homePage);
    ~CSafeBrowserView() override;

    // False when the engine could not be started; `Error()` says why.
    bool HasPage() const { return page_ != nullptr; }
    const QString& Error() const { return error_; }
    CWebPage* Page() const { return page_.get(); }

    void Navigate(const QString& address);
    // The configured home page, "about:blank" when there is none.
    QString HomePage() const;

    // The first update sends the page home, unless the window was opened for a page that
    // asked for a new window (the engine loads that page into it).
    void OnInitialUpdate() override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CSafeBrowserChildFrame* Frame() const;
    CSafeBrowserDoc* Document() const;
    CWebPage* OpenNewWindow();
    void WatchActivity(QObject* object);
    // The text field of the window that has the focus (address or find text), else null:
    // the edit commands work on it rather than on the page.
    QLineEdit* FocusedField() const;
    bool EditCommand(int id);

    std::function<QString()> homePage_;
    std::unique_ptr<CWebPage> page_;
    QString error_;
    bool openedForPage_ = false;
};
