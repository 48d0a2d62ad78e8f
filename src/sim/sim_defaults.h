// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The settings a fresh simulated controller starts with (and returns to after a firmware
// update): an aquarium light in central Europe running its day schedule.

#include "cfg/records.h"

namespace zel {

ConfigBlock DefaultConfig();
ExpertBlock DefaultExpert();
ExpertWeatherBlock DefaultExpertWeather();
// Some 1280 hours of earlier operation, most of it cool and all of it on a 27 V supply, so
// that the health view shows a plausible history (and counters above 65535).
HealthBlock DefaultHealth();

} // namespace zel
