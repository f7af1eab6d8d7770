#include "editor/EditorDoc.h"

#include <QFileInfo>

#include "crypto/Ciphers.h"
#include "crypto/CodePage.h"
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

void Wipe(std::string& text) {
    SecureWipe(text.data(), text.size());
    text.clear();
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

QString CEditorDoc::DefaultExtension() const {
    return QStringLiteral(".ovt");
}

QString CEditorDoc::LegacyExtension() const {
    return QStringLiteral(".etx");
}

QString CEditorDoc::SaveAsFilter() const {
    return QString::fromLatin1(kSaveAsFilter);
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
        std::string stored = page->FromUtf8(typed.View());
        std::string back = page->ToUtf8(stored);
        const bool exact = back == typed.View();
        Wipe(stored);
        Wipe(back);
        if (!exact &&
            ShowMessageBox(nullptr,
                           QStringLiteral("The text holds characters that the code page %1 "
                                          "cannot store; they would be saved as \"?\".\n\nSave "
                                          "anyway?")
                               .arg(QString::fromStdString(page->Name())),
                           QStringLiteral("Ombrivault Storage"), MessageButtons::YesNo,
                           MessageIcon::Exclamation) != IDYES) {
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
    std::string inPage = CodePage::Program()->FromUtf8(typed.View());
    std::string stored = LinesToStoredText(inPage);
    Wipe(inPage);
    return stored;
}

void CEditorDoc::ConsumePlaintext(std::string_view text) {
    CEditorView* view = GetView();
    if (view == nullptr) {
        return;
    }
    std::string lines = LinesFromStoredText(text);
    std::string utf8 = CodePage::Program()->ToUtf8(lines);
    Wipe(lines);
    view->InsertLoadedText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    Wipe(utf8);
}

void CEditorDoc::DeleteContents() {
    if (CEditorView* view = GetView()) {
        view->ClearText();
    }
}
