// Tells the program when the desktop wants its secrets covered, over D-Bus:
// - logind reports the program's session locked (the session's Lock signal, or its LockedHint
//   property turning true), on the system bus;
// - logind reports that the computer is about to sleep (PrepareForSleep); a delay inhibitor
//   held until then lets the lock come up before the computer sleeps, and is taken again
//   after the resume;
// - a desktop's screen saver becomes active (ActiveChanged), on the session bus.
// The buses are the ones the environment names. Without a bus, logind or a screen saver the
// program does without them, quietly; a refused sleep delay is reported in one line.
#pragma once

#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusError;
class QDBusMessage;

class DesktopLockWatcher : public QObject {
    Q_OBJECT
public:
    enum class Reason { SessionLocked, Sleep, ScreenSaver };
    // Called on the user-interface thread each time the desktop asks for the lock.
    using LockFunction = std::function<void(Reason)>;

    explicit DesktopLockWatcher(LockFunction lock, QObject* parent = nullptr);
    ~DesktopLockWatcher() override;
    DesktopLockWatcher(const DesktopLockWatcher&) = delete;
    DesktopLockWatcher& operator=(const DesktopLockWatcher&) = delete;

    // Connects to both buses and starts listening. The questions to logind go out without
    // waiting for their answers; Ready() tells when every answer is in.
    void Start();
    // Whether the program wants the computer to wait for its lock before sleeping (locking
    // with the desktop is on): the delay inhibitor is taken while true, released while false.
    void SetSleepDelayWanted(bool wanted);

    bool Ready() const { return started_ && pending_ == 0; }
    bool HoldsSleepDelay() const { return inhibitor_ >= 0; }
    // The object path of the program's session as logind named it, or empty.
    const QString& SessionPath() const { return sessionPath_; }
    // Every desktop signal that has reached the watcher, whether it asked for the lock or not.
    int SignalsSeen() const { return signalsSeen_; }

    // The D-Bus interfaces of the screen savers whose ActiveChanged(true) locks: the
    // freedesktop.org one (also KDE's) and GNOME's, KDE's, Xfce's, MATE's and Cinnamon's own.
    static const QStringList& ScreenSaverInterfaces();
    // The addresses used: $DBUS_SYSTEM_BUS_ADDRESS or the standard system socket, and
    // $DBUS_SESSION_BUS_ADDRESS or the session's socket in $XDG_RUNTIME_DIR (empty when there
    // is none: no bus is started for the program).
    static QString SystemBusAddress();
    static QString SessionBusAddress();

private slots:
    void OnSessionLock();
    void OnSessionProperties(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);
    void OnPrepareForSleep(bool starting);
    void OnScreenSaverActive(bool active);

private:
    // Sends `call` and runs `done` with the reply on this thread; counts towards Ready().
    void Ask(QDBusConnection& bus, const QDBusMessage& call,
             std::function<void(const QDBusMessage&)> done);
    // A round trip after new subscriptions: once it is answered, the bus applies them.
    void Settle(QDBusConnection& bus);
    void FindSession();
    void AskSession(const QString& method, const QVariant& argument, bool last);
    void ListenToSession(const QString& path);
    void TakeSleepDelay();
    void ReleaseSleepDelay();
    void ReportRefusal(const QDBusError& error);

    LockFunction lock_;
    QString systemName_;
    QString sessionName_;
    QDBusConnection system_;
    QDBusConnection session_;
    QString sessionPath_;
    bool started_ = false;
    int pending_ = 0;
    int signalsSeen_ = 0;
    bool sleepDelayWanted_ = false;
    bool sleeping_ = false;
    bool inhibiting_ = false;
    int inhibitor_ = -1;
    bool reported_ = false;
};
