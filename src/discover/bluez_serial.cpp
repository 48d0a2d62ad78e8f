// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/bluez_serial.h"

#include "discover/bluez_bus.h"

#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace zel {

namespace {

constexpr int CallTimeoutMs = 5000;
constexpr int InterruptCheckMs = 100;
constexpr int DefaultChannel = 1;
constexpr int RfcommProtocol = 3; // BTPROTO_RFCOMM

// The kernel's RFCOMM socket address (struct sockaddr_rc); the device address is stored least
// significant byte first.
struct RfcommAddress {
    sa_family_t Family;
    uint8_t Device[6];
    uint8_t Channel;
};
static_assert(offsetof(RfcommAddress, Device) == 2 && offsetof(RfcommAddress, Channel) == 8,
              "the kernel's sockaddr_rc layout");

bool Interrupted() {
    return QThread::currentThread()->isInterruptionRequested();
}

// Our end of the serial port profile: BlueZ hands the connected socket to NewConnection.
class SerialProfile : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.bluez.Profile1")
public:
    SerialProfile(const QDBusConnection& bus, const QString& device) : bus_(bus), device_(device) {
        static std::atomic<int> count{0};
        const QString path = QStringLiteral("/org/zelphorin/serial%1").arg(++count);
        if (bus_.registerObject(path, this, QDBusConnection::ExportAllSlots))
            path_ = path;
    }
    ~SerialProfile() override {
        if (!path_.isEmpty())
            bus_.unregisterObject(path_);
        if (socket_ >= 0)
            ::close(socket_);
    }

    QString Path() const { return path_; }
    // The socket BlueZ handed over, now the caller's; -1 when none came.
    int TakeSocket() { return std::exchange(socket_, -1); }

public slots:
    void Release() {}
    void RequestDisconnection(const QDBusObjectPath&) {}
    void NewConnection(const QDBusObjectPath& device, const QDBusUnixFileDescriptor& socket,
                       const QVariantMap&) {
        if (device.path() != device_ || !socket.isValid() || socket_ >= 0) {
            sendErrorReply(QStringLiteral("org.bluez.Error.Rejected"),
                           QStringLiteral("Not the connection this program asked for"));
            return;
        }
        socket_ = ::fcntl(socket.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    }

private:
    QDBusConnection bus_;
    QString device_;
    QString path_;
    int socket_ = -1;
};

QString DevicePath(BusWaiter& waiter, uint64_t address, QString& error) {
    BusObjects objects;
    BluetoothError failure;
    if (!waiter.ManagedObjects(objects, failure)) {
        error = failure.Code + QStringLiteral(": ") + failure.Text;
        return QString();
    }
    for (auto object = objects.begin(); object != objects.end(); ++object) {
        uint64_t found = 0;
        if (object->contains(BluezDevice) &&
            ParseBluetoothAddress(
                object->value(BluezDevice).value(QStringLiteral("Address")).toString(), found) &&
            found == address)
            return object.key().path();
    }
    error = QStringLiteral("BlueZ does not know the device %1: pair it first")
                .arg(FormatBluetoothAddress(address));
    return QString();
}

QString ErrorText(const QDBusMessage& reply) {
    const BluetoothError error = ReplyError(reply);
    return error.Code + QStringLiteral(": ") + error.Text;
}

// The connection through BlueZ's profile; -1 with the error when there is none.
int ConnectThroughProfile(const QDBusConnection& bus, uint64_t address, int timeoutMs,
                          QString& error) {
    BusWaiter waiter(bus);
    QTimer interruption;
    QObject::connect(&interruption, &QTimer::timeout, &waiter, [&waiter] {
        if (Interrupted())
            waiter.Stop();
    });
    interruption.start(InterruptCheckMs);
    try {
        const QString device = DevicePath(waiter, address, error);
        if (device.isEmpty())
            return -1;
        SerialProfile profile(bus, device);
        if (profile.Path().isEmpty()) {
            error = QStringLiteral("the serial profile could not be offered on the system bus");
            return -1;
        }
        const QVariantMap options{{QStringLiteral("Name"), QStringLiteral("ZELPHORIN serial port")},
                                  {QStringLiteral("Role"), QStringLiteral("client")},
                                  {QStringLiteral("AutoConnect"), false}};
        QDBusMessage reply = waiter.Call(
            BluezCall(BluezManagerPath, BluezProfileManager, QStringLiteral("RegisterProfile"),
                      {QVariant::fromValue(QDBusObjectPath(profile.Path())), SerialPortServiceClass,
                       options}),
            CallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            error = ErrorText(reply);
            return -1;
        }
        reply = waiter.Call(BluezCall(device, BluezDevice, QStringLiteral("ConnectProfile"),
                                      {SerialPortServiceClass}),
                            timeoutMs);
        // Not waited for: the profile served its one connection.
        bus.send(BluezCall(BluezManagerPath, BluezProfileManager,
                           QStringLiteral("UnregisterProfile"),
                           {QVariant::fromValue(QDBusObjectPath(profile.Path()))}));
        const int socket = profile.TakeSocket();
        if (socket >= 0)
            return socket;
        error = reply.type() == QDBusMessage::ReplyMessage
                    ? QStringLiteral("BlueZ connected but handed over no socket")
                    : ErrorText(reply);
        return -1;
    } catch (const DiscoverStopped&) {
        error = QStringLiteral("stopped");
        return -1;
    }
}

} // namespace

int ConnectRfcommChannel(uint64_t address, int channel, int timeoutMs, QString& error) {
    const int socket =
        ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, RfcommProtocol);
    if (socket < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    RfcommAddress target{};
    target.Family = AF_BLUETOOTH;
    for (int i = 0; i < 6; ++i)
        target.Device[i] = uint8_t(address >> (8 * i));
    target.Channel = uint8_t(channel);
    int result = ::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (result < 0 && errno == EINPROGRESS) {
        const QDeadlineTimer deadline(timeoutMs);
        pollfd wait{socket, POLLOUT, 0};
        int ready = 0;
        while (ready == 0 && !deadline.hasExpired() && !Interrupted())
            ready =
                ::poll(&wait, 1, int(std::min<qint64>(deadline.remainingTime(), InterruptCheckMs)));
        int failure = ready > 0 ? 0 : ETIMEDOUT;
        socklen_t length = sizeof failure;
        if (ready > 0)
            ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &failure, &length);
        errno = failure;
        result = failure == 0 ? 0 : -1;
    }
    if (result < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(socket);
        return -1;
    }
    return socket;
}

int ConnectBluetoothSerialPort(const QDBusConnection& bus, uint64_t address, int timeoutMs,
                               QString& error) {
    QString profileError;
    const int socket = ConnectThroughProfile(bus, address, timeoutMs, profileError);
    if (socket >= 0)
        return socket;
    if (Interrupted()) {
        error = QStringLiteral("%1: stopped").arg(FormatBluetoothAddress(address));
        return -1;
    }
    QString channelError;
    const int direct = ConnectRfcommChannel(address, DefaultChannel, timeoutMs, channelError);
    if (direct >= 0)
        return direct;
    error = QStringLiteral("%1 (through BlueZ: %2; on channel %3: %4)")
                .arg(FormatBluetoothAddress(address), profileError)
                .arg(DefaultChannel)
                .arg(channelError);
    return -1;
}

} // namespace zel

#include "bluez_serial.moc"
