#include "editor/EditorDoc.h"

#include <QFileInfo>

#include "base/CodePage.h"
#include "base/ProductInfo.h"
#include "crypto/AesSlices.h"
#include "crypto/Ciphers.h"
#include "crypto/EncryptedFile.h"
#include "crypto/SecretBuffer.h"
#include "editor/EditorView.h"
#include "editor/TextLines.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

namespace {

// The UTF-8 bytes of `text`, wiped when they go.
struct WipedUtf8 {
    explicit WipedUtf8(const QString& text) : bytes(text.toUtf8()) {}
    ~WipedUtf8() { SecureWipe(bytes.data(), static_cast<size_t>(bytes.size())); }
    std::string_view View() const { return {bytes.constData(), static_cast<size_t>(bytes.size())}; }
    QByteArray bytes;
};

// The view's text in the stored form, whole, for the legacy form, which is encrypted at once.
// A line break at most doubles in length, so the room is reserved once and never moves; it is
// taken a slice at a time, so only what the text needs is ever touched.
void StoredTextFromLines(const QString& text, Bytes& out) {
    constexpr size_t kSlice = size_t{1} << 20;
    StoredUtf16FromLines lines(reinterpret_cast<const char16_t*>(text.constData()),
                               static_cast<size_t>(text.size()));
    out.clear();
    ReserveLarge(out, 4 * static_cast<size_t>(text.size()) + kSlice);
    while (!lines.Done()) {
        const size_t done = out.size();
        out.resize(done + kSlice);
        out.resize(done + lines.Next(out.data() + done, kSlice));
    }
}

// The view's text encrypted straight into the file, a slice at a time.
bool StreamStoredText(const QString& text, const std::string& path, std::string_view password,
                      int* error, const strong::Key* strong) {
    StoredUtf16FromLines lines(reinterpret_cast<const char16_t*>(text.constData()),
                               static_cast<size_t>(text.size()));
    EncryptedFileStream stream;
    bool ok = stream.Open(path, password, strong);
    while (ok && !lines.Done()) {
        const std::span<uint8_t> room = stream.Room();
        ok = stream.Advance(lines.Next(room.data(), room.size()));
    }
    ok = ok && stream.Commit();
    if (!ok && error != nullptr) {
        *error = stream.LastError();
    }
    return ok;
}

} // namespace

CEditorDoc::CEditorDoc() = default;

CEditorDoc::~CEditorDoc() = default;

CEditorView* CEditorDoc::GetView() const {
    for (CView* view : GetViews()) {
        if (auto* editor = qobject_cast<CEditorView*>(view)) {
            return editor;
        }
    }
    return nullptr;
}

std::optional<BlobForm> CEditorDoc::SaveFormOf(const QString& path) const {
    return QFileInfo(path).fileName().endsWith(DefaultExtension(), Qt::CaseInsensitive)
               ? BlobForm::Current
               : BlobForm::Legacy;
}

bool CEditorDoc::OnSaveDocument(const QString& path) {
    const std::shared_ptr<const CodePage> page = CodePage::Program();
    CEditorView* view = GetView();
    if (!page->IsUtf8() && view != nullptr) {
        const WipedUtf8 typed(view->GetAllText());
        const SecretBuffer stored(page->FromUtf8(typed.View()));
        const SecretBuffer back(page->ToUtf8(stored.View()));
        const bool exact = back.View() == typed.View();
        if (!exact &&
            ShowMessageBox(nullptr,
                           QStringLiteral("The text holds characters that the code page %1 "
                                          "cannot store; they would be saved as \"?\".\n\nSave "
                                          "anyway?")
                               .arg(QString::fromStdString(page->Name())),
                           QString::fromLatin1(kAppTitle), MessageButtons::YesNo,
                           MessageIcon::Exclamation) != MessageResult::Yes) {
            return false;
        }
    }
    return CEncryptedDocument::OnSaveDocument(path);
}

std::string CEditorDoc::ProducePlaintext() {
    CEditorView* view = GetView();
    if (view == nullptr) {
        return {};
    }
    const WipedUtf8 typed(view->GetAllText());
    const SecretBuffer inPage(CodePage::Program()->FromUtf8(typed.View()));
    return LinesToStoredText(inPage.View());
}

void CEditorDoc::ConsumePlaintext(std::string_view text) {
    CEditorView* view = GetView();
    if (view == nullptr) {
        return;
    }
    const SecretBuffer lines(LinesFromStoredText(text));
    const SecretBuffer utf8(CodePage::Program()->ToUtf8(lines.View()));
    view->InsertLoadedText(QString::fromUtf8(utf8.CStr(), static_cast<qsizetype>(utf8.Size())));
}

LoadTextStatus CEditorDoc::ReadContents(const std::string& path, std::string_view password,
                                        BlobForm form, int* error) {
    CEditorView* view = GetView();
    if (view == nullptr || !CodePage::Program()->IsUtf8()) {
        return CEncryptedDocument::ReadContents(path, password, form, error);
    }
    Bytes stored;
    const LoadTextStatus status =
        LoadEncryptedUtf16(path, password, form, stored, error, LoadKey());
    if (status == LoadTextStatus::Text) {
        DeleteContents();
        QString lines(static_cast<qsizetype>(stored.size() / 2), Qt::Uninitialized);
        lines.truncate(static_cast<qsizetype>(LinesFromStoredUtf16(
            stored.data(), stored.size(), reinterpret_cast<char16_t*>(lines.data()))));
        view->InsertLoadedLines(lines);
        SecureWipe(lines.data(), static_cast<size_t>(lines.size()) * sizeof(QChar));
    }
    SecureWipe(stored.data(), stored.size());
    return status;
}

CEncryptedDocument::WriteResult CEditorDoc::WriteContents(const std::string& path,
                                                          std::string_view password, BlobForm form,
                                                          int* error) {
    CEditorView* view = GetView();
    if (view == nullptr || !CodePage::Program()->IsUtf8()) {
        return CEncryptedDocument::WriteContents(path, password, form, error);
    }
    QString text = view->Edit()->document()->toRawText();
    if (text.isEmpty()) {
        return WriteResult::NothingToWrite;
    }
    bool written = false;
    if (form == BlobForm::Current) {
        written = StreamStoredText(text, path, password, error, SaveKey());
    } else {
        // The stored text is encrypted and wiped by the save.
        Bytes stored;
        StoredTextFromLines(text, stored);
        written = SaveEncryptedUtf16(path, stored, password, form, error, SaveKey());
        SecureWipe(stored.data(), stored.size());
    }
    SecureWipe(text.data(), static_cast<size_t>(text.size()) * sizeof(QChar));
    return written ? WriteResult::Written : WriteResult::Failed;
}

void CEditorDoc::DeleteContents() {
    if (CEditorView* view = GetView()) {
        view->ClearText();
    }
}
