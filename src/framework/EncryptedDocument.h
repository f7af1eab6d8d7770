// Documents stored as one encrypted file (the passwords and the text documents): the
// password they hold while open, and the flows they share - opening with "Enter Password",
// saving in the form the extension names, Save As, Set Password, the Open command and the
// close check. A kind says what differs through the hooks below.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "crypto/EncryptedFile.h"
#include "dialogs/PasswordBuffer.h"
#include "framework/Document.h"

class CEncryptedDocument : public CDocument {
public:
    // The Open command's filter: every encrypted kind, the legacy extensions in the first
    // entry only.
    static constexpr const char* kOpenFilter =
        "Ombrivault Encrypted Files (*.ovs;*.ovd;*.ovt;*.ovf;*.etx)|*.ovs;*.ovd;*.ovt;*.ovf;*.etx|"
        "Ombrivault Encrypted Storage Files (*.ovs)|*.ovs|"
        "Ombrivault Encrypted Data Files (*.ovd)|*.ovd|"
        "Ombrivault Encrypted Text Files (*.ovt)|*.ovt|";

    CEncryptedDocument();
    ~CEncryptedDocument() override;

    // --- Framework operations -------------------------------------------------------------
    // A new document: no own path, no password, empty contents.
    bool OnNewDocument() override;
    // A path where no file exists opens as an empty document without a prompt. Otherwise
    // asks "Enter Password", decrypts in the form the extension names and hands the text to
    // ConsumePlaintext. Every failure has told the user why.
    bool OnOpenDocument(const QString& path) override;
    // Asks for a new password when none is known, then encrypts ProducePlaintext() into
    // `path`. True only when the file was written (or the kind accepted that nothing was);
    // a failure has been shown and leaves the document modified.
    bool OnSaveDocument(const QString& path) override;
    // The close check: the screen password first when the screen is locked, then
    // "Save changes to %s?" for a modified document. A save that does not complete keeps the
    // document open.
    bool SaveModified() override;

    // Save (57603), Save As (57604), Set File Password (32791), Open (57601), Close.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // --- Commands ---------------------------------------------------------------------------
    // Saves to the own path, or runs Save As when there is none. True when written.
    bool SaveCommand();
    // Asks for a file name (and, for kinds that say so, always a new password) and saves.
    // The chosen path becomes the document's path and a recent file whatever the outcome.
    bool SaveAsCommand();
    // "Set File Password" in its change mode; the new password counts from the next save and
    // does not mark the document modified. True when a password was set.
    bool SetPasswordCommand();
    // The program's open dialog for every encrypted kind; the chosen file goes to the
    // document manager, which picks the kind by extension.
    void OpenCommand();

    // --- State ------------------------------------------------------------------------------
    // The path of the file last opened or saved; empty for a new document.
    const QString& OwnPath() const { return ownPath_; }
    bool HasPassword() const { return !password_.Empty(); }
    // The password in the program's code page; empty when none is known.
    std::string_view Password() const { return password_.View(); }
    void SetPassword(std::string_view password) { password_.SetBytes(password); }
    void ClearPassword() { password_.Clear(); }

    // What the close check names: the own path, or the title with the default extension
    // appended when it holds no dot.
    QString SaveModifiedName() const;
    // The name Save As proposes: the title with its extension replaced by the default one
    // (appended when it has none), in the folder of the document's file when it has one.
    QString ProposedSaveAsName() const;
    // `path` with the default extension appended when its file name holds no dot.
    QString WithDefaultExtension(const QString& path) const;

    // The form `path` is stored in for this kind when opening; none refuses the file.
    virtual std::optional<BlobForm> OpenFormOf(const QString& path) const;
    // The form a save to `path` writes; none writes nothing. By default as for opening.
    virtual std::optional<BlobForm> SaveFormOf(const QString& path) const;

protected:
    // --- What differs between the kinds -----------------------------------------------------
    // The current-form extension with its dot (".ovd", ".ovt"), proposed and appended by
    // Save As and named by the close check.
    virtual QString DefaultExtension() const = 0;
    // The legacy-form extension with its dot (".ovf", ".etx").
    virtual QString LegacyExtension() const = 0;
    // The single filter of the Save As dialog, "Name (*.ext)|*.ext|".
    virtual QString SaveAsFilter() const = 0;
    // True when Save As always asks for a new password; false keeps a known one.
    virtual bool SaveAsAsksNewPassword() const = 0;
    // The contents as text in the program's code page, to be encrypted. The caller wipes it.
    virtual std::string ProducePlaintext() = 0;
    // Replaces the contents with decrypted text (the contents were emptied before). The
    // document is marked unmodified afterwards.
    virtual void ConsumePlaintext(std::string_view text) = 0;
    // A kind that holds its text as UTF-16 may move the stored UTF-16LE form straight between
    // the file and itself, skipping the code page where that loses nothing. Produce returns
    // false (and Consume false, taking nothing) to go through the two hooks above instead.
    virtual bool ProduceStoredText(Bytes& utf16le) { return false; }
    virtual bool ConsumeStoredText(const Bytes& utf16le) { return false; }
    // ProducePlaintext gave no text, which cannot be encrypted, so nothing was written to
    // `path`. The result is the save's result; by default the user is told and it fails.
    virtual bool OnNothingToWrite(const QString& path);

    // Shows a failure to the user (the error box).
    virtual void ReportError(const QString& message);
    // Asks for a new password with "Set File Password"; false on Cancel.
    bool AskNewPassword();

private:
    QString ownPath_;
    PasswordBuffer password_;
};

// The text of a system error number, as the file layer reports it.
QString FileErrorText(int error);
