// CRightPDFView: a PDF item shown with Qt PDF. The item's bytes are read from memory (a
// buffer, never a file) into a document shown page by page with navigation and zoom. A PDF
// that does not load shows the placeholder picture and says why in the status bar.
#pragma once

#include <cstdint>

#include <QByteArray>

#include "framework/Document.h"

class CStorageViewSite;
class QBuffer;
class QLabel;
class QPdfDocument;
class QPdfView;
class QStackedWidget;
class QToolButton;

class CRightPDFView : public CView {
    Q_OBJECT
public:
    CRightPDFView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr);
    ~CRightPDFView() override;

    void ShowPdf(int32_t index);
    // Lets go of the shown PDF (the tree deleted it): its bytes are wiped, nothing shows.
    void Forget();
    int32_t ItemIndex() const { return index_; }
    // True while the placeholder stands in for a PDF that did not load.
    bool NoPreview() const { return noPreview_; }
    QPdfDocument* PdfDocument() const { return pdf_; }
    QPdfView* PdfView() const { return view_; }
    // "Page 2 of 5".
    QString PageText() const;
    // Why the last PDF did not load; empty when it did.
    QString Failure() const { return failure_; }

    void NextPage();
    void PreviousPage();
    void ZoomIn();
    void ZoomOut();
    void FitWidth();
    // The scale the pages show at: the set zoom, or while they fit the width, the scale
    // that fits them (the zoom steps go on from there).
    qreal ShownZoom() const;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    class Placeholder;
    void Release();
    void UpdatePageText();
    void GoTo(int page);

    CStorageViewSite* site_;
    int32_t index_ = -1;
    bool noPreview_ = false;
    QString failure_;
    // The decrypted bytes the document reads; wiped when released.
    QByteArray bytes_;
    QBuffer* buffer_;
    QPdfDocument* pdf_;
    QPdfView* view_;
    Placeholder* placeholder_;
    QStackedWidget* stack_;
    QLabel* page_;
    QWidget* bar_;
};
