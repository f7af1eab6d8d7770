#include "storage/PictureDoc.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <QFile>
#include <QFileInfo>

#include "base/CodePage.h"
#include "base/WholeFile.h"
#include "crypto/StrongFile.h"
#include "dialogs/DialogWidgets.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "dialogs/MessageDialogs.h"
#include "framework/CommandIds.h"
#include "framework/FrameHosts.h"
#include "framework/LockHost.h"
#include "framework/ResultCodes.h"
#include "storage/PictureLeftView.h"
#include "storage/StorageFile.h"
#include "storage/StorageTreeParts.h"

CPictureDoc::CPictureDoc() {
    SetScale(1);
}

CPictureDoc::~CPictureDoc() {
    DeleteContents();
}

void CPictureDoc::DeleteContents() {
    // The window's workers may be using the file: they stop first.
    CancelSave();
    if (treeView_ != nullptr) {
        treeView_->DetachDocument();
        treeView_ = nullptr;
    }
    items_.Clear();
    totalBytes_ = 0;
    file_.reset();
    heldPath_.clear();
    sealed_.reset();
    damagedReported_.clear();
    loading_ = false;
}

void CPictureDoc::OnCloseDocument() {
    closing_ = true;
    CEncryptedDocument::OnCloseDocument(); // destroys this document
}

bool CPictureDoc::OnOpenDocument(const QString& path) {
    DeleteContents();
    SetOwnPath(path);
    uint64_t size = 0;
    if (!GetFileSizeByName(NativePath(path), size) || size == 0) {
        // Nothing to read: an empty storage whose password the first save asks for.
        SetModifiedFlag(false);
        return true;
    }
    if (strong::FileHasMagic(NativePath(path))) {
        return OpenStrong(path);
    }
    CExistingPasswordDlg prompt;
    if (prompt.DoModal() != IDOK) {
        return false;
    }
    SetPassword(prompt.Password());

    // The file stays open from the check on: the load reads the file that was checked, even
    // when another takes its name meanwhile.
    file_ = std::make_shared<CompoundReader>();
    const CompoundResult opened = OpenStorageFile(NativePath(path), *file_);
    if (opened != CompoundResult::Ok) {
        file_.reset();
        ReportError(QString::fromStdString(StorageOpenErrorText(NativePath(path), opened)));
        return false;
    }
    const StoragePasswordCheck check = CheckStoragePassword(*file_, Password());
    if (check.ok()) {
        heldPath_ = NativePath(path);
        SetModifiedFlag(false);
        return true;
    }
    file_.reset();
    if (check.status == StoragePasswordStatus::NoInfoStream) {
        ReportError(QStringLiteral("Failed to open the file: %1\nThe file is not an encrypted "
                                   "storage.")
                        .arg(FileNamePart(path)));
        return false;
    }
    CFailedDecrypt(FileNamePart(path)).DoModal();
    return false;
}

bool CPictureDoc::OpenStrong(const QString& path) {
    // The file is held and its header checked before the password is asked, so nobody types
    // a password for a file that cannot be opened anyway.
    auto sealed = std::make_shared<StrongStorageFile>();
    const CompoundResult opened = sealed->Open(NativePath(path));
    if (opened == CompoundResult::NotCompoundFile && sealed->HeaderStatus() != strong::Status::Ok) {
        ReportError(QStringLiteral("Cannot open the file %1: %2.")
                        .arg(FileNamePart(path), QString::fromStdString(strong::StatusMessage(
                                                     sealed->HeaderStatus()))));
        return false;
    }
    if (opened != CompoundResult::Ok) {
        ReportError(QString::fromStdString(StorageOpenErrorText(NativePath(path), opened)));
        return false;
    }
    // The password, the key derived on a worker with the window open, empty and busy, and
    // then ReadContents.
    if (!CEncryptedDocument::OnOpenDocument(path)) {
        return false;
    }
    sealed_ = std::move(sealed);
    return true;
}

