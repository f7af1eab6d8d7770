// The printing module: CPrinter on Qt's printing support. Loaded by the program when a print
// command first needs a printer, so that the printing library is mapped only then.
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "framework/Printer.h"

namespace {

class Pages : public CPrintPages {
public:
    explicit Pages(QPrinter& printer) : printer_(printer) {}
    QPagedPaintDevice& Device() override { return printer_; }
    QRectF PageRectPixels() const override { return printer_.pageRect(QPrinter::DevicePixel); }
    bool PrintsPageRange() const override { return printer_.printRange() == QPrinter::PageRange; }
    int FromPage() const override { return printer_.fromPage(); }
    int ToPage() const override { return printer_.toPage(); }

private:
    QPrinter& printer_;
};

class Printer : public CPrinter {
public:
    Printer() : printer_(QPrinter::HighResolution) {}

    void SetDocName(const QString& name) override { printer_.setDocName(name); }
    QString PrinterName() const override { return printer_.printerName(); }
    void SetPrinterName(const QString& name) override { printer_.setPrinterName(name); }
    bool PrintsToFile() const override { return printer_.outputFormat() == QPrinter::PdfFormat; }
    QString OutputFileName() const override { return printer_.outputFileName(); }
    void SetOutputFile(const QString& path) override {
        printer_.setOutputFormat(QPrinter::PdfFormat);
        printer_.setOutputFileName(path);
    }
    QPageLayout PageLayout() const override { return printer_.pageLayout(); }

    bool Print(const PaintPagesFunction& paint) override {
        Pages pages(printer_);
        return paint(pages);
    }

    std::unique_ptr<QDialog> PrintDialog(QWidget* parent, bool offerFileAndRange) override {
        auto dialog = std::make_unique<QPrintDialog>(&printer_, parent);
        if (offerFileAndRange) {
            dialog->setOption(QAbstractPrintDialog::PrintToFile, true);
            dialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
        }
        return dialog;
    }

    std::unique_ptr<QDialog> PreviewDialog(QWidget* parent, PaintPagesFunction paint) override {
        auto preview = std::make_unique<QPrintPreviewDialog>(&printer_, parent);
        QObject::connect(preview.get(), &QPrintPreviewDialog::paintRequested, preview.get(),
                         [paint = std::move(paint)](QPrinter* target) {
                             Pages pages(*target);
                             paint(pages);
                         });
        return preview;
    }

    std::unique_ptr<QDialog> PageSetupDialog(QWidget* parent) override {
        return std::make_unique<QPageSetupDialog>(&printer_, parent);
    }

private:
    QPrinter printer_;
};

} // namespace

extern "C" Q_DECL_EXPORT CPrinter* ombrivault_create_printer_v1() {
    return new Printer();
}
