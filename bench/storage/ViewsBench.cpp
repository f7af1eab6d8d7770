// The storage image view on a 24-megapixel JPEG item: from showing the item to its first
// paint, against decoding the same bytes with the image layer alone; and a zoom step's
// repaint against one plain drawImage of the visible area onto a widget of the same size.
// The note view opening long notes: the time per megabyte at 32 MB against 8 MB, and against
// putting the same lines into a plain editor the way the text window loads a file.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include "BenchFigures.h"
#include "BenchPictures.h"
#include "framework/Document.h"
#include "image/ObjImage.h"
#include "image/PclTemplates.h"
#include "storage/RightImageView.h"
#include "storage/RightNotepadView.h"
#include "storage/StorageItem.h"
#include "storage/StorageViewSite.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

Bytes PhotoJpeg() {
    const FCObjImage image = PhotoLikePicture(kWidth, kHeight);
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("photo.jpg")).toStdString();
    image.SaveImage(path, 80);
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Just what the image view asks of its window.
class BenchSite : public CStorageViewSite {
public:
    StorageItemTable table;
    PCL_Interface_ZoomScale zoom;
    StorageItem* Item(int32_t index) override { return table.Get(index); }
    PCL_Interface_ZoomScale& Zoom() override { return zoom; }
    QString CurrentFolderPath() const override { return {}; }
    void ShowForm(StorageForm, const QString&) override {}
    void AddFolder(const QString&, bool) override {}
    void AddItem(const QString&, StorageItemType, bool) override {}
    void AddImageFile(const QString&, bool) override {}
    void AddPastedImage(const QString&) override {}
    void ReplaceImageData(const FCObjImage&) override {}
    void DeleteSelected() override {}
    void StartAddDirectory(const QString&) override {}
    void AddFileByType(const QString&, bool) override {}
    void OpenDocumentFile(const QString&) override {}
};

struct Fixture {
    Fixture() {
        auto item = std::make_unique<StorageItem>();
        item->type = static_cast<int32_t>(StorageItemType::Image);
        item->imageType = Jpeg;
        item->fitToView = 1;
        item->data = PhotoJpeg();
        item->size = static_cast<int64_t>(item->data.size());
        index = site.table.Add(std::move(item));
        view = std::make_unique<CPictureRightImageView>(&document, &site);
        view->resize(1000, 700);
        view->show();
        QApplication::processEvents();
    }
    const StorageItem& Item() { return *site.table.Get(index); }

    CDocument document;
    BenchSite site;
    int32_t index = 0;
    std::unique_ptr<CPictureRightImageView> view;
};

// Made on first use; goes before the application does.
std::unique_ptr<Fixture> g_fixture;

Fixture& Shared() {
    if (!g_fixture) {
        g_fixture = std::make_unique<Fixture>();
    }
    return *g_fixture;
}

// One plain drawImage of the visible area, the reference for a repaint.
class PlainWidget : public QWidget {
public:
    const QImage* image = nullptr;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(QPoint(0, 0), *image, rect());
    }
};

