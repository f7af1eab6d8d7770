#include "controls/ShadeButton.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
constexpr int kMargin = 8;
constexpr int kSpacing = 10;
constexpr qreal kRadius = 4.0;

// A colour `amount` of the way from `from` towards white (positive) or black (negative).
QColor Blend(const QColor& from, qreal amount) {
    const QColor to = amount >= 0 ? QColor(255, 255, 255) : QColor(0, 0, 0);
    const qreal a = std::clamp(amount >= 0 ? amount : -amount, 0.0, 1.0);
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * a,
                            from.greenF() + (to.greenF() - from.greenF()) * a,
                            from.blueF() + (to.blueF() - from.blueF()) * a);
}
} // namespace

CShadeButtonST::CShadeButtonST(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAttribute(Qt::WA_Hover);
    setIconSize(QSize(32, 32));
    setAutoDefault(false);
}

void CShadeButtonST::SetTint(const QColor& tint) {
    tint_ = tint;
    update();
}

QSize CShadeButtonST::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize label = metrics.size(Qt::TextShowMnemonic, text());
    const int iconWidth = icon().isNull() ? 0 : iconSize().width() + kSpacing;
    const int height = std::max(iconSize().height(), label.height());
    return {kMargin * 2 + iconWidth + label.width() + 8, kMargin * 2 + height};
}

void CShadeButtonST::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CShadeButtonST::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QPushButton::leaveEvent(event);
}

void CShadeButtonST::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    // Light at the top running into the tint: the classic shaded face. Hover lifts it, a
    // press sinks it, a disabled button loses its colour.
    QColor base = tint_;
    if (!isEnabled()) {
        base = QColor::fromHsv(base.hue(), 0, base.value());
    }
    qreal top = 0.78;
    qreal bottom = 0.35;
    if (isDown() || isChecked()) {
        top = 0.45;
        bottom = 0.05;
    } else if (hovered_ && isEnabled()) {
        top = 0.9;
        bottom = 0.5;
    }
    QLinearGradient shade(frame.topLeft(), frame.bottomLeft());
    shade.setColorAt(0, Blend(base, top));
    shade.setColorAt(1, Blend(base, bottom));
    QPainterPath path;
    path.addRoundedRect(frame, kRadius, kRadius);
    painter.fillPath(path, shade);
    painter.setPen(QPen(Blend(base, -0.35), 1));
    painter.drawPath(path);
    if (hasFocus()) {
        QPen focus(Blend(base, -0.5), 1, Qt::DotLine);
        painter.setPen(focus);
        painter.drawRoundedRect(frame.adjusted(3, 3, -3, -3), kRadius - 1, kRadius - 1);
    }

    QRect content = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (isDown()) {
        content.translate(1, 1);
    }
    if (!icon().isNull()) {
        const QSize size = iconSize();
        const QRect iconRect(content.left(), content.center().y() - size.height() / 2 + 1,
                             size.width(), size.height());
        icon().paint(&painter, iconRect, Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
        content.setLeft(iconRect.right() + 1 + kSpacing);
    }
    painter.setPen(isEnabled() ? QColor(0, 0, 0) : Blend(base, -0.2));
    painter.drawText(content, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text());
}