LoadTextStatus CPictureDoc::ReadContents(const std::string& path, std::string_view password,
                                         BlobForm, int* error) {
    const std::shared_ptr<StrongStorageFile> sealed = std::exchange(sealed_, nullptr);
    const strong::Key* key = LoadKey();
    if (sealed == nullptr || key == nullptr) {
        *error = EIO;
        return LoadTextStatus::Unreadable;
    }
    if (const strong::Status s = sealed->UnlockWithKey(*key); s != strong::Status::Ok) {
        *error = strong::ErrorCode(s);
        return LoadTextStatus::DecryptFailed;
    }
    auto file = std::make_shared<CompoundReader>();
    const CompoundResult opened = file->OpenSource(sealed);
    if (opened != CompoundResult::Ok) {
        *error = sealed->SawDamage() ? strong::ErrorCode(strong::Status::Damaged) : 0;
        if (opened != CompoundResult::NotCompoundFile && !sealed->SawDamage()) {
            *error = EIO;
            return LoadTextStatus::Unreadable;
        }
        return LoadTextStatus::DecryptFailed;
    }
    if (!CheckStoragePassword(*file, password).ok()) {
        *error = 0;
        return LoadTextStatus::DecryptFailed;
    }
    file_ = std::move(file);
    heldPath_ = path;
    if (treeView_ != nullptr) {
        treeView_->LoadDocumentFile();
    }
    return LoadTextStatus::Text;
}

// --- The items ------------------------------------------------------------------------------

QString CPictureDoc::ChangeRefusal() const {
    if (closing_) {
        return QStringLiteral("The storage is closing; nothing was changed.");
    }
    if (loading_ || sealed_ != nullptr) {
        return QStringLiteral("The storage is still being read; nothing was changed. Try again "
                              "when its items are shown.");
    }
    return {};
}

bool CPictureDoc::MayChange() {
    const QString refusal = ChangeRefusal();
    if (!refusal.isEmpty()) {
        Notice(refusal);
    }
    return refusal.isEmpty();
}

void CPictureDoc::Notice(const QString& text) const {
    if (CStatusHost* status = CStatusHost::Of(treeView_)) {
        status->SetStatusPaneText(kStatusMessage, text);
    }
}

void CPictureDoc::Changed() {
    ++changes_;
    SetModifiedFlag(true);
}

int32_t CPictureDoc::AddItem(std::unique_ptr<StorageItem> record) {
    if (record == nullptr || !MayChange()) {
        return -1;
    }
    totalBytes_ += static_cast<uint64_t>(std::max<int64_t>(record->size, 0));
    const int32_t index = items_.Add(std::move(record));
    Changed();
    return index;
}

bool CPictureDoc::ChangeItem(int32_t index, const std::function<void(StorageItem&)>& change) {
    if (items_.Get(index) == nullptr || !MayChange()) {
        return false;
    }
    totalBytes_ -= static_cast<uint64_t>(std::max<int64_t>(items_.Get(index)->size, 0));
    items_.Update(index, change);
    totalBytes_ += static_cast<uint64_t>(std::max<int64_t>(items_.Get(index)->size, 0));
    Changed();
    return true;
}

bool CPictureDoc::DeleteItems(const std::vector<int32_t>& indexes) {
    if (!MayChange()) {
        return false;
    }
    for (const int32_t index : indexes) {
        if (const StorageItem* record = items_.Get(index)) {
            totalBytes_ -= static_cast<uint64_t>(std::max<int64_t>(record->size, 0));
        }
        items_.Delete(index);
    }
    Changed();
    return true;
}

void CPictureDoc::EndLoad(StorageItemTable table) {
    // Nothing changed while loading (every change was refused): the table starts as read.
    items_ = std::move(table);
    loading_ = false;
    totalBytes_ = 0;
    for (int32_t i = 0; i < items_.NextIndex(); ++i) {
        if (const StorageItem* record = items_.Get(i)) {
            totalBytes_ += static_cast<uint64_t>(std::max<int64_t>(record->size, 0));
        }
    }
}

void CPictureDoc::ReportDamagedItem(int32_t index) {
    const StorageItem* item = items_.Get(index);
    if (item == nullptr || !damagedReported_.insert(index).second) {
        return;
    }
    ReportError(QStringLiteral("The item %1 is damaged and cannot be shown.")
                    .arg(QString::fromStdString(CodePage::Program()->ToUtf8(item->name))));
}

bool CPictureDoc::SaveModified() {
    if (IsSaving()) {
        closeWhenSaved_ = true;
        Notice(QStringLiteral("The storage is being saved; its window closes when the save has "
                              "ended."));
        return false;
    }
    if (!UnlockForDocumentClose()) {
        return false;
    }
    if (!IsModified()) {
        return true;
    }
    switch (SaveModifiedDlg(SaveModifiedName()).DoModal()) {
    case IDYES:
        // The window closes when the save has ended well; a failed one keeps it open.
        closeWhenSaved_ = SaveCommand();
        return false;
    case IDNO:
        return true;
    default:
        return false;
    }
}
