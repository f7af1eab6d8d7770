// The main toolbar: icon buttons with a text label under each, all buttons as wide and as
// high as the largest one.
#pragma once

#include <QToolBar>

class CommandActions;
class QToolButton;

class CTextToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CTextToolBar(QWidget* parent = nullptr);

    // `buttons` holds command ids, 0 for a separator.
    void SetButtons(const std::vector<int>& buttons, const CommandActions& actions);
    QToolButton* Button(int id) const;
    // Shows a button as pressed or released without running its command.
    void PressButton(int id, bool pressed);

private:
    void EqualiseButtons();
};
