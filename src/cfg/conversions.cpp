// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfg/conversions.h"

#include "cfg/records.h"
#include "lang/translate.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace zel {

namespace {
constexpr double Pi = 3.14159265358979323846;
constexpr int64_t CloudScale = int64_t(1) << 19;
constexpr int64_t StormScale = int64_t(1) << 23;
constexpr int64_t TenthsPerDay = 864000;
} // namespace

int64_t Nearest(double x) {
    // 2^63: beyond it (and for NaN) the conversion would be undefined, so it saturates.
    constexpr double Limit = 9223372036854775808.0;
    if (std::isnan(x))
        return 0;
    if (x >= Limit)
        return std::numeric_limits<int64_t>::max();
    if (x <= -Limit)
        return std::numeric_limits<int64_t>::min();
    // The default floating-point rounding mode rounds ties to even.
    return int64_t(std::nearbyint(x));
}

int64_t NearestTyped(double x) {
    // 2^63: the first value beyond int64; anything from there on (or NaN) has no integer here.
    constexpr double Limit = 9223372036854775808.0;
    if (!(x > -Limit && x < Limit))
        throw ConversionError("number out of range");
    return Nearest(x);
}

QString FormatNumber(double value, int decimals) {
    const QLocale locale;
    QString text = locale.toString(value, 'f', decimals);
    const QString point = locale.decimalPoint();
    if (decimals > 0 && text.contains(point)) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

double ParseNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    // Typed numbers carry no thousands separators: "12.500" in German is 12.5, not 12500.
    QLocale user;
    user.setNumberOptions(QLocale::RejectGroupSeparator);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = user.toDouble(trimmed, &ok);
    if (!ok)
        value = c.toDouble(trimmed, &ok);
    if (!ok)
        value = c.toDouble(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (!ok || !std::isfinite(value))
        throw ConversionError(QStringLiteral("'%1' is not a valid number").arg(text).toStdString());
    return value;
}

double LevelPercent(int64_t level) {
    return double(level) / LevelsPerPercent;
}
QString LevelText(int level) {
    return FormatNumber(LevelPercent(level), 2);
}
int64_t LevelFromPercent(double percent) {
    return Nearest(percent * LevelsPerPercent);
}

std::optional<double> AltitudeDegrees(int alt) {
    if (alt < -10000 || alt > 10000)
        return std::nullopt;
    return std::asin(alt / 10000.0) * 180.0 / Pi;
}

QString AltitudeText(int alt) {
    const std::optional<double> degrees = AltitudeDegrees(alt);
    return degrees ? FormatNumber(*degrees, 2) : QStringLiteral("0");
}

int64_t AltitudeFromDegrees(double degrees) {
    return Nearest(std::sin(degrees * Pi / 180.0) * 10000.0);
}

QString CoordinateText(int tenths) {
    return FormatNumber(tenths * 0.1, 1);
}

double TemperatureValue(int value, uint8_t configFlag) {
    return (configFlag & FlagFahrenheit) ? value * 9.0 / 50.0 + 32.0 : value / 10.0;
}

QString FormatTemperature(int value, uint8_t configFlag) {
    return QLocale().toString(TemperatureValue(value, configFlag), 'f', 1);
}

int64_t ParseTemperature(const QString& text, uint8_t configFlag) {
    const double typed = ParseNumber(text);
    return NearestTyped((configFlag & FlagFahrenheit) ? (typed - 32.0) / 9.0 * 50.0 : typed * 10.0);
}

QString TemperatureUnitText(uint8_t configFlag) {
    return (configFlag & FlagFahrenheit) ? QStringLiteral("°F") : QStringLiteral("°C");
}

QString VoltageText(int hundredths) {
    return QLocale().toString(hundredths / 100.0, 'f', 2);
}

int64_t CloudsPerDay(uint16_t cloudP) {
    return cloudP * TenthsPerDay / CloudScale;
}
int64_t CloudPFromCount(int64_t countPerDay) {
    return countPerDay * CloudScale / TenthsPerDay;
}

int64_t CloudSeconds(uint16_t cloudD) {
    return cloudD == 0 ? -1 : CloudScale / cloudD / 10;
}

int64_t CloudDFromSeconds(int64_t seconds) {
    return seconds <= 0 ? 65535 : CloudScale / seconds / 10;
}

int64_t StormsPerWeek(uint16_t stormP) {
    return stormP * TenthsPerDay * 7 / StormScale;
}
int64_t StormPFromCount(int64_t countPerWeek) {
    return countPerWeek * StormScale / TenthsPerDay / 7;
}

int64_t StormMinutes(uint16_t stormD) {
    return stormD == 0 ? -1 : StormScale / stormD / 10 / 60;
}

int64_t StormDFromMinutes(int64_t minutes) {
    return minutes <= 0 ? 65535 : StormScale / minutes / 10 / 60;
}

QString RatioText(const QString& key, uint16_t probability, uint16_t duration) {
    const int64_t sum = int64_t(probability) + duration;
    if (sum == 0)
        return QString();
    return Translate(key) + QStringLiteral(": ") +
           FormatNumber(probability * 100.0 / double(sum), 1) + QStringLiteral("%");
}

QString ChartScaleText(int tenths) {
    return FormatNumber(tenths / 10.0, 1);
}
QString PercentByteText(int value) {
    return FormatNumber(value, 1);
}

} // namespace zel
