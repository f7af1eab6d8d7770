#include "app/DesktopLockWatcher.h"

#include <cstdio>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include "base/ProductInfo.h"

namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kLockedHint = QStringLiteral("LockedHint");
// Where libdbus looks for the system bus when the environment names none.
const QString kDefaultSystemBus = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket");

// Errors that only say a service is not there: nothing the user needs to hear about.
bool MeansAbsent(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::Disconnected:
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return true;
    default:
        return false;
    }
}

// A name no earlier watcher used: a connection lives on until its last reference is gone.
QString ConnectionName(const char* bus) {
    static int made = 0;
    return QStringLiteral("ombrivault-desktop-%1-%2").arg(QLatin1String(bus)).arg(++made);
}

} // namespace

DesktopLockWatcher::DesktopLockWatcher(LockFunction lock, QObject* parent)
    : QObject(parent), lock_(std::move(lock)), systemName_(ConnectionName("system")),
      sessionName_(ConnectionName("session")), system_(QString()), session_(QString()) {}

DesktopLockWatcher::~DesktopLockWatcher() {
    ReleaseSleepDelay();
    if (started_) {
        QDBusConnection::disconnectFromBus(systemName_);
        QDBusConnection::disconnectFromBus(sessionName_);
    }
}

const QStringList& DesktopLockWatcher::ScreenSaverInterfaces() {
    static const QStringList interfaces = {
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"),
        QStringLiteral("org.kde.screensaver"),         QStringLiteral("org.xfce.ScreenSaver"),
        QStringLiteral("org.mate.ScreenSaver"),        QStringLiteral("org.cinnamon.ScreenSaver"),
    };
    return interfaces;
}

QString DesktopLockWatcher::SystemBusAddress() {
    const QString named = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    return named.isEmpty() ? kDefaultSystemBus : named;
}

QString DesktopLockWatcher::SessionBusAddress() {
    const QString named = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!named.isEmpty()) {
        return named;
    }
    // The session's bus socket where a user manager runs one; never a bus started for us.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtime + QStringLiteral("/bus");
    if (!runtime.isEmpty() && QFileInfo(socket).exists()) {
        return QStringLiteral("unix:path=") + socket;
    }
    return {};
}

void DesktopLockWatcher::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    // Connections of our own rather than the shared default ones: they read the addresses
    // now, and go with this object.
    system_ = QDBusConnection::connectToBus(SystemBusAddress(), systemName_);
    if (system_.isConnected()) {
        system_.connect(kLogin1, kManagerPath, kManager, QStringLiteral("PrepareForSleep"), this,
                        SLOT(OnPrepareForSleep(bool)));
        FindSession();
        if (sleepDelayWanted_) {
            TakeSleepDelay();
        }
        Settle(system_);
    }
    const QString sessionAddress = SessionBusAddress();
    if (!sessionAddress.isEmpty()) {
        session_ = QDBusConnection::connectToBus(sessionAddress, sessionName_);
    }
    if (session_.isConnected()) {
        // From whoever sends it: the screen savers' names differ between desktops, and
        // a lock is nothing another program of the user could not ask for anyway.
        for (const QString& interface : ScreenSaverInterfaces()) {
            session_.connect(QString(), QString(), interface, QStringLiteral("ActiveChanged"), this,
                             SLOT(OnScreenSaverActive(bool)));
        }
        Settle(session_);
    }
}

void DesktopLockWatcher::Ask(QDBusConnection& bus, const QDBusMessage& call,
                             std::function<void(const QDBusMessage&)> done) {
    ++pending_;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, done = std::move(done)](QDBusPendingCallWatcher* finished) {
                const QDBusMessage reply = finished->reply();
                finished->deleteLater();
                --pending_;
                done(reply);
            });
}

void DesktopLockWatcher::Settle(QDBusConnection& bus) {
    Ask(bus,
        QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
        [](const QDBusMessage&) {});
}

void DesktopLockWatcher::FindSession() {
    // The session the desktop started us in; a program started otherwise (a terminal of
    // another session, a service) is found by its process.
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (!id.isEmpty()) {
        AskSession(QStringLiteral("GetSession"), id, false);
    } else {
        AskSession(QStringLiteral("GetSessionByPID"), QVariant::fromValue(uint(::getpid())), true);
    }
}