void BM_LoadImageAlone(benchmark::State& state) {
    const StorageItem& item = Shared().Item();
    for (auto _ : state) {
        FCObjImage image;
        if (!image.LoadImage(item.data.data(), item.data.size(), Jpeg)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(image.GetMemStart());
    }
}

void BM_ShowImageToFirstPaint(benchmark::State& state) {
    Fixture& f = Shared();
    for (auto _ : state) {
        f.view->ShowImage(f.index);
        f.view->Canvas()->viewport()->repaint();
    }
    if (f.view->Picture().Width() != kWidth) {
        state.SkipWithError("the photo was not shown");
    }
}

void BM_ZoomStepRepaint(benchmark::State& state) {
    Fixture& f = Shared();
    f.view->ShowImage(f.index);
    f.view->ActualSize();
    QWidget* viewport = f.view->Canvas()->viewport();
    viewport->repaint();
    bool in = true;
    for (auto _ : state) {
        // Between actual size and double size.
        if (in) {
            f.view->ZoomIn();
        } else {
            f.view->ZoomOut();
        }
        in = !in;
        viewport->repaint();
    }
}

void BM_PlainDrawVisible(benchmark::State& state) {
    Fixture& f = Shared();
    f.view->ShowImage(f.index);
    PlainWidget plain;
    plain.image = &f.view->ScreenPicture();
    plain.resize(f.view->Canvas()->viewport()->size());
    plain.show();
    QApplication::processEvents();
    for (auto _ : state) {
        plain.repaint();
    }
}

// A note of `megabytes` of text in lines of about 70 bytes, as stored (CR LF).
std::string LongNote(int64_t megabytes) {
    const std::string line = "A line of a long note, with words and numbers 0123456789 in it.\r\n";
    std::string text;
    text.reserve(static_cast<size_t>(megabytes << 20));
    while (text.size() < static_cast<size_t>(megabytes << 20)) {
        text += line;
    }
    return text;
}

void BM_ShowLongNote(benchmark::State& state) {
    Fixture& f = Shared();
    auto item = std::make_unique<StorageItem>();
    item->type = static_cast<int32_t>(StorageItemType::Text);
    item->text = LongNote(state.range(0));
    const int32_t index = f.site.table.Add(std::move(item));
    CRightNotepadView view(&f.document, &f.site);
    view.resize(1000, 700);
    view.show();
    for (auto _ : state) {
        view.ShowNote(index);
        QApplication::processEvents();
    }
    if (view.Editor()->document()->isEmpty()) {
        state.SkipWithError("the note was not shown");
    }
    f.site.table.Delete(index);
}

// The same text as lines into a plain editor: one insertion with undo off.
void BM_PlainInsertLines(benchmark::State& state) {
    const std::string stored = LongNote(state.range(0));
    QString lines = QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
    lines.remove(QLatin1Char('\r'));
    QPlainTextEdit edit;
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.resize(1000, 700);
    edit.show();
    for (auto _ : state) {
        edit.clear();
        QTextDocument* document = edit.document();
        document->setUndoRedoEnabled(false);
        QTextCursor(document).insertText(lines);
        document->setUndoRedoEnabled(true);
        QApplication::processEvents();
    }
}

BENCHMARK(BM_ShowLongNote)
    ->Arg(8)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_PlainInsertLines)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_LoadImageAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_ShowImageToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_ZoomStepRepaint)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_PlainDrawVisible)->Unit(benchmark::kMicrosecond)->UseRealTime()->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int status = RunBenchmarksWithFigures(argc, argv, [](const BenchTimes& t) {
        // At most 1.3 times the decoding alone: a ratio of at least 1 / 1.3.
        if (t["BM_ShowImageToFirstPaint"] > 0) {
            PrintFigure("storage_show_image_vs_decode",
                        t["BM_LoadImageAlone"] / t["BM_ShowImageToFirstPaint"], ">=0.77");
        }
        const double small = t["BM_ShowLongNote/8"] / 8;
        const double large = t["BM_ShowLongNote/32"] / 32;
        // Linear time keeps the time per megabyte near 1x; time growing with the square gives 4x.
        if (small > 0 && large > 0) {
            PrintFigure("storage_note_per_mb_32_vs_8", large / small, "<=2");
            PrintFigure("storage_note_vs_plain_insert", t["BM_PlainInsertLines/32"] / (large * 32),
                        ">=0.5");
        }
        // At most twice one plain draw of the visible area.
        if (t["BM_ZoomStepRepaint"] > 0) {
            PrintFigure("storage_zoom_step_vs_draw",
                        t["BM_PlainDrawVisible"] / t["BM_ZoomStepRepaint"], ">=0.5");
        }
    });
    g_fixture.reset();
    return status;
}
