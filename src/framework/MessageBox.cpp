#include "framework/MessageBox.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "base/ProductInfo.h"
#include "framework/DialogPolish.h"
#include "framework/LockHost.h"
#include "framework/ModalSeam.h"
#include "framework/ResultCodes.h"

namespace {

// The whole of showing the box, in the seam's plain result codes.
int RunMessageBox(QWidget* parent, const QString& text, const QString& caption,
                  MessageButtons buttons, MessageIcon icon) {
    QMessageBox box(DialogOwner(parent));
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case MessageIcon::None:
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }

    struct Choice {
        QMessageBox::StandardButton button;
        int result;
    };
    std::vector<Choice> choices;
    int escape = IDCANCEL;
    switch (buttons) {
    case MessageButtons::Ok:
        choices = {{QMessageBox::Ok, IDOK}};
        escape = IDOK;
        break;
    case MessageButtons::OkCancel:
        choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MessageButtons::YesNo:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        escape = IDNO;
        break;
    case MessageButtons::YesNoCancel:
        choices = {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MessageButtons::RetryCancel:
        choices = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    }
    for (const Choice& c : choices) {
        // Plain buttons, like those of the program's own message dialogs.
        box.addButton(c.button)->setIcon(QIcon());
    }
    box.setDefaultButton(choices.front().button);
    // The box sizes itself to its text; an empty row as wide as the title keeps the title
    // whole in the window manager's caption.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(TitleWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    const int result = ModalSeam::Run(box, escape);
    if (QAbstractButton* clicked = box.clickedButton()) {
        const QMessageBox::StandardButton which = box.standardButton(clicked);
        for (const Choice& c : choices) {
            if (which == c.button) {
                return c.result;
            }
        }
    }
    for (const Choice& c : choices) {
        if (result == c.result) {
            return result;
        }
    }
    return escape;
}

} // namespace

MessageResult ShowMessageBox(QWidget* parent, const QString& text, const QString& caption,
                             MessageButtons buttons, MessageIcon icon) {
    return static_cast<MessageResult>(RunMessageBox(parent, text, caption, buttons, icon));
}

bool OpenUrlOrSay(QWidget* parent, const QUrl& url) {
    if (QDesktopServices::openUrl(url)) {
        return true;
    }
    ShowMessageBox(
        parent, QStringLiteral("No program on this desktop opens %1.").arg(url.toDisplayString()),
        QString::fromLatin1(kAppTitle), MessageButtons::Ok, MessageIcon::Exclamation);
    return false;
}
