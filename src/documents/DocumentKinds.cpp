#include "documents/DocumentKinds.h"
#include "base/FileNames.h"

namespace {

constexpr DocumentKind kDocumentKinds[] = {
    {IDR_TEXT_TYPE, DocumentClass::Text, StoredForm::Current, ".ovt",
     "\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.ovt)\n.ovt\nOvt.Document\n"
     "Ombrivault Encrypted Text",
     "Encrypted text", "doc_text"},
    {IDR_PASSWORDS_TYPE, DocumentClass::Passwords, StoredForm::Current, ".ovd",
     "\nUntitled\nWebAcc\nOmbrivault Encrypted Data Files (*.ovd)\n.ovd\nOvd.Document\n"
     "Ombrivault Encrypted Data",
     "Passwords document", "doc_passwords"},
    {IDR_STORAGE_TYPE, DocumentClass::Storage, StoredForm::Current, ".ovs",
     "\nUntitled\nPicture\nOmbrivault Encrypted Storage Files (*.ovs)\n.ovs\nOvs.Document\n"
     "Ombrivault Encrypted Storage",
     "Encrypted storage", "doc_storage"},
    {IDR_BROWSER_TYPE, DocumentClass::Browser, StoredForm::Current, "", "", "Web browser",
     "doc_browser"},
    {IDR_PASSWORDS_OVF_TYPE, DocumentClass::Passwords, StoredForm::Legacy, ".ovf",
     "\nUntitled\nWebAcc\nOmbrivault Encrypted Data Files (*.ovf)\n.ovf\nOvf.Document\n"
     "Ombrivault Encrypted Data",
     "Passwords document", "doc_passwords"},
    {IDR_TEXT_ETX_TYPE, DocumentClass::Text, StoredForm::Legacy, ".etx",
     "\nUntitled\nUEdit\nOmbrivault Encrypted Text Files (*.etx)\n.etx\nEtx.Document\n"
     "Ombrivault Encrypted Text",
     "Encrypted text", "doc_text"},
};

// The classes kept as one encrypted envelope per file.
bool IsWholeFile(DocumentClass documentClass) {
    return documentClass == DocumentClass::Text || documentClass == DocumentClass::Passwords;
}

// The order of the classes in the Open command's filter.
constexpr DocumentClass kOpenFilterOrder[] = {DocumentClass::Storage, DocumentClass::Passwords,
                                              DocumentClass::Text};

bool HasKindExtension(std::string_view path, const DocumentKind& kind) {
    return *kind.extension != '\0' && HasExtension(path, kind.extension);
}

} // namespace

std::span<const DocumentKind> DocumentKinds() {
    return kDocumentKinds;
}

const DocumentKind* FindDocumentKind(int templateId) {
    for (const DocumentKind& kind : kDocumentKinds) {
        if (kind.templateId == templateId) {
            return &kind;
        }
    }
    return nullptr;
}

const DocumentKind* FindDocumentKind(DocumentClass documentClass, StoredForm form) {
    for (const DocumentKind& kind : kDocumentKinds) {
        if (kind.documentClass == documentClass && kind.form == form) {
            return &kind;
        }
    }
    return nullptr;
}

const DocumentKind* DocumentKindOfPath(std::string_view path) {
    for (const DocumentKind& kind : kDocumentKinds) {
        if (HasKindExtension(path, kind)) {
            return &kind;
        }
    }
    return nullptr;
}

BlobForm BlobFormOf(StoredForm form) {
    return form == StoredForm::Current ? BlobForm::Current : BlobForm::Legacy;
}

std::optional<BlobForm> BlobFormOf(DocumentClass documentClass, std::string_view path) {
    const DocumentKind* kind = DocumentKindOfPath(path);
    if (kind == nullptr || kind->documentClass != documentClass || !IsWholeFile(documentClass)) {
        return std::nullopt;
    }
    return BlobFormOf(kind->form);
}

std::optional<BlobForm> WholeFileFormOf(std::string_view path) {
    const DocumentKind* kind = DocumentKindOfPath(path);
    if (kind == nullptr || !IsWholeFile(kind->documentClass)) {
        return std::nullopt;
    }
    return BlobFormOf(kind->form);
}

std::string DefaultExtension(DocumentClass documentClass) {
    const DocumentKind* kind = FindDocumentKind(documentClass, StoredForm::Current);
    return kind != nullptr ? kind->extension : "";
}

std::string LegacyExtension(DocumentClass documentClass) {
    const DocumentKind* kind = FindDocumentKind(documentClass, StoredForm::Legacy);
    return kind != nullptr ? kind->extension : "";
}

std::string DocStringField(std::string_view docString, int index) {
    for (int field = 0; field < index; ++field) {
        const size_t newline = docString.find('\n');
        if (newline == std::string_view::npos) {
            return {};
        }
        docString.remove_prefix(newline + 1);
    }
    return std::string(docString.substr(0, docString.find('\n')));
}

std::string SaveAsFilter(DocumentClass documentClass) {
    const DocumentKind* kind = FindDocumentKind(documentClass, StoredForm::Current);
    if (kind == nullptr || *kind->extension == '\0') {
        return {};
    }
    return DocStringField(kind->docString, 3) + "|*" + kind->extension + "|";
}

std::string OpenFilter() {
    std::string patterns;
    for (const StoredForm form : {StoredForm::Current, StoredForm::Legacy}) {
        for (const DocumentClass documentClass : kOpenFilterOrder) {
            const DocumentKind* kind = FindDocumentKind(documentClass, form);
            if (kind != nullptr) {
                patterns += (patterns.empty() ? "*" : ";*") + std::string(kind->extension);
            }
        }
    }
    std::string filter = "Ombrivault Encrypted Files (" + patterns + ")|" + patterns + "|";
    for (const DocumentClass documentClass : kOpenFilterOrder) {
        filter += SaveAsFilter(documentClass);
    }
    return filter;
}
