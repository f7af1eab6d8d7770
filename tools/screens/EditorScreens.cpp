// Not a test: opens a text document in the real program and writes pictures of it (with the
// find dialog, the replace dialog, the context menu and the print preview) into the folder
// given as its argument, for looking at them. Run it under Xvfb for whole-screen pictures.
#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "app/AppSettings.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "crypto/EncryptedFile.h"
#include "editor/EditorDoc.h"
#include "editor/EditorView.h"
#include "framework/ChildFrame.h"
#include "framework/CommandIds.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "support/ScratchFolders.h"

namespace {

QString g_dir;

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
    }
}

void SaveScreen(const QString& name) {
    CEditorApp::Instance()->MainFrame()->UpdateCommandStates();
    Settle();
    QApplication::primaryScreen()->grabWindow(0).save(QDir(g_dir).filePath(name + ".png"));
}

const char* const kNotes = "Bank accounts\r\n"
                           "=============\r\n"
                           "\r\n"
                           "Savings:    DE12 3456 7890 1234 5678 90   PIN 4711\r\n"
                           "Current:    DE98 7654 3210 9876 5432 10   PIN 0815\r\n"
                           "\r\n"
                           "Home Wi-Fi: \xC3\x9C"
                           "berall-Netz / passphrase \"correct horse battery staple\"\r\n"
                           "Door code:  1-9-8-4, then the key sign\r\n"
                           "\r\n"
                           "Insurance policy numbers\r\n"
                           "------------------------\r\n"
                           "Car:        KFZ-2291-7731\r\n"
                           "House:      HR-0042-1138 (renew in March)\r\n"
                           "Health:     \xE2\x82\xAC 312,50 per month, number 883 112 045\r\n"
                           "\r\n"
                           "A line that is much longer than the window is wide, to show that the "
                           "text does not wrap but scrolls sideways, as a notepad of this kind "
                           "should do when the window is narrower than the text.\r\n";

} // namespace

int main(int argc, char** argv) {
    PictureToolApp tool(argc, argv);
    g_dir = tool.outputDir;
    AppSettings::SetShowWizard(0);

    const std::string file = tool.scratch.filePath(QStringLiteral("notes.ovt")).toStdString();
    SaveEncryptedText(file, kNotes, "secret", BlobForm::Current);

    ScopedModalSeam seam;
    CEditorApp app;
    if (!app.InitInstance({})) {
        return 1;
    }
    CMainFrame& frame = *app.MainFrame();
    frame.setGeometry(40, 40, 1100, 760);
    ModalSeam::Push(answer::Type(QStringLiteral("password"), QStringLiteral("secret"),
                                 answer::Click(QStringLiteral("ok"))));
    auto* doc = static_cast<CEditorDoc*>(app.OpenDocumentFile(QString::fromStdString(file)));
    if (doc == nullptr) {
        return 1;
    }
    CEditorView* view = doc->GetView();
    view->GetParentFrame()->showMaximized();
    Settle();

    // Find: the word is found and the caret pane follows it.
    frame.ExecuteCommand(ID_EDIT_FIND);
    CFindReplaceDlg* find = view->FindDialog();
    find->move(frame.geometry().center() - QPoint(100, 0));
    find->findChild<QLineEdit*>(QStringLiteral("findWhat"))->setText(QStringLiteral("PIN"));
    find->findChild<QPushButton*>(QStringLiteral("findNext"))->click();
    find->findChild<QPushButton*>(QStringLiteral("findNext"))->click();
    SaveScreen(QStringLiteral("editor_find"));

    frame.ExecuteCommand(ID_EDIT_REPLACE);
    find->findChild<QLineEdit*>(QStringLiteral("replaceWith"))->setText(QStringLiteral("PIN:"));
    SaveScreen(QStringLiteral("editor_replace"));
    find->close();

    const std::unique_ptr<QMenu> menu = view->CreateContextMenu();
    menu->popup(view->mapToGlobal(QPoint(200, 120)));
    SaveScreen(QStringLiteral("editor_context_menu"));
    menu->close();

    ModalSeam::Push([](QDialog& preview) {
        preview.resize(900, 700);
        preview.move(60, 60);
        SaveScreen(QStringLiteral("editor_print_preview"));
        preview.done(QDialog::Rejected);
    });
    frame.ExecuteCommand(ID_FILE_PRINT_PREVIEW);

    ModalSeam::Push([](QDialog& print) {
        SaveScreen(QStringLiteral("editor_print_dialog"));
        print.done(QDialog::Rejected);
    });
    frame.ExecuteCommand(ID_FILE_PRINT);

    doc->SetModifiedFlag(false);
    return 0;
}
