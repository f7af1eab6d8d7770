// The document template of the browser kind: CSafeBrowserDoc in a CSafeBrowserChildFrame
// with a CSafeBrowserView. It has no file type.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QString>

class CDocTemplate;

// What the application keeps for its browser windows.
struct BrowserSettings {
    // The address history file, h.dat in the common data folder.
    std::string historyFile;
    // The home page, asked at every use; empty for none (an empty page).
    std::function<QString()> homePage;
};

std::unique_ptr<CDocTemplate> MakeBrowserTemplate(int resourceId, const QString& docString,
                                                  BrowserSettings settings);
