// desktop_bus_service: what the desktop tests talk to in place of logind and the screen
// savers. It owns org.freedesktop.login1 on the bus standing in for the system bus (two
// sessions, "1" and "2"; GetSession, GetSessionByPID, Inhibit handing out one end of a pipe
// whose closing it notices) and the screen savers' names on the session bus, and emits their
// signals when its control object (/ombrivault/test, org.ombrivault.TestDesktop, on the system
// bus) is told to. Writes "ready" on descriptor 3 once every name is owned.
//
// usage: desktop_bus_service SYSTEM-ADDRESS SESSION-ADDRESS [--refuse-inhibit] [--no-logind]
#include <cstdio>
#include <map>
#include <memory>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

QString SessionPath(const QString& id) {
    // As logind names them: a leading digit is escaped, "1" becomes "_31".
    return kManagerPath + QStringLiteral("/session/_3") + id;
}

bool KnownSession(const QString& id) {
    return id == QLatin1String("1") || id == QLatin1String("2");
}

// Where each screen saver's interface lives on its desktop.
const std::map<QString, QString>& ScreenSaverPaths() {
    static const std::map<QString, QString> paths = {
        {QStringLiteral("org.freedesktop.ScreenSaver"),
         QStringLiteral("/org/freedesktop/ScreenSaver")},
        {QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver")},
        {QStringLiteral("org.kde.screensaver"), QStringLiteral("/ScreenSaver")},
        {QStringLiteral("org.xfce.ScreenSaver"), QStringLiteral("/org/xfce/ScreenSaver")},
        {QStringLiteral("org.mate.ScreenSaver"), QStringLiteral("/org/mate/ScreenSaver")},
        {QStringLiteral("org.cinnamon.ScreenSaver"), QStringLiteral("/org/cinnamon/ScreenSaver")},
    };
    return paths;
}

struct State {
    QDBusConnection system{QString()};
    QDBusConnection session{QString()};
    bool refuseInhibit = false;
    QStringList sessionRequests;
    QStringList inhibitRequests;
    // The read ends of the inhibitors handed out, open until the holder lets go.
    std::map<int, std::unique_ptr<QSocketNotifier>> held;
};

class Manager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit Manager(State& state) : state_(state) {}

public slots:
    QDBusObjectPath GetSession(const QString& id) {
        state_.sessionRequests << QStringLiteral("GetSession ") + id;
        if (!KnownSession(id)) {
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSuchSession"),
                           QStringLiteral("No session '%1' known").arg(id));
            return {};
        }
        return QDBusObjectPath(SessionPath(id));
    }
    QDBusObjectPath GetSessionByPID(uint pid) {
        state_.sessionRequests << QStringLiteral("GetSessionByPID %1").arg(pid);
        return QDBusObjectPath(SessionPath(QStringLiteral("1")));
    }
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        state_.inhibitRequests << QStringList{what, who, why, mode}.join(QLatin1Char('|'));
        if (state_.refuseInhibit) {
            sendErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                           QStringLiteral("Permission denied"));
            return {};
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("no pipe"));
            return {};
        }
        const QDBusUnixFileDescriptor handed(ends[1]); // a copy of its own
        ::close(ends[1]);
        auto notifier = std::make_unique<QSocketNotifier>(ends[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, fd = ends[0]] {
            char byte;
            if (::read(fd, &byte, 1) <= 0) { // every write end is closed: released
                state_.held.erase(fd);
                ::close(fd);
            }
        });
        state_.held[ends[0]] = std::move(notifier);
        return handed;
    }

private:
    State& state_;
};

class Session : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool LockedHint READ LockedHint)
public:
    bool LockedHint() const { return lockedHint; }
    bool lockedHint = false;
};

class Control : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ombrivault.TestDesktop")
public:
    Control(State& state, std::map<QString, Session*> sessions)
        : state_(state), sessions_(std::move(sessions)) {}

