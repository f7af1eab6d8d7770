#include "dialogs/PaneLook.h"

#include <QLabel>
#include <QPushButton>

#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"

static void InitPasswordsResources() {
    Q_INIT_RESOURCE(passwords);
}

QIcon PasswordsIcon(const char* name) {
    static const bool loaded = [] {
        InitPasswordsResources();
        return true;
    }();
    (void)loaded;
    return QIcon(QStringLiteral(":/passwords/%1.svg").arg(QLatin1String(name)));
}

QLabel* MakePaneLabel(const QString& text, int pixelHeight, const QColor& colour, QWidget* parent,
                      const QString& name) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(TimesNewRomanPixels(pixelHeight));
    SetLabelColour(label, colour);
    if (!name.isEmpty()) {
        label->setObjectName(name);
    }
    return label;
}

QPushButton* MakeShadedButton(const QString& text, const QIcon& icon, QWidget* parent,
                              const QString& name) {
    auto* button = new QPushButton(icon, text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setIconSize(QSize(24, 24));
    button->setStyleSheet(QStringLiteral(
        "QPushButton { padding: 4px 12px; border: 1px solid #7a8aa8; border-radius: 3px;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:0.5 #e4eaf4,"
        " stop:1 #c8d3e6); color: black; text-align: left; }"
        "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff,"
        " stop:0.5 #eef3fb, stop:1 #d6e1f2); border-color: #3c64b4; }"
        "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #c8d3e6, stop:1 #ffffff); }"
        "QPushButton:disabled { color: #8a8a8a; background: #ececec; border-color: #b8b8b8; }"));
    return button;
}
