// The one table of document kinds: for every kind of document the program opens, its
// template id, the class of document it makes, the extension of its files and the form they
// are stored in, its document string, its name in the New list and its icon. Every place
// that maps a file name to a kind or a stored form, or builds a file filter, asks here.
//
// A new kind of document plugs in with a row in kDocumentKinds (DocumentKinds.cpp) and, for
// the desktop program, the factories of its class in app/DocumentTemplates.cpp.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "crypto/EncryptedFile.h"

// The resource ids of the document templates, in the order they are registered.
enum DocTemplateId {
    IDR_TEXT_TYPE = 125,
    IDR_PASSWORDS_TYPE = 126,
    IDR_STORAGE_TYPE = 127,
    IDR_BROWSER_TYPE = 128,
    IDR_PASSWORDS_OVF_TYPE = 140,
    IDR_TEXT_ETX_TYPE = 236,
};

// The classes of document; a class may store its files in more than one form.
enum class DocumentClass { Text, Passwords, Storage, Browser };

// Whether a kind's files are in the class's current form or in its older one.
enum class StoredForm { Current, Legacy };

struct DocumentKind {
    int templateId;
    DocumentClass documentClass;
    StoredForm form;
    // With its dot (".ovd"); empty for a kind that has no files (the browser).
    const char* extension;
    // Window title, base name, New-list name, filter name, filter extension, type id and type
    // name, separated by '\n'; empty for a kind that has no files.
    const char* docString;
    // The name shown in the New list and on placeholder windows.
    const char* name;
    // The icon's name among the program's resources (":/icons/NAME.svg").
    const char* icon;
};

// Every kind, in the order the templates are registered (and asked about a file).
std::span<const DocumentKind> DocumentKinds();
// The kind made by template `templateId`, or null.
const DocumentKind* FindDocumentKind(int templateId);
// The kind of `documentClass` stored in `form`, or null when the class has no such form.
const DocumentKind* FindDocumentKind(DocumentClass documentClass, StoredForm form);
// The kind whose extension `path` ends in (without regard to case), or null.
const DocumentKind* DocumentKindOfPath(std::string_view path);

// The envelope form of a whole-file kind's stored form.
BlobForm BlobFormOf(StoredForm form);
// The envelope form a file of `documentClass` named `path` is stored in, decided by the
// extension alone; none when the name does not end in one of the class's extensions.
std::optional<BlobForm> BlobFormOf(DocumentClass documentClass, std::string_view path);
// The envelope form of any whole-file document (text or passwords) named `path`; none for
// every other name.
std::optional<BlobForm> WholeFileFormOf(std::string_view path);

// The extension of the class's current and legacy kinds, with their dots; empty when there
// is none.
std::string DefaultExtension(DocumentClass documentClass);
std::string LegacyExtension(DocumentClass documentClass);
// The Save As filter of a class: "Filter name (*.ext)|*.ext|" of its current kind.
std::string SaveAsFilter(DocumentClass documentClass);
// The Open command's filter: every encrypted kind in the first entry, then one entry per
// class for its current extension.
std::string OpenFilter();
// Field `index` (0-6) of a document string; empty when it has fewer fields.
std::string DocStringField(std::string_view docString, int index);
