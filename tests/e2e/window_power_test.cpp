// The window and the system's sleep: on a private system bus with a mock logind, the window
// holds a delay lock while awake, stops its link (writing the backup) when the system goes to
// sleep and connects again when it wakes up.

#include "main/frm_phorin.h"
#include "sim/sim_controller.h"
#include "support/window_fixture.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace zel;

namespace {
constexpr int TimeoutMs = 15000;
const QString Login = QStringLiteral("org.freedesktop.login1");
const QString LoginPath = QStringLiteral("/org/freedesktop/login1");

QString LogText(TfrmPHORIN& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("mem"))->toPlainText();
}

// The mock sends logind's signal as logind would.
bool EmitPrepareForSleep(bool sleeping) {
    QDBusMessage call = QDBusMessage::createMethodCall(Login, LoginPath,
                                                       QStringLiteral("org.freedesktop.DBus.Mock"),
                                                       QStringLiteral("EmitSignal"));
    call << QStringLiteral("org.freedesktop.login1.Manager") << QStringLiteral("PrepareForSleep")
         << QStringLiteral("b") << QVariantList{QVariant::fromValue(QDBusVariant(sleeping))};
    return QDBusConnection::systemBus().call(call).type() == QDBusMessage::ReplyMessage;
}

// The names of the programs holding an inhibitor lock.
QStringList Inhibitors() {
    const QDBusMessage reply = QDBusConnection::systemBus().call(QDBusMessage::createMethodCall(
        Login, LoginPath, QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("ListInhibitors")));
    QStringList who;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return who;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what, name, why, mode;
        uint user = 0, process = 0;
        list.beginStructure();
        list >> what >> name >> why >> mode >> user >> process;
        list.endStructure();
        who.append(name);
    }
    list.endArray();
    return who;
}
} // namespace

class WindowPowerTest : public QObject {
    Q_OBJECT

private:
    test::WindowFixture fixture_;
    qint64 busPid_ = 0;
    QProcess logind_;

private slots:
    void initTestCase() {
        QProcess bus;
        bus.start(QStringLiteral("dbus-daemon"),
                  {"--session", "--fork", "--print-address=1", "--print-pid=1"});
        QVERIFY2(bus.waitForFinished(TimeoutMs) && bus.exitCode() == 0,
                 "dbus-daemon is needed for this test");
        const QStringList lines = QString::fromUtf8(bus.readAllStandardOutput()).split('\n');
        QVERIFY(lines.size() >= 2);
        busPid_ = lines.at(1).toLongLong();
        // Before anything in this process reaches for the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", lines.at(0).toUtf8());
        logind_.start(QStringLiteral("/usr/bin/python3"),
                      {"-m", "dbusmock", "--system", "--template", "logind"});
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::systemBus().interface()->isServiceRegistered(Login), TimeoutMs);
    }

    void cleanupTestCase() {
        logind_.kill();
        logind_.waitForFinished(TimeoutMs);
        if (busPid_ > 0)
            ::kill(pid_t(busPid_), SIGTERM);
    }

    void SleepStopsTheLinkAndWakingReconnects() {
        SimController sim;
        const QString port = sim.Start();
        auto window = fixture_.Window(QStringList{port, "-english"});
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->Connected(), TimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(Inhibitors().contains(QStringLiteral("ZELPHORIN")), TimeoutMs);
        // Read completely, so that there is a backup to write.
        QTRY_VERIFY_WITH_TIMEOUT(!test::RememberedPort().isNull(), TimeoutMs);

        QVERIFY(EmitPrepareForSleep(true));
        QTRY_VERIFY_WITH_TIMEOUT(LogText(*window).contains(QStringLiteral("] System is  standby")),
                                 TimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!window->LinkRunning(), TimeoutMs);
        QVERIFY(
            QFileInfo::exists(QDir(fixture_.Path())
                                  .filePath(QStringLiteral("Backup_") + QFileInfo(port).fileName() +
                                            QStringLiteral(".ini"))));
        // The lock is given back so the system can sleep.
        QTRY_VERIFY_WITH_TIMEOUT(!Inhibitors().contains(QStringLiteral("ZELPHORIN")), TimeoutMs);

        QVERIFY(EmitPrepareForSleep(false));
        QTRY_VERIFY_WITH_TIMEOUT(
            LogText(*window).contains(QStringLiteral("] System is awaking from standby")),
            TimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(window->LinkRunning() && window->Connected(), TimeoutMs);
        QCOMPARE(window->Link().CurrentPort, port);
        QTRY_VERIFY_WITH_TIMEOUT(Inhibitors().contains(QStringLiteral("ZELPHORIN")), TimeoutMs);
    }
};

QTEST_MAIN(WindowPowerTest)
#include "window_power_test.moc"
