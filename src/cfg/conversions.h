// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Conversions between stored block values and what the user sees or types. Texts use the
// user's locale for the decimal separator, as every other number on screen does.

#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>

namespace zel {

// A typed text that is not a number; callers leave the record unchanged.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The integer nearest to x, ties to even (1.5 and 2.5 both give 2); saturates beyond the
// 64-bit range.
int64_t Nearest(double x);
// Nearest for a number the user typed: throws ConversionError when no 64-bit integer holds it.
int64_t NearestTyped(double x);

// Up to `decimals` decimals, trailing zeros dropped ("0.##" style).
QString FormatNumber(double value, int decimals);
// A typed real number in the user's locale; "." and "," are both taken as the decimal
// separator, never as a thousands separator. Throws ConversionError.
double ParseNumber(const QString& text);

// A channel's level at 100 %.
constexpr int FullLevel = 4096;
constexpr double LevelsPerPercent = FullLevel / 100.0;
double LevelPercent(int64_t level);       // 0..4096 → 0..100, unrounded
QString LevelText(int level);             // 0..4096 → "0".."100" percent
int64_t LevelFromPercent(double percent); // nearest(p × 40.96)

// sin(altitude) × 10000 → degrees; none outside -10000..10000, the arcsine's range.
std::optional<double> AltitudeDegrees(int alt);
QString AltitudeText(int alt);
int64_t AltitudeFromDegrees(double degrees);

QString CoordinateText(int tenths); // latitude or longitude in tenths of a degree

// Tenths of °C → degrees in the unit of Config.Flag bit 2, unrounded.
double TemperatureValue(int value, uint8_t configFlag);
QString FormatTemperature(int value, uint8_t configFlag);
int64_t ParseTemperature(const QString& text, uint8_t configFlag); // throws ConversionError
QString TemperatureUnitText(uint8_t configFlag);

QString VoltageText(int hundredths);

int64_t CloudsPerDay(uint16_t cloudP);
int64_t CloudPFromCount(int64_t countPerDay);
// -1 when CloudD is 0: the control keeps what it shows.
int64_t CloudSeconds(uint16_t cloudD);
int64_t CloudDFromSeconds(int64_t seconds);
int64_t StormsPerWeek(uint16_t stormP);
int64_t StormPFromCount(int64_t countPerWeek);
int64_t StormMinutes(uint16_t stormD); // -1 when StormD is 0
int64_t StormDFromMinutes(int64_t minutes);

// "Cloud ratio: 12.5%" style text for the message key; empty when both values are 0.
QString RatioText(const QString& key, uint16_t probability, uint16_t duration);

QString ChartScaleText(int tenths);
QString PercentByteText(int value);

} // namespace zel
