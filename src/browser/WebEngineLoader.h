// Loads the web engine module the first time a browser window asks for a page. Nothing of
// the engine is loaded before that.
#pragma once

#include <QString>

#include "browser/WebPage.h"

namespace WebEngineLoader {

// A new page, loading the module first if needed; null when the module cannot be loaded,
// with the reason in `error`.
CWebPage* CreatePage(QWidget* parent, QString* error = nullptr);
// Whether the module has been loaded in this process.
bool IsLoaded();

} // namespace WebEngineLoader
