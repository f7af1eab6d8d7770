// Printing of the text view: the plain text on pages with half-inch margins all round, in
// the view's font, long lines wrapped at the page edge so nothing is cut off.
#pragma once

#include <QFont>

class QPrinter;
class QTextDocument;

// 720 twips.
inline constexpr double kPrintMarginInches = 0.5;

// Prints `text` (the pages the printer's range asks for, all by default). False when the
// printer could not be started, for example a file printer without a file name.
bool PrintPlainText(const QTextDocument& text, const QFont& font, QPrinter& printer);
