// The browser window inside the main frame: the address bar with the history and the
// navigation toolbar above the page. It keeps the address history and its file.
#pragma once

#include <string>

#include <QIcon>

#include "browser/BrowserHistory.h"
#include "framework/ChildFrame.h"

class CAddressBar;
class CFindBar;
class CSafeBrowserView;
class QAction;
class QToolBar;

class CSafeBrowserChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    // `historyFile` is the address history the frame reads and writes.
    explicit CSafeBrowserChildFrame(std::string historyFile);
    ~CSafeBrowserChildFrame() override;

    // Shows `address` in the address bar; the engine's resource pages show an empty text.
    void SetAddressText(const QString& address);
    void LoadHistory();
    void SaveHistory();
    // Puts `address` at the top of the history (an equal entry goes) and saves it.
    void AddToHistory(const QString& address);
    void EnableBack(bool enabled);
    void EnableForward(bool enabled);
    // The Stop button works while a page loads.
    void EnableStop(bool enabled);

    // Find in the page: the find bar opens with the focus in its text; the next or previous
    // match of the text the bar holds. There is something to find again once it holds text.
    void ShowFindBar();
    void FindAgain(bool backward);
    bool CanFindAgain() const;

    // Enter in the address bar: the typed text goes into the history in its history form
    // and the page is navigated to it as typed.
    void NavigateToTypedAddress();
    // An entry picked from the address bar's list.
    void NavigateToHistoryEntry(int index);

    CAddressBar* AddressBar() const { return addressBar_; }
    QToolBar* NavigationBar() const { return toolBar_; }
    CFindBar* FindBar() const { return findBar_; }
    CSafeBrowserView* BrowserView() const;
    const BrowserHistory& History() const { return history_; }

    void InitialUpdateFrame(bool makeVisible) override;

protected:
    bool OnCreateClient(CDocument* document, CDocTemplate* docTemplate) override;

private:
    void CreateToolBar();
    // Brings the address bar's list in line with the history after `change`.
    void ShowChange(const BrowserHistory::Change& change);

    CAddressBar* addressBar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    CFindBar* findBar_ = nullptr;
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
    QAction* stop_ = nullptr;
    int findSearches_ = 0;
    QIcon entryIcon_;
    std::string historyFile_;
    BrowserHistory history_;
};
