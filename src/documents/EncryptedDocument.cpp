#include "documents/EncryptedDocument.h"

#include <system_error>
#include <utility>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/FileErrors.h"
#include "base/ProductInfo.h"
#include "base/SimpleFile.h"
#include "controls/SecretClipboard.h"
#include "crypto/SecretBuffer.h"
#include "crypto/StrongFile.h"
#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "dialogs/MessageDialogs.h"
#include "dialogs/PasswordDlg.h"
#include "framework/CommandIds.h"
#include "framework/DocManager.h"
#include "framework/DocTemplate.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"

namespace {

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The position of the dot that starts the extension of the file name in `path`, or -1.
qsizetype ExtensionDot(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? dot : -1;
}

} // namespace

QString FileErrorText(int error) {
    if (error == kErrorDiskFull) {
        return QStringLiteral("There is not enough space on the disk.");
    }
    return QString::fromStdString(FileErrorMessage(error)) + QLatin1Char('.');
}

CEncryptedDocument::CEncryptedDocument() = default;

CEncryptedDocument::~CEncryptedDocument() = default;

bool CEncryptedDocument::OnNewDocument() {
    ownPath_.clear();
    password_.Clear();
    strong_ = false;
    key_.Clear();
    return CDocument::OnNewDocument();
}

QString CEncryptedDocument::DefaultExtension() const {
    return QString::fromStdString(::DefaultExtension(Class()));
}

QString CEncryptedDocument::LegacyExtension() const {
    return QString::fromStdString(::LegacyExtension(Class()));
}

QString CEncryptedDocument::SaveAsFilter() const {
    return QString::fromStdString(::SaveAsFilter(Class()));
}

std::optional<BlobForm> CEncryptedDocument::OpenFormOf(const QString& path) const {
    // Only the file name's own extension counts, not a dot in a folder name.
    const qsizetype dot = ExtensionDot(path);
    return dot < 0 ? std::nullopt : BlobFormOf(Class(), path.mid(dot).toStdString());
}

std::optional<BlobForm> CEncryptedDocument::SaveFormOf(const QString& path) const {
    return OpenFormOf(path);
}

