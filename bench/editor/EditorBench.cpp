// Opening and saving a 50 MB encrypted text in the text window, against a QPlainTextEdit that
// loads the same text from a plain file and saves it back to one (atomically, as the window
// saves), on the offscreen platform. Alternating rounds; the fastest of each stands.
#include "BenchFigures.h"
#include "BenchSupport.h"
#include "GuiBench.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>

#include <algorithm>
#include <string>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "crypto/EncryptedFile.h"
#include "editor/EditorDoc.h"
#include "editor/EditorView.h"
#include "framework/ModalSeam.h"
#include "support/ScratchFolders.h"

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
    const std::string text = MakeProseText(size_t{50} << 20);
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
            auto start = BenchClock::now();
            QPlainTextEdit edit;
            QFile file(plainPath);
            file.open(QIODevice::ReadOnly);
            edit.setPlainText(QString::fromUtf8(file.readAll()));
            edit.resize(900, 700);
            edit.show();
            SettleWindows();
            refOpen = std::min(refOpen, SecondsSince(start));
            start = BenchClock::now();
            QSaveFile out(scratch.filePath(QStringLiteral("saved.txt")));
            out.open(QIODevice::WriteOnly);
            out.write(edit.toPlainText().toUtf8());
            out.commit();
            refSave = std::min(refSave, SecondsSince(start));
        }
        {
            auto start = BenchClock::now();
            ModalSeam::Push(answer::Type(QStringLiteral("password"), QStringLiteral("pw"),
                                         answer::Click(QStringLiteral("ok"))));
            auto* doc = dynamic_cast<CEditorDoc*>(app.OpenDocumentFile(docPath));
            SettleWindows();
            ourOpen = std::min(ourOpen, SecondsSince(start));
            if (doc == nullptr) {
                return 1;
            }
            start = BenchClock::now();
            const bool saved = doc->OnSaveDocument(scratch.filePath(QStringLiteral("saved.ovt")));
            SettleWindows();
            ourSave = std::min(ourSave, SecondsSince(start));
            doc->SetModifiedFlag(false);
            app.DocManager().CloseAllDocuments();
            SettleWindows();
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
