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
};

namespace AppSettings {

std::unique_ptr<QSettings> Open();

int GetShowWizard();
void SetShowWizard(int value);

// The stored placement for a screen of `screen` size; when the screen size differs from the
// one the placement was saved on, left 100, top 100 and three fifths of the screen.
WindowPlacement LoadWindowPlacement(const QSize& screen);
// Stores the window's outer rectangle; a left edge of exactly -4 stores nothing.
void SaveWindowPlacement(const QRect& frame, const QSize& screen);

// The placement rule on its own: `stored` values with defaults already filled in.
WindowPlacement ResolvePlacement(const WindowPlacement& stored, const QSize& screen);
WindowPlacement DefaultPlacement(const QSize& screen);

// Settings/CodePage: the iconv name of the program's code page, empty when unset.
QString CodePageName();

} // namespace AppSettings
