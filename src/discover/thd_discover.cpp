// SPDX-License-Identifier: GPL-3.0-or-later
#include "discover/thd_discover.h"

#include "discover/bluez_stack.h"
#include "lang/translate.h"

#include <QLocale>

namespace zel {

namespace {
constexpr int NameTries = 10;
constexpr int PairingTries = 5;
constexpr int ServiceTries = 5;
constexpr int RemovalTries = 5;
constexpr int ConnectionChecks = 10;
constexpr int RetryPauseMs = 2000;

QString Quoted(const QString& name) {
    return QLatin1Char('"') + PrintableName(name) + QLatin1Char('"');
}
} // namespace

TthdDiscover::TthdDiscover(DiscoverHost& host, HostGate& gate, bool installMode,
                           StackFactory createStack)
    : InstallMode(installMode), host_(host), gate_(gate), createStack_(std::move(createStack)) {
    start();
}

TthdDiscover::~TthdDiscover() {
    Terminate();
    wait();
    end_.Join();
}

std::unique_ptr<BluetoothStack> TthdDiscover::CreateBluezStack() {
    return std::make_unique<BluezStack>();
}

void TthdDiscover::Terminate() {
    requestInterruption();
    std::lock_guard<std::mutex> guard(stackMutex_);
    if (stack_)
        stack_->Stop();
}

void TthdDiscover::run() {
    try {
        Execute();
    } catch (const DiscoverStopped&) {
        // Stopped by the host, or the host has gone: nothing more to say.
    }
    {
        std::lock_guard<std::mutex> guard(stackMutex_);
        stack_.reset();
    }
    finished_.store(true);
}

void TthdDiscover::Execute() {
    try {
        {
            std::unique_ptr<BluetoothStack> stack = createStack_();
            std::lock_guard<std::mutex> guard(stackMutex_);
            stack_ = std::move(stack);
            if (isInterruptionRequested())
                stack_->Stop();
        }
        if (InstallMode)
            Install();
        else
            Uninstall();
    } catch (const std::exception& error) {
        ++failures_;
        Log(QString::fromStdString(error.what()));
    }
}

// ---- Install ------------------------------------------------------------------------------

void TthdDiscover::Install() {
    Log(Translate(QStringLiteral("DiscoverNearbyDevices")));
    try {
        QList<BluetoothDeviceInfo> devices;
        BluetoothError error;
        if (!stack_->FindDevices(true, devices, error)) {
            ++failures_;
            LogError(error);
            Log(Translate(QStringLiteral("BluetoothAvailable")));
        } else {
            for (const BluetoothDeviceInfo& device : devices)
                InstallDevice(device);
        }
    } catch (const std::exception& error) {
        ++failures_;
        Log(QString::fromStdString(error.what()));
    }
    Log(Translate(QStringLiteral("DiscoveryCompleted")));
}

void TthdDiscover::InstallDevice(BluetoothDeviceInfo device) {
    Log(TranslateFormat(QStringLiteral("DeviceDetected"),
                        {FormatBluetoothAddress(device.Address)}));
    if (!ReadName(device))
        return;
    Log(DeviceLine(device));
    if (device.Name != ControllerName)
        return;
    if (device.Authenticated) {
        // Paired before: its serial port only needs to be there again.
        BringToFront();
        BluetoothError ignored;
        stack_->EnableSerialService(device, ignored);
        ++handled_;
        return;
    }
    try {
        Log(TranslateFormat(QStringLiteral("InstallingDevice"), {PrintableName(device.Name)}));
        if (!Retry(PairingTries, true, [&](BluetoothError& error) {
                return stack_->AuthenticateDevice(device, PairingPin, error);
            })) {
            ++failures_;
            return;
        }
        Log(Translate(QStringLiteral("InstallSerialPort")));
        if (Retry(ServiceTries, true, [&](BluetoothError& error) {
                return stack_->EnableSerialService(device, error);
            })) {
            Log(Translate(QStringLiteral("InstallationStarted")));
            ++handled_;
            return;
        }
        // A pairing without its serial port is of no use: undo it.
        ++failures_;
        if (RemoveWithRetries(device))
            Log(Translate(QStringLiteral("TryColdStart")));
    } catch (const std::exception& error) {
        ++failures_;
        Log(QString::fromStdString(error.what()));
    }
}

// Some devices send their name only a while after they were found.
bool TthdDiscover::ReadName(BluetoothDeviceInfo& device) {
    for (int i = 0; i < NameTries; ++i) {
        BluetoothError error;
        if (!stack_->GetDeviceInfo(device, error))
            LogError(error);
        else if (device.Name.isEmpty())
            Log(Translate(QStringLiteral("NoDeviceName")));
        else
            return true;
        stack_->Pause(RetryPauseMs);
    }
    return false;
}

// ---- Uninstall ----------------------------------------------------------------------------

void TthdDiscover::Uninstall() {
    Log(Translate(QStringLiteral("ListingInstalledDevices")));
    try {
        QList<BluetoothDeviceInfo> devices;
        BluetoothError error;
        if (!stack_->FindDevices(false, devices, error)) {
            ++failures_;
            LogError(error);
        } else {
            for (const BluetoothDeviceInfo& device : devices)
                UninstallDevice(device);
        }
    } catch (const std::exception& error) {
        ++failures_;
        Log(QString::fromStdString(error.what()));
    }
    Log(Translate(QStringLiteral("RemovalCompleted")));
}

void TthdDiscover::UninstallDevice(BluetoothDeviceInfo device) {
    Log(DeviceLine(device));
    if (!device.Authenticated || device.Name != ControllerName)
        return;
    // A connection that was just closed takes a moment to end; one that stays is in use.
    for (int check = 0; check < ConnectionChecks; ++check) {
        BluetoothError error;
        if (!stack_->GetDeviceInfo(device, error)) {
            LogError(error);
            stack_->Pause(RetryPauseMs);
        } else if (device.Connected) {
            Log(Translate(QStringLiteral("DeviceInUse")));
            stack_->Pause(RetryPauseMs);
        }
    }
    if (device.Connected) {
        ++failures_;
        return;
    }
    try {
        if (RemoveWithRetries(device))
            ++handled_;
        else
            ++failures_;
    } catch (const std::exception& error) {
        ++failures_;
        Log(QString::fromStdString(error.what()));
    }
}

bool TthdDiscover::RemoveWithRetries(const BluetoothDeviceInfo& device) {
    Log(TranslateFormat(QStringLiteral("UninstallingDevice"), {PrintableName(device.Name)}));
    if (!Retry(RemovalTries, false,
               [&](BluetoothError& error) { return stack_->RemoveDevice(device, error); }))
        return false;
    Log(Translate(QStringLiteral("UninstallSuccessful")));
    return true;
}

// ---- Helpers ------------------------------------------------------------------------------

bool TthdDiscover::Retry(int tries, bool bringToFront,
                         const std::function<bool(BluetoothError&)>& operation) {
    for (int i = 0; i < tries; ++i) {
        if (bringToFront)
            BringToFront();
        BluetoothError error;
        if (operation(error))
            return true;
        LogError(error);
        stack_->Pause(RetryPauseMs);
    }
    return false;
}

void TthdDiscover::Log(const QString& text) {
    lastLine_ = text;
    if (!gate_.Call([this] { host_.LogMessage(lastLine_); }))
        throw DiscoverStopped();
}

void TthdDiscover::LogError(const BluetoothError& error) {
    Log(TranslateFormat(QStringLiteral("WindowsError"), {error.Code, PrintableName(error.Text)}));
}

void TthdDiscover::BringToFront() {
    if (!gate_.Call([this] { host_.BringToFront(); }))
        throw DiscoverStopped();
}

QString TthdDiscover::DeviceLine(const BluetoothDeviceInfo& device) const {
    QString line = Quoted(device.Name);
    if (!InstallMode)
        line = FormatBluetoothAddress(device.Address) + QStringLiteral(", ") + line;
    if (device.LastUsed.isValid() && device.LastUsed.date().year() > 2000)
        line += QStringLiteral(", ") + QLocale().toString(device.LastUsed, QLocale::ShortFormat);
    if (InstallMode && device.Authenticated)
        line += QStringLiteral(", ") + Translate(QStringLiteral("Installed"));
    if (!InstallMode && !device.Authenticated)
        line += QStringLiteral(", ") + Translate(QStringLiteral("NotInstalled"));
    if (device.Connected)
        line += QStringLiteral(", ") + Translate(QStringLiteral("Connected"));
    return line;
}

} // namespace zel
