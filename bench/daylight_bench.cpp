// SPDX-License-Identifier: GPL-3.0-or-later
// Designing a day from the sun and fitting it to 128 schedule rows (the most a controller can
// exchange), at 50° N on midsummer with a blue dawn and dusk. Reports the median and the
// slowest run in milliseconds.
//
//     daylight_bench [RUNS]

#include "bench_support.h"
#include "daylight/daylight.h"

#include <algorithm>

using namespace zel;
using namespace zel::bench;

int main(int argc, char** argv) {
    const int runs = RunCount(argc, argv, 50);
    constexpr int Rows = 128;
    DaylightRequest request;
    request.Latitude = 50.1;
    request.Longitude = 8.5;
    request.Year = 2024;
    request.Month = 6;
    request.Day = 21;
    request.UtcOffsetMinutes = 120;
    request.NoonMinutes = 15 * 60;
    request.DawnMinutes = {0, 0, 20, 45};
    request.DuskMinutes = {0, 0, 30, 60};
    std::vector<double> milliseconds;
    DaylightFit fit;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        fit = FitScheduleRows(DesignDaylight(request), Rows);
        milliseconds.push_back(SecondsBetween(start, Clock::now()) * 1e3);
    }
    Figure(QStringLiteral("runs"), runs, 0);
    Figure(QStringLiteral("rows_used"), fit.UsedRows, 0);
    Figure(QStringLiteral("max_deviation_percent"), fit.MaxDeviation / FullLevel * 100);
    Figure(QStringLiteral("design_and_fit_median_ms"), Median(milliseconds));
    Figure(QStringLiteral("design_and_fit_max_ms"),
           *std::max_element(milliseconds.begin(), milliseconds.end()));
    return 0;
}
