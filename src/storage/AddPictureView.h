// CAddPictureView: "Add New Image" from a file (typed or chosen with Browse) or pasted from
// the clipboard. The Paste Image button is enabled exactly while the clipboard holds a
// picture, checked every 100 ms.
#pragma once

#include <QTimer>

#include "storage/CreateFormBase.h"

class CAddPictureView : public CCreateFormBase {
    Q_OBJECT
public:
    static constexpr int kClipboardCheckMs = 100;
    // The Browse dialog's filter.
    static const QString kFilter;
    // Browse, as the screen lock re-issues it.
    static constexpr int kBrowseCommand = 1108;

    CAddPictureView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr);

    QPushButton* BrowseButton() const { return browse_; }
    QPushButton* PasteButton() const { return paste_; }
    const QTimer& ClipboardTimer() const { return timer_; }

    // The clipboard picture as a new item named by the edit box, or "Untitled Image".
    void PasteImage();
    // One check of the timer: Paste Image follows the clipboard.
    void UpdatePasteButton();

protected:
    void Action(const QString& text) override;

private:
    QPushButton* browse_;
    QPushButton* paste_;
    QTimer timer_;
};
