// The program's widget style: the platform's own look, except that its standard icons (the
// arrows, buttons and window controls every menu bar, document window and dialog asks for
// when it is made) are read only when first drawn or measured. Reading one of them probes
// every installed picture-format plugin, so making them eagerly would load all of those
// libraries at start-up, before the user has opened a single picture.
#pragma once

#include <QProxyStyle>

class ProgramStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Looks like `base` (which it takes), or like the platform's default style without one.
    explicit ProgramStyle(QStyle* base = nullptr);

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

// Makes the application's style a ProgramStyle that looks like the style it has now (the
// default, or the one chosen with -style or QT_STYLE_OVERRIDE); nothing changes when it is
// one already.
void UseProgramStyle();
