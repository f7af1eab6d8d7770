#include "editor/EditorDoc.h"

#include <QFileInfo>

#include "crypto/Ciphers.h"
#include "crypto/CodePage.h"
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
                           QStringLiteral("Ombrivault Storage"), MessageButtons::YesNo,
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

void CEditorDoc::DeleteContents() {
    if (CEditorView* view = GetView()) {
        view->ClearText();
    }
}
