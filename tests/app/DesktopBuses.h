// Two private message buses for the desktop tests - one standing in for the system bus, one
// for the session bus - and desktop_bus_service on them in place of logind and the screen
// savers. While alive, DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS name them, so a
// program started meanwhile finds them. Everything started here ends with the object.
#pragma once

#include <optional>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

#include <gtest/gtest.h>

#include "support/OwnServer.h"

class DesktopBuses {
public:
    struct Options {
        bool logind = true;         // the service owns org.freedesktop.login1
        bool refuseInhibit = false; // its Inhibit answers "access denied"
    };

    explicit DesktopBuses(Options options)
        : systemBus_(BusCommand()), sessionBus_(BusCommand()),
          system_(QString::fromStdString(systemBus_.Line())),
          session_(QString::fromStdString(sessionBus_.Line())) {
        if (system_.isEmpty() || session_.isEmpty()) {
            ADD_FAILURE() << "dbus-daemon did not start";
            return;
        }
        const std::string systemArg = system_.toStdString();
        const std::string sessionArg = session_.toStdString();
        std::vector<const char*> service = {OV_BINARY_DIR "/bin/desktop_bus_service",
                                            systemArg.c_str(), sessionArg.c_str()};
        if (options.refuseInhibit) {
            service.push_back("--refuse-inhibit");
        }
        if (!options.logind) {
            service.push_back("--no-logind");
        }
        service_.emplace(service);
        if (service_->Line() != "ready") {
            ADD_FAILURE() << "desktop_bus_service did not start";
            return;
        }
        control_ = QDBusConnection::connectToBus(system_, controlName_);
        savedSystem_ = Saved("DBUS_SYSTEM_BUS_ADDRESS");
        savedSession_ = Saved("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", system_.toUtf8());
        qputenv("DBUS_SESSION_BUS_ADDRESS", session_.toUtf8());
        up_ = control_.isConnected();
        EXPECT_TRUE(up_) << "no connection to the private system bus";
    }
    DesktopBuses() : DesktopBuses(Options{}) {}

    ~DesktopBuses() {
        if (up_) {
            Restore("DBUS_SYSTEM_BUS_ADDRESS", savedSystem_);
            Restore("DBUS_SESSION_BUS_ADDRESS", savedSession_);
        }
        control_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(controlName_);
        service_.reset(); // before the buses it is on
    }
    DesktopBuses(const DesktopBuses&) = delete;
    DesktopBuses& operator=(const DesktopBuses&) = delete;

    bool Up() const { return up_; }
    const QString& SystemAddress() const { return system_; }
    const QString& SessionAddress() const { return session_; }
    // This test's own connection to the system bus.
    QDBusConnection& Control() { return control_; }

    // Tells the service to do something (a method of org.ombrivault.TestDesktop) and waits
    // for its answer.
    QDBusMessage Tell(const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.ombrivault.TestDesktop"), QStringLiteral("/ombrivault/test"),
            QStringLiteral("org.ombrivault.TestDesktop"), method);
        call.setArguments(args);
        const QDBusMessage reply = control_.call(call, QDBus::Block, 5000);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply;
    }
    int HeldInhibitors() {
        return Tell(QStringLiteral("HeldInhibitors")).arguments().value(0).toInt();
    }
    QStringList InhibitRequests() {
        return Tell(QStringLiteral("InhibitRequests")).arguments().value(0).toStringList();
    }
    QStringList SessionRequests() {
        return Tell(QStringLiteral("SessionRequests")).arguments().value(0).toStringList();
    }

private:
    // One name per object: a name already connected would hand back that connection.
    static QString NextControlName() {
        static int made = 0;
        return QStringLiteral("desktop-test-control-%1").arg(++made);
    }

    static std::optional<QByteArray> Saved(const char* name) {
        if (!qEnvironmentVariableIsSet(name)) {
            return std::nullopt;
        }
        return qgetenv(name);
    }
    static void Restore(const char* name, const std::optional<QByteArray>& saved) {
        if (saved) {
            qputenv(name, *saved);
        } else {
            qunsetenv(name);
        }
    }

    static std::vector<const char*> BusCommand() {
        return {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"};
    }

    OwnServer systemBus_;
    OwnServer sessionBus_;
    QString system_;
    QString session_;
    std::optional<OwnServer> service_;
    QString controlName_ = NextControlName();
    QDBusConnection control_{QString()};
    std::optional<QByteArray> savedSystem_;
    std::optional<QByteArray> savedSession_;
    bool up_ = false;
};
