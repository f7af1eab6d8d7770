#include "browser/SafeBrowserDoc.h"

void CSafeBrowserDoc::FollowPage(const QString& title, const QString& address) {
    const QString shown = title.isEmpty() ? address : title;
    if (!shown.isEmpty() && shown != GetTitle()) {
        SetTitle(shown);
    }
}
