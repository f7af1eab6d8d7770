#include "app/DocumentTemplates.h"

#include <memory>

#include <QIcon>

#include "app/PlaceholderDocument.h"
#include "browser/BrowserTemplate.h"
#include "editor/ChildFrame.h"
#include "editor/EditorDoc.h"
#include "editor/EditorView.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "passwords/PasswordsTemplate.h"

namespace {

struct Kind {
    int id;
    const char* docString;
    const char* name;
    const char* icon;
};

// The document strings: window title, base name, New-list name, filter name, filter
// extension, type id, type name. The browser has none.
constexpr Kind kKinds[] = {
    {IDR_TEXT_TYPE,
     "\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.ovt)\n.ovt\nOvt.Document\n"
     "Ombrivault Encrypted Text",
     "Encrypted text", "doc_text"},
    {IDR_PASSWORDS_TYPE,
     "\nUntitled\nWebAcc\nOmbrivault Encrypted Data Files (*.ovd)\n.ovd\nOvd.Document\n"
     "Ombrivault Encrypted Data",
     "Passwords document", "doc_passwords"},
    {IDR_STORAGE_TYPE,
     "\nUntitled\nPicture\nOmbrivault Encrypted Storage Files (*.ovs)\n.ovs\nOvs.Document\n"
     "Ombrivault Encrypted Storage",
     "Encrypted storage", "doc_storage"},
    {IDR_BROWSER_TYPE, "", "Web browser", "doc_browser"},
    {IDR_PASSWORDS_OVF_TYPE,
     "\nUntitled\nWebAcc\nOmbrivault Encrypted Data Files (*.ovf)\n.ovf\nOvf.Document\n"
     "Ombrivault Encrypted Data",
     "Passwords document", "doc_passwords"},
    {IDR_TEXT_ETX_TYPE,
     "\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.etx)\n.etx\nEtx.Document\n"
     "Ombrivault Encrypted Text",
     "Encrypted text", "doc_text"},
};

} // namespace

void RegisterDocumentTemplates(CDocManager& manager) {
    for (const Kind& kind : kKinds) {
        const QString name = QString::fromLatin1(kind.name);
        const QString docString = QString::fromLatin1(kind.docString);
        std::unique_ptr<CDocTemplate> t;
        if (kind.id == IDR_PASSWORDS_TYPE || kind.id == IDR_PASSWORDS_OVF_TYPE) {
            t = MakePasswordsTemplate(kind.id, docString);
        } else if (kind.id == IDR_TEXT_TYPE || kind.id == IDR_TEXT_ETX_TYPE) {
            t = std::make_unique<CDocTemplate>(
                kind.id, docString, [] { return std::make_unique<CEditorDoc>(); },
                [] { return new CChildFrame(); },
                [](CDocument* doc) { return new CEditorView(doc); });
        } else if (kind.id == IDR_BROWSER_TYPE) {
            t = MakeBrowserTemplate(kind.id, docString);
        } else {
            // The kinds whose document class is not built yet open an empty window.
            t = std::make_unique<CDocTemplate>(
                kind.id, docString, [] { return std::make_unique<CPlaceholderDoc>(); },
                [] { return new CPlaceholderChildFrame(); },
                [name](CDocument* doc) { return new CPlaceholderView(doc, name); });
        }
        t->SetIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kind.icon))));
        if (kind.id != IDR_BROWSER_TYPE) {
            t->SetMenuId(IDR_DOCUMENT_MENU);
        }
        if (kind.id == IDR_TEXT_TYPE || kind.id == IDR_TEXT_ETX_TYPE) {
            t->SetContainerInPlaceMenuId(IDR_CNTR_INPLACE);
        }
        manager.AddDocTemplate(std::move(t));
    }
}
