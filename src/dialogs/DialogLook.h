// The look the program's dialogs share: the fonts and colours they name.
#pragma once

#include <QColor>
#include <QFont>

class QLabel;

// "Times New Roman" at `points`, with a serif fallback where the face is missing.
QFont TimesNewRoman(int points, bool bold = false);
// The same face by character height in pixels.
QFont TimesNewRomanPixels(int pixels, bool bold = false);
void SetLabelColour(QLabel* label, const QColor& colour);

inline const QColor kDarkBlue(0, 0, 128);
inline const QColor kDarkRed(128, 0, 0);
