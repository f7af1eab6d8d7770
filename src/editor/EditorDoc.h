// The encrypted text document: a notepad whose whole file is encrypted under its password.
// ".ovt" files hold the current form and ".etx" files the legacy one; a save under any other
// name writes the legacy form. The text itself lives in the view; the document moves it
// between the view and the file, with CR LF between lines on disk.
#pragma once

#include "documents/EncryptedDocument.h"

class CEditorView;

class CEditorDoc : public CEncryptedDocument {
public:
    CEditorDoc();
    ~CEditorDoc() override;

    CEditorView* GetView() const;

    // ".ovt" current; ".etx" and every other extension legacy.
    std::optional<BlobForm> SaveFormOf(const QString& path) const override;
    // Before the shared save: text that the program's code page cannot hold is not turned
    // into question marks without the user's consent.
    bool OnSaveDocument(const QString& path) override;
    void DeleteContents() override;

protected:
    DocumentClass Class() const override { return DocumentClass::Text; }
    // A known password stays: the text is saved under it in the new file.
    bool SaveAsAsksNewPassword() const override { return false; }
    std::string ProducePlaintext() override;
    void ConsumePlaintext(std::string_view text) override;
    // With the UTF-8 code page, which holds every character, the view's UTF-16 text and the
    // stored UTF-16LE convert into each other in one pass.
    LoadTextStatus ReadContents(const std::string& path, std::string_view password, BlobForm form,
                                int* error) override;
    WriteResult WriteContents(const std::string& path, std::string_view password, BlobForm form,
                              int* error) override;
};
