#include "passwords/OmbrivaultDoc.h"

#include "passwords/AccountsXml.h"
#include "passwords/PasswordClipboard.h"

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

void COmbrivaultDoc::OnCloseDocument() {
    PasswordClipboard::Instance().OwnerClosed(this);
    CEncryptedDocument::OnCloseDocument(); // destroys this document
}

QString COmbrivaultDoc::DefaultExtension() const {
    return QStringLiteral(".ovd");
}

QString COmbrivaultDoc::LegacyExtension() const {
    return QStringLiteral(".ovf");
}

QString COmbrivaultDoc::SaveAsFilter() const {
    return QStringLiteral("Ombrivault Encrypted Data Files (*.ovd)|*.ovd|");
}

std::string COmbrivaultDoc::ProducePlaintext() {
    return WriteAccountsXml(lists_);
}

void COmbrivaultDoc::ConsumePlaintext(std::string_view text) {
    ReadAccountsXml(text, lists_);
}
