// The look of the account panes of the passwords and storage windows: their colours and
// fonts, the passwords window's icons, the labels and the shaded buttons.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

inline const QColor kPaneBlue(0, 0, 192);
inline const QColor kRootBlue(0, 0, 155);
inline const QColor kFieldYellow(255, 255, 200);
inline const QString kTimesNewRoman = QStringLiteral("Times New Roman");

// The icons of the passwords window by name ("web", "mail", "other", "root", "category",
// "add", "cancel", "add_more", "save", "delete", "rename").
QIcon PasswordsIcon(const char* name);

// A label in Times New Roman `pixelHeight` pixels high, in `colour`.
QLabel* MakePaneLabel(const QString& text, int pixelHeight, const QColor& colour, QWidget* parent,
                      const QString& name = {});
// A push button with an icon and a shaded background.
QPushButton* MakeShadedButton(const QString& text, const QIcon& icon, QWidget* parent,
                              const QString& name);
