// Documents stored as one encrypted file (the passwords and the text documents): the
// password they hold while open, and the flows they share - opening with "Enter Password",
// saving in the form the extension names, Save As, Set Password, the Open command and the
// close check. A kind names its class in the table of document kinds (extensions, filters)
// and says what else differs through the hooks below.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "crypto/EncryptedFile.h"
#include "crypto/StrongEnvelope.h"
#include "dialogs/PasswordBuffer.h"
#include "documents/DocumentKinds.h"
#include "documents/StrongKeyJob.h"
#include "framework/Document.h"

class CEncryptedDocument : public CDocument {
public:
    CEncryptedDocument();
    ~CEncryptedDocument() override;

    // --- Framework operations -------------------------------------------------------------
    // A new document: no own path, no password, empty contents.
    bool OnNewDocument() override;
    // A path where no file exists opens as an empty document without a prompt. Otherwise
    // asks "Enter Password", decrypts in the form the extension names and hands the text to
    // ReadContents. Every failure has told the user why.
    bool OnOpenDocument(const QString& path) override;
    // Asks for a new password when none is known, then writes the contents to `path`
    // through WriteContents. True only when the file was written (or the kind accepted that nothing
    // was); a failure has been shown and leaves the document modified.
    bool OnSaveDocument(const QString& path) override;
    // The close check: the screen password first when the screen is locked, then
    // "Save changes to %s?" for a modified document. A save that does not complete keeps the
    // document open.
    bool SaveModified() override;
    // A secret copied from the document leaves the clipboard as the document closes.
    void OnCloseDocument() override;

    // Save (57603), Save As (57604), Set File Password (32791), Open (57601), Protection
    // (ID_FILE_PROTECTION), Close.
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
    // File > Protection...: switches between strong protection and the compatible form,
    // from the next save on (the document is marked modified). Turning strong protection off
    // asks first, saying what is lost. True when the protection changed.
    bool ProtectionCommand();

    // --- Strong protection ------------------------------------------------------------------
    // The compatible file's bytes inside an Argon2id and XChaCha20-Poly1305 envelope
    // (crypto/StrongEnvelope.h). The key is derived on a worker thread when the file is
    // opened, or when the password or the protection changes, and kept (wiped on close) for
    // the saves that follow: each save draws a new nonce base and keeps the salt. A save that
    // needs a key not derived yet starts the derivation and returns false; the save follows
    // when the key is ready (and the close that asked for it, if one did).
    bool IsStrong() const { return strong_; }
    // True while a key is being derived for this document.
    bool IsDerivingKey() const { return deriving_; }
    // Whether this kind can be stored with strong protection.
    virtual bool SupportsStrongProtection() const { return true; }
    // The key-derivation parameters for a new key.
    void SetStrongParams(const strong::KdfParams& params) { strongParams_ = params; }
    // Runs once the contents of a strong file that is opening have arrived (true) or the
    // window has closed again because they could not be read (false; the document is gone).
    void SetOpenedCallback(std::function<void(bool opened)> callback) {
        openedCallback_ = std::move(callback);
    }
    // "Strong" for a document with strong protection, empty for every other document.
    static QString ProtectionPaneText(const CDocument* document);
    static constexpr const char* kWeakenQuestion =
        "Remove strong protection from %1?\n\nThe file will be saved in the compatible form, "
        "which the Windows edition opens too. What is lost: its key then comes from the "
        "password by two quick digests, so anyone with a copy of the file can test billions "
        "of guesses a second on a graphics card; and a changed or damaged byte in the file "
        "goes unnoticed.";
    static constexpr const char* kStrengthenQuestion =
        "Protect %1 with strong protection?\n\nIts key will come from the password by a "
        "slow, memory-hard derivation, and any change to the file will be noticed. The file "
        "will then open only in this program and its command-line tool, not in the Windows "
        "edition.";

    // --- State ------------------------------------------------------------------------------
    // The path of the file last opened or saved; empty for a new document.
    const QString& OwnPath() const { return ownPath_; }
    bool HasPassword() const { return !password_.Empty(); }
    // The password in the program's code page; empty when none is known.
    std::string_view Password() const { return password_.View(); }
    void SetPassword(std::string_view password) { password_.SetBytes(password); }

