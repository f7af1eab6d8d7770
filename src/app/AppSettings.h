// The per-user settings: an INI file of QSettings under organisation "Ombrivault" and
// application "Ombrivault Storage" (so $XDG_CONFIG_HOME/Ombrivault/Ombrivault Storage.ini),
// with the sections and values the program has always used.
#pragma once

#include <memory>

#include <QRect>
#include <QSettings>
#include <QSize>

struct WindowPlacement {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    int xScreen = 0;
    int yScreen = 0;
    // The window was maximised; x, y, cx and cy are then the rectangle it is restored to.
    bool maximized = false;
};

namespace AppSettings {

std::unique_ptr<QSettings> Open();

int GetShowWizard();
void SetShowWizard(int value);

// The stored placement for a screen of `screen` size; when the screen size differs from the
// one the placement was saved on, left 100, top 100 and three fifths of the screen.
WindowPlacement LoadWindowPlacement(const QSize& screen);
// Stores the window's outer rectangle in its restored (normal) state and whether it is
// maximised; a left edge of exactly -4 stores nothing. The maximised state is a value of its
// own beside the rectangle, which readers that know nothing of it ignore.
void SaveWindowPlacement(const QRect& frame, const QSize& screen, bool maximized = false);

// `frame` moved, and made smaller where it must be, so that it lies wholly inside `area`
// (the part of a screen that windows may take); unchanged when `area` is empty.
QRect FitIntoArea(const QRect& frame, const QRect& area);

// The placement rule on its own: `stored` values with defaults already filled in.
WindowPlacement ResolvePlacement(const WindowPlacement& stored, const QSize& screen);
WindowPlacement DefaultPlacement(const QSize& screen);

// Folders/KEY: the folder last used for one kind of work in the file dialogs.
QString LastFolder(const QString& key);
void SetLastFolder(const QString& key, const QString& folder);

// Layout/KEY: a size the user gave part of a window (in pixels), 0 when none is stored.
int LayoutSize(const QString& key);
void SetLayoutSize(const QString& key, int size);

// Settings/CodePage: the iconv name of the program's code page, empty when unset.
QString CodePageName();

} // namespace AppSettings
