// The passwords document: the web, e-mail and other account lists of one ".ovd" file (or
// ".ovf" in the legacy form), its password, and the modified state. Its window is a
// COmbrivaultChildFrame.
#pragma once

#include <string_view>

#include "framework/EncryptedDocument.h"
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
    // A password copied from this document leaves the clipboard with it.
    void OnCloseDocument() override;

protected:
    QString DefaultExtension() const override;
    QString LegacyExtension() const override;
    QString SaveAsFilter() const override;
    bool SaveAsAsksNewPassword() const override { return true; }
    std::string ProducePlaintext() override;
    void ConsumePlaintext(std::string_view text) override;

private:
    AccountLists lists_;
};
