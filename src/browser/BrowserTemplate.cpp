#include "browser/BrowserTemplate.h"

#include "browser/SafeBrowserChildFrame.h"
#include "browser/SafeBrowserDoc.h"
#include "browser/SafeBrowserView.h"
#include "framework/DocTemplate.h"

std::unique_ptr<CDocTemplate> MakeBrowserTemplate(int resourceId, const QString& docString) {
    return std::make_unique<CDocTemplate>(
        resourceId, docString, [] { return std::make_unique<CSafeBrowserDoc>(); },
        [] { return new CSafeBrowserChildFrame(); },
        [](CDocument* doc) { return new CSafeBrowserView(doc); });
}
