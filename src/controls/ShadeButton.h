// A push button with an icon on a shaded background: a vertical gradient in a tint colour,
// lighter while the mouse is over it and darker while it is pressed. Used for the big choice
// buttons of the new-document chooser and the welcome wizard.
#pragma once

#include <QColor>
#include <QPushButton>

class CShadeButtonST : public QPushButton {
    Q_OBJECT
public:
    explicit CShadeButtonST(const QString& text = {}, QWidget* parent = nullptr);

    // The colour the background is shaded in.
    void SetTint(const QColor& tint);
    QColor Tint() const { return tint_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor tint_{55, 55, 255};
    bool hovered_ = false;
};
