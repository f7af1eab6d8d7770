// Not a test: writes a picture of each dialog of the program into the folder given as its
// argument, for looking at the layout.
#include <QApplication>
#include <QDir>
#include <QFileDialog>

#include "app/AboutDlg.h"
#include "dialogs/ExistingPasswordDlg.h"
#include "dialogs/MessageDialogs.h"
#include "dialogs/PasswordDlg.h"
#include "framework/MessageBox.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"
#include "framework/TimedFileDialog.h"

namespace {
QString g_dir;

ModalSeam::Script Snap(const QString& name, ModalSeam::Script before = {}) {
    return [name, before](QDialog& d) {
        if (before) {
            before(d);
        }
        d.adjustSize();
        d.grab().save(QDir(g_dir).filePath(name + ".png"));
        d.done(IDCANCEL);
    };
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ombrivault);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    ScopedModalSeam seam;

    ModalSeam::Push(Snap("enter_password", answer::Type("password", "secret")));
    CExistingPasswordDlg().DoModal();
    CPasswordDlg set;
    set.SetCurrentPassword("known");
    ModalSeam::Push(Snap("set_password"));
    set.DoModal();
    CPasswordDlg setStrong;
    setStrong.SetChangeMode(true);
    setStrong.SetCurrentPassword("known");
    setStrong.OfferStrongProtection(true);
    ModalSeam::Push(Snap("set_password_strong"));
    setStrong.DoModal();
    ModalSeam::Push(Snap("failed_decrypt"));
    CFailedDecrypt("vault.ovd").DoModal();
    ModalSeam::Push(Snap("file_exists"));
    CFileExistsDlg().DoModal();
    ModalSeam::Push(Snap("save_modified"));
    SaveModifiedDlg("/home/user/vault.ovd").DoModal();
    ModalSeam::Push(Snap("error"));
    CErrorDlg("The file could not be written: the disk is full.").DoModal();
    ModalSeam::Push(Snap("about"));
    CAboutDlg().DoModal();
    ModalSeam::Push(Snap("mismatch"));
    ShowMessageBox(nullptr, CPasswordDlg::kMismatchText, CPasswordDlg::kMismatchCaption,
                   MessageButtons::Ok, MessageIcon::Exclamation);
    CTimedFileDialog open(true, QString(), QString(), CTimedFileDialog::FileMustExist,
                          "Ombrivault Encrypted Files (*.ovs;*.ovd;*.ovt;*.ovf;*.etx)|"
                          "*.ovs;*.ovd;*.ovt;*.ovf;*.etx|Ombrivault Encrypted Storage Files "
                          "(*.ovs)|*.ovs|",
                          nullptr, 0);
    ModalSeam::Push(Snap("open_dialog", [](QDialog& d) { d.resize(640, 420); }));
    open.DoModal();
    return 0;
}
