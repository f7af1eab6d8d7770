// Scripts for the password and message dialogs of the document flows, for the modal seam.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QString>

#include "framework/ModalSeam.h"

// Types the password into "Enter Password" and confirms it.
inline ModalSeam::Script EnterPassword(const QString& password) {
    return answer::Type(QStringLiteral("password"), password, answer::Click(QStringLiteral("ok")));
}

// Types the password twice into "Set File Password" and confirms it.
inline ModalSeam::Script SetPassword(const QString& password) {
    return answer::Steps({answer::Type(QStringLiteral("password"), password),
                          answer::Type(QStringLiteral("confirm"), password),
                          answer::Click(QStringLiteral("save"))});
}

// Records the text of a message dialog (its "text" label, or a message box's text), then
// presses `button`.
inline ModalSeam::Script Message(QString& text, const QString& button = QStringLiteral("ok")) {
    return [&text, button](QDialog& d) {
        if (const auto* label = d.findChild<QLabel*>(QStringLiteral("text"))) {
            text = label->text();
        } else if (const auto* box = qobject_cast<const QMessageBox*>(&d)) {
            text = box->text();
        }
        answer::Click(button)(d);
    };
}
