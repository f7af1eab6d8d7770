// What the storage window's PDF view needs of a PDF viewer, as a plain interface. The viewer
// lives in a module of its own (ombrivault-pdf.so) that is loaded when the first PDF is
// shown, so a start of the program that shows none never loads the PDF libraries; this
// header is all the module and the program share.
#pragma once

#include <functional>

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QSizeF>

class QWidget;

class CPdfPane {
public:
    enum class LoadError { None, InvalidFormat, Password, Incomplete, Unreadable };

    virtual ~CPdfPane() = default;

    // The widget that shows the pages; a child of the parent given at creation, deleted with
    // this object.
    virtual QWidget* Widget() = 0;
    // Raised on the user-interface thread when another page becomes the current one.
    virtual void SetPageChanged(std::function<void()> changed) = 0;

    // Reads the document from `bytes` (shared, never copied) and shows it from its first page,
    // fitted to the width. Anything but None leaves nothing open.
    virtual LoadError Load(const QByteArray& bytes) = 0;
    // Shows nothing and lets go of every reference to the loaded bytes.
    virtual void Close() = 0;
    // Whether a document is shown.
    virtual bool IsOpen() const = 0;

    virtual int PageCount() const = 0;
    // Zero-based.
    virtual int CurrentPage() const = 0;
    // Shows `page`, held to the document's first and last page.
    virtual void Jump(int page) = 0;
    virtual QSizeF PagePointSize(int page) const = 0;
    // The page drawn into a picture of `size` pixels (a null picture when it cannot be).
    virtual QImage Render(int page, QSize size) = 0;

    virtual bool FitsWidth() const = 0;
    virtual void FitWidth() = 0;
    // The set zoom; while the pages fit the width it keeps the value last set.
    virtual qreal ZoomFactor() const = 0;
    // Shows the pages at `factor` and stops fitting them to the width.
    virtual void SetZoomFactor(qreal factor) = 0;
    // The scale at which the current page just fills the width of the view; 0 when there is
    // none (no page, or no room).
    virtual qreal FittedZoom() const = 0;

    // The pages lie one below the other in an area that scrolls. Positions in it are pixels
    // at the shown zoom: where the view's top left corner is, moving it (held to the area),
    // the part of the area the view shows, and where a page lies (empty for no page).
    virtual QPoint ScrollPosition() const = 0;
    virtual void ScrollTo(QPoint position) = 0;
    virtual QSize ViewportSize() const = 0;
    virtual QRect PageRect(int page) const = 0;
};

// The module's one entry point: a new pane showing nothing.
using CreatePdfPaneFunction = CPdfPane* (*)(QWidget* parent);
inline constexpr const char* kCreatePdfPaneSymbol = "ombrivault_create_pdf_pane_v2";
inline constexpr const char* kPdfModuleName = "ombrivault-pdf.so";
