#include "app/DocumentTemplates.h"

#include <memory>

#include <QIcon>

#include "app/AppSettings.h"
#include "app/CommonAppData.h"
#include "app/PlaceholderDocument.h"
#include "browser/BrowserHistory.h"
#include "browser/BrowserTemplate.h"
#include "editor/EditorDoc.h"
#include "editor/EditorView.h"
#include "editor/TextChildFrame.h"

#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "passwords/PasswordsTemplate.h"
#include "storage/StorageTemplate.h"

namespace {

// The template of one row of the table: the factories of its class, the menus it shows.
std::unique_ptr<CDocTemplate> MakeTemplate(const DocumentKind& kind) {
    const QString docString = QString::fromLatin1(kind.docString);
    switch (kind.documentClass) {
    case DocumentClass::Passwords:
        return MakePasswordsTemplate(kind.templateId, docString);
    case DocumentClass::Text: {
        auto t = std::make_unique<CDocTemplate>(
            kind.templateId, docString, [] { return std::make_unique<CEditorDoc>(); },
            [] { return new CChildFrame(); }, [](CDocument* doc) { return new CEditorView(doc); });
        t->SetContainerInPlaceMenuId(IDR_CNTR_INPLACE);
        return t;
    }
    case DocumentClass::Browser:
        return MakeBrowserTemplate(
            kind.templateId, docString,
            {HistoryFileIn(GetCommonAppDataPath()), [] {
                 return AppSettings::Open()->value(QStringLiteral("Browser/HomePage")).toString();
             }});
    case DocumentClass::Storage:
        return MakeStorageTemplate(kind.templateId, docString);
    }
    // The kinds whose document class is not built yet open an empty window.
    const QString name = QString::fromLatin1(kind.name);
    return std::make_unique<CDocTemplate>(
        kind.templateId, docString, [] { return std::make_unique<CPlaceholderDoc>(); },
        [] { return new CPlaceholderChildFrame(); },
        [name](CDocument* doc) { return new CPlaceholderView(doc, name); });
}

} // namespace

void RegisterDocumentTemplates(CDocManager& manager) {
    for (const DocumentKind& kind : DocumentKinds()) {
        std::unique_ptr<CDocTemplate> t = MakeTemplate(kind);
        t->SetIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kind.icon))));
        // The browser window brings its own menu; every other kind shares the document menu.
        if (kind.documentClass != DocumentClass::Browser) {
            t->SetMenuId(IDR_DOCUMENT_MENU);
        }
        manager.AddDocTemplate(std::move(t));
    }
}
