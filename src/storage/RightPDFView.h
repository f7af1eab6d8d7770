// CRightPDFView: a PDF item shown page by page with navigation and zoom. The item's bytes are
// read from memory, never a file, by the PDF module's pane (storage/PdfPane.h), which is
// loaded and made when the first PDF is shown. A PDF that does not load shows the placeholder
// picture and says why in the status bar.
#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>

#include "framework/Document.h"

class CPdfPane;
class CStorageViewSite;
class QLabel;
class QStackedWidget;

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
    bool NoPreview() const { return !failure_.isEmpty(); }
    // The pane that shows the pages; null until the first PDF with bytes is shown, and
    // while the PDF module cannot be loaded.
    CPdfPane* Pane() const { return pane_.get(); }
    // "Page 2 of 5".
    QString PageText() const;
    // Why the last PDF did not load; empty when it did or none was asked for.
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
    // Zooms to `factor` with the point under the centre of the view staying there (as far as
    // the pages reach).
    static void ZoomKeepingCentre(CPdfPane& pane, qreal factor);
    // The pane, made on first use; null with the reason in `failure_` when the module cannot
    // be loaded.
    CPdfPane* MakePane();
    // A shown PDF's pane (null while none shows).
    CPdfPane* Shown() const;

    CStorageViewSite* site_;
    int32_t index_ = -1;
    QString failure_;
    // The decrypted bytes the document reads; wiped when released.
    QByteArray bytes_;
    std::unique_ptr<CPdfPane> pane_;
    // Stands in for the pane before there is one.
    QWidget* blank_;
    Placeholder* placeholder_;
    QStackedWidget* stack_;
    QLabel* page_;
    QWidget* bar_;
};
