#include "controls/PasswordClipboard.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QMimeData>

#include "framework/Clock.h"
#include "framework/LockHost.h"

PasswordClipboard& PasswordClipboard::Instance() {
    static PasswordClipboard* clipboard = new PasswordClipboard; // lives as long as the program
    return *clipboard;
}

PasswordClipboard::PasswordClipboard() {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &PasswordClipboard::Tick);
    connect(&LockEvents::Instance(), &LockEvents::Locked, this, &PasswordClipboard::ClearIfOurs);
}

QByteArray PasswordClipboard::Digest(const QString& text) {
    // Only a digest is kept, so the secret is not held here a second time.
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
}

void PasswordClipboard::PutSecret(const QString& text, const void* owner) {
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(QString::fromLatin1(kHintType), QByteArray(kHintValue));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    digest_ = Digest(text);
    putAt_ = ProgramClock().Now();
    owner_ = owner;
    timer_.start();
}

bool PasswordClipboard::HoldsOurSecret() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return data != nullptr && data->hasFormat(QString::fromLatin1(kHintType)) &&
           Digest(data->text()) == digest_;
}

void PasswordClipboard::ClearIfOurs() {
    if (!Watching()) {
        return;
    }
    if (HoldsOurSecret()) {
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    }
    digest_.clear();
    owner_ = nullptr;
    timer_.stop();
}

void PasswordClipboard::OwnerClosed(const void* owner) {
    if (owner_ == owner) {
        ClearIfOurs();
    }
}

void PasswordClipboard::Tick() {
    if (Watching() && ProgramClock().Now() - putAt_ >= kClearAfterMs) {
        ClearIfOurs();
    }
}
