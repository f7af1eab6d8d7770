#include "app/AboutDlg.h"

#include <QBoxLayout>
#include <QDesktopServices>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "base/ProductInfo.h"
#include "dialogs/DialogLook.h"
#include "dialogs/DialogWidgets.h"
#include "framework/LockHost.h"
#include "framework/MessageBox.h"
#include "framework/ResultCodes.h"

namespace {
const QColor kAboutBlue(0, 0, 192);
} // namespace

CLinkLabel::CLinkLabel(const QString& url, QWidget* parent) : QLabel(url, parent), url_(url) {
    setTextFormat(Qt::PlainText);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    SetLabelColour(this, QColor(0, 0, 255));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OpenUrlOrSay(this, QUrl(url_));
    }
    QLabel::mouseReleaseEvent(event);
}

void CLinkLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        OpenUrlOrSay(this, QUrl(url_));
        return;
    }
    QLabel::keyPressEvent(event);
}

CAboutDlg::CAboutDlg(QWidget* parent) : CLockAwareDialog(parent) {
    setWindowTitle(QStringLiteral("About Ombrivault Storage"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/ombrivault.svg")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* product = new QLabel(QString::fromLatin1(kAppTitle), this);
    product->setObjectName(QStringLiteral("product"));
    product->setFont(TimesNewRomanPixels(16, true));
    SetLabelColour(product, kAboutBlue);

    auto* version = new QLabel(QStringLiteral("Version ") + QString::fromLatin1(kVersion), this);
    version->setObjectName(QStringLiteral("version"));
    version->setFont(TimesNewRomanPixels(12, true));
    SetLabelColour(version, kAboutBlue);

    auto* build = new QLabel(QStringLiteral("Build: ") + QString::fromLatin1(kBuildDate) +
                                 QLatin1Char(' ') + QString::fromLatin1(kBuildTime),
                             this);
    build->setObjectName(QStringLiteral("build"));
    build->setFont(TimesNewRomanPixels(12, false));
    SetLabelColour(build, kAboutBlue);

    auto* contact = new QLabel(QStringLiteral("Contact: "), this);
    auto* link = new CLinkLabel(QString::fromLatin1(kProductWebSite), this);
    link->setObjectName(QStringLiteral("link"));
    auto* contactRow = new QHBoxLayout;
    contactRow->addWidget(contact);
    contactRow->addWidget(link);
    contactRow->addStretch(1);

    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(version);
    texts->addWidget(build);
    texts->addSpacing(8);
    texts->addLayout(contactRow);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { EndDialog(IDOK); });

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(10);
    top->addLayout(texts, 1);
    top->addWidget(ok, 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::OnLockClose() {
    if (CLockHost* host = CLockHost::Current()) {
        host->SetReopenFlag(ReopenFlag::About);
    }
}
