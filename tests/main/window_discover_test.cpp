// The Connection menu's Bluetooth entries in the window, on a scripted Bluetooth stack.

#include "lang/translate.h"
#include "main/frm_phorin.h"
#include "support/scripted_bluetooth.h"
#include "support/wait.h"
#include "support/window_fixture.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QtTest>

using namespace zel;
using zel::test::BluetoothScript;
using zel::test::PairedController;
using zel::test::ScriptedBluetooth;
using zel::test::WaitUntil;

namespace {

QStringList LogLines(QWidget& window) {
    return window.findChild<QPlainTextEdit*>(QStringLiteral("mem"))->toPlainText().split('\n');
}

bool Logged(QWidget& window, const QString& text) {
    const QStringList lines = LogLines(window);
    return std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.endsWith(QStringLiteral("] ") + text);
    });
}

QString PageName(QWidget& window) {
    return window.findChild<QTabWidget*>(QStringLiteral("pc"))->currentWidget()->objectName();
}

QAction* Entry(QWidget& window, const char* name) {
    return window.findChild<QAction*>(QLatin1String(name));
}

// Opens the Connection menu as the user does, so its entries take their enabled states.
void OpenConnectionMenu(QWidget& window) {
    auto* menu = window.findChild<QMenu*>(QStringLiteral("mnuConnection"));
    emit menu->aboutToShow();
}

} // namespace

class WindowDiscoverTest : public QObject {
    Q_OBJECT

    test::WindowFixture fixture_;

    std::unique_ptr<TfrmPHORIN> Window(BluetoothScript& script) {
        auto window = fixture_.Window(QStringList{QStringLiteral("-english")});
        window->BluetoothStack = ScriptedBluetooth::Playing(script);
        window = test::WindowFixture::Active(std::move(window));
        [&] { QVERIFY(window); }();
        return window;
    }

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }

    void init() { test::ForgetRememberedPort(); }

    void CtrlIInstallsOnTheMessagesPage() {
        BluetoothScript script;
        script.devices = {PairedController()};
        auto window = Window(script);
        window->findChild<QTabWidget*>(QStringLiteral("pc"))->setCurrentIndex(0);
        QVERIFY(Entry(*window, "mnuDiscover")->isEnabled());
        QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(PageName(*window), QStringLiteral("tsMessages"));
        QVERIFY(window->DiscoverThread);
        QVERIFY(WaitUntil([&] { return window->DiscoverThread->isFinished(); }));
        QVERIFY(Logged(*window, Translate(QStringLiteral("DiscoverNearbyDevices"))));
        QVERIFY(Logged(*window, QStringLiteral("\"ZELPHORIN2\", installed")));
        QVERIFY(Logged(*window, QStringLiteral("Scan finished. If the device could not be found, "
                                               "try again or use")));
        QCOMPARE(script.calls.last(), QStringLiteral("Service 00:11:22:33:44:55"));
        QVERIFY(WaitUntil([&] { return Entry(*window, "mnuDiscover")->isEnabled(); }));
        QVERIFY(Entry(*window, "mnuRemove")->isEnabled());
    }

    // One Bluetooth thread at a time: the entries are off while it runs, and the handler
    // itself starts no second one.
    void OnlyOneBluetoothThreadRuns() {
        BluetoothScript script;
        script.searchBlocks = true;
        auto window = Window(script);
        QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier);
        TthdDiscover* running = window->DiscoverThread.get();
        QVERIFY(running);
        OpenConnectionMenu(*window);
        QVERIFY(!Entry(*window, "mnuDiscover")->isEnabled());
        QVERIFY(!Entry(*window, "mnuRemove")->isEnabled());
        Entry(*window, "mnuRemove")->setEnabled(true); // as if the state were stale
        Entry(*window, "mnuRemove")->trigger();
        QCOMPARE(window->DiscoverThread.get(), running);
        QVERIFY(running->InstallMode);
    }

    void ClosingTheWindowEndsARunningScan() {
        BluetoothScript script;
        script.searchBlocks = true;
        auto window = Window(script);
        QTest::keyClick(window.get(), Qt::Key_I, Qt::ControlModifier);
        QVERIFY(WaitUntil(
            [&] { return Logged(*window, Translate(QStringLiteral("DiscoverNearbyDevices"))); }));
        window->close();
        QVERIFY(window->DiscoverThread->wait(1000));
        QCOMPARE(script.calls, QStringList({QStringLiteral("Find inquiry")}));
    }

    // Removal forgets the port first, so that nothing reconnects to the controller; the
    // window's other settings stay.
    void CtrlUStopsTheLinkForgetsThePortAndRemoves() {
        BluetoothScript script;
        script.devices = {PairedController()};
        QSettings(QStringLiteral("ZELPHORIN2"))
            .setValue("Port", QStringLiteral("rfcomm:00:11:22:33:44:55 (ZELPHORIN2)"));
        QSettings(QStringLiteral("ZELPHORIN2")).setValue("Window/Page", QStringLiteral("tsMoon"));
        auto window = Window(script);
        QVERIFY(window->Link().LinkThread);
        QTest::keyClick(window.get(), Qt::Key_U, Qt::ControlModifier);
        QVERIFY(window->Link().CurrentPort.isEmpty());
        QVERIFY(!test::RememberedPort().isValid());
        QCOMPARE(QSettings(QStringLiteral("ZELPHORIN2")).value("Window/Page").toString(),
                 QStringLiteral("tsMoon"));
        QVERIFY(window->Link().LinkThread->isInterruptionRequested());
        QVERIFY(WaitUntil([&] { return window->DiscoverThread->isFinished(); }));
        QVERIFY(!window->DiscoverThread->InstallMode);
        QVERIFY(Logged(*window, QStringLiteral("Uninstall successfull.")));
        QVERIFY(script.calls.contains(QStringLiteral("Remove 00:11:22:33:44:55")));
    }
};

QTEST_MAIN(WindowDiscoverTest)
#include "window_discover_test.moc"
