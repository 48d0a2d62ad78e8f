// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The controller's memory blocks, byte for byte. A block is copied into or out of its record
// unchanged, so every layout is proven below: a field in the wrong place cannot build.

#include <cstddef>
#include <cstdint>

namespace zel {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the records mirror little-endian blocks and are copied byte for byte");

constexpr int ChannelCount = 4;
constexpr int16_t NoMeasurement = 32767;

#pragma pack(push, 1)

// What the first byte of an identification says the port leads to.
enum HardwareId : uint8_t {
    HardwareBootloader = 6,
    HardwareApplication = 7,
    HardwareUnknown = 255, // no answer
};

struct DeviceId {
    uint8_t HardwareId;
    uint8_t FirmwareVariant;
};

struct InfoBlock {
    uint8_t RowCount;
    uint8_t Activity;
    uint8_t Errors;
    uint8_t Busy;
    int8_t CurrentRow;
    uint8_t Centisecond;
    uint8_t Second;
    uint8_t Minute;
    uint8_t Hour;
    uint8_t Day;
    uint8_t Month;
    int8_t Year;
    uint8_t TimeExtra;
    uint8_t Reserved13[4]; // kept as received, sent back unchanged
    int16_t Channel[ChannelCount];
    uint8_t Reserved25[3];
    int16_t TempWater;
    int16_t TempBoard;
    int16_t Voltage;
};

struct ConfigBlock {
    uint8_t Mode;
    uint8_t Flag;
    uint8_t FanLow;
    uint8_t FanHigh;
    uint8_t LCDBLMin;
    uint8_t LCDBLMax;
    uint8_t TimeLapse;
    uint8_t ColorName[ChannelCount];
    uint16_t CloudP;
    uint16_t CloudD;
    uint16_t StormP;
    uint16_t StormD;
    int16_t Lat;
    int16_t Lon;
};

struct ScheduleRow {
    int8_t Hour;
    int8_t Minute;
    int16_t Alt;
    int16_t Color16[ChannelCount];
    int16_t Timer;
    uint8_t Switch;
};

struct ScheduleRowMessage {
    int8_t Row;
    ScheduleRow Data;
};

struct ExpertBlock {
    uint8_t FanMode;
    uint8_t JMPMode;
    uint8_t ChartMode;
    uint8_t PWMPrescaler;
    uint8_t TWIBitrate;
    uint8_t RandomInit;
    uint8_t FanOff;
    uint8_t LCDBLNight;
    uint8_t Language;
    uint8_t ChartScale;
    int8_t TempOffset;
    int8_t BalanceSumRamp;
    int16_t TempWaterLow;
    int16_t TempWaterHigh;
    int16_t TempCoolLow;
    int16_t TempCoolHigh;
    int16_t TempHeatLow;
    int16_t TempHeatHigh;
    int16_t CloudTempWater;
    int16_t CloudTempBoard;
    uint16_t ChartInterval;
    int8_t StandardMonth;
    int8_t StandardDay;
    int8_t StandardHour;
    int8_t StandardDayOfWeek;
    int8_t DaylightMonth;
    int8_t DaylightDay;
    int8_t DaylightHour;
    int8_t DaylightDayOfWeek;
    int16_t Bias;
    uint16_t Up;
    uint16_t Down;
    uint16_t Left;
    uint16_t Right;
    uint16_t Previous;
    uint16_t Next;
    uint16_t Settings;
    uint16_t Step;
};

struct ExpertWeatherBlock {
    uint16_t CloudStep;
    uint16_t StormStep;
    uint16_t LightningP;
    uint8_t CloudAlpha;
    uint8_t StormAlpha;
    uint8_t BalanceSum;
    int16_t MoonColor16[ChannelCount];
    uint8_t Balance[ChannelCount];
    uint8_t LightningMask[ChannelCount];
    uint8_t WeatherDelay[ChannelCount];
};

constexpr int ChartSampleCount = 40;

struct ChartBlock {
    int16_t Sample[ChartSampleCount]; // sample 0 is the newest
};

struct HealthCounter {
    uint16_t Low;
    uint8_t High;
};

constexpr int HealthCounterCount = 9;

struct HealthBlock {
    HealthCounter Counter[HealthCounterCount];
    uint16_t PowerCycles;
};

#pragma pack(pop)

inline uint32_t CounterValue(const HealthCounter& counter) {
    return counter.Low + (uint32_t(counter.High) << 16);
}

// Bits of the status bytes.
enum ActivityBit : uint8_t {
    ActivityCloud = 0x01,
    ActivityStorm = 0x02,
    ActivityCooler = 0x04,
    ActivityHeater = 0x08,
    ActivityTimer = 0x20,
};
enum BusyBit : uint8_t { BusySaving = 0x10 };
enum ConfigFlagBit : uint8_t {
    FlagStepBig = 0x01,
    FlagDisplay20x4 = 0x02,
    FlagFahrenheit = 0x04,
    Flag12Hour = 0x08,
};
enum SwitchBit : uint8_t { SwitchDisplay = 0x20, SwitchClouds = 0x40, SwitchStorms = 0x80 };
enum Mode : uint8_t { ModeManual = 0, ModeAuto = 1, ModeGeo = 2, ModeRGBDemo = 3, ModeFlash = 4 };

// Markers of a SetInfo block for the parts the controller must leave alone.
constexpr uint8_t KeepMinute = 255;
constexpr uint16_t KeepChannel = 0xFFFF;
constexpr uint8_t KeepRow = 255;

#define ZEL_AT(type, field, offset) static_assert(offsetof(type, field) == (offset), #field)

static_assert(sizeof(DeviceId) == 2);
ZEL_AT(DeviceId, FirmwareVariant, 1);

static_assert(sizeof(InfoBlock) == 34);
ZEL_AT(InfoBlock, Activity, 1);
ZEL_AT(InfoBlock, Errors, 2);
ZEL_AT(InfoBlock, Busy, 3);
ZEL_AT(InfoBlock, CurrentRow, 4);
ZEL_AT(InfoBlock, Centisecond, 5);
ZEL_AT(InfoBlock, Second, 6);
ZEL_AT(InfoBlock, Minute, 7);
ZEL_AT(InfoBlock, Hour, 8);
ZEL_AT(InfoBlock, Day, 9);
ZEL_AT(InfoBlock, Month, 10);
ZEL_AT(InfoBlock, Year, 11);
ZEL_AT(InfoBlock, TimeExtra, 12);
ZEL_AT(InfoBlock, Reserved13, 13);
ZEL_AT(InfoBlock, Channel, 17);
ZEL_AT(InfoBlock, Reserved25, 25);
ZEL_AT(InfoBlock, TempWater, 28);
ZEL_AT(InfoBlock, TempBoard, 30);
ZEL_AT(InfoBlock, Voltage, 32);

static_assert(sizeof(ConfigBlock) == 23);
ZEL_AT(ConfigBlock, Flag, 1);
ZEL_AT(ConfigBlock, FanLow, 2);
ZEL_AT(ConfigBlock, FanHigh, 3);
ZEL_AT(ConfigBlock, LCDBLMin, 4);
ZEL_AT(ConfigBlock, LCDBLMax, 5);
ZEL_AT(ConfigBlock, TimeLapse, 6);
ZEL_AT(ConfigBlock, ColorName, 7);
ZEL_AT(ConfigBlock, CloudP, 11);
ZEL_AT(ConfigBlock, CloudD, 13);
ZEL_AT(ConfigBlock, StormP, 15);
ZEL_AT(ConfigBlock, StormD, 17);
ZEL_AT(ConfigBlock, Lat, 19);
ZEL_AT(ConfigBlock, Lon, 21);

static_assert(sizeof(ScheduleRow) == 15);
ZEL_AT(ScheduleRow, Minute, 1);
ZEL_AT(ScheduleRow, Alt, 2);
ZEL_AT(ScheduleRow, Color16, 4);
ZEL_AT(ScheduleRow, Timer, 12);
ZEL_AT(ScheduleRow, Switch, 14);
static_assert(sizeof(ScheduleRowMessage) == 16);
ZEL_AT(ScheduleRowMessage, Data, 1);

static_assert(sizeof(ExpertBlock) == 56);
ZEL_AT(ExpertBlock, JMPMode, 1);
ZEL_AT(ExpertBlock, ChartMode, 2);
ZEL_AT(ExpertBlock, PWMPrescaler, 3);
ZEL_AT(ExpertBlock, TWIBitrate, 4);
ZEL_AT(ExpertBlock, RandomInit, 5);
ZEL_AT(ExpertBlock, FanOff, 6);
ZEL_AT(ExpertBlock, LCDBLNight, 7);
ZEL_AT(ExpertBlock, Language, 8);
ZEL_AT(ExpertBlock, ChartScale, 9);
ZEL_AT(ExpertBlock, TempOffset, 10);
ZEL_AT(ExpertBlock, BalanceSumRamp, 11);
ZEL_AT(ExpertBlock, TempWaterLow, 12);
ZEL_AT(ExpertBlock, TempWaterHigh, 14);
ZEL_AT(ExpertBlock, TempCoolLow, 16);
ZEL_AT(ExpertBlock, TempCoolHigh, 18);
ZEL_AT(ExpertBlock, TempHeatLow, 20);
ZEL_AT(ExpertBlock, TempHeatHigh, 22);
ZEL_AT(ExpertBlock, CloudTempWater, 24);
ZEL_AT(ExpertBlock, CloudTempBoard, 26);
ZEL_AT(ExpertBlock, ChartInterval, 28);
ZEL_AT(ExpertBlock, StandardMonth, 30);
ZEL_AT(ExpertBlock, StandardDay, 31);
ZEL_AT(ExpertBlock, StandardHour, 32);
ZEL_AT(ExpertBlock, StandardDayOfWeek, 33);
ZEL_AT(ExpertBlock, DaylightMonth, 34);
ZEL_AT(ExpertBlock, DaylightDay, 35);
ZEL_AT(ExpertBlock, DaylightHour, 36);
ZEL_AT(ExpertBlock, DaylightDayOfWeek, 37);
ZEL_AT(ExpertBlock, Bias, 38);
ZEL_AT(ExpertBlock, Up, 40);
ZEL_AT(ExpertBlock, Down, 42);
ZEL_AT(ExpertBlock, Left, 44);
ZEL_AT(ExpertBlock, Right, 46);
ZEL_AT(ExpertBlock, Previous, 48);
ZEL_AT(ExpertBlock, Next, 50);
ZEL_AT(ExpertBlock, Settings, 52);
ZEL_AT(ExpertBlock, Step, 54);

static_assert(sizeof(ExpertWeatherBlock) == 29);
ZEL_AT(ExpertWeatherBlock, StormStep, 2);
ZEL_AT(ExpertWeatherBlock, LightningP, 4);
ZEL_AT(ExpertWeatherBlock, CloudAlpha, 6);
ZEL_AT(ExpertWeatherBlock, StormAlpha, 7);
ZEL_AT(ExpertWeatherBlock, BalanceSum, 8);
ZEL_AT(ExpertWeatherBlock, MoonColor16, 9);
ZEL_AT(ExpertWeatherBlock, Balance, 17);
ZEL_AT(ExpertWeatherBlock, LightningMask, 21);
ZEL_AT(ExpertWeatherBlock, WeatherDelay, 25);

static_assert(sizeof(ChartBlock) == 80);
static_assert(sizeof(HealthCounter) == 3);
static_assert(sizeof(HealthBlock) == 29);
ZEL_AT(HealthBlock, Counter[8], 24);
ZEL_AT(HealthBlock, PowerCycles, 27);

#undef ZEL_AT

} // namespace zel
