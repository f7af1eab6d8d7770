#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr quint32 kMagic = 0x4F565331;     // "OVS1", followed by the files to open
constexpr quint32 kLockMagic = 0x4F564C31; // "OVL1": lock the screen
constexpr int kMaxFiles = 256;
// Nobody sends that much to name a few files.
constexpr qsizetype kMaxMessage = 1024 * 1024;
const QByteArray kAnswer = QByteArrayLiteral("ok");
// The answer to a lock request that did not lock (no window to lock).
const QByteArray kRefusal = QByteArrayLiteral("no");

// The socket address of `path`; false when the path does not fit.
bool Address(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<size_t>(bytes.size()) >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// A stream socket connected to `path`, or -1 when nothing listens there.
int ConnectTo(const QString& path) {
    sockaddr_un address;
    if (!Address(path, address)) {
        return -1;
    }
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) {
        return -1;
    }
    int result = 0;
    do {
        result = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? fd.Release() : -1;
}

using Deadline = std::chrono::steady_clock::time_point;

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd wait{fd, events, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool SendAll(int fd, const QByteArray& bytes, Deadline deadline) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (!WaitFor(fd, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t n = ::send(fd, bytes.constData() + sent,
                                 static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
        sent += n > 0 ? n : 0;
    }
    return true;
}
} // namespace

// One hand-over being received: the bytes collect until the message is whole, then the
// sender gets its answer and the connection ends.
class SingleInstance::Connection : public QObject {
public:
    Connection(int fd, SingleInstance* owner) : QObject(owner), fd_(fd), owner_(owner) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &Connection::Read);
    }
    ~Connection() override { ::close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

private:
    void Read() {
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                bytes_.append(chunk, n);
                if (bytes_.size() > kMaxMessage) {
                    return End();
                }
                continue;
            }
            if (n < 0 && (errno == EINTR)) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            }
            return End(); // the sender went away, or the socket failed
        }
        QDataStream in(bytes_);
        quint32 magic = 0;
        in >> magic;
        if (in.status() == QDataStream::Ok && magic == kLockMagic) {
            // Answered once the lock is up, so the caller knows it is.
            const QByteArray& answer = owner_->Lock() ? kAnswer : kRefusal;
            [[maybe_unused]] const ssize_t answered =
                ::send(fd_, answer.constData(), static_cast<size_t>(answer.size()),
                       MSG_DONTWAIT | MSG_NOSIGNAL);
            return End();
        }
        if (in.status() == QDataStream::Ok && magic != kMagic) {
            return End(); // not one of ours
        }
        QStringList files;
        in >> files;
        if (in.status() == QDataStream::ReadPastEnd) {
            return; // not whole yet
        }
        if (in.status() != QDataStream::Ok || files.size() > kMaxFiles) {
            return End();
        }
        [[maybe_unused]] const ssize_t answered =
            ::send(fd_, kAnswer.constData(), static_cast<size_t>(kAnswer.size()),
                   MSG_DONTWAIT | MSG_NOSIGNAL);
        SingleInstance* owner = owner_;
        End();
        emit owner->filesReceived(files);
    }

    void End() { deleteLater(); }

    int fd_;
    SingleInstance* owner_;
    QByteArray bytes_;
};

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QByteArray digest =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString name =
        QStringLiteral("ombrivault-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
    // The session's own runtime folder, when there is one, rather than the shared /tmp.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder =
        !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    name_ = QDir(folder).filePath(name);
}

SingleInstance::~SingleInstance() {
    if (listener_ >= 0) {
        ::close(listener_);
        // Unless a later instance has put its own socket there meanwhile.
        struct stat placed {};
        if (::stat(QFile::encodeName(name_).constData(), &placed) == 0 &&
            placed.st_ino == socketId_) {
            QFile::remove(name_);
        }
    }
}

QByteArray SingleInstance::Exchange(const QByteArray& payload, int timeoutMs) const {
    const Descriptor fd(ConnectTo(name_));
    if (fd.Get() < 0) {
        return {};
    }
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!SendAll(fd.Get(), payload, deadline)) {
        return {};
    }
    // Every answer is as long as kAnswer.
    QByteArray answer;
    while (answer.size() < kAnswer.size() && WaitFor(fd.Get(), POLLIN, deadline)) {
        char chunk[16];
        const ssize_t n = ::recv(fd.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            break;
        }
        answer.append(chunk, n > 0 ? n : 0);
    }
    return answer;
}

bool SingleInstance::HandOver(const QStringList& files, int timeoutMs) const {
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << kMagic << files;
    // The running program answers once it has taken the files.
    return Exchange(payload, timeoutMs) == kAnswer;
}

bool SingleInstance::RequestLock(int timeoutMs) const {
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << kLockMagic;
    return Exchange(payload, timeoutMs) == kAnswer;
}

bool SingleInstance::Listen() {
    if (listener_ >= 0) {
        return true;
    }
    sockaddr_un address;
    if (!Address(name_, address)) {
        return false;
    }
    {
        const Descriptor probe(ConnectTo(name_));
        if (probe.Get() >= 0) {
            return false; // another instance serves this user already
        }
    }
    // The socket is made in a folder only this user can enter, made reachable to this user
    // only, and then moved into place: nobody else can connect in between, and a socket left
    // behind by a crashed instance is replaced in the same step.
    QByteArray staging = QFile::encodeName(QFileInfo(name_).absolutePath()) + "/.ombrivault-XXXXXX";
    if (::mkdtemp(staging.data()) == nullptr) {
        return false;
    }
    const QByteArray temporary = staging + "/socket";
    sockaddr_un bound;
    bool ok = Address(QFile::decodeName(temporary), bound);
    Descriptor fd(ok ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1);
    ok = fd.Get() >= 0 &&
         ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) == 0 &&
         ::chmod(temporary.constData(), S_IRUSR | S_IWUSR) == 0 && ::listen(fd.Get(), 16) == 0 &&
         ::rename(temporary.constData(), address.sun_path) == 0;
    ::unlink(temporary.constData());
    ::rmdir(staging.constData());
    if (!ok) {
        return false;
    }
    struct stat placed {};
    if (::stat(address.sun_path, &placed) == 0) {
        socketId_ = placed.st_ino;
    }
    listener_ = fd.Release();
    notifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::Accept);
    return true;
}

void SingleInstance::Accept() {
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            return;
        }
        // Only this user's own programs may hand files over.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        new Connection(fd, this);
    }
}
