// Opening and saving a 50 MB encrypted text in the text window, against a QPlainTextEdit that
// loads the same text from a plain file and saves it back to one (atomically, as the window
// saves), on the offscreen platform. Alternating rounds; the fastest of each stands.
#include "BenchFigures.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <string>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "crypto/EncryptedFile.h"
#include "editor/EditorDoc.h"
#include "editor/EditorView.h"
#include "framework/ModalSeam.h"
#include "support/ScratchFolders.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

// Lines of mostly ASCII prose with a few accented letters, CR LF between them.
std::string MakeText(size_t bytes) {
    static const char* const kWords[] = {"the",
                                         "account",
                                         "secret",
                                         "Gr\xC3\xBC\xC3\x9F"
                                         "e",
                                         "note",
                                         "kept",
                                         "safe",
                                         "\xE2\x82\xAC"
                                         "12"};
    std::string text;
    text.reserve(bytes + 64);
    uint32_t seed = 99;
    int words = 0;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        text += kWords[(seed >> 16) % 8];
        text += ++words % 12 == 0 ? "\r\n" : " ";
    }
    text.resize(bytes - 1);
    text += '.';
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir scratch;
    UseScratchFolders(scratch);
    QApplication qapp(argc, argv);
    Q_INIT_RESOURCE(ombrivault);
    AppSettings::SetShowWizard(0);
    ScopedModalSeam seam;
    CEditorApp app;
    if (!app.InitInstance({})) {
        return 1;
    }
    const std::string text = MakeText(size_t{50} << 20);
    const QString plainPath = scratch.filePath(QStringLiteral("plain.txt"));
    const QString docPath = scratch.filePath(QStringLiteral("doc.ovt"));
    {
        QFile plain(plainPath);
        plain.open(QIODevice::WriteOnly);
        plain.write(text.data(), static_cast<qint64>(text.size()));
    }
    if (!SaveEncryptedText(docPath.toStdString(), text, "pw", BlobForm::Current)) {
        return 1;
    }

    double refOpen = 1e9, refSave = 1e9, ourOpen = 1e9, ourSave = 1e9;
    for (int round = 0; round < 3; ++round) {
        {
            auto start = Clock::now();
            QPlainTextEdit edit;
            QFile file(plainPath);
            file.open(QIODevice::ReadOnly);
            edit.setPlainText(QString::fromUtf8(file.readAll()));
            edit.resize(900, 700);
            edit.show();
            Settle();
            refOpen = std::min(refOpen, Seconds(start));
            start = Clock::now();
            QSaveFile out(scratch.filePath(QStringLiteral("saved.txt")));
            out.open(QIODevice::WriteOnly);
            out.write(edit.toPlainText().toUtf8());
            out.commit();
            refSave = std::min(refSave, Seconds(start));
        }
        {
            auto start = Clock::now();
            ModalSeam::Push(answer::Type(QStringLiteral("password"), QStringLiteral("pw"),
                                         answer::Click(QStringLiteral("ok"))));
            auto* doc = dynamic_cast<CEditorDoc*>(app.OpenDocumentFile(docPath));
            Settle();
            ourOpen = std::min(ourOpen, Seconds(start));
            if (doc == nullptr) {
                return 1;
            }
            start = Clock::now();
            const bool saved = doc->OnSaveDocument(scratch.filePath(QStringLiteral("saved.ovt")));
            Settle();
            ourSave = std::min(ourSave, Seconds(start));
            doc->SetModifiedFlag(false);
            app.DocManager().CloseAllDocuments();
            Settle();
            if (!saved) {
                return 1;
            }
        }
        std::printf("round %d: plain open %.3f s save %.3f s, window open %.3f s save %.3f s\n",
                    round, refOpen, refSave, ourOpen, ourSave);
    }
    PrintFigure("editor_open_50mb_vs_plain_text_edit", ourOpen / refOpen, "<=1.2");
    PrintFigure("editor_save_50mb_vs_plain_text_edit", ourSave / refSave, "<=1.2");
    return 0;
}
