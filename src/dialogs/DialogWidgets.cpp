#include "dialogs/DialogWidgets.h"

#include <QBoxLayout>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "base/FileNames.h"

namespace {
class SizeKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* dialog = static_cast<QWidget*>(watched);
            dialog->setFixedSize(dialog->size());
        }
        return false;
    }
};
} // namespace

QLabel* MakeTextLabel(const QString& text, QWidget* parent, const QString& name) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (!name.isEmpty()) {
        label->setObjectName(name);
    }
    return label;
}

QLabel* MakeIconLabel(QStyle::StandardPixmap icon, QWidget* parent) {
    auto* label = new QLabel(parent);
    const int size = parent->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    label->setPixmap(parent->style()->standardIcon(icon).pixmap(size, size));
    label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return label;
}

QPushButton* AddResultButton(QDialog* dialog, QBoxLayout* row, const QString& text,
                             const QString& name, int result) {
    auto* button = new QPushButton(text, dialog);
    button->setObjectName(name);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, dialog,
                     [dialog, result] { dialog->done(result); });
    row->addWidget(button);
    return button;
}

void KeepSizeOnceShown(QDialog* dialog) {
    dialog->installEventFilter(new SizeKeeper(dialog));
}

QString FileNamePart(const QString& path) {
    return QString::fromStdString(FileNameOf(path.toStdString()));
}
