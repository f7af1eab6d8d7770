#include "framework/DocTemplate.h"

#include <algorithm>

#include <QFileInfo>

#include "framework/ChildFrame.h"
#include "framework/DocManager.h"
#include "framework/Document.h"

QString CanonicalDocumentPath(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(info.absoluteFilePath()).absoluteFilePath() : canonical;
}

CDocTemplate::CDocTemplate(int resourceId, const QString& docString, DocumentFactory makeDocument,
                           FrameFactory makeFrame, ViewFactory makeView)
    : resourceId_(resourceId), makeDocument_(std::move(makeDocument)),
      makeFrame_(std::move(makeFrame)), makeView_(std::move(makeView)) {
    if (!docString.isEmpty()) {
        fields_ = docString.split(QLatin1Char('\n'));
    }
}

CDocTemplate::~CDocTemplate() = default;

QString CDocTemplate::GetDocString(DocStringIndex index) const {
    return index < fields_.size() ? fields_[index] : QString();
}

CDocTemplate::Confidence CDocTemplate::MatchDocType(const QString& path, CDocument*& match) const {
    match = nullptr;
    const QString canonical = CanonicalDocumentPath(path);
    for (const auto& doc : documents_) {
        if (!doc->GetPathName().isEmpty() &&
            CanonicalDocumentPath(doc->GetPathName()) == canonical) {
            match = doc.get();
            return yesAlreadyOpen;
        }
    }
    const QString ext = GetDocString(filterExt);
    if (ext.isEmpty()) {
        // A kind without a file type takes no files at all.
        return fields_.isEmpty() ? noAttempt : maybeAttemptForeign;
    }
    const QString suffix = QFileInfo(path).fileName();
    const qsizetype dot = suffix.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && suffix.mid(dot).compare(ext, Qt::CaseInsensitive) == 0) {
        return yesAttemptNative;
    }
    return maybeAttemptForeign;
}

CView* CDocTemplate::CreateView(CDocument* document) const {
    return makeView_ ? makeView_(document) : nullptr;
}

std::vector<CDocument*> CDocTemplate::GetDocuments() const {
    std::vector<CDocument*> docs;
    for (const auto& doc : documents_) {
        docs.push_back(doc.get());
    }
    return docs;
}

void CDocTemplate::RemoveDocument(CDocument* document) {
    auto it = std::find_if(documents_.begin(), documents_.end(),
                           [document](const auto& d) { return d.get() == document; });
    if (it != documents_.end()) {
        std::unique_ptr<CDocument> owned = std::move(*it);
        documents_.erase(it);
    }
}

CDocument* CDocTemplate::OpenDocumentFile(const QString& path, bool makeVisible) {
    if (!makeDocument_ || !makeFrame_) {
        return nullptr;
    }
    std::unique_ptr<CDocument> owned = makeDocument_();
    if (!owned) {
        return nullptr;
    }
    CDocument* doc = owned.get();
    doc->SetDocTemplate(this);
    documents_.push_back(std::move(owned));

    // The frame exists (hidden) while the document loads, so loading can fill its views.
    CMDIChildWnd* frame = makeFrame_();
    if (frame == nullptr || !frame->Create(doc, this)) {
        delete frame;
        RemoveDocument(doc);
        return nullptr;
    }
    if (manager_ != nullptr) {
        manager_->AddChildFrame(frame);
    }

    bool ok = false;
    if (path.isEmpty()) {
        const QString base = GetDocString(docName);
        doc->SetTitle((base.isEmpty() ? QStringLiteral("Untitled") : base) +
                      QString::number(++untitledCount_));
        ok = doc->OnNewDocument();
    } else {
        doc->SetTitle(QFileInfo(path).fileName());
        ok = doc->OnOpenDocument(path);
        if (ok) {
            doc->SetPathName(path, true);
        }
    }
    if (!ok) {
        doc->OnCloseDocument(); // closes the hidden frame and destroys the document
        return nullptr;
    }
    frame->InitialUpdateFrame(makeVisible);
    if (makeVisible && manager_ != nullptr) {
        manager_->ActivateChildFrame(frame);
    }
    return doc;
}
