// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/port_lines.h"

#include "discover/bluetooth_stack.h"
#include "discover/bluez_serial.h"

namespace zel {

namespace {

// Finding the device, reading its service records and connecting take a few seconds.
constexpr int BluetoothConnectTimeoutMs = 15000;

int ConnectBluetoothPort(const QString& name, QString& error) {
    uint64_t address = 0;
    if (!ParseBluetoothAddress(name.mid(BluetoothPortPrefix.size()), address)) {
        error = QStringLiteral("not a Bluetooth port name (rfcomm:AA:BB:CC:DD:EE:FF)");
        return -1;
    }
    return ConnectBluetoothSerialPort(QDBusConnection::systemBus(), address,
                                      BluetoothConnectTimeoutMs, error);
}

// Chooses at each opening the kind of line the name stands for.
class PortLine final : public SerialLine {
public:
    explicit PortLine(int readTimeoutMs) : readTimeoutMs_(readTimeoutMs) {}

    void SetName(const QString& name) override { name_ = name; }
    QString Name() const override { return name_; }

    void Open() override {
        const bool bluetooth = name_.startsWith(BluetoothPortPrefix);
        if (line_)
            line_->Close();
        if (!line_ || bluetooth != bluetooth_) {
            line_ = bluetooth ? CreateSocketLine(ConnectBluetoothPort, readTimeoutMs_)
                              : CreateSerialPortLine(readTimeoutMs_);
            bluetooth_ = bluetooth;
        }
        line_->SetName(name_);
        line_->Open();
    }
    void Close() override {
        if (line_)
            line_->Close();
    }
    bool IsOpen() const override { return line_ && line_->IsOpen(); }
    void Purge() override { Opened().Purge(); }
    void Write(const QByteArray& data) override { Opened().Write(data); }
    QByteArray Read(int count) override { return Opened().Read(count); }

private:
    SerialLine& Opened() {
        if (!line_)
            throw SerialLineError(QStringLiteral("Port %1 is not open").arg(name_));
        return *line_;
    }

    const int readTimeoutMs_;
    QString name_;
    std::unique_ptr<SerialLine> line_;
    bool bluetooth_ = false;
};

} // namespace

const QString BluetoothPortPrefix = QStringLiteral("rfcomm:");

std::unique_ptr<SerialLine> CreatePortLine(int readTimeoutMs) {
    return std::make_unique<PortLine>(readTimeoutMs);
}

} // namespace zel
