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

bool IsLineBreak(char16_t c) {
    return c == u'\n' || c == 0x2028 || c == 0x2029;
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The view's text as stored: UTF-16LE with CR LF for every line break (CR LF, CR, LF and the
// line and paragraph separators), and U+FFFD for a lone surrogate, which UTF-8 cannot carry.
void StoredTextFromLines(const QString& text, Bytes& out) {
    const auto* units = reinterpret_cast<const char16_t*>(text.constData());
    const size_t length = static_cast<size_t>(text.size());
    size_t breaks = 0;
    for (size_t i = 0; i < length; ++i) {
        breaks += units[i] == u'\r' || IsLineBreak(units[i]);
    }
    out.clear();
    out.resize(2 * (length + breaks));
    uint8_t* p = out.data();
    const auto put = [&p](char16_t c) {
        *p++ = static_cast<uint8_t>(c & 0xFF);
        *p++ = static_cast<uint8_t>(c >> 8);
    };
    for (size_t i = 0; i < length; ++i) {
        const char16_t c = units[i];
        if (c == u'\r' || IsLineBreak(c)) {
            if (c == u'\r' && i + 1 < length && IsLineBreak(units[i + 1])) {
                ++i;
            }
            put(u'\r');
            put(u'\n');
        } else if (IsHighSurrogate(c) && i + 1 < length && IsLowSurrogate(units[i + 1])) {
            put(c);
            put(units[++i]);
        } else {
            put(IsHighSurrogate(c) || IsLowSurrogate(c) ? char16_t{0xFFFD} : c);
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

// The stored UTF-16LE text up to its first NUL as the view's lines: every line break becomes
// LF, and a lone surrogate U+FFFD.
QString LinesFromStoredUtf16(const Bytes& stored) {
    const size_t length = stored.size() / 2;
    QString lines(static_cast<qsizetype>(length), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(lines.data());
    size_t n = 0;
    const auto unit = [&stored](size_t i) {
        return static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
    };
    for (size_t i = 0; i < length; ++i) {
        const char16_t c = unit(i);
        if (c == 0) {
            break;
        }
        if (c == u'\r') {
            if (i + 1 < length && unit(i + 1) == u'\n') {
                ++i;
            }
            out[n++] = u'\n';
        } else if (IsLineBreak(c)) {
            out[n++] = u'\n';
        } else if (IsHighSurrogate(c) && i + 1 < length && IsLowSurrogate(unit(i + 1))) {
            out[n++] = c;
            out[n++] = unit(++i);
        } else {
            out[n++] = IsHighSurrogate(c) || IsLowSurrogate(c) ? char16_t{0xFFFD} : c;
        }
    }
    lines.truncate(static_cast<qsizetype>(n));
    return lines;
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

LoadTextStatus CEditorDoc::ReadContents(const std::string& path, std::string_view password,
                                        BlobForm form, int* error) {
    CEditorView* view = GetView();
    if (view == nullptr || !CodePage::Program()->IsUtf8()) {
        return CEncryptedDocument::ReadContents(path, password, form, error);
    }
    Bytes stored;
    const LoadTextStatus status = LoadEncryptedUtf16(path, password, form, stored, error);
    if (status == LoadTextStatus::Text) {
        DeleteContents();
        QString lines = LinesFromStoredUtf16(stored);
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
    Bytes stored;
    QString text = view->Edit()->document()->toRawText();
    StoredTextFromLines(text, stored);
    SecureWipe(text.data(), static_cast<size_t>(text.size()) * sizeof(QChar));
    if (stored.empty()) {
        return WriteResult::NothingToWrite;
    }
    // The stored text is encrypted in place and wiped by the save.
    const bool written = SaveEncryptedUtf16(path, stored, password, form, error);
    SecureWipe(stored.data(), stored.size());
    return written ? WriteResult::Written : WriteResult::Failed;
}

void CEditorDoc::DeleteContents() {
    if (CEditorView* view = GetView()) {
        view->ClearText();
    }
}
