// Documents stored as one encrypted file (the passwords and the text documents): the
// password they hold while open, and the flows they share - opening with "Enter Password",
// saving in the form the extension names, Save As, Set Password, the Open command and the
// close check. A kind names its class in the table of document kinds (extensions, filters)
// and says what else differs through the hooks below.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "crypto/EncryptedFile.h"
#include "dialogs/PasswordBuffer.h"
#include "documents/DocumentKinds.h"
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
    // WriteContents had no text, which cannot be encrypted, so nothing was written to
    // `path`. The result is the save's result; by default the user is told and it fails.
    virtual bool OnNothingToWrite(const QString& path);

    // Shows a failure to the user (the error box).
    virtual void ReportError(const QString& message);
    // Asks for a new password with "Set File Password"; false on Cancel.
    bool AskNewPassword();
    // For kinds that open or save their files themselves: the path they now stand for.
    void SetOwnPath(const QString& path);

private:
    QString ownPath_;
    PasswordBuffer password_;
};

// The text of a system error number, as the file layer reports it.
QString FileErrorText(int error);
