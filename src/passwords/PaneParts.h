// What the panes of the passwords window share: their colours and fonts, the icons, the
// shaded buttons, and the way a pane reaches its document, frame and tree.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "framework/Document.h"

class CLeftView;
class COmbrivaultChildFrame;
class COmbrivaultDoc;
class QLabel;
class QPushButton;

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

// Hands a command to the main window, to run once the current event is done.
void PostMainWindowCommand(int id);

// The right-hand panes and the tree of a passwords window. Moving the mouse over a pane
// counts as activity for the screen lock unless the pane says otherwise.
class CPasswordsPane : public CView {
    Q_OBJECT
public:
    CPasswordsPane(CDocument* document, QWidget* parent, bool mouseMoveIsActivity = true);

    COmbrivaultDoc* Doc() const;
    COmbrivaultChildFrame* Frame() const;
    CLeftView* Tree() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool mouseMoveIsActivity_;
};
