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
    ProgramStyle();

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
