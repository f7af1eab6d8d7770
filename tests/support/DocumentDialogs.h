// Scripts for the modal seam that answer the dialogs of the encrypted documents, and a
// check of what a file decrypts to. Shared by the tests of the document kinds.
#pragma once

#include <string>
#include <string_view>

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>

#include "crypto/EncryptedFile.h"
#include "framework/ModalSeam.h"

// Types `password` into "Enter Password" and presses OK.
inline ModalSeam::Script EnterPassword(const QString& password) {
    return answer::Type(QStringLiteral("password"), password, answer::Click(QStringLiteral("ok")));
}

// Types `password` twice into "Set File Password" and presses Save.
inline ModalSeam::Script SetPassword(const QString& password) {
    return answer::Steps({answer::Type(QStringLiteral("password"), password),
                          answer::Type(QStringLiteral("confirm"), password),
                          answer::Click(QStringLiteral("save"))});
}

// Records the text of one of our message dialogs (or of a plain message box), then presses
// `button`.
inline ModalSeam::Script Message(QString& text, const QString& button = QStringLiteral("ok")) {
    return [&text, button](QDialog& d) {
        if (const auto* label = d.findChild<QLabel*>(QStringLiteral("text"))) {
            text = label->text();
        } else if (auto* box = qobject_cast<QMessageBox*>(&d)) {
            text = box->text();
            // A box's buttons are known by their text alone ("&OK" for "ok").
            for (QAbstractButton* b : box->buttons()) {
                if (b->text().remove(QLatin1Char('&')).compare(button, Qt::CaseInsensitive) == 0) {
                    b->click();
                    return;
                }
            }
        }
        answer::Click(button)(d);
    };
}

// The text `path` decrypts to, or "<failed>".
inline std::string Decrypt(const std::string& path, std::string_view password, BlobForm form) {
    std::string text;
    return LoadEncryptedText(path, password, form, text) == LoadTextStatus::Text ? text
                                                                                 : "<failed>";
}
