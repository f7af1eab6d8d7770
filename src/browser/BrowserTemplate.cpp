#include "browser/BrowserTemplate.h"

#include "browser/SafeBrowserChildFrame.h"
#include "browser/SafeBrowserDoc.h"
#include "browser/SafeBrowserView.h"
#include "framework/DocTemplate.h"

std::unique_ptr<CDocTemplate> MakeBrowserTemplate(int resourceId, const QString& docString,
                                                  BrowserSettings settings) {
    auto shared = std::make_shared<const BrowserSettings>(std::move(settings));
    return std::make_unique<CDocTemplate>(
        resourceId, docString, [] { return std::make_unique<CSafeBrowserDoc>(); },
        [shared] { return new CSafeBrowserChildFrame(shared->historyFile); },
        [shared](CDocument* doc) { return new CSafeBrowserView(doc, shared->homePage); });
}