    // What the close check names: the own path, or the title with the default extension
    // appended when it holds no dot.
    QString SaveModifiedName() const;
    // The name Save As proposes: the title with its extension replaced by the default one
    // (appended when it has none), in the folder of the document's file when it has one.
    QString ProposedSaveAsName() const;
    // `path` with the default extension appended when its file name holds no dot.
    QString WithDefaultExtension(const QString& path) const;

    // The current-form extension with its dot (".ovd", ".ovt"), proposed and appended by
    // Save As and named by the close check.
    QString DefaultExtension() const;
    // The legacy-form extension with its dot (".ovf", ".etx").
    QString LegacyExtension() const;
    // The single filter of the Save As dialog, "Name (*.ext)|*.ext|".
    QString SaveAsFilter() const;

    // The form `path` is stored in for this kind when opening; none refuses the file.
    virtual std::optional<BlobForm> OpenFormOf(const QString& path) const;
    // The form a save to `path` writes; none writes nothing. By default as for opening.
    virtual std::optional<BlobForm> SaveFormOf(const QString& path) const;

protected:
    // --- What differs between the kinds -----------------------------------------------------
    // The kind's row in the table of document kinds: its extensions and filters.
    virtual DocumentClass Class() const = 0;
    // True when Save As always asks for a new password; false keeps a known one.
    virtual bool SaveAsAsksNewPassword() const = 0;

    enum class WriteResult { Written, NothingToWrite, Failed };
    // Reads the file `path` (a native path) in `form` with `password` into the contents,
    // which are replaced only when the file was read. The document is marked unmodified
    // afterwards. By default decrypts the text and hands it to ConsumePlaintext.
    virtual LoadTextStatus ReadContents(const std::string& path, std::string_view password,
                                        BlobForm form, int* error);
    // Writes the contents to `path` in `form`, replacing the file only when it is completely
    // written. By default encrypts ProducePlaintext(); no text is NothingToWrite.
    virtual WriteResult WriteContents(const std::string& path, std::string_view password,
                                      BlobForm form, int* error);
    // For the kinds whose contents are one text, used by the default ReadContents and
    // WriteContents: the contents as text in the program's code page (the caller wipes it),
    // and the contents replaced by decrypted text (the contents were emptied before).
    virtual std::string ProducePlaintext() { return {}; }
    virtual void ConsumePlaintext(std::string_view text) {}
    // The contents arrived after the window was made (a strong file is read once its key is
    // derived): the views show them. By default every view is updated.
    virtual void OnContentsLoaded() { UpdateAllViews(nullptr); }
    // WriteContents had no text, which cannot be encrypted, so nothing was written to
    // `path`. The result is the save's result; by default the user is told and it fails.
    virtual bool OnNothingToWrite(const QString& path);

    // Shows a failure to the user (the error box).
    virtual void ReportError(const QString& message);
    // Asks for a new password with "Set File Password"; false on Cancel.
    bool AskNewPassword();
    // For kinds that open or save their files themselves: the path they now stand for.
    void SetOwnPath(const QString& path);
    // For ReadContents: the document's key, which a strong file is opened with when it fits
    // and which receives the key otherwise (cleared for a compatible file).
    strong::Key* LoadKey() { return &key_; }
    // For WriteContents: the key to write strong protection with, or null for the compatible
    // form.
    const strong::Key* SaveKey() const { return strong_ && key_.IsSet() ? &key_ : nullptr; }

    // Derives a new key for the password on a worker thread; `then` runs once it is ready,
    // `failed` (after the user was told) when it could not be derived.
    void DeriveNewKey(std::function<void()> then, std::function<void()> failed = {});

private:
    // Asks before strong protection is dropped; true when the user agrees.
    bool ConfirmWeaken();
    void FinishStrongOpen(const QString& path, BlobForm form, StrongKeyResult& result);
    void ReportStrongFailure(const QString& path, strong::Status status, int error);

    QString ownPath_;
    PasswordBuffer password_;
    bool strong_ = false;
    strong::KdfParams strongParams_;
    strong::Key key_;
    bool deriving_ = false;
    bool closeAfterSave_ = false;
    std::function<void(bool)> openedCallback_;
    // Locked by a derivation's callback: gone with the document.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The text of a system error number, as the file layer reports it.
QString FileErrorText(int error);
