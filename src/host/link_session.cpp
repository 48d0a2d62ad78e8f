#include "host/link_session.h"

#include "host/power_watch.h"
#include "host/settings_store.h"
#include "lang/translate.h"

#include <QDeadlineTimer>
#include <QSettings>

#include <algorithm>

namespace zel {

namespace {
const QString PortValue = QStringLiteral("Port");
constexpr int LongestPortEntry = 256;

// A remembered port is used only when it looks like one: text, one line, of sane length.
bool UsablePortEntry(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString entry = value.toString();
    if (entry.size() > LongestPortEntry)
        return false;
    return std::none_of(entry.begin(), entry.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; });
}
} // namespace

LinkSession::LinkSession(LinkHost& host, HostGate& gate, QObject* parent)
    : QObject(parent), host_(host), gate_(gate) {
    portWatch_ = new PortWatch(SystemAndBluetoothPorts(this,
                                                       [this] {
                                                           if (portWatch_)
                                                               portWatch_->Look();
                                                       }),
                               this);
    connect(portWatch_, &PortWatch::PortArrived, this, &LinkSession::PortArrived);
    auto* power = new PowerWatch(this);
    connect(power, &PowerWatch::Suspending, this, &LinkSession::SystemSuspending);
    connect(power, &PowerWatch::Resumed, this, &LinkSession::SystemResumed);
}

LinkSession::~LinkSession() {
    if (LinkThread)
        LinkThread->Terminate();
    // The threads have ended or end at their next check, as nothing answers them any more.
    for (const QPointer<TthdCom>& thread : releasedThreads_)
        if (thread)
            thread->wait();
    qDeleteAll(releasedThreads_);
    if (LinkThread)
        LinkThread->wait();
    LinkThread.reset(); // finished: deleted now
}

bool LinkSession::ThreadsAlive() const {
    if (LinkThread && !LinkThread->isFinished())
        return true;
    return std::any_of(
        releasedThreads_.begin(), releasedThreads_.end(),
        [](const QPointer<TthdCom>& thread) { return thread && !thread->isFinished(); });
}

void LinkSession::WaitForThreads(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    if (LinkThread)
        LinkThread->wait(deadline);
    for (const QPointer<TthdCom>& thread : releasedThreads_)
        if (thread)
            thread->wait(deadline);
}

QStringList LinkSession::ListSerialPorts() {
    emit Log(Translate(QStringLiteral("ListingSerialPorts")));
    QStringList entries;
    for (const SerialPortInfo& port : portWatch_->Ports()) {
        entries.append(PortEntry(port));
        emit Log(entries.last());
    }
    if (entries.isEmpty())
        emit Log(Translate(QStringLiteral("NoSerialPorts")));
    return entries;
}

void LinkSession::SetPortSource(PortSource source) {
    portWatch_->SetSource(std::move(source));
}

void LinkSession::Start() {
    if (LinkThread) {
        releasedThreads_.append(QPointer<TthdCom>(LinkThread.get()));
        LinkThread.reset();
    }
    PrepareBuiltInController();
    LinkThread.reset(new TthdCom(host_, gate_, CurrentPort, DebugMessages, builtIn_.LineFactory()));
    emit Started();
}

void LinkSession::PrepareBuiltInController() {
    QString error;
    if (BuiltInController::Names(CurrentPort) && !builtIn_.Ensure(error))
        emit Log(error);
}

void LinkSession::Stop() {
    emit Leaving(CurrentPort);
    if (LinkThread)
        LinkThread->Terminate();
}

void LinkSession::ConnectTo(const QString& entry) {
    if (entry == CurrentPort)
        return;
    if (entry.isEmpty()) {
        Stop();
        return;
    }
    emit Leaving(CurrentPort);
    CurrentPort = entry;
    if (Running()) {
        PrepareBuiltInController();
        LinkThread->SetPort(CurrentPort, DebugMessages);
    } else {
        Stop();
        Start();
    }
}

void LinkSession::Disconnect() {
    Stop();
    CurrentPort.clear();
    ForgetPort();
}

void LinkSession::StartOnKnownPort() {
    if (Running())
        return;
    const QStringList ports = ListSerialPorts();
    CurrentPort.clear();
    LoadRememberedPort();
    if (ports.isEmpty() && !BuiltInController::Names(CurrentPort))
        return;
    if (!ports.contains(CurrentPort) && !BuiltInController::Names(CurrentPort)) {
        CurrentPort = ports.last();
        emit Log(QStringLiteral("Most recently added: ") + CurrentPort);
    }
    Start();
}

void LinkSession::PortArrived(const QString& name) {
    DebugLog(QStringLiteral("WMDeviceChange arrival ") + name);
    if (Running())
        return;
    const QStringList ports = ListSerialPorts();
    if (ports.isEmpty())
        return;
    CurrentPort = ports.last();
    emit Log(QStringLiteral("New serial port detected: ") + CurrentPort);
    Start();
}

void LinkSession::SystemSuspending() {
    DebugLog(QStringLiteral("WMPowerBroadcast PrepareForSleep true"));
    emit Log(Translate(QStringLiteral("SystemSuspending")));
    Stop();
}

void LinkSession::SystemResumed() {
    DebugLog(QStringLiteral("WMPowerBroadcast PrepareForSleep false"));
    emit Log(Translate(QStringLiteral("SystemResuming")));
    if (!CurrentPort.isEmpty())
        Start();
}

void LinkSession::LoadRememberedPort() {
    const QSettings settings(SettingsOrganisation);
    if (!settings.contains(PortValue))
        return;
    const QVariant value = settings.value(PortValue);
    if (!UsablePortEntry(value))
        return;
    CurrentPort = value.toString();
    emit Log(QStringLiteral("Read from registry: ") + CurrentPort);
}

void LinkSession::RememberPort() {
    // A read that was under way when the user disconnected must not bring the port back.
    if (CurrentPort.isEmpty())
        return;
    QSettings settings(SettingsOrganisation);
    settings.setValue(PortValue, CurrentPort);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        emit Log(QStringLiteral("Written to registry: ") + CurrentPort);
}

// Only the port: the window's place and folders are kept in the same store.
void LinkSession::ForgetPort() {
    QSettings settings(SettingsOrganisation);
    settings.remove(PortValue);
}

void LinkSession::DebugLog(const QString& text) {
    if (DebugMessages)
        emit Log(text);
}

} // namespace zel
