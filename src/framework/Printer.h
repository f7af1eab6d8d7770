// The printer, as a plain interface. Qt's printing support lives in a module of its own
// (ombrivault-print.so) that is loaded when a print command first needs a printer, so a start
// of the program that prints nothing never maps it; this header is all the module and the
// program share.
#pragma once

#include <functional>
#include <memory>

#include <QPageLayout>
#include <QRectF>
#include <QString>

class QDialog;
class QPagedPaintDevice;
class QWidget;

// What drawing code sees of the printer while it prints a job (or draws a preview).
class CPrintPages {
public:
    virtual ~CPrintPages() = default;
    virtual QPagedPaintDevice& Device() = 0;
    // The printable part of a page, inside its margins, in device pixels.
    virtual QRectF PageRectPixels() const = 0;
    // Whether the user chose a range of pages; the range's first and last page, from 1.
    virtual bool PrintsPageRange() const = 0;
    virtual int FromPage() const = 0;
    virtual int ToPage() const = 0;
};

// Draws the pages of a job; false when it could not (the printer would not start).
using PaintPagesFunction = std::function<bool(CPrintPages& pages)>;

class CPrinter {
public:
    virtual ~CPrinter() = default;

    // Names the print job, and the PDF file the print dialog proposes.
    virtual void SetDocName(const QString& name) = 0;
    virtual QString PrinterName() const = 0;
    virtual void SetPrinterName(const QString& name) = 0;
    // Whether jobs go to a PDF file rather than a printer; the file, empty while none is named.
    virtual bool PrintsToFile() const = 0;
    virtual QString OutputFileName() const = 0;
    // Sends the following jobs to the PDF file `path` (empty: a file still to be named).
    virtual void SetOutputFile(const QString& path) = 0;
    virtual QPageLayout PageLayout() const = 0;

    // Prints one job drawn by `paint`; false when `paint` was, or the printer could not start.
    virtual bool Print(const PaintPagesFunction& paint) = 0;

    // The dialogs on this printer, made but not run: the program runs them as it runs every
    // modal dialog. Accepting the print or page setup dialog changes the printer's settings.
    // `offerFileAndRange` turns on printing to a file and choosing a range of pages; without
    // it the dialog keeps its own defaults.
    virtual std::unique_ptr<QDialog> PrintDialog(QWidget* parent, bool offerFileAndRange) = 0;
    // `paint` draws the pages each time the preview needs them.
    virtual std::unique_ptr<QDialog> PreviewDialog(QWidget* parent, PaintPagesFunction paint) = 0;
    virtual std::unique_ptr<QDialog> PageSetupDialog(QWidget* parent) = 0;
};

// The module's one entry point: a new printer at high resolution, on the system's default
// printer (a PDF file without one).
using CreatePrinterFunction = CPrinter* (*)();
inline constexpr const char* kCreatePrinterSymbol = "ombrivault_create_printer_v1";
inline constexpr const char* kPrintModuleName = "ombrivault-print.so";