public slots:
    void EmitSessionLock(const QString& id) {
        state_.system.send(
            QDBusMessage::createSignal(SessionPath(id), kSession, QStringLiteral("Lock")));
    }
    // `announce` false: only says that the value changed, as a property that is invalidated.
    void SetLockedHint(const QString& id, bool locked, bool announce) {
        sessions_.at(id)->lockedHint = locked;
        QVariantMap changed;
        QStringList invalidated;
        if (announce) {
            changed.insert(QStringLiteral("LockedHint"), locked);
        } else {
            invalidated << QStringLiteral("LockedHint");
        }
        EmitProperties(id, changed, invalidated);
    }
    void EmitPrepareForSleep(bool starting) {
        QDBusMessage signal = QDBusMessage::createSignal(
            kManagerPath, QStringLiteral("org.freedesktop.login1.Manager"),
            QStringLiteral("PrepareForSleep"));
        signal << starting;
        state_.system.send(signal);
    }
    void EmitActiveChanged(const QString& interface, bool active) {
        QDBusMessage signal = QDBusMessage::createSignal(
            ScreenSaverPaths().at(interface), interface, QStringLiteral("ActiveChanged"));
        signal << active;
        state_.session.send(signal);
    }
    // A signal that reaches a listener without asking for anything, on the given bus: once
    // it has arrived, so has everything sent before it.
    void EmitBarrier(bool systemBus) {
        if (systemBus) {
            EmitProperties(QStringLiteral("1"), {{QStringLiteral("IdleHint"), false}}, {});
        } else {
            EmitActiveChanged(QStringLiteral("org.freedesktop.ScreenSaver"), false);
        }
    }
    int HeldInhibitors() const { return static_cast<int>(state_.held.size()); }
    QStringList InhibitRequests() const { return state_.inhibitRequests; }
    QStringList SessionRequests() const { return state_.sessionRequests; }

private:
    void EmitProperties(const QString& id, const QVariantMap& changed,
                        const QStringList& invalidated) {
        QDBusMessage signal = QDBusMessage::createSignal(
            SessionPath(id), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"));
        signal << kSession << changed << invalidated;
        state_.system.send(signal);
    }

    State& state_;
    std::map<QString, Session*> sessions_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: desktop_bus_service SYSTEM-ADDRESS SESSION-ADDRESS "
                             "[--refuse-inhibit] [--no-logind]\n");
        return 2;
    }
    State state;
    state.refuseInhibit = args.contains(QStringLiteral("--refuse-inhibit"));
    const bool logind = !args.contains(QStringLiteral("--no-logind"));
    state.system = QDBusConnection::connectToBus(args[1], QStringLiteral("system"));
    state.session = QDBusConnection::connectToBus(args[2], QStringLiteral("session"));
    if (!state.system.isConnected() || !state.session.isConnected()) {
        std::fprintf(stderr, "desktop_bus_service: cannot connect to the buses\n");
        return 1;
    }

    Manager manager(state);
    Session one;
    Session two;
    Control control(state, {{QStringLiteral("1"), &one}, {QStringLiteral("2"), &two}});
    const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties;
    bool ok = state.system.registerObject(QStringLiteral("/ombrivault/test"), &control, exported);
    if (logind) {
        ok = ok && state.system.registerObject(kManagerPath, &manager, exported) &&
             state.system.registerObject(SessionPath(QStringLiteral("1")), &one, exported) &&
             state.system.registerObject(SessionPath(QStringLiteral("2")), &two, exported) &&
             state.system.registerService(QStringLiteral("org.freedesktop.login1"));
    }
    ok = ok && state.system.registerService(QStringLiteral("org.ombrivault.TestDesktop"));
    for (const auto& [name, path] : ScreenSaverPaths()) {
        ok = ok && state.session.registerService(name);
    }
    if (!ok) {
        std::fprintf(stderr, "desktop_bus_service: cannot own the names\n");
        return 1;
    }
    static constexpr char kReady[] = "ready\n";
    if (::write(3, kReady, sizeof kReady - 1) != sizeof kReady - 1) {
        return 1;
    }
    ::close(3);
    return app.exec();
}

#include "DesktopBusService.moc"