bool CEncryptedDocument::OnOpenDocument(const QString& path) {
    ownPath_ = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        // A name for a file that does not exist yet: it is made by the first save.
        DeleteContents();
        SetModifiedFlag(false);
        return true;
    }
    // The kind is checked before the password is asked, so nobody types a password for a
    // file that cannot be opened anyway.
    const std::optional<BlobForm> form = OpenFormOf(path);
    if (!form) {
        ReportError(QStringLiteral("Cannot open the file %1: this kind of document is stored "
                                   "in files ending in \"%2\" or \"%3\".")
                        .arg(FileNamePart(path), DefaultExtension(), LegacyExtension()));
        return false;
    }

    CExistingPasswordDlg prompt;
    if (prompt.DoModal() != IDOK) {
        return false;
    }
    password_.SetBytes(prompt.Password());

    strong_ = false;
    key_.Clear();
    if (SupportsStrongProtection() && strong::FileHasMagic(NativePath(path))) {
        // The key takes about a second to derive: the window opens empty and busy, and the
        // contents follow when the worker has the key (or the window closes again, saying
        // why, when it has none).
        DeleteContents();
        SetModifiedFlag(false);
        deriving_ = true;
        StrongKeyRequest request{SecretBuffer(password_.View()), NativePath(path), {}};
        CStrongKeyJob::Start(std::move(request), alive_,
                             [this, path, form = *form](StrongKeyResult& result) {
                                 FinishStrongOpen(path, form, result);
                             });
        return true;
    }

    int error = 0;
    switch (ReadContents(NativePath(path), password_.View(), *form, &error)) {
    case LoadTextStatus::Text:
        break;
    case LoadTextStatus::Unreadable:
        ReportError(QStringLiteral("Cannot read the file %1: %2")
                        .arg(FileNamePart(path), FileErrorText(error)));
        return false;
    case LoadTextStatus::DecryptFailed:
        CFailedDecrypt(FileNamePart(path)).DoModal();
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

LoadTextStatus CEncryptedDocument::ReadContents(const std::string& path, std::string_view password,
                                                BlobForm form, int* error) {
    SecretBuffer plain;
    const LoadTextStatus status =
        LoadEncryptedText(path, password, form, plain.Bytes(), error, LoadKey());
    if (status == LoadTextStatus::Text) {
        DeleteContents();
        ConsumePlaintext(plain.View());
    }
    return status;
}

CEncryptedDocument::WriteResult CEncryptedDocument::WriteContents(const std::string& path,
                                                                  std::string_view password,
                                                                  BlobForm form, int* error) {
    const SecretBuffer plain(ProducePlaintext());
    if (plain.Empty()) {
        return WriteResult::NothingToWrite;
    }
    return SaveEncryptedText(path, plain.View(), password, form, error, SaveKey())
               ? WriteResult::Written
               : WriteResult::Failed;
}

bool CEncryptedDocument::AskNewPassword() {
    CPasswordDlg prompt;
    if (SupportsStrongProtection()) {
        prompt.OfferStrongProtection(strong_);
    }
    if (prompt.DoModal() != IDOK) {
        return false;
    }
    password_.SetBytes(prompt.Password());
    // A new password needs a new key; it is derived by the save.
    key_.Clear();
    if (strong_ != prompt.StrongProtection() && (!strong_ || ConfirmWeaken())) {
        strong_ = prompt.StrongProtection();
    }
    return true;
}

void CEncryptedDocument::SetOwnPath(const QString& path) {
    ownPath_ = QFileInfo(path).absoluteFilePath();
}

bool CEncryptedDocument::OnSaveDocument(const QString& path) {
    if (password_.Empty() && !AskNewPassword()) {
        return false;
    }
    ownPath_ = QFileInfo(path).absoluteFilePath();

    const std::optional<BlobForm> form = SaveFormOf(path);
    if (!form) {
        ReportError(QStringLiteral("The document was not saved: %1 is not a name this kind of "
                                   "document can be stored under. Use a name ending in \"%2\" "
                                   "or \"%3\".")
                        .arg(FileNamePart(path), DefaultExtension(), LegacyExtension()));
        return false;
    }
    if (strong_ && !key_.IsSet()) {
        // The key for this password comes first; the save follows when it is ready.
        if (!deriving_) {
            DeriveNewKey([this, path] {
                if (OnSaveDocument(path) && closeAfterSave_) {
                    OnCloseDocument(); // destroys this document
                    return;
                }
                closeAfterSave_ = false;
            });
        }
        return false;
    }
    int error = 0;
    const WriteResult written = WriteContents(NativePath(path), password_.View(), *form, &error);
    if (written == WriteResult::NothingToWrite) {
        return OnNothingToWrite(path);
    }
    if (written == WriteResult::Failed) {
        ReportError(QStringLiteral("The document could not be saved to %1: %2\nThe file on "
                                   "disk was left as it was; the changes are still open here.")
                        .arg(path, FileErrorText(error)));
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CEncryptedDocument::OnNothingToWrite(const QString& path) {
    ReportError(QStringLiteral("An empty document cannot be encrypted, so nothing was "
                               "written to %1.")
                    .arg(path));
    return false;
}

void CEncryptedDocument::ReportError(const QString& message) {
    CErrorDlg(message).DoModal();
}

bool CEncryptedDocument::SaveCommand() {
    if (ownPath_.isEmpty()) {
        return SaveAsCommand();
    }
    if (password_.Empty() && !AskNewPassword()) {
        return false;
    }
    return OnSaveDocument(ownPath_);
}

QString CEncryptedDocument::WithDefaultExtension(const QString& path) const {
    return ExtensionDot(path) < 0 ? path + DefaultExtension() : path;
}

QString CEncryptedDocument::ProposedSaveAsName() const {
    QString name = GetTitle();
    const qsizetype dot = ExtensionDot(name);
    name = (dot >= 0 ? name.left(dot) : name) + DefaultExtension();
    if (!GetPathName().isEmpty() && !name.contains(QLatin1Char('/'))) {
        name = QFileInfo(GetPathName()).dir().filePath(name);
    }
    return name;
}

QString CEncryptedDocument::SaveModifiedName() const {
    if (!ownPath_.isEmpty()) {
        return ownPath_;
    }
    return GetTitle().contains(QLatin1Char('.')) ? GetTitle() : GetTitle() + DefaultExtension();
}

bool CEncryptedDocument::SaveAsCommand() {
    CTimedFileDialog dialog(false, QString(), ProposedSaveAsName(), 0, SaveAsFilter(), nullptr,
                            ID_FILE_SAVE_AS);
    if (dialog.DoModal() != IDOK) {
        return false;
    }
    // The extension is added before the replace question, so the question is asked about
    // the file that is really written.
    const QString path = WithDefaultExtension(dialog.GetPathName());
    if (QFileInfo::exists(path) && CFileExistsDlg().DoModal() != IDOK) {
        return false;
    }
    if (SaveAsAsksNewPassword()) {
        password_.Clear();
    }
    const bool saved = OnSaveDocument(path);
    // The window, the recent files and the next Save all name the chosen file, also when
    // this save did not complete.
    ownPath_ = QFileInfo(path).absoluteFilePath();
    SetPathName(path, true);
    return saved;
}

bool CEncryptedDocument::SetPasswordCommand() {
    CPasswordDlg prompt;
    prompt.SetChangeMode(true);
    prompt.SetCurrentPassword(password_.View());
    if (SupportsStrongProtection()) {
        prompt.OfferStrongProtection(strong_);
    }
    if (prompt.DoModal() != IDOK) {
        return false;
    }
    password_.SetBytes(prompt.Password());
    key_.Clear();
    if (strong_ != prompt.StrongProtection() && (!strong_ || ConfirmWeaken())) {
        strong_ = prompt.StrongProtection();
        SetModifiedFlag(true);
    }
    if (strong_) {
        // The new password's key, derived now so that the next save does not wait for it.
        DeriveNewKey([] {});
    }
    return true;
}

void CEncryptedDocument::OpenCommand() {
    CTimedFileDialog dialog(true, QString(), QString(), CTimedFileDialog::FileMustExist,
                            QString::fromStdString(OpenFilter()), nullptr, 0);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const CDocTemplate* docTemplate = GetDocTemplate();
    if (docTemplate != nullptr && docTemplate->GetDocManager() != nullptr) {
        docTemplate->GetDocManager()->OpenDocumentFile(dialog.GetPathName());
    }
}

void CEncryptedDocument::OnCloseDocument() {
    // The views name the document as their editors see it: through its framework base.
    SecretClipboard::Instance().OwnerClosed(static_cast<const CDocument*>(this));
    CDocument::OnCloseDocument(); // destroys this document
}

bool CEncryptedDocument::SaveModified() {
    if (!UnlockForDocumentClose()) {
        return false;
    }
    if (!IsModified()) {
        return true;
    }
    switch (SaveModifiedDlg(SaveModifiedName()).DoModal()) {
    case IDYES: {
        // Closing after a save that did not happen would lose the changes. A save that waits
        // for its key closes the document once it is written.
        const bool saved = SaveCommand();
        closeAfterSave_ = !saved && deriving_;
        return saved;
    }
    case IDNO:
        return true;
    default:
        return false;
    }
}

bool CEncryptedDocument::OnCommand(int id) {
    switch (id) {
    case ID_FILE_SAVE:
        SaveCommand();
        return true;
    case ID_FILE_SAVE_AS:
        SaveAsCommand();
        return true;
    case ID_SET_FILE_PASSWORD:
        SetPasswordCommand();
        return true;
    case ID_FILE_OPEN:
        OpenCommand();
        return true;
    case ID_FILE_PROTECTION:
        ProtectionCommand();
        return true;
    default:
        return CDocument::OnCommand(id);
    }
}

bool CEncryptedDocument::OnUpdateCommand(CCmdUI& ui) {
    switch (ui.id) {
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_SET_FILE_PASSWORD:
    case ID_FILE_OPEN:
        return true;
    case ID_FILE_PROTECTION:
        ui.Enable(SupportsStrongProtection());
        return true;
    default:
        return CDocument::OnUpdateCommand(ui);
    }
}
