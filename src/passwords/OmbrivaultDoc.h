// COmbrivaultDoc is the passwords document only, after its established name.
// The passwords document: the web, e-mail and other account lists of one ".ovd" file (or
// ".ovf" in the legacy form), its password, and the modified state. Its window is a
// COmbrivaultChildFrame.
#pragma once

#include <string_view>

#include "documents/EncryptedDocument.h"
#include "passwords/Accounts.h"

class COmbrivaultDoc : public CEncryptedDocument {
public:
    COmbrivaultDoc();
    ~COmbrivaultDoc() override;

    // A record of `kind` named `name`, every other field empty, in the next slot; its slot.
    int AddAccount(AccountKind kind, std::string_view name);
    // Destroys the record and leaves its slot empty; the other slots keep their records.
    void DeleteAccount(AccountKind kind, int slot);
    // The record at the slot, or null for a deleted or unused slot.
    Account* GetAccount(AccountKind kind, int slot) const;
    int GetSlotCount(AccountKind kind) const;
    const AccountLists& Lists() const { return lists_; }

    void DeleteContents() override;
    // The views name the file; they learn of a new name here.
    void SetPathName(const QString& path, bool addToRecentFiles = true) override;

protected:
    DocumentClass Class() const override { return DocumentClass::Passwords; }
    bool SaveAsAsksNewPassword() const override { return true; }
    // The same route from disk to accounts and back as the command-line tool's.
    // The tree is built again from the accounts read.
    void OnContentsLoaded() override;
    LoadTextStatus ReadContents(const std::string& path, std::string_view password, BlobForm form,
                                int* error) override;
    WriteResult WriteContents(const std::string& path, std::string_view password, BlobForm form,
                              int* error) override;

private:
    AccountLists lists_;
};
