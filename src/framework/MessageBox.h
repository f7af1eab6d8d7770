// The program's plain message boxes, run through the modal test seam. They answer with the
// button pressed, a MessageResult of ResultCodes.h.
#pragma once

#include <QString>

#include "framework/ResultCodes.h"

class QUrl;
class QWidget;

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageIcon { None, Information, Exclamation, Error, Question };

// A null parent makes the main frame the owner. Escape answers Cancel (or No, for Yes/No).
MessageResult ShowMessageBox(QWidget* parent, const QString& text, const QString& caption,
                             MessageButtons buttons = MessageButtons::Ok,
                             MessageIcon icon = MessageIcon::None);

// Hands `url` to the desktop's handler; when the desktop has none, says so in a message box.
bool OpenUrlOrSay(QWidget* parent, const QUrl& url);
