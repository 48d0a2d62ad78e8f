// SPDX-License-Identifier: GPL-3.0-or-later
// The choice of line by port name.

#include "discover/port_lines.h"

#include <QTest>

using namespace zel;

class PortLinesTest : public QObject {
    Q_OBJECT

private slots:
    // A Bluetooth name never reaches the tty code (no "/dev/rfcomm:..."), and a tty name never
    // the Bluetooth code.
    void TheNameChoosesTheKindOfLine() {
        auto line = CreatePortLine(200);
        line->SetName(QStringLiteral("rfcomm:00:11:22:33:44"));
        try {
            line->Open();
            QFAIL("opened");
        } catch (const SerialLineError& error) {
            QVERIFY2(error.Message().contains(QStringLiteral("not a Bluetooth port name")),
                     qPrintable(error.Message()));
        }
        line->SetName(QStringLiteral("/nonexistent/zel-port"));
        try {
            line->Open();
            QFAIL("opened");
        } catch (const SerialLineError& error) {
            QVERIFY2(error.Message().contains(QStringLiteral("/nonexistent/zel-port")),
                     qPrintable(error.Message()));
        }
    }
};

QTEST_GUILESS_MAIN(PortLinesTest)
#include "port_lines_test.moc"
