// What a browser view needs of the web engine, as a plain interface. The engine lives in a
// module of its own (ombrivault-webengine.so) that is loaded when the first browser window
// opens, so a start of the program that opens no browser never loads it; this header is all
// the module and the program share.
#pragma once

#include <functional>

#include <QString>

class QWidget;

class CWebPage {
public:
    enum class Edit { Cut, Copy, Paste, Undo, SelectAll };

    // Raised on the user-interface thread.
    struct Events {
        // The page committed to a new address (empty for the engine's own internal pages).
        std::function<void(const QString& address)> navigationComplete;
        std::function<void(const QString& title)> titleChanged;
        std::function<void(bool enabled)> backEnabled;
        std::function<void(bool enabled)> forwardEnabled;
        // A page started or stopped loading.
        std::function<void(bool loading)> loadingChanged;
        // The page asks for a new window: the page of a new browser window, or null to refuse.
        std::function<CWebPage*()> newWindow;
    };

    virtual ~CWebPage() = default;

    // The widget that shows the page; a child of the parent given at creation, deleted with
    // this object.
    virtual QWidget* Widget() = 0;
    virtual void SetEvents(Events events) = 0;

    virtual void Navigate(const QString& address) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Refresh() = 0;
    virtual void Stop() = 0;
    // Runs an editing command on the page without asking the user anything.
    virtual void EditCommand(Edit edit) = 0;
    // Highlights the matches of `text` and moves to the next one (the previous one with
    // `backward`); an empty text clears the highlight. `done` gets the number of the current
    // match (from 1, 0 with none) and the number of matches.
    virtual void Find(const QString& text, bool backward, bool caseSensitive,
                      std::function<void(int current, int count)> done) = 0;

    virtual QString Address() const = 0;
    virtual QString Title() const = 0;
    virtual bool CanGoBack() const = 0;
    virtual bool CanGoForward() const = 0;
    virtual bool IsLoading() const = 0;
};

// The module's one entry point: a new page in an off-the-record profile shared by all pages
// of the process (nothing of it is written to disk).
using CreateWebPageFunction = CWebPage* (*)(QWidget* parent);
inline constexpr const char* kCreateWebPageSymbol = "ombrivault_create_web_page_v2";
inline constexpr const char* kWebEngineModuleName = "ombrivault-webengine.so";
