// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfg/conversions.h"
#include "cfg/records.h"
#include "lang/translate.h"

#include <QLocale>
#include <QTest>

using namespace zel;

class ConversionsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        SelectLanguage(LanguageEnglish);
    }

    void NearestRoundsTiesToEven() {
        QCOMPARE(Nearest(1.5), int64_t(2));
        QCOMPARE(Nearest(2.5), int64_t(2));
        QCOMPARE(Nearest(-2.5), int64_t(-2));
        QCOMPARE(Nearest(2.5000001), int64_t(3));
        // Beyond 64 bits the value saturates instead of being undefined.
        QCOMPARE(Nearest(1e40), std::numeric_limits<int64_t>::max());
        QCOMPARE(Nearest(-1e40), std::numeric_limits<int64_t>::min());
        QCOMPARE(LevelFromPercent(1e300), std::numeric_limits<int64_t>::max());
        QCOMPARE(LevelFromPercent(50), int64_t(2048));
        QCOMPARE(LevelFromPercent(100), int64_t(4096));
    }

    void LevelsShowUpToTwoDecimals() {
        QCOMPARE(LevelText(4096), QStringLiteral("100"));
        QCOMPARE(LevelText(2048), QStringLiteral("50"));
        QCOMPARE(LevelText(1), QStringLiteral("0.02"));
        QCOMPARE(LevelText(0), QStringLiteral("0"));
    }

    void StormAndCloudFiguresTruncateBothWays() {
        QCOMPARE(StormPFromCount(1000), int64_t(1387));
        QCOMPARE(StormsPerWeek(1387), int64_t(999));
        QCOMPARE(CloudPFromCount(24), int64_t(14));
        QCOMPARE(CloudsPerDay(14), int64_t(23));
        QCOMPARE(CloudDFromSeconds(1), int64_t(52428));
        QCOMPARE(CloudDFromSeconds(900), int64_t(58));
        QCOMPARE(CloudDFromSeconds(0), int64_t(65535));
        QCOMPARE(StormDFromMinutes(-3), int64_t(65535));
        QCOMPARE(CloudSeconds(0), int64_t(-1));
        QCOMPARE(StormMinutes(0), int64_t(-1));
        QCOMPARE(StormMinutes(StormDFromMinutes(30)), int64_t(30));
        // The products must not overflow 32 bits at the top of the word.
        QCOMPARE(StormsPerWeek(65535), int64_t(65535) * 864000 * 7 / (int64_t(1) << 23));
        QCOMPARE(CloudsPerDay(65535), int64_t(65535) * 864000 / (int64_t(1) << 19));
    }

    void AltitudesOutsideTheSineRangeShowZero() {
        QCOMPARE(AltitudeText(10000), QStringLiteral("90"));
        QCOMPARE(AltitudeText(-10000), QStringLiteral("-90"));
        QCOMPARE(AltitudeText(10001), QStringLiteral("0"));
        QCOMPARE(AltitudeText(5000), QStringLiteral("30"));
        QCOMPARE(AltitudeFromDegrees(30), int64_t(5000));
        QCOMPARE(AltitudeFromDegrees(-90), int64_t(-10000));
    }

    void TemperaturesFollowTheFahrenheitFlag() {
        QCOMPARE(FormatTemperature(245, 0), QStringLiteral("24.5"));
        QCOMPARE(FormatTemperature(245, FlagFahrenheit), QStringLiteral("76.1"));
        QCOMPARE(FormatTemperature(-50, FlagFahrenheit), QStringLiteral("23.0"));
        QCOMPARE(TemperatureUnitText(0), QStringLiteral("°C"));
        QCOMPARE(TemperatureUnitText(FlagFahrenheit | FlagStepBig), QStringLiteral("°F"));
        QCOMPARE(ParseTemperature(QStringLiteral("24.5"), 0), int64_t(245));
        QCOMPARE(ParseTemperature(QStringLiteral("76.1"), FlagFahrenheit), int64_t(245));
        QCOMPARE(ParseTemperature(QStringLiteral("32"), FlagFahrenheit), int64_t(0));
        QVERIFY_THROWS_EXCEPTION(ConversionError, ParseTemperature(QStringLiteral("warm"), 0));
        QVERIFY_THROWS_EXCEPTION(ConversionError, ParseTemperature(QString(), 0));
        // A finite number no integer can hold is refused, not rounded into nonsense.
        QVERIFY_THROWS_EXCEPTION(ConversionError, ParseTemperature(QStringLiteral("1e300"), 0));
        QVERIFY_THROWS_EXCEPTION(ConversionError, NearestTyped(-9.3e18));
        QCOMPARE(NearestTyped(-9.2e18), int64_t(-9200000000000000000));
    }

    void TypedNumbersAcceptTheLocaleSeparator() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(ParseNumber(QStringLiteral("12,5")), 12.5);
        QCOMPARE(ParseNumber(QStringLiteral("12.5")), 12.5);
        // Never a thousands separator: a German "12.500" is twelve and a half.
        QCOMPARE(ParseNumber(QStringLiteral("12.500")), 12.5);
        QCOMPARE(LevelText(1), QStringLiteral("0,02"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(ParseNumber(QStringLiteral("12,5")), 12.5);
        QCOMPARE(ParseNumber(QStringLiteral("1,000")), 1.0);
        QLocale::setDefault(QLocale::c());
        QVERIFY_THROWS_EXCEPTION(ConversionError, ParseNumber(QStringLiteral("inf")));
    }

    void RatiosAndSmallFigures() {
        QCOMPARE(RatioText(QStringLiteral("CloudRatio"), 0, 0), QString());
        QCOMPARE(RatioText(QStringLiteral("CloudRatio"), 1, 3),
                 Translate(QStringLiteral("CloudRatio")) + QStringLiteral(": 25%"));
        QCOMPARE(RatioText(QStringLiteral("StormRatio"), 65535, 65535),
                 Translate(QStringLiteral("StormRatio")) + QStringLiteral(": 50%"));
        QCOMPARE(VoltageText(2410), QStringLiteral("24.10"));
        QCOMPARE(CoordinateText(501), QStringLiteral("50.1"));
        QCOMPARE(CoordinateText(-850), QStringLiteral("-85"));
        QCOMPARE(ChartScaleText(5), QStringLiteral("0.5"));
    }
};

QTEST_GUILESS_MAIN(ConversionsTest)
#include "conversions_test.moc"