void DesktopLockWatcher::AskSession(const QString& method, const QVariant& argument, bool last) {
    QDBusMessage call = QDBusMessage::createMethodCall(kLogin1, kManagerPath, kManager, method);
    call << argument;
    Ask(system_, call, [this, last](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            ListenToSession(qvariant_cast<QDBusObjectPath>(reply.arguments().front()).path());
        } else if (!last) {
            AskSession(QStringLiteral("GetSessionByPID"), QVariant::fromValue(uint(::getpid())),
                       true);
        }
    });
}

void DesktopLockWatcher::ListenToSession(const QString& path) {
    if (path.isEmpty() || !sessionPath_.isEmpty()) {
        return;
    }
    sessionPath_ = path;
    system_.connect(kLogin1, path, kSession, QStringLiteral("Lock"), this, SLOT(OnSessionLock()));
    system_.connect(kLogin1, path, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(OnSessionProperties(QString, QVariantMap, QStringList)));
    Settle(system_);
}

void DesktopLockWatcher::OnSessionLock() {
    ++signalsSeen_;
    lock_(Reason::SessionLocked);
}

void DesktopLockWatcher::OnSessionProperties(const QString& interface, const QVariantMap& changed,
                                             const QStringList& invalidated) {
    ++signalsSeen_;
    if (interface != kSession) {
        return;
    }
    if (changed.contains(kLockedHint)) {
        if (changed.value(kLockedHint).toBool()) {
            lock_(Reason::SessionLocked);
        }
        return;
    }
    if (!invalidated.contains(kLockedHint)) {
        return;
    }
    // Only said to have changed: ask for the value.
    QDBusMessage get =
        QDBusMessage::createMethodCall(kLogin1, sessionPath_, kProperties, QStringLiteral("Get"));
    get << kSession << kLockedHint;
    Ask(system_, get, [this](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            qvariant_cast<QDBusVariant>(reply.arguments().front()).variant().toBool()) {
            lock_(Reason::SessionLocked);
        }
    });
}

void DesktopLockWatcher::OnPrepareForSleep(bool starting) {
    ++signalsSeen_;
    sleeping_ = starting;
    if (!starting) {
        if (sleepDelayWanted_) {
            TakeSleepDelay();
        }
        return;
    }
    // The lock is up before the computer may go: only then does the delay end.
    lock_(Reason::Sleep);
    ReleaseSleepDelay();
}

void DesktopLockWatcher::OnScreenSaverActive(bool active) {
    ++signalsSeen_;
    if (active) {
        lock_(Reason::ScreenSaver);
    }
}

void DesktopLockWatcher::SetSleepDelayWanted(bool wanted) {
    sleepDelayWanted_ = wanted;
    if (!wanted) {
        ReleaseSleepDelay();
    } else if (started_ && system_.isConnected() && !sleeping_) {
        TakeSleepDelay();
    }
}

void DesktopLockWatcher::TakeSleepDelay() {
    if (inhibitor_ >= 0 || inhibiting_) {
        return;
    }
    inhibiting_ = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kLogin1, kManagerPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QString::fromLatin1(kAppTitle)
         << QStringLiteral("Covers the open documents before the computer sleeps")
         << QStringLiteral("delay");
    Ask(system_, call, [this](const QDBusMessage& reply) {
        inhibiting_ = false;
        if (reply.type() != QDBusMessage::ReplyMessage) {
            ReportRefusal(QDBusError(reply));
            return;
        }
        const QDBusUnixFileDescriptor fd =
            reply.arguments().isEmpty()
                ? QDBusUnixFileDescriptor()
                : qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().front());
        // Kept only while still wanted and no sleep has begun meanwhile.
        if (fd.isValid() && sleepDelayWanted_ && !sleeping_ && inhibitor_ < 0) {
            inhibitor_ = ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 3);
        }
    });
}

void DesktopLockWatcher::ReleaseSleepDelay() {
    if (inhibitor_ >= 0) {
        ::close(inhibitor_);
        inhibitor_ = -1;
    }
}

void DesktopLockWatcher::ReportRefusal(const QDBusError& error) {
    if (MeansAbsent(error) || reported_) {
        return;
    }
    reported_ = true;
    std::fprintf(stderr, "ombrivault: the computer may go to sleep before the program locks (%s)\n",
                 error.message().toLocal8Bit().constData());
}
