#include "dialogs/DialogLook.h"

#include <QLabel>
#include <QPalette>

QFont TimesNewRoman(int points, bool bold) {
    QFont font(QStringLiteral("Times New Roman"), points);
    font.setStyleHint(QFont::Serif);
    font.setBold(bold);
    return font;
}

QFont TimesNewRomanPixels(int pixels, bool bold) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void SetLabelColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}
