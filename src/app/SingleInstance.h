// Hands a file from a second launch to the program that is already running, in place of
// the shell's dynamic data exchange: the first instance listens on a per-user local socket,
// a later launch with a file sends it there and exits. A later launch may also ask the running
// program to lock its screen. Plain Unix-domain sockets watched by the event loop, so the
// program needs no network library to start.
#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `key` tells apart the settings folders (and so the users' sessions) that share a
    // machine; the socket name is derived from it and the user id.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Sends `files` to a running instance; true when one took them.
    bool HandOver(const QStringList& files, int timeoutMs = 2000) const;
    // Asks a running instance to lock its screen; true when one answered that it is locked.
    bool RequestLock(int timeoutMs = 2000) const;
    // What this instance does when asked to lock; true when it is locked afterwards.
    void SetLockHandler(std::function<bool()> handler) { lockHandler_ = std::move(handler); }
    // Starts listening, unless another instance already does; true when listening.
    bool Listen();
    // The socket's path: in $XDG_RUNTIME_DIR when that is set, else in the temporary folder.
    const QString& Name() const { return name_; }

signals:
    void filesReceived(const QStringList& files);

private:
    class Connection;
    void Accept();
    // Sends `payload` and returns the answer (empty when nobody answered in time).
    QByteArray Exchange(const QByteArray& payload, int timeoutMs) const;
    bool Lock() const { return lockHandler_ && lockHandler_(); }

    QString name_;
    int listener_ = -1;
    // The socket file this instance made, told apart from one a later instance put there.
    unsigned long socketId_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    std::function<bool()> lockHandler_;
};
