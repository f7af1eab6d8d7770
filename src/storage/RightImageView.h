// CPictureRightImageView: the picture of an image item, fitted to the view or zoomed by the
// document's shared zoom factor and drawn at the top left with scroll bars. The picture is
// decoded once when the item is shown; painting draws only the visible part of a screen copy.
#pragma once

#include <cstdint>
#include <vector>

#include <QImage>

#include "framework/Document.h"
#include "image/ObjImage.h"
#include "image/PclTemplates.h"

// What the status bar says when an image item's picture does not decode.
inline constexpr const char* kPictureNotShownText =
    "The picture cannot be shown: it is damaged or in a form this program cannot read.";
// ... and when it decodes but is too large to draw (width, height, the limit in MB).
inline constexpr const char* kPictureTooLargeText =
    "The picture cannot be shown: at %1 x %2 pixels, the copy drawn on screen would take more "
    "than the %3 MB a picture may.";

class CStorageViewSite;
class QAbstractScrollArea;
class QMenu;
class QPainter;
class QPrinter;

class CPictureRightImageView : public CView {
    Q_OBJECT
public:
    CPictureRightImageView(CDocument* document, CStorageViewSite* site, QWidget* parent = nullptr);
    ~CPictureRightImageView() override;

    // Decodes the item's picture (the placeholder when it does not decode or is too large to
    // draw, with the reason in the status bar), takes the fit mode from the item and takes
    // the keyboard focus.
    void ShowImage(int32_t index);
    // Lets go of the shown item (the tree deleted it): the view shows nothing.
    void Forget();
    int32_t ItemIndex() const { return index_; }
    bool FitMode() const { return fit_; }
    const FCObjImage& Picture() const { return picture_; }
    // The picture as painting draws it: its pixels seen upside down, without a copy.
    const QImage& ScreenPicture() const { return screen_; }

    // Which of the main toolbar's Fit and Actual Size buttons shows pressed.
    enum class ZoomButton { None, Fit, ActualSize };
    ZoomButton PressedButton() const { return pressed_; }
    // The scrollable size: none in fit mode, else the picture's size at the zoom factor.
    QSize ScrollRange() const;
    // The picture's area in the view (before scrolling), as it is drawn.
    ImageRect PictureArea() const;

    void FitToView();
    void ActualSize();
    void ZoomIn();
    void ZoomOut();
    // The picture to the clipboard; pictures of fewer than 24 bits per pixel are not copied.
    void Copy();
    // The clipboard picture replaces the shown one and is stored in the item (as BMP); the
    // clipboard is emptied. Nothing happens without a picture on the clipboard.
    void Paste();
    // Draws the picture onto the printer's page as it is on screen.
    void PrintTo(QPrinter& printer);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;
    // The context menu with its entries enabled as the command routing says (not shown).
    QMenu* CreateContextMenu(QWidget* parent);

    // The scrolling area the picture is painted in.
    QAbstractScrollArea* Canvas() const;
    // Paints the visible part `exposed` of the view's client area, scrolled by `offset`.
    void Render(QPainter& painter, const QRect& client, const QRect& exposed,
                const QPoint& offset) const;

private:
    class ImageCanvas;
    void UpdateScrollRange();
    void Redraw();
    PCL_Interface_ZoomScale& Zoom() const;

    CStorageViewSite* site_;
    ImageCanvas* canvas_;
    int32_t index_ = -1;
    bool fit_ = true;
    ZoomButton pressed_ = ZoomButton::Fit;
    void SetPicture(FCObjImage picture);
    // Zoomed drawing of the part `visible` of the picture's area `target`: the pixels are
    // picked straight from the picture into a buffer the size of the view and drawn 1:1.
    void RenderZoomed(QPainter& painter, const QRect& visible, const QRect& target) const;

    FCObjImage picture_;
    // The 24-bit copy of a picture of another depth, drawn instead of it.
    FCObjImage drawn_;
    QImage screen_;
    mutable QImage zoomBuffer_;
    mutable std::vector<int32_t> columns_;
    // Used only without a site.
    mutable PCL_Interface_ZoomScale ownZoom_;
};
