#pragma once

#include "com/link_thread.h"
#include "host/built_in_controller.h"
#include "host/port_watch.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace zel {

class HostGate;
class LinkHost;

// Which port the window's link talks to, and when a link runs: on the port the user picks, the
// one remembered from the last good connection or one just plugged in; stopped for a
// disconnect, the system's sleep and the end. A link let go of for a new one lives on until
// it has ended, as it may still be calling its host.
class LinkSession : public QObject {
    Q_OBJECT
public:
    LinkSession(LinkHost& host, HostGate& gate, QObject* parent = nullptr);
    // Ends every link, waiting for each: they call into the host.
    ~LinkSession() override;

    // Read freely; CurrentPort and DebugMessages are set by the window before a start.
    LinkThreadPtr LinkThread;
    QString CurrentPort;
    bool DebugMessages = false;

    bool Running() const { return LinkThread && !LinkThread->Finished(); }
    // Whether any link thread, the current one or one let go of, has not ended yet.
    bool ThreadsAlive() const;
    void WaitForThreads(int milliseconds);

    // The ports the system offers now, as menu entries, each named in the log.
    QStringList ListSerialPorts();
    // For tests: the list of serial ports the session sees.
    void SetPortSource(PortSource source);

    // A new link on CurrentPort; the one before is let go of.
    void Start();
    // Leaving the port (a backup first), then the link is asked to end.
    void Stop();
    // The Connection menu's choice: the running link moves to it, else a link starts on it.
    void ConnectTo(const QString& entry);
    // Stops and forgets the port, so the next start does not come back to it.
    void Disconnect();
    // Without a running link: the remembered port if it is there, else the newest one.
    void StartOnKnownPort();

    // The port remembered from the last complete read, if it looks like one.
    void LoadRememberedPort();
    // Remembers CurrentPort: a complete read showed a controller answers there.
    void RememberPort();
    void ForgetPort();

signals:
    void Log(const QString& text);
    // The link is about to let go of `port`: the last moment to keep its settings.
    void Leaving(const QString& port);
    void Started();

private:
    void DebugLog(const QString& text);
    void PrepareBuiltInController();
    void PortArrived(const QString& name);
    void SystemSuspending();
    void SystemResumed();

    LinkHost& host_;
    HostGate& gate_;
    BuiltInController builtIn_;
    PortWatch* portWatch_ = nullptr;
    QList<QPointer<TthdCom>> releasedThreads_;
};

} // namespace zel
