// Building blocks of the message dialogs: labels for fixed texts and icons, a row of buttons
// that end the dialog with fixed result codes, a fixed size, and the file name a message names.
#pragma once

#include <QString>
#include <QStyle>

class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

// A label that wraps, for fixed texts.
QLabel* MakeTextLabel(const QString& text, QWidget* parent, const QString& name = {});
// A label showing the standard icon of `icon`.
QLabel* MakeIconLabel(QStyle::StandardPixmap icon, QWidget* parent);
// A push button that ends `dialog` with `result` when clicked.
QPushButton* AddResultButton(QDialog* dialog, QBoxLayout* row, const QString& text,
                             const QString& name, int result);
// Fixes `dialog` at the size it first shows with: a message has nothing to gain from being
// made larger or smaller.
void KeepSizeOnceShown(QDialog* dialog);
// The part of `path` after its last "/" (or "\"), or the whole path when there is none.
QString FileNamePart(const QString& path);
