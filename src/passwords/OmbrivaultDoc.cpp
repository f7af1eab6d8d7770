#include "passwords/OmbrivaultDoc.h"

#include "passwords/LeftView.h"
#include "passwords/PasswordsFile.h"

COmbrivaultDoc::COmbrivaultDoc() = default;

COmbrivaultDoc::~COmbrivaultDoc() = default;

int COmbrivaultDoc::AddAccount(AccountKind kind, std::string_view name) {
    return lists_.AddAccount(kind, name);
}

void COmbrivaultDoc::DeleteAccount(AccountKind kind, int slot) {
    lists_.DeleteAccount(kind, slot);
}

Account* COmbrivaultDoc::GetAccount(AccountKind kind, int slot) const {
    return lists_.GetAccount(kind, slot);
}

int COmbrivaultDoc::GetSlotCount(AccountKind kind) const {
    return lists_.GetSlotCount(kind);
}

void COmbrivaultDoc::DeleteContents() {
    lists_.Clear();
}

void COmbrivaultDoc::SetPathName(const QString& path, bool addToRecentFiles) {
    CEncryptedDocument::SetPathName(path, addToRecentFiles);
    UpdateAllViews(nullptr);
}

void COmbrivaultDoc::OnContentsLoaded() {
    for (CView* view : GetViews()) {
        if (auto* tree = qobject_cast<CLeftView*>(view)) {
            tree->RebuildTree();
        }
    }
    CEncryptedDocument::OnContentsLoaded();
}

LoadTextStatus COmbrivaultDoc::ReadContents(const std::string& path, std::string_view password,
                                            BlobForm form, int* error) {
    // The file's extension decides its form, as it decided `form`.
    switch (LoadPasswordsFile(path, password, lists_, error, LoadKey())) {
    case PasswordsLoadStatus::Loaded:
        return LoadTextStatus::Text;
    case PasswordsLoadStatus::DecryptFailed:
    case PasswordsLoadStatus::NotPasswords:
        // Text that is not a passwords document never opens as an empty one: saving that
        // would destroy the real file.
        return LoadTextStatus::DecryptFailed;
    case PasswordsLoadStatus::Unreadable:
    case PasswordsLoadStatus::UnknownExtension:
        break;
    }
    return LoadTextStatus::Unreadable;
}

CEncryptedDocument::WriteResult COmbrivaultDoc::WriteContents(const std::string& path,
                                                              std::string_view password,
                                                              BlobForm form, int* error) {
    return SavePasswordsFile(path, password, lists_, error, SaveKey()) == PasswordsSaveStatus::Saved
               ? WriteResult::Written
               : WriteResult::Failed;
}
