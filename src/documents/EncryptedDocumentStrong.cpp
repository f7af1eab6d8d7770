// Strong protection of an encrypted document: opening with a derived key, switching the
// protection, and deriving a new key on a worker before a save.
#include "documents/EncryptedDocument.h"

#include <utility>

#include <QFile>

#include "base/ProductInfo.h"
#include "crypto/SecretBuffer.h"
#include "crypto/StrongFile.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/MessageDialogs.h"
#include "framework/MessageBox.h"

void CEncryptedDocument::FinishStrongOpen(const QString& path, BlobForm form,
                                          StrongKeyResult& result) {
    deriving_ = false;
    if (result.status == strong::Status::Ok) {
        key_ = std::move(result.key);
        strong_ = true;
        strongParams_ = key_.Params();
        int error = 0;
        switch (
            ReadContents(QFile::encodeName(path).toStdString(), password_.View(), form, &error)) {
        case LoadTextStatus::Text:
            SetModifiedFlag(false);
            OnContentsLoaded();
            if (const auto opened = std::exchange(openedCallback_, {})) {
                opened(true);
            }
            return;
        case LoadTextStatus::Unreadable:
            ReportError(QStringLiteral("Cannot read the file %1: %2")
                            .arg(FileNamePart(path), FileErrorText(error)));
            break;
        case LoadTextStatus::DecryptFailed:
            ReportStrongFailure(path, strong::StatusOfError(error), error);
            break;
        }
    } else {
        ReportStrongFailure(path, result.status, result.error);
    }
    const auto opened = std::exchange(openedCallback_, {});
    OnCloseDocument(); // destroys this document
    if (opened) {
        opened(false);
    }
}

void CEncryptedDocument::ReportStrongFailure(const QString& path, strong::Status status,
                                             int error) {
    switch (status) {
    case strong::Status::Ok:
    case strong::Status::WrongPassword:
    case strong::Status::Damaged:
        CFailedDecrypt(FileNamePart(path)).DoModal();
        return;
    case strong::Status::ReadFailed:
        ReportError(QStringLiteral("Cannot read the file %1: %2")
                        .arg(FileNamePart(path), FileErrorText(error)));
        return;
    default:
        ReportError(
            QStringLiteral("Cannot open the file %1: %2.")
                .arg(FileNamePart(path), QString::fromStdString(strong::StatusMessage(status))));
        return;
    }
}

bool CEncryptedDocument::ConfirmWeaken() {
    const QString name = FileNamePart(SaveModifiedName());
    return ShowMessageBox(nullptr, QString::fromLatin1(kWeakenQuestion).arg(name),
                          QString::fromLatin1(kAppTitle), MessageButtons::YesNo,
                          MessageIcon::Exclamation) == MessageResult::Yes;
}

void CEncryptedDocument::DeriveNewKey(std::function<void()> then, std::function<void()> failed) {
    deriving_ = true;
    StrongKeyRequest request{SecretBuffer(password_.View()), {}, strongParams_};
    CStrongKeyJob::Start(
        std::move(request), alive_,
        [this, then = std::move(then), failed = std::move(failed)](StrongKeyResult& result) {
            deriving_ = false;
            if (result.status != strong::Status::Ok) {
                closeAfterSave_ = false;
                ReportError(QStringLiteral("The key for strong protection could not be "
                                           "derived: %1. The document was not saved.")
                                .arg(QString::fromStdString(strong::StatusMessage(result.status))));
                if (failed) {
                    failed();
                }
                return;
            }
            key_ = std::move(result.key);
            then();
        });
}

bool CEncryptedDocument::ProtectionCommand() {
    if (!SupportsStrongProtection() || deriving_) {
        return false;
    }
    const QString name = FileNamePart(SaveModifiedName());
    if (strong_) {
        if (!ConfirmWeaken()) {
            return false;
        }
        strong_ = false;
        key_.Clear();
    } else {
        if (ShowMessageBox(nullptr, QString::fromLatin1(kStrengthenQuestion).arg(name),
                           QString::fromLatin1(kAppTitle), MessageButtons::YesNo,
                           MessageIcon::Question) != MessageResult::Yes) {
            return false;
        }
        strong_ = true;
        key_.Clear();
        if (!password_.Empty()) {
            // Derived now, so the save that follows does not wait for it.
            DeriveNewKey([] {});
        }
    }
    SetModifiedFlag(true);
    return true;
}

QString CEncryptedDocument::ProtectionPaneText(const CDocument* document) {
    const auto* encrypted = dynamic_cast<const CEncryptedDocument*>(document);
    return encrypted != nullptr && encrypted->IsStrong() ? QStringLiteral("Strong") : QString();
}
