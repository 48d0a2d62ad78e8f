// SPDX-License-Identifier: GPL-3.0-or-later
// The time stamps the user reads: log lines, the program's file description and the device
// clock, in the locale's short date and long time, with no time zone name.

#include "com/firmware_file.h"
#include "com/link_host.h"
#include "lang/date_time_text.h"
#include "lang/translate.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace zel;

namespace {
const QDateTime Moment(QDate(2026, 12, 8), QTime(7, 40, 26));
} // namespace

class DateTimeTextTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SelectLanguage(LanguageEnglish); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void ShortDateAndLongTimeWithoutZone() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(LocalDateTimeText(Moment), QStringLiteral("12/8/26 7:40:26 AM"));
        const QDateTime universal(Moment.date(), Moment.time(), Qt::UTC);
        QCOMPARE(LocalDateTimeText(universal.toTimeZone(QTimeZone("America/New_York"))),
                 QStringLiteral("12/8/26 2:40:26 AM")); // the moment's own date and time
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(LocalDateTimeText(Moment), QStringLiteral("08.12.26 07:40:26"));
    }

    void LogLinesAndFileDescriptionCarryNoZoneName() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(LogEntry(QStringLiteral("one\r\ntwo"), Moment),
                 QStringLiteral("[12/8/26 7:40:26 AM] one\r\n[12/8/26 7:40:26 AM] two"));

        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("ZELPHORIN2x0.chx"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("12345"), 5);
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(Moment, QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(DescribeFile(path), path + QStringLiteral(" 12/8/26 7:40:26 AM 5 bytes"));
    }
};

QTEST_GUILESS_MAIN(DateTimeTextTest)
#include "date_time_text_test.moc"
