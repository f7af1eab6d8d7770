// CPDFView, despite its name, is the form that adds a PDF file; the viewer is CRightPDFView.
// CPDFView: "Add Adobe PDF Document" from a file typed or chosen with Browse.
#pragma once

#include "storage/CreateFormBase.h"

class CPDFView : public CCreateFormBase {
    Q_OBJECT
public:
    static const QString kFilter;
    // Browse, as the screen lock re-issues it.
    static constexpr int kBrowseCommand = 1157;

    CPDFView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr);

    QPushButton* BrowseButton() const { return browse_; }

protected:
    void Action(const QString& text) override;

private:
    QPushButton* browse_;
};
