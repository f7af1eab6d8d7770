#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr quint32 kMagic = 0x4F565331; // "OVS1"
constexpr int kMaxFiles = 256;
} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QByteArray digest =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    name_ = QStringLiteral("ombrivault-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
    // The session's own runtime folder, when there is one, rather than the shared /tmp.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        name_ = QDir(runtime).filePath(name_);
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::HandOver(const QStringList& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << kMagic << files;
    socket.write(payload);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    // The running program answers once it has taken the files.
    if (!socket.waitForReadyRead(timeoutMs)) {
        return false;
    }
    return socket.readAll() == "ok";
}

bool SingleInstance::Listen() {
    if (server_ != nullptr) {
        return true;
    }
    {
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(500)) {
            return false; // another instance serves this user already
        }
    }
    QLocalServer::removeServer(name_); // a socket left behind by a crashed instance
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name_)) {
        delete server;
        return false;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                QDataStream in(socket);
                in.startTransaction();
                quint32 magic = 0;
                QStringList files;
                in >> magic >> files;
                if (!in.commitTransaction()) {
                    if (socket->bytesAvailable() > 1024 * 1024) {
                        socket->abort(); // nobody sends that much to name a few files
                    }
                    return;
                }
                if (magic != kMagic || files.size() > kMaxFiles) {
                    socket->abort();
                    return;
                }
                socket->write("ok");
                socket->flush();
                emit filesReceived(files);
            });
        }
    });
    return true;
}
