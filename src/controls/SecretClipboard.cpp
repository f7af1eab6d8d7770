#include "controls/SecretClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "framework/Clock.h"
#include "framework/LockHost.h"

SecretClipboard& SecretClipboard::Instance() {
    static SecretClipboard* clipboard = new SecretClipboard; // lives as long as the program
    return *clipboard;
}

SecretClipboard::SecretClipboard() {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &SecretClipboard::Tick);
    connect(&LockEvents::Instance(), &LockEvents::Locked, this, &SecretClipboard::ClearIfOurs);
}

void SecretClipboard::MarkSecret(QMimeData& data) {
    data.setData(QString::fromLatin1(kHintType), QByteArray(kHintValue));
}

bool SecretClipboard::IsMarkedSecret(const QMimeData* data) {
    return data != nullptr && data->data(QString::fromLatin1(kHintType)) == kHintValue;
}

void SecretClipboard::Put(QMimeData* data, const void* owner) {
    MarkSecret(*data);
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    data_ = data;
    watching_ = true;
    putAt_ = ProgramClock().Now();
    owner_ = owner;
    timer_.start();
}

void SecretClipboard::PutText(const QString& text, const void* owner) {
    auto* data = new QMimeData;
    data->setText(text);
    Put(data, owner);
}

void SecretClipboard::PutImage(const QImage& image, const void* owner) {
    auto* data = new QMimeData;
    data->setImageData(image);
    Put(data, owner);
}

void SecretClipboard::ClearIfOurs() {
    if (!watching_) {
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (data_ != nullptr && clipboard->mimeData(QClipboard::Clipboard) == data_) {
        clipboard->clear(QClipboard::Clipboard);
    }
    Forget();
}

void SecretClipboard::Forget() {
    data_ = nullptr;
    watching_ = false;
    owner_ = nullptr;
    timer_.stop();
}

void SecretClipboard::OwnerClosed(const void* owner) {
    if (watching_ && owner_ == owner) {
        ClearIfOurs();
    }
}

void SecretClipboard::Tick() {
    if (watching_ && ProgramClock().Now() - putAt_ >= kClearAfterMs) {
        ClearIfOurs();
    }
}
