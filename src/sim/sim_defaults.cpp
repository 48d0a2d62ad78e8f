// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/sim_defaults.h"

#include "cfg/conversions.h"

namespace zel {

namespace {

HealthCounter Counter(uint32_t count) {
    return {uint16_t(count & 0xFFFF), uint8_t(count >> 16)};
}

} // namespace

ConfigBlock DefaultConfig() {
    ConfigBlock config{};
    config.Mode = ModeAuto;
    config.Flag = FlagDisplay20x4;
    config.FanLow = 30;
    config.FanHigh = 100;
    config.LCDBLMin = 10;
    config.LCDBLMax = 80;
    config.TimeLapse = 1;
    config.ColorName[0] = 1;                         // PureWhite
    config.ColorName[1] = 2;                         // Red
    config.ColorName[2] = 3;                         // Green
    config.ColorName[3] = 11;                        // RoyalBlue
    config.CloudP = uint16_t(CloudPFromCount(24));   // 24 clouds a day
    config.CloudD = uint16_t(CloudDFromSeconds(60)); // of about a minute each
    config.StormP = uint16_t(StormPFromCount(3));    // 3 thunderstorms a week
    config.StormD = uint16_t(StormDFromMinutes(30)); // of about half an hour
    config.Lat = 501;
    config.Lon = 85;
    return config;
}

ExpertBlock DefaultExpert() {
    ExpertBlock expert{};
    expert.FanMode = 0;
    expert.JMPMode = 0;
    expert.ChartMode = 0;    // water temperature
    expert.PWMPrescaler = 5; // 25 MHz / 4096 / 6, about 1 kHz
    expert.TWIBitrate = 23;  // 2500 kHz / 25 = 100 kHz
    expert.RandomInit = 17;
    expert.FanOff = 0;
    expert.LCDBLNight = 5;
    expert.Language = 0;
    expert.ChartScale = 5; // 0.5 °C a division
    expert.TempOffset = 0;
    expert.BalanceSumRamp = 0;
    expert.TempWaterLow = 260;
    expert.TempWaterHigh = 270;
    expert.TempCoolLow = 270;
    expert.TempCoolHigh = 280;
    expert.TempHeatLow = 230;
    expert.TempHeatHigh = 240;
    expert.CloudTempWater = 300;
    expert.CloudTempBoard = 650;
    expert.ChartInterval = 36; // forty samples cover one day
    // Central European time: summer time from the last Sunday of March, 2:00, to the last
    // Sunday of October, 3:00.
    expert.StandardMonth = 10;
    expert.StandardDay = 31;
    expert.StandardHour = 3;
    expert.StandardDayOfWeek = 0;
    expert.DaylightMonth = 3;
    expert.DaylightDay = 31;
    expert.DaylightHour = 2;
    expert.DaylightDayOfWeek = 0;
    expert.Bias = 60;
    // A paired remote: RC-5 system 0 with the usual command numbers.
    expert.Up = 0x1010;
    expert.Down = 0x1011;
    expert.Left = 0x1015;
    expert.Right = 0x1016;
    expert.Previous = 0x1021;
    expert.Next = 0x1020;
    expert.Settings = 0x1030;
    expert.Step = 0x100D;
    return expert;
}

ExpertWeatherBlock DefaultExpertWeather() {
    ExpertWeatherBlock weather{};
    weather.CloudStep = 200;
    weather.StormStep = 500;
    weather.LightningP = 100;
    weather.CloudAlpha = 40;
    weather.StormAlpha = 15;
    weather.BalanceSum = 100;
    weather.MoonColor16[3] = 205; // a faint blue moon, 5 %
    for (int c = 0; c < ChannelCount; ++c) {
        weather.Balance[c] = 100;
        weather.WeatherDelay[c] = uint8_t(5 * c);
    }
    weather.LightningMask[0] = 0xFF;
    weather.LightningMask[3] = 0x0F;
    return weather;
}

HealthBlock DefaultHealth() {
    HealthBlock health{};
    // Counts of 15 s; both groups add up to the same operating time.
    health.Counter[2] = Counter(960);    // T>50: 4 h
    health.Counter[3] = Counter(22800);  // T>45: 95 h
    health.Counter[4] = Counter(283320); // T<45
    health.Counter[7] = Counter(306960); // V>26.0
    health.Counter[8] = Counter(120);    // V<26.0: half an hour of a weak supply
    health.PowerCycles = 56;
    return health;
}

} // namespace zel
