// Small building blocks shared by the message dialogs: the fonts and colours they name, a
// row of buttons that end the dialog with fixed result codes, and the icon beside the text.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStyle>

class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

// "Times New Roman" at `points`, with a serif fallback where the face is missing.
QFont TimesNewRoman(int points, bool bold = false);
// The same face by character height in pixels.
QFont TimesNewRomanPixels(int pixels, bool bold = false);
void SetLabelColour(QLabel* label, const QColor& colour);

inline const QColor kDarkBlue(0, 0, 128);
inline const QColor kDarkRed(128, 0, 0);

// A label that wraps, for fixed texts.
QLabel* MakeTextLabel(const QString& text, QWidget* parent, const QString& name = {});
// A label showing the standard icon of `icon`.
QLabel* MakeIconLabel(QStyle::StandardPixmap icon, QWidget* parent);
// A push button that ends `dialog` with `result` when clicked.
QPushButton* AddResultButton(QDialog* dialog, QBoxLayout* row, const QString& text,
                             const QString& name, int result);
// The part of `path` after its last "/" (or "\"), or the whole path when there is none.
QString FileNamePart(const QString& path);
